// Path translation and the one fopen that the engine's and the game's file accesses use.
#include "win32/file_access.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace platform {

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Finds `name` in folder `dir` ignoring case; returns the entry's real name or an empty string.
std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name) {
    DIR* folder = opendir(dir.empty() ? "." : dir.c_str());
    if (!folder) {
        return {};
    }
    std::string found;
    while (dirent* entry = readdir(folder)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(folder);
    return found;
}

} // namespace

std::string ToHostPath(const char* path) {
    if (!path) {
        return {};
    }
    std::string host(path);
    for (char& c : host) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (host.empty() || Exists(host)) {
        return host;
    }
    // Rebuild the path component by component, matching each one without regard to case.
    std::string resolved = host[0] == '/' ? "/" : "";
    size_t start = host[0] == '/' ? 1 : 0;
    while (start <= host.size()) {
        size_t end = host.find('/', start);
        if (end == std::string::npos) {
            end = host.size();
        }
        std::string component = host.substr(start, end - start);
        if (!component.empty()) {
            std::string candidate = resolved + component;
            if (!Exists(candidate)) {
                std::string folder = resolved.empty() ? "." : resolved;
                std::string match = FindEntryIgnoringCase(folder, component);
                if (match.empty()) {
                    return host; // Not found either way: keep the plain translation.
                }
                candidate = resolved + match;
            }
            resolved = candidate;
            if (end < host.size()) {
                resolved += '/';
            }
        }
        start = end + 1;
    }
    return resolved;
}

FILE* OpenDataFile(const char* path, const char* mode) {
    if (!path || !mode) {
        return nullptr;
    }
    return std::fopen(ToHostPath(path).c_str(), mode);
}

} // namespace platform
