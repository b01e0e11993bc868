// Tests of the update strategies from known states: the clock is set by the test and the generator
// seeded, and the expected values replay the generator in the order the strategies draw from it.
#include "particles/flight_update_classes.h"
#include "particles/formation_update_classes.h"
#include "particles/partikel_system.h"
#include "particles/update_status_bar.h"
#include "win32/mmsystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

constexpr double DEG = 0.01745328888888889;

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

    // A system following (ex, ey, ez) with the radial preset's colours.
    void Prepare(stdPartikelSystem& target, int count) {
        ASSERT_TRUE(target.InitializePartikelSystem(count));
        target.SetExternPosition(&ex, &ey, &ez);
        target.SetExternPosition1(&fx, &fy, &fz);
        target.SetStartColor(255, 255, 200, 255);
        target.SetEndColor(0, 100, 0, 0);
    }

    int AliveCount(const stdPartikelSystem& target) const {
        int alive = 0;
        for (int i = 0; i < target.particleCount; ++i) {
            alive += target.partikel[i].alive;
        }
        return alive;
    }

    float ex = 1.0f, ey = 2.0f, ez = 3.0f;
    float fx = 10.0f, fy = 20.0f, fz = 30.0f;
    PartSystemScale10 system;
    PartStatusBar bar;
};

} // namespace

TEST_F(Strategies, RadialEmitsAFifthOfThePoolEveryTwentiethOfTheLifetime) {
    Prepare(system, 10);
    system.SetRadius(1.5f);
    system.SetLifeTimeSystem(1000);
    system.SetSinglePartikelLifeTime(1100, 1200);
    RadialUpdateClass radial;
    EXPECT_EQ(radial.counter, 10000u);
    EXPECT_EQ(radial.lastTime, 10000u);

    EXPECT_TRUE(radial.Update(&system));
    platform::AdvanceClockForTesting(49);
    radial.Update(&system);
    EXPECT_EQ(AliveCount(system), 0) << "nothing before 50 ms";

    platform::AdvanceClockForTesting(1);
    srand(7);
    radial.Update(&system);
    EXPECT_EQ(AliveCount(system), 2);
    EXPECT_EQ(radial.lastTime, 10050u);
    EXPECT_EQ(system.liveCount, 2);

    srand(7);
    for (int i = 0; i < 2; ++i) {
        const Partikel& record = system.partikel[i];
        const int degrees = rand() * 360 / 32767;
        const float s = static_cast<float>(std::sin(degrees * DEG));
        const float c = static_cast<float>(std::cos(degrees * DEG));
        const float jitterX = static_cast<float>(rand() / 32767);
        const float jitterZ = static_cast<float>(rand() / 32767);
        const float jitterY = static_cast<float>(rand() / 32767);
        const DWORD life = 1100 + static_cast<DWORD>(rand()) * 100 / 32767;
        EXPECT_FLOAT_EQ(record.target[0], 1.0f + s * 1.5f + jitterX) << "record " << i;
        EXPECT_FLOAT_EQ(record.target[2], 3.0f + c * 1.5f + jitterZ) << "record " << i;
        EXPECT_FLOAT_EQ(record.target[1], 2.0f + s * 1.5f + jitterY) << "record " << i;
        EXPECT_FLOAT_EQ(record.direction[0], record.target[0] - 1.0f) << "record " << i;
        EXPECT_EQ(record.life, life) << "record " << i;
        EXPECT_EQ(record.birth, 10050u) << "record " << i;
        // Just born: at the emitter, in the start colour, 15 units large.
        EXPECT_FLOAT_EQ(system.vertices[i].x, 1.0f);
        EXPECT_FLOAT_EQ(system.vertices[i].z, 3.0f);
        EXPECT_EQ(system.vertices[i].color, 0xFFFFC8FFu);
        EXPECT_EQ(system.vertices[i].pointSize, 15.0f);
    }
}

TEST_F(Strategies, RadialParticlesFlyAndFadeRelativeToTheMovingEmitter) {
    Prepare(system, 5);
    system.SetRadius(1.5f);
    system.SetLifeTimeSystem(0);
    system.SetSinglePartikelLifeTime(1000, 1000);
    RadialUpdateClass radial;
    radial.Update(&system);
    ASSERT_EQ(system.partikel[0].alive, 1);
    const Partikel record = system.partikel[0];

    platform::AdvanceClockForTesting(250);
    ex = 5.0f; // the emitter moves: the particle goes with it
    radial.Update(&system);
    const float t = static_cast<float>((1.0 / 1000) * 250);
    EXPECT_FLOAT_EQ(system.vertices[0].x, 5.0f + t * record.direction[0]);
    EXPECT_FLOAT_EQ(system.vertices[0].y, 2.0f + t * record.direction[1]);
    // Alpha 255 -> 0, red 255 -> 100, green 200 -> 0, blue 255 -> 0, each cut toward zero.
    const DWORD a = 255 + static_cast<int>(-255 * t);
    const DWORD r = 255 + static_cast<int>(-155 * t);
    const DWORD g = 200 + static_cast<int>(-200 * t);
    const DWORD b = 255 + static_cast<int>(-255 * t);
    EXPECT_EQ(system.vertices[0].color, (a << 24) | (r << 16) | (g << 8) | b);
}

