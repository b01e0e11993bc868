// Tests of the update strategies from known states: the clock is set by the test and the generator
// seeded, and the expected values replay the generator in the order the strategies draw from it.
#include "particles/flight_update_classes.h"
#include "particles/formation_update_classes.h"
#include "particles/partikel_system.h"
#include "particles/update_status_bar.h"

#include "engine/device_probes.h"
#include "win32/mmsystem.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>

namespace {

class Strategies : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetClockForTesting(10000);
        srand(7);
    }
    void TearDown() override {
        system.Release();
        bar.Release();
        platform::ResumeRealClock();
    }

    // A system of `count` following (ex, ey, ez) and (fx, fy, fz) with the radial preset's colours.
    void Prepare(stdPartikelSystem& target, int count, DWORD lifeMin, DWORD lifeMax, DWORD systemLife) {
        ASSERT_TRUE(target.InitializePartikelSystem(count));
        target.SetExternPosition(&ex, &ey, &ez);
        target.SetExternPosition1(&fx, &fy, &fz);
        target.SetStartColor(255, 255, 200, 255);
        target.SetEndColor(0, 100, 0, 0);
        target.SetRadius(1.5f);
        target.SetSinglePartikelLifeTime(lifeMin, lifeMax);
        target.SetLifeTimeSystem(systemLife);
    }

    int AliveCount(const stdPartikelSystem& target) const {
        int alive = 0;
        for (int i = 0; i < target.particleCount; ++i) {
            alive += target.partikel[i].alive;
        }
        return alive;
    }

    void UpdateAt(StdPartikelUpdateClass& strategy, DWORD now) {
        platform::SetClockForTesting(now);
        strategy.Update(&system);
    }

    float ex = 1.0f, ey = 2.0f, ez = 3.0f;
    float fx = 10.0f, fy = 20.0f, fz = 30.0f;
    PartSystemScale10 system;
    PartStatusBar bar;
};

} // namespace

