// Test helpers for files: a temporary folder that removes itself, whole files and folder listings, PNG
// output of frames so that a failing picture test leaves something to look at, and PNG input of the
// frames a program wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }
    std::filesystem::path operator/(const std::string& name) const { return path / name; }

private:
    std::filesystem::path path;
};

// Changes the working directory for the lifetime of the object.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder);
    ~WorkingDirectory();

private:
    std::filesystem::path previous;
};

// A disk that is full after `bytes` bytes of any file, for this process and the programs it starts
// meanwhile: writes beyond them fail with EFBIG ("File too large") instead of raising SIGXFSZ.
class DiskFullAfter {
public:
    explicit DiskFullAfter(unsigned long bytes);
    ~DiskFullAfter();
    DiskFullAfter(const DiskFullAfter&) = delete;
    DiskFullAfter& operator=(const DiskFullAfter&) = delete;

private:
    unsigned long long previousLimit = 0;
};

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
// The names in a folder, sorted; empty when it cannot be read.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

// Writes X8R8G8B8 (or A8R8G8B8, alpha ignored) pixels, top row first, as an RGB PNG.
bool WritePng(const std::filesystem::path& path, const uint32_t* pixels, int width, int height);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // A8R8G8B8 (alpha 255 for PNG), top row first

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// An empty picture when the file cannot be read.
Picture ReadPng(const std::filesystem::path& path);

} // namespace testing_support