TEST_F(Strategies, RadialBelowTheDivisorStillEmitsOneAndReusesExpiredRecords) {
    Prepare(system, 2); // a quota of 0 still takes one record per interval
    system.SetLifeTimeSystem(1000);
    system.SetSinglePartikelLifeTime(100, 100);
    RadialUpdateClass radial;

    platform::SetClockForTesting(10050);
    radial.Update(&system);
    EXPECT_EQ(AliveCount(system), 1);
    platform::SetClockForTesting(10100);
    radial.Update(&system);
    EXPECT_EQ(AliveCount(system), 2);
    EXPECT_EQ(system.liveCount, 2);

    // Record 0 is now 101 ms old: freed and not drawn; record 1 is the only vertex.
    platform::SetClockForTesting(10151);
    radial.Update(&system);
    EXPECT_EQ(system.partikel[0].alive, 0);
    EXPECT_EQ(system.liveCount, 1);

    // The next interval takes record 0 again.
    platform::SetClockForTesting(10201);
    radial.Update(&system);
    EXPECT_EQ(system.partikel[0].alive, 1);
    EXPECT_EQ(system.partikel[0].birth, 10201u);
    EXPECT_EQ(system.partikel[1].alive, 0);
}

TEST_F(Strategies, ZeroParticleLifeEndsAtTheTargetInsteadOfNaN) {
    Prepare(system, 3);
    system.SetRadius(1.5f);
    RadialUpdateClass radial;
    radial.Update(&system);
    ASSERT_EQ(system.liveCount, 1);
    const Partikel& record = system.partikel[0];
    EXPECT_FALSE(std::isnan(system.vertices[0].x));
    EXPECT_FLOAT_EQ(system.vertices[0].x, 1.0f + record.direction[0]);
    EXPECT_EQ(system.vertices[0].color, 0x00640000u) << "the end colour";
}

TEST_F(Strategies, ParticleLifeRangeNeitherWrapsNorUnderflows) {
    Prepare(system, 2);
    system.SetSinglePartikelLifeTime(0, 3000000000ul);
    RadialUpdateClass radial;
    srand(11);
    radial.Update(&system);
    srand(11);
    for (int call = 0; call < 4; ++call) {
        rand();
    }
    const DWORD expected =
        static_cast<DWORD>(static_cast<unsigned long long>(rand()) * 3000000000ull / 32767);
    EXPECT_EQ(system.partikel[0].life, expected);

    // A maximum below the minimum gives the minimum.
    PartSystemScale10 reversed;
    Prepare(reversed, 2);
    reversed.SetSinglePartikelLifeTime(800, 300);
    RadialUpdateClass second;
    second.Update(&reversed);
    EXPECT_EQ(reversed.partikel[0].life, 800u);
    reversed.Release();
}

TEST_F(Strategies, FlightStrategiesWithoutAFollowedPositionDoNothing) {
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    RadialUpdateClass radial;
    BurstUpdateClass burst;
    EXPECT_TRUE(radial.Update(&system));
    EXPECT_TRUE(burst.Update(&system));
    EXPECT_EQ(AliveCount(system), 0);
    system.SetExternPosition(&ex, &ey, &ez); // the burst also needs the second position
    burst.Update(&system);
    EXPECT_EQ(AliveCount(system), 0);
}

