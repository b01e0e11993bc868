// The feature tour run as its users see it: the real program, headless, with a script; its frames are
// probed where the tour puts the terrain, the crystal model, the flame billboard and the particles.
#include "../../examples/feature_tour/tour_menu.h"
#include "support/system_call_faults.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Frame = testing_support::Picture;

struct Region {
    int left, top, right, bottom; // right and bottom exclusive
};

// Parts of the 800 x 600 picture that only one thing covers, with the tour's starting camera.
constexpr Region WHOLE = {0, 0, 800, 600};
constexpr Region CRYSTAL_CORE = {170, 290, 210, 330};
constexpr Region FLAME_CORE = {580, 360, 615, 400};
constexpr Region PARTICLE_BAND = {250, 0, 600, 200};
constexpr Region GROUND_FRONT = {300, 470, 500, 590};
constexpr Region GROUND_LEFT = {20, 450, 110, 590};
constexpr Region GROUND_FAR_RIGHT = {650, 150, 790, 240};
// Where the scripts click: a patch of ground left of the crystal, and one in front of the flame.
constexpr Region TILE_PATCH = {170, 470, 230, 530};
constexpr Region RAISED_PATCH = {560, 380, 700, 520};

struct Rgb {
    int r, g, b;
};
Rgb Split(uint32_t p) {
    return {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
}

// Colour classes: the model's light blue skin, the billboard's red to yellow flame, additive particles
// (white where they pile up), and lit terrain tiles (neither black nor strongly coloured).
bool IsCrystal(uint32_t p) {
    const auto [r, g, b] = Split(p);
    return b > 150 && b > r + 60 && g > r + 30;
}
bool IsFlame(uint32_t p) {
    const auto [r, g, b] = Split(p);
    return r > 200 && b < 90 && r - b > 150;
}
bool IsSpark(uint32_t p) {
    const auto [r, g, b] = Split(p);
    return r > 230 && g > 180 && b > 230;
}
bool IsGround(uint32_t p) {
    const auto [r, g, b] = Split(p);
    return std::max({r, g, b}) > 30 && std::max({r, g, b}) < 235 &&
           std::max({r, g, b}) - std::min({r, g, b}) < 80;
}

void ForEach(const Region& region, const std::function<void(int, int)>& visit) {
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            visit(x, y);
        }
    }
}

int Area(const Region& region) {
    return (region.right - region.left) * (region.bottom - region.top);
}

int CountPixels(const Frame& frame, const Region& region, bool (*test)(uint32_t)) {
    int count = 0;
    ForEach(region, [&](int x, int y) { count += test(frame.At(x, y)); });
    return count;
}

// Mean over the region of red minus blue: gravel is nearly grey, sand clearly yellow.
double Yellowness(const Frame& frame, const Region& region) {
    double sum = 0.0;
    ForEach(region, [&](int x, int y) { sum += Split(frame.At(x, y)).r - Split(frame.At(x, y)).b; });
    return sum / Area(region);
}

// Mean over the region of the largest channel difference between two frames.
double MeanDifference(const Frame& a, const Frame& b, const Region& region) {
    double sum = 0.0;
    ForEach(region, [&](int x, int y) {
        const Rgb p = Split(a.At(x, y));
        const Rgb q = Split(b.At(x, y));
        sum += std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    });
    return sum / Area(region);
}

// The centre of the crystal's pixels.
std::pair<double, double> CrystalCentre(const Frame& frame) {
    double sumX = 0.0;
    double sumY = 0.0;
    int count = 0;
    ForEach(WHOLE, [&](int x, int y) {
        if (IsCrystal(frame.At(x, y))) {
            sumX += x;
            sumY += y;
            ++count;
        }
    });
    EXPECT_GT(count, 0) << "no crystal in the frame";
    return {sumX / std::max(count, 1), sumY / std::max(count, 1)};
}

// The clock moves on by this much with every frame, whatever the machine's speed: every run draws the
// same frames.
constexpr int FRAME_TIME_MS = 40;

struct TourRun {
    int exitCode = -1; // the exit status, or 128 + signal number
    std::string errorOutput;
    std::vector<Frame> frames; // every presented frame, in order
};

// The tour's per-user folder when XDG_DATA_HOME is `folder`: where it saves the map.
fs::path PlayerFolder(const fs::path& folder) {
    return folder / "velkora-feature-tour";
}

