// The filter of X errors that keeps the process alive when another client destroys one of its windows.
// Kept apart from the GTK backend's header: it reads the X display's own structure, whose types clash
// with the Windows names.
#pragma once

namespace platform {

// Installed once, after GTK's start: errors about a window of the program that is gone, and about what
// the program tried to make on it, are let pass; every other error goes on to GDK's handler.
void InstallXWindowErrorFilter();

} // namespace platform
