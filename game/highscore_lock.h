// Two games on one player's folder change its highscore tables one at a time: an insertion holds an
// advisory lock (flock) on "highscores.lock" beside the table from its read of the file to its save, so
// that it never writes back a table that the other game has changed since.
#pragma once

#include <string>

// The lock file of the tables in the folder of `tableFile` (a program path, "as1.roh").
std::string HighscoreLockPath(const char* tableFile);

class HighscoreLock {
public:
    // How long an insertion waits for another game's insertion before it goes on without the lock.
    static constexpr int WAIT_MILLISECONDS = 2000;

    // Takes the lock of `tableFile`'s folder, waiting at most WAIT_MILLISECONDS. When it cannot be had
    // (another game holds it that long, or the lock file cannot be opened or locked), one line on
    // standard error says so and the caller goes on without it.
    explicit HighscoreLock(const char* tableFile);
    ~HighscoreLock();
    HighscoreLock(const HighscoreLock&) = delete;
    HighscoreLock& operator=(const HighscoreLock&) = delete;

    bool Held() const { return held; }

private:
    int descriptor = -1;
    bool held = false;
};