TEST_F(Strategies, BurstShowsEveryRecordOnceOverOneLifetime) {
    Prepare(system, 40);
    system.SetRadius(0.8f);
    system.SetLifeTimeSystem(1000);
    system.SetSinglePartikelLifeTime(100, 100);
    BurstUpdateClass burst;

    platform::SetClockForTesting(10050);
    srand(3);
    burst.Update(&system);
    EXPECT_EQ(AliveCount(system), 2) << "a twentieth of 40";
    srand(3);
    const float tx = static_cast<float>(10.0f + rand() * 0.8f / 32767.0);
    const float tz = static_cast<float>(30.0f + rand() * 0.8f / 32767.0);
    const float ty = static_cast<float>(20.0f + rand() * 0.8f / 32767.0);
    EXPECT_FLOAT_EQ(system.partikel[0].target[0], tx);
    EXPECT_FLOAT_EQ(system.partikel[0].target[2], tz);
    EXPECT_FLOAT_EQ(system.partikel[0].target[1], ty);
    EXPECT_FLOAT_EQ(system.partikel[0].start[0], 1.0f);
    EXPECT_EQ(system.vertices[0].pointSize, 15.0f);

    for (DWORD now = 10100; now <= 11000; now += 50) {
        platform::SetClockForTesting(now);
        burst.Update(&system);
    }
    EXPECT_EQ(AliveCount(system), 40);
    EXPECT_EQ(system.liveCount, 6) << "only the pairs born in the last 100 ms are within their life";

    // Expired records stay taken: nothing is emitted again and the burst is over.
    platform::SetClockForTesting(11200);
    burst.Update(&system);
    EXPECT_EQ(AliveCount(system), 40);
    EXPECT_EQ(system.liveCount, 0);
}

TEST_F(Strategies, SecondBurstTakesTwoRecordsAtEveryCall) {
    Prepare(system, 5);
    system.SetLifeTimeSystem(100000);
    system.SetSinglePartikelLifeTime(1000, 1000);
    BurstUpdateClass2 burst;
    platform::SetClockForTesting(10007);
    burst.Update(&system);
    EXPECT_EQ(AliveCount(system), 2);
    EXPECT_EQ(burst.lastTime, 10007u);
    burst.Update(&system);
    burst.Update(&system);
    EXPECT_EQ(AliveCount(system), 5);
    EXPECT_EQ(system.liveCount, 5);
    EXPECT_EQ(system.vertices[0].pointSize, 3.0f);
}

TEST_F(Strategies, RingExpandsOnceAroundTheFixedPosition) {
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    system.SetInternPosition(10.0f, 1.0f, 20.0f);
    system.SetRadius(2.0f);
    system.SetLifeTimeSystem(1000);
    system.SetStartColor(255, 255, 255, 255);
    system.SetEndColor(55, 55, 55, 55);
    RingUpdateClass ring;
    EXPECT_EQ(ring.counter, 0u);
    EXPECT_TRUE(ring.Update(&system));
    EXPECT_EQ(system.liveCount, 4);
    EXPECT_FLOAT_EQ(system.vertices[1].x, 10.0f);

    platform::AdvanceClockForTesting(500);
    ring.Update(&system);
    // Record i sits at i * 90 degrees: record 1 goes along +x, record 2 along -z.
    EXPECT_NEAR(system.vertices[1].x, 11.0f, 1e-5);
    EXPECT_NEAR(system.vertices[1].z, 20.0f, 1e-5);
    EXPECT_NEAR(system.vertices[2].z, 19.0f, 1e-5);
    EXPECT_FLOAT_EQ(system.vertices[2].y, 1.0f);
    EXPECT_EQ(system.vertices[0].color, 0x9B9B9B9Bu); // 255 - 100
    EXPECT_EQ(system.vertices[0].pointSize, 3.0f);

    platform::AdvanceClockForTesting(501);
    ring.Update(&system);
    EXPECT_EQ(system.liveCount, 0);
    platform::AdvanceClockForTesting(5000);
    ring.Update(&system);
    EXPECT_EQ(system.liveCount, 0) << "the ring is not emitted again";
    EXPECT_EQ(AliveCount(system), 4);
}

TEST_F(Strategies, RingWithZeroLifetimeHasNoNaNPositions) {
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    system.SetInternPosition(0.0f, 0.0f, 0.0f);
    system.SetRadius(2.0f);
    RingUpdateClass ring;
    ring.Update(&system);
    EXPECT_EQ(system.liveCount, 4);
    EXPECT_FALSE(std::isnan(system.vertices[0].z));
    EXPECT_NEAR(system.vertices[0].z, 2.0f, 1e-5);
}

