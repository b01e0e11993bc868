// The menu command "add your Picture": lets the player pick a BMP or JPEG file as the background.
#pragma once

// Asks for a picture; when it loads, it replaces the background and its path is stored for the next
// start. Cancel or a file that does not load changes nothing.
void ChooseBackground();
