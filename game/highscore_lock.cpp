// The advisory lock around highscore insertions: flock on a lock file that is never removed, so that
// every game locks the same file.
#include "highscore_lock.h"

#include "highscore_list.h"

#include "win32/file_access.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

std::string HighscoreLockPath(const char* tableFile) {
    return (std::filesystem::path(HighscoreHostPath(tableFile)).parent_path() / "highscores.lock").string();
}

HighscoreLock::HighscoreLock(const char* tableFile) {
    const std::string path = HighscoreLockPath(tableFile);
    descriptor = platform::OpenRegularFile(path, O_RDWR | O_CREAT, 0600);
    int error = errno;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MILLISECONDS);
    while (descriptor >= 0 && !held) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            held = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            error = errno;
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (!held) {
        const std::string reason =
            error == EWOULDBLOCK
                ? "another game has held it for " + std::to_string(WAIT_MILLISECONDS / 1000) + " seconds"
                : std::string(std::strerror(error));
        std::fprintf(stderr, "zonkel: cannot lock %s (%s); %s is changed without the lock\n", path.c_str(),
                     reason.c_str(), tableFile ? tableFile : "");
    }
}

HighscoreLock::~HighscoreLock() {
    // Closing the file lets the lock go.
    if (descriptor >= 0) {
        ::close(descriptor);
    }
}