TEST_F(Strategies, SpiralLightsOneRecordPerUpdateSinksAndDims) {
    Prepare(system, 5);
    system.SetRadius(0.8f);
    SpiralUpdateClass spiral;
    EXPECT_EQ(spiral.counter, 0u);
    EXPECT_TRUE(spiral.Update(&system));
    EXPECT_EQ(system.liveCount, 5);
    EXPECT_EQ(system.vertices[0].color, 0xFF78FA78u) << "record 0 is never lit";
    EXPECT_EQ(system.vertices[1].color, 0xFFFFFFFFu) << "record 1 flashes at the first update";
    EXPECT_FLOAT_EQ(system.vertices[4].y, 2.0f + 0.8f);
    EXPECT_EQ(system.vertices[3].pointSize, 3.0f);

    platform::AdvanceClockForTesting(10);
    spiral.Update(&system);
    EXPECT_EQ(spiral.counter, 2u);
    EXPECT_EQ(system.vertices[2].color, 0xF5F5F5F5u) << "lit, then dimmed by 10";
    EXPECT_EQ(system.vertices[1].color, 0xF5F5F5F5u);
    EXPECT_EQ(system.vertices[0].color, 0xF56EF06Eu);
    EXPECT_NEAR(system.vertices[4].y, 2.0f + 0.8f - 0.3f, 1e-5);
    EXPECT_FLOAT_EQ(system.vertices[0].y, 2.0f) << "height 0 does not go below 0";

    // Long after: every record at height 0 and at the colour floors; the counter runs past the
    // last record without writing beyond the pool.
    for (int update = 0; update < 10; ++update) {
        platform::AdvanceClockForTesting(1000);
        spiral.Update(&system);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(system.vertices[i].color, 0x64329632u) << "record " << i;
        EXPECT_FLOAT_EQ(system.vertices[i].y, 2.0f) << "record " << i;
    }
    ex = -4.0f;
    spiral.Update(&system);
    EXPECT_FLOAT_EQ(system.vertices[0].x, -4.0f + system.partikel[0].start[0]);
}

TEST_F(Strategies, StatusBarColoursFollowTheValue) {
    float maximum = 3.0f;
    float current = 2.0f;
    ASSERT_TRUE(bar.InitializePartikelSystem(60));
    bar.SetExternPosition(&ex, &ey, &ez);
    bar.maximumValue = &maximum;
    bar.currentValue = &current;
    bar.barWidth = 6.0f;
    bar.barYOffset = 1.5f;
    UpdateStatusBar strategy;
    EXPECT_TRUE(strategy.Update(&bar));
    EXPECT_EQ(bar.liveCount, 60);
    EXPECT_FLOAT_EQ(bar.vertices[0].x, 1.0f - 3.0f);
    EXPECT_FLOAT_EQ(bar.vertices[10].x, 1.0f - 3.0f + 1.0f);
    EXPECT_FLOAT_EQ(bar.vertices[10].y, 2.0f + 1.5f);

    // Maximum 3, current 2: 40 points lit, and yellow rather than red.
    EXPECT_EQ(bar.vertices[39].color, UpdateStatusBar::MIDDLE_COLOR);
    EXPECT_EQ(bar.vertices[40].color, UpdateStatusBar::UNLIT_COLOR);

    struct Row {
        float current;
        int lit;
        DWORD color;
    };
    const Row rows[] = {{0.0f, 0, 0}, {1.0f, 20, 0x64C86464}, {2.9f, 58, 0x6464C864}, {7.0f, 60, 0x6464C864}};
    for (const Row& row : rows) {
        current = row.current;
        strategy.Update(&bar);
        for (int i = 0; i < 60; ++i) {
            const DWORD expected = i < row.lit ? row.color : UpdateStatusBar::UNLIT_COLOR;
            ASSERT_EQ(bar.vertices[i].color, expected) << "current " << row.current << ", point " << i;
        }
    }
}

TEST_F(Strategies, RedAndYellowBarPointsAreNotInvisible) {
    float maximum = 3.0f;
    float current = 1.0f;
    ASSERT_TRUE(bar.InitializePartikelSystem(6));
    bar.SetExternPosition(&ex, &ey, &ez);
    bar.maximumValue = &maximum;
    bar.currentValue = &current;
    UpdateStatusBar strategy;
    strategy.Update(&bar);
    // A point that was never grey or green must still have a size.
    EXPECT_EQ(bar.vertices[0].color, UpdateStatusBar::LOW_COLOR);
    EXPECT_EQ(bar.vertices[0].pointSize, 5.0f);
}

TEST_F(Strategies, StatusBarWithZeroMaximumLightsNothing) {
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 0.0f, 1.0f), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, -2.0f, 1.0f), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 3.0f, NAN), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 3.0f, -1.0f), 0);
    EXPECT_EQ(UpdateStatusBar::LitPoints(60, 3.0f, 1e30f), 60);
}

TEST_F(Strategies, StatusBarLeavesOtherSystemsAlone) {
    Prepare(system, 4);
    UpdateStatusBar strategy;
    EXPECT_TRUE(strategy.Update(&system));
    EXPECT_EQ(AliveCount(system), 0);
    EXPECT_EQ(system.liveCount, 0);
}
