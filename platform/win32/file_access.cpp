// Path translation, the non-blocking opens, bounded reads and atomic replacement that the engine's and
// the game's file accesses use.
#include "win32/file_access.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string& DataFolder() {
    static std::string folder;
    return folder;
}

std::string WithSlashes(const char* path) {
    std::string host(path);
    for (char& c : host) {
        if (c == '\\') {
            c = '/';
        }
    }
    return host;
}

// The existing file or folder that `host` names, each missing component matched without regard to case;
// empty when some component is found neither way.
std::string FindIgnoringCase(const std::string& host) {
    if (Exists(host)) {
        return host;
    }
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
                    return {};
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

} // namespace

void SetDataFolder(const std::string& folder) {
    DataFolder() = folder;
}

std::string ToWritableHostPath(const char* path) {
    if (!path) {
        return {};
    }
    const std::string host = WithSlashes(path);
    if (host.empty()) {
        return host;
    }
    const std::string found = FindIgnoringCase(host);
    return found.empty() ? host : found; // Not found either way: the plain translation.
}

std::string ToHostPath(const char* path) {
    const std::string host = ToWritableHostPath(path);
    if (host.empty() || host[0] == '/' || DataFolder().empty() || Exists(host)) {
        return host;
    }
    const std::string shipped = FindIgnoringCase(DataFolder() + "/" + host);
    return shipped.empty() ? host : shipped;
}

namespace {

// open() flags for a C library mode string; -1 for a mode fopen would refuse.
int FlagsForMode(const char* mode) {
    const bool update = std::strchr(mode, '+') != nullptr;
    switch (mode[0]) {
    case 'r':
        return update ? O_RDWR : O_RDONLY;
    case 'w':
        return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    case 'a':
        return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default:
        return -1;
    }
}

bool ReadAll(int fd, uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links (at most 40, as the kernel does) to the path that a write should replace. A
// dangling link gives the path it points to, so that the first save creates the link's target.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
            return path;
        }
        std::string next(target.data(), static_cast<size_t>(length));
        path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
    }
    return path;
}

// Removes "<name>.tmp<pid>" files beside `target` whose writing process no longer exists: what a save
// killed between writing and renaming leaves behind.
void RemoveLeftoverTemporaries(const std::string& target) {
    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    const std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) {
            continue;
        }
        const char* digits = name + prefix.size();
        char* end = nullptr;
        errno = 0;
        const long pid = std::strtol(digits, &end, 10);
        if (*digits < '0' || *digits > '9' || *end != '\0' || errno != 0 || pid <= 0 || pid == getpid()) {
            continue;
        }
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            unlinkat(dirfd(dir), name, 0);
        }
    }
    closedir(dir);
}

} // namespace

int OpenRegularFile(const std::string& hostPath, int flags, int createMode) {
    // O_NONBLOCK keeps open() from waiting for a FIFO's other end; it is taken off again for the reads.
    const int fd = ::open(hostPath.c_str(), flags | O_NONBLOCK | O_CLOEXEC, createMode);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int status = fcntl(fd, F_GETFL);
    if (status >= 0) {
        fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    }
    return fd;
}

FILE* OpenDataFile(const char* path, const char* mode) {
    if (!path || !mode) {
        return nullptr;
    }
    const int flags = FlagsForMode(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    // A write must not truncate what turns out to be a device: check first, truncate after.
    const bool reads = (flags & O_ACCMODE) == O_RDONLY;
    const int fd = OpenRegularFile(reads ? ToHostPath(path) : ToWritableHostPath(path), flags & ~O_TRUNC);
    if (fd < 0) {
        return nullptr;
    }
    if ((flags & O_TRUNC) && ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, mode);
    if (!file) {
        ::close(fd);
    }
    return file;
}

FileReadResult ReadRegularFile(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>* bytes) {
    bytes->clear();
    const int fd = OpenRegularFile(hostPath, O_RDONLY);
    if (fd < 0) {
        return (errno == EACCES || errno == EIO) ? FileReadResult::Failed : FileReadResult::Missing;
    }
    struct stat info;
    FileReadResult result = FileReadResult::Ok;
    if (fstat(fd, &info) != 0) {
        result = FileReadResult::Failed;
    } else if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        result = FileReadResult::TooLarge;
    } else {
        bytes->resize(static_cast<size_t>(info.st_size));
        // A file that shrank since fstat gives a read error rather than stale zeroes.
        if (!ReadAll(fd, bytes->data(), bytes->size())) {
            bytes->clear();
            result = FileReadResult::Failed;
        }
    }
    ::close(fd);
    return result;
}

FileReadResult ReadDataFile(const char* path, size_t maxBytes, std::vector<uint8_t>* bytes) {
    if (!path) {
        bytes->clear();
        return FileReadResult::Missing;
    }
    return ReadRegularFile(ToHostPath(path), maxBytes, bytes);
}

namespace {

void SyncFolderOf(const std::string& path) {
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

// Writes the bytes into "<target>.tmp<pid>" and flushes them to disk; the temporary file's path, or an
// empty string (with errno) when nothing is left behind.
std::string WriteTemporaryBeside(const std::string& target, const void* data, size_t size, mode_t mode) {
    const std::string temporary = target + ".tmp" + std::to_string(getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        return {};
    }
    bool written = WriteAll(fd, static_cast<const uint8_t*>(data), size) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        errno = error;
        return {};
    }
    return temporary;
}

} // namespace

bool ReplaceFileAtomically(const std::string& hostPath, const void* data, size_t size) {
    if (hostPath.empty()) {
        errno = ENOENT;
        return false;
    }
    const std::string target = FollowLinks(hostPath);
    RemoveLeftoverTemporaries(target);
    mode_t mode = 0644;
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        mode = info.st_mode & 07777;
    }
    const std::string temporary = WriteTemporaryBeside(target, data, size, mode);
    if (temporary.empty()) {
        return false;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    // The rename itself reaches the disk with the folder.
    SyncFolderOf(target);
    return true;
}

bool MoveFileWithoutReplacing(const std::string& from, const std::string& to, size_t maxCopyBytes) {
    struct stat info;
    if (lstat(from.c_str(), &info) != 0) {
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return false;
    }
    // A second name first, unless `to` exists: link() never replaces anything.
    if (::link(from.c_str(), to.c_str()) == 0) {
        SyncFolderOf(to);
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    std::vector<uint8_t> bytes;
    const FileReadResult read = ReadRegularFile(from, maxCopyBytes, &bytes);
    if (read != FileReadResult::Ok) {
        errno = read == FileReadResult::TooLarge ? EFBIG : EIO;
        return false;
    }
    RemoveLeftoverTemporaries(to);
    const std::string temporary = WriteTemporaryBeside(to, bytes.data(), bytes.size(), info.st_mode & 07777);
    if (temporary.empty()) {
        return false;
    }
    const bool linked = ::link(temporary.c_str(), to.c_str()) == 0;
    const int error = errno;
    ::unlink(temporary.c_str());
    if (!linked) {
        errno = error;
        return false;
    }
    SyncFolderOf(to);
    ::unlink(from.c_str());
    return true;
}

bool ReplaceDataFile(const char* path, const void* data, size_t size) {
    if (!path) {
        errno = ENOENT;
        return false;
    }
    return ReplaceFileAtomically(ToWritableHostPath(path), data, size);
}

} // namespace platform