// Runs the program headless with `script`, started in `folder`, which is also its XDG_DATA_HOME. With
// `withData` it is the built program, which finds the run folder's data beside it; else a copy alone.
// `inChild` runs in the program's process, in the folder, before the program starts.
TourRun RunTour(const fs::path& folder, const std::string& script, bool withData = true,
                const std::function<void()>& inChild = {}) {
    fs::path program = fs::path(ZONKEL_RUN_DIR) / "velkora-feature-tour";
    if (!withData) {
        fs::create_directory(folder / "bin");
        fs::copy_file(program, folder / "bin" / "velkora-feature-tour");
        program = folder / "bin" / "velkora-feature-tour";
    }
    TourRun run;
    std::ofstream(folder / "script.txt") << script;
    // The engine's frame-rate font lives until the process ends, by design: not a leak of the tour.
    std::ofstream(folder / "leaks.txt") << "leak:GFXMain::SetupEngine\n";
    const std::string suppressions = "suppressions=" + (folder / "leaks.txt").string();
    const pid_t child = fork();
    if (child == 0) {
        const int error = open((folder / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(error, STDERR_FILENO);
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        if (inChild) {
            inChild();
        }
        setenv("VELKORA_HEADLESS", "1", 1);
        setenv("VELKORA_SCRIPT", "script.txt", 1);
        setenv("VELKORA_FRAMES", "frames", 1);
        setenv("VELKORA_FRAME_TIME", std::to_string(FRAME_TIME_MS).c_str(), 1);
        setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::vector<uint8_t> error = testing_support::ReadFile(folder / "stderr.txt");
    run.errorOutput.assign(error.begin(), error.end());

    std::vector<fs::path> files;
    std::error_code noFrames;
    for (const auto& entry : fs::directory_iterator(folder / "frames", noFrames)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        run.frames.push_back(testing_support::ReadPng(file));
    }
    return run;
}

::testing::AssertionResult Clean(const TourRun& run, size_t frames) {
    const bool framesWhole = std::all_of(run.frames.begin(), run.frames.end(), [](const Frame& frame) {
        return frame.width == 800 && frame.height == 600 && frame.pixels.size() == 800u * 600u;
    });
    if (run.exitCode != 0 || run.frames.size() != frames || !framesWhole) {
        return ::testing::AssertionFailure()
               << "exit code " << run.exitCode << ", " << run.frames.size() << " frames:\n"
               << run.errorOutput;
    }
    return ::testing::AssertionSuccess();
}

std::string Menu(UINT id) {
    return "menu " + std::to_string(id) + "\n";
}

TEST(FeatureTour, LastFrameShowsTerrainModelBillboardAndParticlesEachInItsPlace) {
    testing_support::TemporaryFolder folder;
    const TourRun run = RunTour(folder.Path(), "wait 30\n");
    ASSERT_TRUE(Clean(run, 30));
    const Frame& frame = run.frames.back();
    EXPECT_EQ(CountPixels(frame, CRYSTAL_CORE, IsCrystal), Area(CRYSTAL_CORE)) << "the crystal model";
    EXPECT_EQ(CountPixels(frame, FLAME_CORE, IsFlame), Area(FLAME_CORE)) << "the flame billboard";
    EXPECT_GT(CountPixels(frame, PARTICLE_BAND, IsSpark), 100) << "the particle effects";
    EXPECT_EQ(CountPixels(frame, GROUND_FRONT, IsGround), Area(GROUND_FRONT)) << "the terrain in front";
    EXPECT_EQ(CountPixels(frame, GROUND_LEFT, IsGround), Area(GROUND_LEFT)) << "the terrain on the left";

    // Each keeps to its own place: the crystal stays left of the middle, the flame right of it, and
    // the particles behind both.
    EXPECT_EQ(CountPixels(frame, {400, 0, 800, 600}, IsCrystal), 0);
    EXPECT_EQ(CountPixels(frame, {0, 0, 400, 600}, IsFlame), 0);
    for (const Region& region : {CRYSTAL_CORE, FLAME_CORE, GROUND_FRONT, GROUND_LEFT}) {
        EXPECT_EQ(CountPixels(frame, region, IsSpark), 0) << region.left << "," << region.top;
    }
}

TEST(FeatureTour, ClicksInAResizedWindowLaySandAndRaiseTheGroundWhereTheyLand) {
    // Half the client size: the same place of the picture lies at half the coordinates.
    testing_support::TemporaryFolder folder;
    const TourRun run =
        RunTour(folder.Path(), "wait 2\nresize 400 300\nwait 2\nclick 100 250\nrclick 310 240\nwait 3\n");
    ASSERT_TRUE(Clean(run, 7));
    const Frame& before = run.frames[3];
    const Frame& after = run.frames.back();
    EXPECT_LT(Yellowness(before, TILE_PATCH), 35.0) << "gravel before the left click";
    EXPECT_GT(Yellowness(after, TILE_PATCH), 45.0) << "sand after the left click";
    EXPECT_GT(MeanDifference(before, after, RAISED_PATCH), 25.0) << "the ground the right click raised";
    EXPECT_LT(MeanDifference(before, after, GROUND_FAR_RIGHT), 1.0) << "ground nobody clicked";
}

TEST(FeatureTour, LoadBringsTheShippedMapUntilOneIsSavedInThePlayersFolder) {
    using namespace tour;
    testing_support::TemporaryFolder folder;
    const fs::path shipped = fs::path(ZONKEL_RUN_DIR) / "Map" / "map1.cap";
    const std::vector<uint8_t> shippedBytes = testing_support::ReadFile(shipped);
    const TourRun run =
        RunTour(folder.Path(), "wait 2\nrclick 620 480\nwait 2\n" + Menu(IDM_MAP_LOAD) +
                                   "wait 2\nrclick 620 480\nwait 2\n" + Menu(IDM_MAP_SAVE) +
                                   "wait 2\nrclick 400 560\nwait 3\n" + Menu(IDM_MAP_LOAD) + "wait 3\n");
    ASSERT_TRUE(Clean(run, 16));
    EXPECT_EQ(run.errorOutput.find("cannot"), std::string::npos) << run.errorOutput;
    EXPECT_GT(MeanDifference(run.frames[3], run.frames[5], GROUND_FRONT), 15.0)
        << "the shipped map, its tiles laid by height, replaces the ground before any save";
    EXPECT_GT(MeanDifference(run.frames[3], run.frames[5], RAISED_PATCH), 25.0) << "and the raise with it";

    const Frame& saved = run.frames[9];
    const Frame& loaded = run.frames.back();
    EXPECT_GT(MeanDifference(saved, run.frames[12], GROUND_FRONT), 5.0) << "the edit after saving";
    EXPECT_LT(MeanDifference(saved, loaded, GROUND_FRONT), 1.0) << "the ground as it was saved";
    EXPECT_LT(MeanDifference(saved, loaded, RAISED_PATCH), 1.0) << "the raise made before saving";

    // The image of a 128 x 128 map in the player's folder: header (its size, then width and height at
    // 12), three sample blocks, two patch fields. The shipped map stays as it was.
    const std::vector<uint8_t> bytes =
        testing_support::ReadFile(PlayerFolder(folder.Path()) / "Map" / "map1.cap");
    const uint32_t size = 680 + 6 * 128 * 128 + 2 * 32 * 32;
    ASSERT_EQ(bytes.size(), size);
    uint32_t header[5] = {};
    std::memcpy(header, bytes.data(), sizeof(header));
    EXPECT_EQ(header[0], size);
    EXPECT_EQ(std::pair(header[3], header[4]), std::pair(128u, 128u));
    EXPECT_NE(bytes, shippedBytes);
    EXPECT_EQ(testing_support::ReadFile(shipped), shippedBytes);
}

TEST(FeatureTour, FailedMapSaveKeepsTheOldMapAndSaysSo) {
    using namespace tour;
    testing_support::TemporaryFolder folder;
    const fs::path map = PlayerFolder(folder.Path()) / "Map" / "map1.cap";
    ASSERT_TRUE(Clean(RunTour(folder.Path(), "wait 2\n" + Menu(IDM_MAP_SAVE) + "wait 1\n"), 3));
    const std::vector<uint8_t> saved = testing_support::ReadFile(map);
    ASSERT_FALSE(saved.empty());

    // The next save cannot be written: the disk takes no new file. The raise made before it is not saved,
    // and loading brings the old map back.
    const TourRun run = RunTour(
        folder.Path(),
        "wait 2\nrclick 400 560\nwait 2\n" + Menu(IDM_MAP_SAVE) + Menu(IDM_MAP_LOAD) + "wait 2\n", true, [] {
            if (!testing_support::RefuseExclusiveCreation()) {
                _exit(125);
            }
        });
    ASSERT_TRUE(Clean(run, 6));
    EXPECT_NE(run.errorOutput.find("Map\\map1.cap cannot be saved"), std::string::npos) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("any map saved before is kept"), std::string::npos) << run.errorOutput;
    EXPECT_EQ(testing_support::ReadFile(map), saved);
    EXPECT_GT(MeanDifference(run.frames[1], run.frames[3], GROUND_FRONT), 15.0) << "the raise";
    EXPECT_LT(MeanDifference(run.frames[1], run.frames.back(), GROUND_FRONT), 1.0) << "the old map loaded";
}

TEST(FeatureTour, ArrowAndPageKeysMoveTheCameraLikeTheMenuCommands) {
    using namespace tour;
    testing_support::TemporaryFolder folder;
    const TourRun run = RunTour(folder.Path(), "wait 3\n" + Menu(IDM_CAMERA_RIGHT) +
                                                   "key right\nkey right\nwait 2\nkey up\n" +
                                                   Menu(IDM_CAMERA_FORWARD) + "wait 2\nkey pageup\nwait 2\n");
    ASSERT_TRUE(Clean(run, 9));
    const auto [startX, startY] = CrystalCentre(run.frames[2]);
    const auto [rightX, rightY] = CrystalCentre(run.frames[4]);
    const auto [forwardX, forwardY] = CrystalCentre(run.frames[6]);
    const auto [upX, upY] = CrystalCentre(run.frames[8]);
    EXPECT_LT(rightX, startX - 60.0) << "a step right shifts the scene left";
    EXPECT_GT(forwardY, rightY + 30.0) << "a step forward brings the crystal down the picture";
    EXPECT_GT(upY, forwardY + 10.0) << "from higher up the crystal lies further below the middle";
}

TEST(FeatureTour, MissingDataEndsTheProgramWithAReason) {
    testing_support::TemporaryFolder folder;
    const TourRun run = RunTour(folder.Path(), "wait 2\n", false);
    EXPECT_EQ(run.exitCode, 1) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("velkora-feature-tour: "), std::string::npos) << run.errorOutput;
    EXPECT_TRUE(run.frames.empty());
}

} // namespace
