// Path translation, the non-blocking opens, bounded reads and atomic replacement that the engine's and
// the game's file accesses use.
#include "win32/file_access.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/random.h>
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

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links (at most 40, as the kernel does) to the path that a write should replace. A
// dangling link gives the path it points to, so that the first save creates the link's target. False
// (ELOOP) for a loop or a longer chain, which a save must not replace.
bool FollowLinks(std::string* path) {
    constexpr int MAX_LINKS = 40;
    for (int hop = 0;; ++hop) {
        struct stat info;
        if (lstat(path->c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        if (hop == MAX_LINKS) {
            errno = ELOOP;
            return false;
        }
        char target[PATH_MAX]; // a link holds less than PATH_MAX bytes
        const ssize_t length = readlink(path->c_str(), target, sizeof(target));
        if (length < 0) {
            return false;
        }
        const std::string next(target, static_cast<size_t>(length));
        *path = next[0] == '/' ? next : FolderOf(*path) + "/" + next;
    }
}

// Temporary files of "<name>" are ".<name>.tmp" and this many lowercase hexadecimal digits. The leading
// dot keeps them apart from every name the program keeps data under: tables and maps have fixed names,
// and registry value files start with "@".
constexpr size_t TEMPORARY_DIGITS = 16;

std::string TemporaryPrefix(const std::string& target) {
    std::string prefix(1, '.');
    prefix += NameOf(target);
    prefix += ".tmp";
    return prefix;
}

bool HasTemporaryForm(const std::string& entry, const std::string& prefix) {
    return entry.size() == prefix.size() + TEMPORARY_DIGITS && entry.compare(0, prefix.size(), prefix) == 0 &&
           entry.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}

// The lock a writer holds on its temporary file (a write lock) and that clean-up tries (a read lock):
// open-file-description locks, so that two writers in one process exclude each other too.
bool TryLock(int fd, short type) {
    struct flock lock {}; // the whole file
    lock.l_type = type;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Removes the temporary files beside `target` that no writer holds: what a save killed between writing
// and renaming leaves behind. A held one, or one on a file system that keeps no locks, stays.
void RemoveLeftoverTemporaries(const std::string& target) {
    const std::string prefix = TemporaryPrefix(target);
    DIR* dir = opendir(FolderOf(target).c_str());
    if (!dir) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        if (!HasTemporaryForm(entry->d_name, prefix)) {
            continue;
        }
        const int fd = openat(dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (TryLock(fd, F_RDLCK)) {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
        ::close(fd);
    }
    closedir(dir);
}

} // namespace

int OpenRegularFile(const std::string& hostPath, int flags, int createMode) {
    // O_NONBLOCK keeps open() from waiting for a FIFO's other end; it is taken off again for the reads.
    const int fd = ::open(hostPath.c_str(), flags | O_NONBLOCK | O_CLOEXEC, createMode);
    if (fd < 0) {
        // open() itself refuses a FIFO without a reader or a socket (ENXIO) and a folder to write (EISDIR):
        // they get the reason every other file that is not a regular one gets.
        const int error = errno;
        struct stat info;
        errno = stat(hostPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode) ? EINVAL : error;
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
        if (errno == ENOENT) {
            return FileReadResult::Missing;
        }
        return errno == EINVAL ? FileReadResult::NotRegular : FileReadResult::Failed;
    }
    struct stat info;
    FileReadResult result = FileReadResult::Ok;
    int error = 0;
    if (fstat(fd, &info) != 0) {
        result = FileReadResult::Failed;
        error = errno;
    } else if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        result = FileReadResult::TooLarge;
        error = EFBIG;
    } else {
        bytes->resize(static_cast<size_t>(info.st_size));
        // A file that shrank since fstat gives a read error rather than stale zeroes.
        errno = EIO;
        if (!ReadAll(fd, bytes->data(), bytes->size())) {
            bytes->clear();
            result = FileReadResult::Failed;
            error = errno;
        }
    }
    ::close(fd);
    errno = error;
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

// Creates a temporary file beside `target` under a name no other writer holds and takes its writer's
// lock; the descriptor, or -1 (with errno).
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string* temporary) {
    constexpr int ATTEMPTS = 4;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        uint64_t random = 0;
        if (getrandom(&random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random))) {
            return -1;
        }
        char digits[TEMPORARY_DIGITS + 1];
        std::snprintf(digits, sizeof(digits), "%016llx", static_cast<unsigned long long>(random));
        *temporary = FolderOf(target) + "/" + TemporaryPrefix(target) + digits;
        const int fd = ::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0 && errno != EEXIST) {
            return -1;
        }
        if (fd < 0) {
            continue;
        }
        // A clean-up that found the file before the lock was taken holds it or has removed it: then another
        // name. Where the file system keeps no locks, clean-up cannot take one either and leaves the file.
        const bool taken = !TryLock(fd, F_WRLCK) && (errno == EAGAIN || errno == EACCES);
        struct stat info;
        if (!taken && fstat(fd, &info) == 0 && info.st_nlink > 0) {
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Writes the bytes into a new temporary file beside `target` and flushes them to disk; the descriptor,
// which holds the writer's lock until it is closed, or -1 (with errno) when nothing is left behind.
int WriteTemporaryBeside(const std::string& target, const void* data, size_t size, mode_t mode,
                         std::string* temporary) {
    const int fd = CreateTemporaryBeside(target, mode, temporary);
    if (fd < 0) {
        return -1;
    }
    if (!WriteAll(fd, static_cast<const uint8_t*>(data), size) || ::fsync(fd) != 0) {
        const int error = errno;
        ::unlink(temporary->c_str());
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Ends a write: the temporary file's name is gone (renamed or removed) before its lock is let go.
bool FinishWrite(int fd, const std::string& temporary, bool published) {
    ::unlink(temporary.c_str());
    ::close(fd);
    return published;
}

// Gives the flushed temporary file the name `to` unless something has it: a second hard link, or where
// there are none, a rename that refuses to replace.
bool PublishWithoutReplacing(const std::string& temporary, const std::string& to) {
    if (::link(temporary.c_str(), to.c_str()) == 0) {
        return true;
    }
    return errno != EEXIST &&
           renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

} // namespace

bool ReplaceFileAtomically(const std::string& hostPath, const void* data, size_t size) {
    if (hostPath.empty()) {
        errno = ENOENT;
        return false;
    }
    std::string target = hostPath;
    if (!FollowLinks(&target)) {
        return false;
    }
    RemoveLeftoverTemporaries(target);
    mode_t mode = 0644;
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        mode = info.st_mode & 07777;
    }
    std::string temporary;
    const int fd = WriteTemporaryBeside(target, data, size, mode, &temporary);
    if (fd < 0) {
        return false;
    }
    if (!FinishWrite(fd, temporary, std::rename(temporary.c_str(), target.c_str()) == 0)) {
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
    if (errno == EEXIST) {
        return false;
    }
    // No hard link here (another file system, one without hard links, protected hard links): a copy.
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(from, maxCopyBytes, &bytes) != FileReadResult::Ok) {
        return false;
    }
    RemoveLeftoverTemporaries(to);
    std::string temporary;
    const int fd = WriteTemporaryBeside(to, bytes.data(), bytes.size(), info.st_mode & 07777, &temporary);
    if (fd < 0 || !FinishWrite(fd, temporary, PublishWithoutReplacing(temporary, to))) {
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
