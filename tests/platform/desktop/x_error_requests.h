// X requests that the server refuses, made on GDK's own connection as the program's own requests would
// be, so that their errors go through the program's X error handler. Apart from the window tests:
// the X headers' names clash with the Windows ones.
#pragma once

namespace x_errors {

// What the program may still do with a window another client has destroyed: a graphics context, a
// window inside it and a rendering-extension picture made on it, each used and freed. The creations
// are refused as naming a missing window, their uses and frees as naming what was never made.
void DrawOnGoneWindow(unsigned long window);
// A pixmap of no width: BadValue.
void RequestWithABadValue();
// Another client makes a window and destroys it; this program then maps it: BadWindow about a window
// that was never the program's.
void MapAnotherClientsDestroyedWindow();
// Maps a window id of the program's own that no window was ever made with: BadWindow.
void MapAWindowNeverMade();
// Waits for the server's answer to every request so far, so that their errors are handled now.
void Sync();

} // namespace x_errors
