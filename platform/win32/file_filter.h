// The open-file dialog's filter list ("Pictures\0*.BMP;*.JPG\0\0"): reading the pairs, choosing one by
// its 1-based index, and matching file names against its patterns without regard to case.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
};

// Pairs up to the double NUL; a description without its pattern string is dropped.
std::vector<FileFilter> ParseFileFilters(const char* filterList);

// Index 0 and indices beyond the list choose the first filter; an empty list gives "every file".
FileFilter ChooseFileFilter(const std::vector<FileFilter>& filters, unsigned index);

// True when the file name (not the folder) matches one of the patterns; "*.*" and "*" match all.
bool MatchesFileFilter(const std::string& fileName, const std::vector<std::string>& patterns);

} // namespace platform
