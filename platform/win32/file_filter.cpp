// The open-file dialog's filter list and case-insensitive pattern matching.
#include "win32/file_filter.h"

#include <cstring>
#include <fnmatch.h>

namespace platform {

namespace {

std::vector<std::string> SplitPatterns(const std::string& text) {
    std::vector<std::string> patterns;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string pattern = text.substr(start, end - start);
        size_t first = pattern.find_first_not_of(' ');
        size_t last = pattern.find_last_not_of(' ');
        if (first != std::string::npos) {
            patterns.push_back(pattern.substr(first, last - first + 1));
        }
        start = end + 1;
    }
    return patterns;
}

} // namespace

std::vector<FileFilter> ParseFileFilters(const char* filterList) {
    std::vector<FileFilter> filters;
    if (!filterList) {
        return filters;
    }
    const char* cursor = filterList;
    while (*cursor) {
        std::string description = cursor;
        cursor += description.size() + 1;
        if (!*cursor) {
            break;
        }
        std::string patterns = cursor;
        cursor += patterns.size() + 1;
        filters.push_back({description, SplitPatterns(patterns)});
    }
    return filters;
}

FileFilter ChooseFileFilter(const std::vector<FileFilter>& filters, unsigned index) {
    if (filters.empty()) {
        return {"All files", {"*"}};
    }
    if (index == 0 || index > filters.size()) {
        return filters.front();
    }
    return filters[index - 1];
}

bool MatchesFileFilter(const std::string& fileName, const std::vector<std::string>& patterns) {
    size_t slash = fileName.find_last_of('/');
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    for (const auto& pattern : patterns) {
        if (pattern == "*.*" || pattern == "*") {
            return true;
        }
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace platform
