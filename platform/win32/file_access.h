// Every file the engine and the game open goes through here: paths come as the program writes them,
// relative to the working directory with backslashes ("Grafik\stone1.dds"), and are turned into paths
// of this system. Opening never blocks: FIFOs, devices, sockets and folders are refused as not regular
// files. Reads can be bounded before anything is allocated, and user data is replaced through a
// temporary file and a rename so that a kill or a full disk never leaves a half-written file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Relative program paths that name nothing in the working directory are looked for in `folder` when
// they are read: the program's shipped, read-only data. Writes always stay in the working directory.
// An empty folder (the default) leaves lookups to the working directory.
void SetDataFolder(const std::string& folder);

// The path to read: backslashes become slashes. When the file does not exist under that exact name, each
// component is looked up without regard to case, as the original file system did; the first match is
// taken. A relative path found nowhere in the working directory is then looked for in the data folder.
std::string ToHostPath(const char* path);
// The path to write: as ToHostPath, but never in the data folder.
std::string ToWritableHostPath(const char* path);

// fopen for the C library's modes ("rb", "wb", "ab", "r+b", ...): "r" opens ToHostPath(path), modes that
// write open ToWritableHostPath(path). Null for a null path, and null with errno EINVAL when the path
// names anything but a regular file, for reading and writing alike; never blocks on it. Other refusals
// keep open's own errno (ENOENT, EACCES, ELOOP, EMFILE, ...).
FILE* OpenDataFile(const char* path, const char* mode);

// open() of a host path that refuses, without blocking, what is not a regular file (errno EINVAL).
// `flags` are open's access flags; O_NONBLOCK is used for the open only.
int OpenRegularFile(const std::string& hostPath, int flags, int createMode = 0644);

enum class FileReadResult {
    Ok,
    Missing,    // nothing of that name (ENOENT)
    NotRegular, // a folder, FIFO, socket or device (EINVAL); never opened for long or read
    TooLarge,   // larger than the caller's limit; nothing was read
    Failed,     // any other reason the file cannot be opened or read, left in errno
};

// Reads a whole regular file of at most `maxBytes`; a larger one is refused before anything is read.
// A result other than Ok leaves errno set to its reason (EFBIG for TooLarge).
FileReadResult ReadRegularFile(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>* bytes);
// The same for a program path ("Map\map1.cap").
FileReadResult ReadDataFile(const char* path, size_t maxBytes, std::vector<uint8_t>* bytes);

// Replaces the file at `hostPath` with `size` bytes: they go into a temporary file beside the target
// (beside the link's target when the path is a symbolic link, so the link stays), are flushed to disk and
// renamed over it. A path whose links end in a loop is refused (ELOOP) and the links stay as they are.
// False (with errno) leaves the old file untouched.
//
// The temporary file of a target "<name>" is ".<name>.tmp" followed by 16 lowercase hexadecimal digits
// drawn at random, created exclusively (O_EXCL), so that no two writers ever share one, whatever their
// process ids. Its writer holds an open-file-description lock (F_OFD_SETLK) on it from creation until
// it is renamed or removed. Before writing, files beside the target whose whole name has that form and
// that no writer holds (a writer killed before its rename left them) are removed; a held one is left.
// Nothing else is ever removed: no value, table or map name starts with a dot.
bool ReplaceFileAtomically(const std::string& hostPath, const void* data, size_t size);
// The same for a program path, in the working directory.
bool ReplaceDataFile(const char* path, const void* data, size_t size);

// Moves the regular file `from` to `to` unless something exists at `to`, which is never replaced. When
// no hard link can be made (another file system, one without hard links, protected hard links) the file
// (at most `maxCopyBytes`) is copied through a temporary file as above and flushed to disk before `from`
// is removed. False (with errno: EEXIST when `to` exists, ENOENT when `from` does not, EINVAL when it is
// not a regular file, EFBIG when it is too large to copy) leaves `from` where it was.
bool MoveFileWithoutReplacing(const std::string& from, const std::string& to, size_t maxCopyBytes);

} // namespace platform