TEST_F(Strategies, RadialEmitsAFifthEveryTwentiethFliesWithTheEmitterFadesAndReusesRecords) {
    Prepare(system, 10, 1000, 1000, 1000);
    RadialUpdateClass radial;
    UpdateAt(radial, 10049);
    EXPECT_EQ(AliveCount(system), 0) << "nothing before 50 ms";
    UpdateAt(radial, 10050);
    EXPECT_EQ(AliveCount(system), 2);
    EXPECT_EQ(system.liveCount, 2);

    // Record 0's target, from the generator's first draws: the angle in whole degrees, then the jitters
    // of x, z and y; x and y both follow the sine.
    const Partikel record = system.partikel[0];
    srand(7);
    const double radians = (rand() * 360 / 32767) * 0.01745328888888889;
    const float s = float(std::sin(radians)), c = float(std::cos(radians));
    const float jitterX = float(rand() / 32767), jitterZ = float(rand() / 32767),
                jitterY = float(rand() / 32767);
    const float direction[3] = {s * 1.5f + jitterX, s * 1.5f + jitterY, c * 1.5f + jitterZ};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_FLOAT_EQ(record.direction[axis], direction[axis]) << axis;
        EXPECT_FLOAT_EQ(record.target[axis], record.start[axis] + direction[axis]) << axis;
    }
    EXPECT_EQ(std::vector<float>(record.start, record.start + 3), std::vector<float>({1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(record.birth, 10050u);
    EXPECT_EQ(system.vertices[0].color, 0xFFFFC8FFu) << "just born: the start colour";
    EXPECT_EQ(system.vertices[0].pointSize, 15.0f);

    ex = 5.0f; // the emitter moves and its particles go with it
    ey = -1.0f;
    ez = 8.0f;
    UpdateAt(radial, 10300);
    const float t = 0.25f;
    EXPECT_FLOAT_EQ(system.vertices[0].x, 5.0f + t * direction[0]);
    EXPECT_FLOAT_EQ(system.vertices[0].y, -1.0f + t * direction[1]);
    EXPECT_FLOAT_EQ(system.vertices[0].z, 8.0f + t * direction[2]);
    // Alpha 255 -> 0, red 255 -> 100, green 200 -> 0, blue 255 -> 0, each cut toward zero.
    const DWORD a = 255 - 63, r = 255 - 38, g = 200 - 50, b = 255 - 63;
    EXPECT_EQ(system.vertices[0].color, (a << 24) | (r << 16) | (g << 8) | b);

    // Past its life a record is freed and not drawn; the next emission takes it again.
    UpdateAt(radial, 11051);
    EXPECT_EQ(system.partikel[0].alive, 0);
    EXPECT_EQ(system.liveCount, 4);
    UpdateAt(radial, 11101);
    EXPECT_EQ(system.partikel[0].alive, 1);
    EXPECT_EQ(system.partikel[0].birth, 11101u);
}

TEST_F(Strategies, ZeroLifeEndsAtTheTargetInsteadOfNaN) {
    Prepare(system, 3, 0, 0, 0);
    RadialUpdateClass radial;
    radial.Update(&system);
    ASSERT_EQ(system.liveCount, 1);
    EXPECT_FALSE(std::isnan(system.vertices[0].x));
    EXPECT_FLOAT_EQ(system.vertices[0].x, 1.0f + system.partikel[0].direction[0]);
    EXPECT_EQ(system.vertices[0].color, 0x00640000u) << "the end colour";

    PartSystemScale20 ring;
    ASSERT_TRUE(ring.InitializePartikelSystem(4));
    ring.SetRadius(2.0f);
    RingUpdateClass ringStrategy;
    ringStrategy.Update(&ring);
    EXPECT_EQ(ring.liveCount, 4);
    EXPECT_NEAR(ring.vertices[0].z, 2.0f, 1e-5);
    ring.Release();
}

TEST_F(Strategies, RingExpandsOnceAroundItsOwnPositionOverTheSystemsLife) {
    PartSystemScale20 ring;
    Prepare(ring, 4, 0, 0, 1000);
    ring.internX = 3.0f;
    ring.internY = -2.0f;
    ring.internZ = 7.0f;
    ring.SetRadius(2.0f);
    RingUpdateClass strategy;
    strategy.Update(&ring);
    // Record i at i quarter turns: x follows the sine, z the cosine, y stays; a quarter of the life in,
    // a quarter of the radius out, a quarter of the way to the end colour. The followed position plays
    // no part.
    platform::SetClockForTesting(10250);
    strategy.Update(&ring);
    ASSERT_EQ(ring.liveCount, 4);
    const float out[4][2] = {{0.0f, 0.5f}, {0.5f, 0.0f}, {0.0f, -0.5f}, {-0.5f, 0.0f}};
    for (int i = 0; i < 4; ++i) {
        ExpectNear(D3DXVECTOR3(ring.vertices[i].x, ring.vertices[i].y, ring.vertices[i].z),
                   D3DXVECTOR3(3.0f + out[i][0], -2.0f, 7.0f + out[i][1]));
        EXPECT_EQ(ring.vertices[i].pointSize, 3.0f);
        EXPECT_EQ(ring.vertices[i].color, 0xC0D996C0u) << i; // 255 - 63, 255 - 38, 200 - 50, 255 - 63
    }
    platform::SetClockForTesting(11001);
    strategy.Update(&ring);
    EXPECT_EQ(ring.liveCount, 0) << "over after one life, and not emitted again";
    platform::SetClockForTesting(11500);
    strategy.Update(&ring);
    EXPECT_EQ(ring.liveCount, 0);
    ring.Release();
}

TEST_F(Strategies, ParticleLifeRangeNeitherWrapsNorUnderflows) {
    Prepare(system, 2, 0, 3000000000ul, 0);
    RadialUpdateClass radial;
    srand(11);
    radial.Update(&system);
    srand(11);
    for (int call = 0; call < 4; ++call) {
        rand();
    }
    EXPECT_EQ(system.partikel[0].life, static_cast<DWORD>(rand() * 3000000000ull / 32767));

    system.SetSinglePartikelLifeTime(800, 300);
    radial.Update(&system);
    EXPECT_EQ(system.partikel[1].life, 800u) << "a maximum below the minimum gives the minimum";
}

TEST_F(Strategies, StrategiesWithoutWhatTheyReadDoNothing) {
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    RadialUpdateClass radial;
    BurstUpdateClass burst;
    UpdateStatusBar statusBar;
    EXPECT_TRUE(radial.Update(&system));
    system.SetExternPosition(&ex, &ey, &ez); // the burst also needs the second position
    EXPECT_TRUE(burst.Update(&system));
    EXPECT_TRUE(statusBar.Update(&system)) << "not a status bar";
    EXPECT_EQ(AliveCount(system), 0);
    EXPECT_EQ(system.liveCount, 0);
}

TEST_F(Strategies, BurstShowsEveryRecordOnce) {
    Prepare(system, 40, 100, 100, 1000);
    BurstUpdateClass burst;
    UpdateAt(burst, 10050);
    EXPECT_EQ(AliveCount(system), 2) << "a twentieth of 40";
    // Scattered up to the radius beyond the second position, drawn for x, z, then y; flying from the first.
    srand(7);
    const float scatterX = float(rand() * 1.5f / 32767.0), scatterZ = float(rand() * 1.5f / 32767.0),
                scatterY = float(rand() * 1.5f / 32767.0);
    const Partikel& record = system.partikel[0];
    EXPECT_EQ(std::vector<float>(record.target, record.target + 3),
              std::vector<float>({fx + scatterX, fy + scatterY, fz + scatterZ}));
    EXPECT_EQ(std::vector<float>(record.direction, record.direction + 3),
              std::vector<float>({fx + scatterX - ex, fy + scatterY - ey, fz + scatterZ - ez}));
    for (DWORD now = 10100; now <= 11000; now += 50) {
        UpdateAt(burst, now);
    }
    EXPECT_EQ(AliveCount(system), 40);
    EXPECT_EQ(system.liveCount, 6) << "only the pairs born in the last 100 ms are within their life";
    UpdateAt(burst, 11200);
    EXPECT_EQ(system.liveCount, 0) << "expired records are not emitted again";
}

TEST_F(Strategies, SpiralLightsOneRecordPerUpdateSinksDimsAndStopsAtThePoolsEnd) {
    Prepare(system, 5, 0, 0, 0);
    system.SetRadius(0.8f);
    SpiralUpdateClass spiral;
    spiral.Update(&system);
    EXPECT_EQ(system.vertices[0].color, 0xFF78FA78u) << "record 0 is never lit";
    EXPECT_EQ(system.vertices[1].color, 0xFFFFFFFFu) << "record 1 flashes at the first update";
    UpdateAt(spiral, 10010);
    EXPECT_EQ(system.vertices[2].color, 0xF5F5F5F5u) << "lit, then dimmed by 10";
    EXPECT_NEAR(system.vertices[4].y, 2.0f + 4 * 0.2f - 10 * 0.03f, 1e-5) << "risen by record, sinking";
    // Long after: every record at height 0 and at the colour floors; the counter runs past the last
    // record without writing beyond the pool.
    for (DWORD now = 11000; now <= 20000; now += 1000) {
        UpdateAt(spiral, now);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(system.vertices[i].color, 0x64329632u) << "record " << i;
        EXPECT_FLOAT_EQ(system.vertices[i].y, 2.0f) << "record " << i;
    }
}

TEST_F(Strategies, StatusBarColoursFollowTheValueAndEveryPointHasASize) {
    float maximum = 3.0f, current = 0.0f;
    ASSERT_TRUE(bar.InitializePartikelSystem(60));
    bar.SetExternPosition(&ex, &ey, &ez);
    bar.maximumValue = &maximum;
    bar.currentValue = &current;
    bar.barWidth = 6.0f;
    bar.barYOffset = 1.5f;
    UpdateStatusBar strategy;
    struct Row {
        float current;
        int lit;
        DWORD color;
    };
    // Grey unlit; lit red below two thirds of the maximum, yellow below three quarters, green above.
    const Row rows[] = {{0.0f, 0, 0},
                        {1.0f, 20, 0x64C86464},
                        {2.0f, 40, 0x64C8C864},
                        {2.9f, 58, 0x6464C864},
                        {7.0f, 60, 0x6464C864}};
    for (const Row& row : rows) {
        current = row.current;
        strategy.Update(&bar);
        for (int i = 0; i < 60; ++i) {
            const DWORD expected = i < row.lit ? row.color : 0x64646464;
            ASSERT_EQ(bar.vertices[i].color, expected) << "current " << row.current << ", point " << i;
            ASSERT_EQ(bar.vertices[i].pointSize, 5.0f) << "a red or yellow point must not be invisible";
        }
    }
    EXPECT_FLOAT_EQ(bar.vertices[10].x, 1.0f - 3.0f + 1.0f) << "a row 6 wide, centred";

    // A zero, negative or NaN value lights nothing, and nothing is divided by a zero maximum.
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 0.0f, 1.0f), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, -2.0f, 1.0f), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 3.0f, NAN), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 3.0f, 1e30f), 60);
}
