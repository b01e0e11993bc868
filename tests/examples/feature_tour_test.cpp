// The feature tour run as its users see it: the real program, headless, with a script; its frames are
// probed where the tour puts the terrain, the crystal model, the flame billboard and the particles.
#include "tour_run.h"

#include "../../examples/feature_tour/tour_menu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

using namespace tour_testing;

namespace {

constexpr int FRAME_WIDTH = 800;
constexpr int FRAME_HEIGHT = 600;

// Parts of the 800 x 600 picture that only one thing covers, with the tour's starting camera.
constexpr Region CRYSTAL_CORE = {170, 290, 210, 330};
constexpr Region FLAME_CORE = {580, 360, 615, 400};
constexpr Region PARTICLE_BAND = {250, 0, 600, 200};
constexpr Region GROUND_FRONT = {300, 470, 500, 590};
constexpr Region GROUND_LEFT = {20, 450, 110, 590};
constexpr Region GROUND_FAR_RIGHT = {650, 150, 790, 240};
// Where the scripts click: a patch of ground left of the crystal, and one in front of the flame.
constexpr Region TILE_PATCH = {170, 470, 230, 530};
constexpr Region RAISED_PATCH = {560, 380, 700, 520};

std::string Menu(UINT id) {
    return "menu " + std::to_string(id) + "\n";
}

int Area(const Region& region) {
    return (region.right - region.left) * (region.bottom - region.top);
}

void ExpectCleanRun(const TourRun& run, size_t frames) {
    EXPECT_EQ(run.exitCode, 0) << run.errorOutput;
    ASSERT_EQ(run.frames.size(), frames) << run.errorOutput;
    EXPECT_EQ(run.frames.back().width, FRAME_WIDTH);
    EXPECT_EQ(run.frames.back().height, FRAME_HEIGHT);
}

uint32_t ReadUint32(const std::vector<char>& bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

} // namespace

TEST(FeatureTour, LastFrameShowsTerrainModelBillboardAndParticlesEachInItsPlace) {
    TourFolder folder;
    const TourRun run = folder.Run("wait 30\n");
    ExpectCleanRun(run, 30);
    const Frame& frame = run.frames.back();

    EXPECT_EQ(CountPixels(frame, CRYSTAL_CORE, IsCrystal), Area(CRYSTAL_CORE)) << "the crystal model";
    EXPECT_EQ(CountPixels(frame, FLAME_CORE, IsFlame), Area(FLAME_CORE)) << "the flame billboard";
    EXPECT_GT(CountPixels(frame, PARTICLE_BAND, IsSpark), 100) << "the particle effects";
    EXPECT_EQ(CountPixels(frame, GROUND_FRONT, IsGround), Area(GROUND_FRONT)) << "the terrain in front";
    EXPECT_EQ(CountPixels(frame, GROUND_LEFT, IsGround), Area(GROUND_LEFT)) << "the terrain on the left";

    // Each keeps to its own place: the crystal stays left of the middle, the flame right of it, and
    // the particles behind both.
    const Region leftHalf = {0, 0, FRAME_WIDTH / 2, FRAME_HEIGHT};
    const Region rightHalf = {FRAME_WIDTH / 2, 0, FRAME_WIDTH, FRAME_HEIGHT};
    EXPECT_EQ(CountPixels(frame, rightHalf, IsCrystal), 0);
    EXPECT_EQ(CountPixels(frame, leftHalf, IsFlame), 0);
    for (const Region& region : {CRYSTAL_CORE, FLAME_CORE, GROUND_FRONT, GROUND_LEFT}) {
        EXPECT_EQ(CountPixels(frame, region, IsSpark), 0) << region.left << "," << region.top;
    }
}

TEST(FeatureTour, LeftClickLaysSandAndRightClickRaisesTheGroundThere) {
    TourFolder folder;
    const TourRun run = folder.Run("wait 3\nclick 200 500\nrclick 620 480\nwait 3\n");
    ExpectCleanRun(run, 6);
    const Frame& before = run.frames[2];
    const Frame& after = run.frames.back();

    // Gravel is nearly grey; sand is clearly yellow.
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    MeanColour(before, TILE_PATCH, &red, &green, &blue);
    EXPECT_LT(red - blue, 35.0) << "gravel before the click";
    MeanColour(after, TILE_PATCH, &red, &green, &blue);
    EXPECT_GT(red - blue, 45.0) << "sand after the click";

    EXPECT_GT(MeanDifference(before, after, RAISED_PATCH), 25.0) << "the raised ground";
    EXPECT_LT(MeanDifference(before, after, GROUND_FAR_RIGHT), 1.0) << "ground nobody clicked";
}

TEST(FeatureTour, ClickInAResizedWindowLaysSandOnTheSamePatch) {
    TourFolder folder;
    // Half the client size: the same place of the picture lies at half the coordinates.
    const TourRun run = folder.Run("wait 2\nresize 400 300\nwait 2\nclick 100 250\nwait 2\n");
    ExpectCleanRun(run, 6);
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    MeanColour(run.frames.back(), TILE_PATCH, &red, &green, &blue);
    EXPECT_GT(red - blue, 45.0) << "sand where the click landed";
}

TEST(FeatureTour, SavedMapBringsTheGroundBackWhenLoaded) {
    TourFolder folder;
    const TourRun run =
        folder.Run("wait 3\nrclick 620 480\nwait 2\n" + Menu(tour::IDM_MAP_SAVE) +
                   "wait 2\nrclick 400 560\nwait 3\n" + Menu(tour::IDM_MAP_LOAD) + "wait 3\n");
    ExpectCleanRun(run, 13);
    const Frame& saved = run.frames[6];
    const Frame& changed = run.frames[9];
    const Frame& loaded = run.frames.back();

    EXPECT_GT(MeanDifference(saved, changed, GROUND_FRONT), 15.0) << "the edit after saving";
    EXPECT_LT(MeanDifference(saved, loaded, GROUND_FRONT), 1.0) << "the ground as it was saved";
    EXPECT_LT(MeanDifference(saved, loaded, RAISED_PATCH), 1.0) << "the raise made before saving";

    // The image of a 128 x 128 map: header, three sample blocks, two patch fields.
    std::ifstream file(folder.Path() / "Map" / "map1.cap", std::ios::binary);
    ASSERT_TRUE(file.good());
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const uint32_t expected = 680 + 6 * 128 * 128 + 2 * 32 * 32;
    ASSERT_EQ(bytes.size(), expected);
    EXPECT_EQ(ReadUint32(bytes, 0), expected);
    EXPECT_EQ(ReadUint32(bytes, 12), 128u);
    EXPECT_EQ(ReadUint32(bytes, 16), 128u);
}

TEST(FeatureTour, LoadingWithoutASavedMapSaysSoAndKeepsTheGround) {
    TourFolder folder;
    const TourRun run = folder.Run("wait 2\n" + Menu(tour::IDM_MAP_LOAD) + "wait 3\n");
    ExpectCleanRun(run, 5);
    EXPECT_NE(run.errorOutput.find("Map\\map1.cap cannot be loaded"), std::string::npos) << run.errorOutput;
    EXPECT_LT(MeanDifference(run.frames[1], run.frames.back(), GROUND_FRONT), 1.0);
    EXPECT_EQ(CountPixels(run.frames.back(), GROUND_FRONT, IsGround), Area(GROUND_FRONT));
}

TEST(FeatureTour, CameraCommandsMoveTheViewOverTheScene) {
    TourFolder folder;
    const std::string right = Menu(tour::IDM_CAMERA_RIGHT);
    const std::string forward = Menu(tour::IDM_CAMERA_FORWARD);
    const TourRun run = folder.Run("wait 3\n" + right + right + right + "wait 2\n" + forward + forward +
                                   "wait 2\n" + Menu(tour::IDM_CAMERA_UP) + "wait 2\n");
    ExpectCleanRun(run, 9);
    double startX = 0.0;
    double startY = 0.0;
    double rightX = 0.0;
    double rightY = 0.0;
    double forwardX = 0.0;
    double forwardY = 0.0;
    double upX = 0.0;
    double upY = 0.0;
    ASSERT_TRUE(Centroid(run.frames[2], IsCrystal, &startX, &startY));
    ASSERT_TRUE(Centroid(run.frames[4], IsCrystal, &rightX, &rightY));
    ASSERT_TRUE(Centroid(run.frames[6], IsCrystal, &forwardX, &forwardY));
    ASSERT_TRUE(Centroid(run.frames[8], IsCrystal, &upX, &upY));
    EXPECT_LT(rightX, startX - 60.0) << "a step right shifts the scene left";
    EXPECT_GT(forwardY, rightY + 30.0) << "a step forward brings the crystal down the picture";
    EXPECT_GT(upY, forwardY + 10.0) << "from higher up the crystal lies further below the middle";
}

TEST(FeatureTour, ArrowAndPageKeysMoveTheCameraLikeTheMenuCommands) {
    TourFolder folder;
    const TourRun run = folder.Run(
        "wait 3\nkey right\nkey right\nkey right\nwait 2\nkey up\nkey up\nwait 2\nkey pageup\nwait 2\n");
    ExpectCleanRun(run, 9);
    double startX = 0.0;
    double startY = 0.0;
    double rightX = 0.0;
    double rightY = 0.0;
    double forwardX = 0.0;
    double forwardY = 0.0;
    double upX = 0.0;
    double upY = 0.0;
    ASSERT_TRUE(Centroid(run.frames[2], IsCrystal, &startX, &startY));
    ASSERT_TRUE(Centroid(run.frames[4], IsCrystal, &rightX, &rightY));
    ASSERT_TRUE(Centroid(run.frames[6], IsCrystal, &forwardX, &forwardY));
    ASSERT_TRUE(Centroid(run.frames[8], IsCrystal, &upX, &upY));
    EXPECT_LT(rightX, startX - 60.0) << "the right arrow steps right";
    EXPECT_GT(forwardY, rightY + 30.0) << "the up arrow steps forward";
    EXPECT_GT(upY, forwardY + 10.0) << "page up lifts the camera";
}

TEST(FeatureTour, MissingDataEndsTheProgramWithAReason) {
    TourFolder folder(false);
    const TourRun run = folder.Run("wait 2\n");
    EXPECT_EQ(run.exitCode, 1) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("feature_tour: "), std::string::npos) << run.errorOutput;
    EXPECT_TRUE(run.frames.empty());
}
