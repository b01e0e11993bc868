// Every file the engine and the game open goes through here: paths come as the program writes them,
// relative to the working directory with backslashes ("Grafik\stone1.dds"), and are turned into paths
// of this system.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Backslashes become slashes. When the file does not exist under that exact name, each component is
// looked up without regard to case, as the original file system did; the first match is taken.
std::string ToHostPath(const char* path);

// fopen on ToHostPath(path). Null for a null path.
FILE* OpenDataFile(const char* path, const char* mode);

} // namespace platform
