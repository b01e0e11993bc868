// Child processes and picture files for the tests that run the real program.
#include "program_run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace game_testing {

void CopyRunFolder(const fs::path& folder) {
    const fs::path run = ZONKEL_RUN_DIR;
    for (const auto& entry : fs::directory_iterator(run)) {
        const std::string name = entry.path().filename().string();
        if (name == "zonkel" || entry.path().extension() == ".roh") {
            continue;
        }
        fs::copy(entry.path(), folder / name,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}

std::vector<std::pair<std::string, std::string>>
ProgramEnvironment(const fs::path& workingFolder,
                   std::vector<std::pair<std::string, std::string>> environment) {
    const fs::path suppressions = workingFolder / "leak_suppressions.txt";
    std::ofstream out(suppressions);
    out << "leak:GFXMain::SetupEngine\n";
    // The desktop libraries keep caches for the life of the process.
    for (const char* library : {"libfontconfig.so", "libdbus-1.so", "libglib-2.0.so", "libgobject-2.0.so",
                                "libgio-2.0.so", "libgtk-3.so", "libgdk-3.so", "libpango", "libcairo",
                                "libatk", "libharfbuzz", "libX11.so", "libSDL2"}) {
        out << "leak:" << library << "\n";
    }
    environment.emplace_back("LSAN_OPTIONS", "suppressions=" + suppressions.string());
    return environment;
}

ProgramResult RunProgram(const fs::path& program, const std::vector<std::string>& arguments,
                         const fs::path& workingFolder,
                         const std::vector<std::pair<std::string, std::string>>& environment) {
    ProgramResult result;
    char errorName[] = "/tmp/zonkel_stderr_XXXXXX";
    const int errorFile = mkstemp(errorName);
    if (errorFile < 0) {
        return result;
    }
    std::vector<std::string> argumentStrings = {program.string()};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStrings) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const auto childEnvironment = ProgramEnvironment(workingFolder, environment);
    const pid_t child = fork();
    if (child == 0) {
        dup2(errorFile, STDERR_FILENO);
        if (chdir(workingFolder.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& [name, value] : childEnvironment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child > 0) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    close(errorFile);
    std::ifstream in(errorName);
    result.errorOutput.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove(errorName);
    return result;
}

int StartProgram(const fs::path& program, const fs::path& workingFolder,
                 const std::vector<std::pair<std::string, std::string>>& environment,
                 const fs::path& errorFile) {
    const auto childEnvironment = ProgramEnvironment(workingFolder, environment);
    const pid_t child = fork();
    if (child == 0) {
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (error >= 0) {
            dup2(error, STDERR_FILENO);
        }
        if (chdir(workingFolder.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& [name, value] : childEnvironment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

int WaitForProgram(int processId) {
    int status = 0;
    while (waitpid(processId, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool ReadPng(const fs::path& path, Picture* picture) {
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    picture->width = static_cast<int>(image.width);
    picture->height = static_cast<int>(image.height);
    picture->pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, picture->pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

bool ReadDds(const fs::path& path, Picture* picture) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 128 || std::memcmp(bytes.data(), "DDS ", 4) != 0) {
        return false;
    }
    auto read32 = [&](size_t offset) {
        uint32_t value = 0;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    };
    picture->height = static_cast<int>(read32(12));
    picture->width = static_cast<int>(read32(16));
    const size_t count = static_cast<size_t>(picture->width) * picture->height;
    if (bytes.size() < 128 + count * 4) {
        return false;
    }
    picture->pixels.resize(count);
    std::memcpy(picture->pixels.data(), bytes.data() + 128, count * 4);
    return true;
}

int ColourDistance(uint32_t a, uint32_t b) {
    int distance = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference =
            std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff));
        distance = std::max(distance, difference);
    }
    return distance;
}

} // namespace game_testing
