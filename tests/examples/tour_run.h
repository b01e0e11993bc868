// Running the real feature_tour program headless from tests: a working folder that sees the run
// folder's generated data, a script, the frames it writes, and the colours the tests look for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tour_testing {

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // X8R8G8B8, top row first

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct TourRun {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string errorOutput;
    std::vector<Frame> frames; // every presented frame, in order
};

// A working folder for the program. With `withData` it links the run folder's Grafik/ into it, so
// that what the program writes (Map/) stays in the folder.
class TourFolder {
public:
    explicit TourFolder(bool withData = true);
    ~TourFolder();
    TourFolder(const TourFolder&) = delete;
    TourFolder& operator=(const TourFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Runs the program headless with `script` (the script file's lines) and reads its frames.
    TourRun Run(const std::string& script) const;

private:
    std::filesystem::path path;
};

// Colour classes of what the tour draws.
bool IsCrystal(uint32_t pixel); // the model's light blue skin
bool IsFlame(uint32_t pixel);   // the billboard's red to yellow flame
bool IsSpark(uint32_t pixel);   // additive particles, white where they pile up
bool IsGround(uint32_t pixel);  // lit terrain tiles: neither black nor strongly coloured

struct Region {
    int left, top, right, bottom; // right and bottom exclusive
};

// How many pixels of `region` satisfy `test`, and its mean colour.
int CountPixels(const Frame& frame, const Region& region, bool (*test)(uint32_t));
void MeanColour(const Frame& frame, const Region& region, double* red, double* green, double* blue);
// Mean over the region of the largest channel difference between two frames.
double MeanDifference(const Frame& a, const Frame& b, const Region& region);
// The centre of the pixels that satisfy `test`; false when there is none.
bool Centroid(const Frame& frame, bool (*test)(uint32_t), double* x, double* y);

} // namespace tour_testing
