// Child processes of the feature_tour program, its frames read back from PNG, and colour classes.
#include "tour_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <png.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tour_testing {

namespace {

int Red(uint32_t p) {
    return int(p >> 16 & 0xFF);
}
int Green(uint32_t p) {
    return int(p >> 8 & 0xFF);
}
int Blue(uint32_t p) {
    return int(p & 0xFF);
}

bool ReadPng(const fs::path& file, Frame* frame) {
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    frame->width = int(image.width);
    frame->height = int(image.height);
    frame->pixels.assign(size_t(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, frame->pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TourFolder::TourFolder(bool withData) {
    std::string pattern = (fs::temp_directory_path() / "feature-tour-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path = pattern;
    if (withData) {
        fs::create_directory_symlink(fs::path(ZONKEL_RUN_DIR) / "Grafik", path / "Grafik");
    }
}

TourFolder::~TourFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

TourRun TourFolder::Run(const std::string& script) const {
    TourRun run;
    const fs::path program = fs::path(ZONKEL_RUN_DIR) / "feature_tour";
    const fs::path scriptFile = path / "script.txt";
    const fs::path framesFolder = path / "frames";
    const fs::path errorFile = path / "stderr.txt";
    std::error_code ignored;
    fs::remove_all(framesFolder, ignored);
    std::ofstream(scriptFile) << script;
    // The engine's frame-rate font lives until the process ends, by design: not a leak of the tour.
    const fs::path suppressions = path / "leak_suppressions.txt";
    std::ofstream(suppressions) << "leak:GFXMain::SetupEngine\n";

    const pid_t child = fork();
    if (child == 0) {
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (error >= 0) {
            dup2(error, STDERR_FILENO);
        }
        if (chdir(path.c_str()) != 0) {
            _exit(126);
        }
        setenv("VELKORA_HEADLESS", "1", 1);
        setenv("VELKORA_SCRIPT", scriptFile.c_str(), 1);
        setenv("VELKORA_FRAMES", framesFolder.c_str(), 1);
        setenv("LSAN_OPTIONS", ("suppressions=" + suppressions.string()).c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) {
        return run;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.errorOutput = ReadText(errorFile);

    std::vector<fs::path> files;
    if (fs::is_directory(framesFolder)) {
        for (const auto& entry : fs::directory_iterator(framesFolder)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        Frame frame;
        if (ReadPng(file, &frame)) {
            run.frames.push_back(std::move(frame));
        }
    }
    return run;
}

bool IsCrystal(uint32_t pixel) {
    return Blue(pixel) > 150 && Blue(pixel) > Red(pixel) + 60 && Green(pixel) > Red(pixel) + 30;
}

bool IsFlame(uint32_t pixel) {
    return Red(pixel) > 200 && Blue(pixel) < 90 && Red(pixel) - Blue(pixel) > 150;
}

bool IsSpark(uint32_t pixel) {
    return Red(pixel) > 230 && Green(pixel) > 180 && Blue(pixel) > 230;
}

bool IsGround(uint32_t pixel) {
    const int high = std::max({Red(pixel), Green(pixel), Blue(pixel)});
    const int low = std::min({Red(pixel), Green(pixel), Blue(pixel)});
    return high > 30 && high < 235 && high - low < 80;
}

int CountPixels(const Frame& frame, const Region& region, bool (*test)(uint32_t)) {
    int count = 0;
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            count += test(frame.At(x, y)) ? 1 : 0;
        }
    }
    return count;
}

void MeanColour(const Frame& frame, const Region& region, double* red, double* green, double* blue) {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            const uint32_t p = frame.At(x, y);
            r += Red(p);
            g += Green(p);
            b += Blue(p);
        }
    }
    const double n = double(region.right - region.left) * double(region.bottom - region.top);
    *red = r / n;
    *green = g / n;
    *blue = b / n;
}

double MeanDifference(const Frame& a, const Frame& b, const Region& region) {
    double sum = 0.0;
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            const uint32_t p = a.At(x, y);
            const uint32_t q = b.At(x, y);
            sum += std::max(
                {std::abs(Red(p) - Red(q)), std::abs(Green(p) - Green(q)), std::abs(Blue(p) - Blue(q))});
        }
    }
    return sum / (double(region.right - region.left) * double(region.bottom - region.top));
}

bool Centroid(const Frame& frame, bool (*test)(uint32_t), double* x, double* y) {
    double sumX = 0.0;
    double sumY = 0.0;
    long count = 0;
    for (int row = 0; row < frame.height; ++row) {
        for (int column = 0; column < frame.width; ++column) {
            if (test(frame.At(column, row))) {
                sumX += column;
                sumY += row;
                ++count;
            }
        }
    }
    if (count == 0) {
        return false;
    }
    *x = sumX / double(count);
    *y = sumY / double(count);
    return true;
}

} // namespace tour_testing
