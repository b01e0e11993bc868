// Tests of the particle system core: array set-up, the update-strategy slots and the release of
// what a system owns (the leak checker of the sanitizer build watches the arrays).
#include "particles/partikel_system.h"
#include "particles/std_partikel_update_class.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A strategy that records its calls and its deletion.
class RecordingStrategy : public StdPartikelUpdateClass {
public:
    RecordingStrategy(std::string name, std::vector<std::string>* calls)
        : name(std::move(name)), calls(calls) {}
    ~RecordingStrategy() override { calls->push_back("~" + name); }
    bool Update(void*) override {
        calls->push_back(name);
        return false;
    }
    std::string name;
    std::vector<std::string>* calls;
};

} // namespace

TEST(PartikelSystemInit, ZeroesTheArraysAndRefusesANegativeCount) {
    PartSystemScale10 system;
    EXPECT_FALSE(system.InitializePartikelSystem(-3));
    EXPECT_EQ(system.vertices, nullptr);
    ASSERT_TRUE(system.InitializePartikelSystem(7));
    EXPECT_EQ(system.particleCount, 7);
    EXPECT_EQ(system.liveCount, 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(system.partikel[i].alive, 0) << "record " << i;
        EXPECT_EQ(system.vertices[i].color, 0u) << "vertex " << i;
    }
    EXPECT_TRUE(system.InitializePartikelSystem(0));
    EXPECT_EQ(system.particleCount, 0);
    system.Release();
}

TEST(PartikelSystemInit, SecondInitializationReplacesTheArraysWithoutLeaking) {
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    system.partikel[0].alive = 1;
    system.liveCount = 3;
    ASSERT_TRUE(system.InitializePartikelSystem(9));
    EXPECT_EQ(system.liveCount, 0);
    EXPECT_EQ(system.partikel[0].alive, 0);
    system.Release();
}

TEST(PartikelSystemFields, ConstructorsAndColourSettersStoreTheExpectedValues) {
    stdPartikelSystem plain;
    EXPECT_EQ(plain.pointScaleC, 1.0f);
    EXPECT_EQ(plain.externX, nullptr);
    EXPECT_EQ(PartStatusBar().pointScaleC, 20.0f);
    EXPECT_EQ(PartSystemScale20().pointScaleC, 20.0f);
    EXPECT_EQ(PartSystemScale10().pointScaleC, 10.0f);
    // Arguments come as alpha, red, green, blue.
    plain.SetStartColor(255, 10, 20, 30);
    EXPECT_EQ(plain.startColorA, 255);
    EXPECT_EQ(plain.startColorR, 10);
    EXPECT_EQ(plain.startColorG, 20);
    EXPECT_EQ(plain.startColorB, 30);
    plain.SetLifeTimeSystem(1000);
    EXPECT_EQ(plain.systemLifeTime, 1000u) << "a duration, not an end time";
}

TEST(PartikelSystemSlots, UpdateRunsFilledSlotsInOrderAndReleaseDeletesThem) {
    std::vector<std::string> calls;
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(5));
    ASSERT_TRUE(system.SetUpdateClass(4, new RecordingStrategy("slot4", &calls)));
    ASSERT_TRUE(system.SetUpdateClass(1, new RecordingStrategy("slot1", &calls)));
    EXPECT_TRUE(system.Update()); // the strategies' false results are ignored
    EXPECT_EQ(calls, (std::vector<std::string>{"slot1", "slot4"}));
    EXPECT_TRUE(system.Release());
    EXPECT_EQ(calls, (std::vector<std::string>{"slot1", "slot4", "~slot1", "~slot4"}));
    EXPECT_EQ(system.vertices, nullptr);
    EXPECT_EQ(system.particleCount, 0);
    EXPECT_TRUE(system.Update());
}

TEST(PartikelSystemSlots, SlotOutsideZeroToFourIsRefusedAndLeftWithTheCaller) {
    std::vector<std::string> calls;
    stdPartikelSystem system;
    RecordingStrategy outside("outside", &calls);
    EXPECT_FALSE(system.SetUpdateClass(5, &outside));
    EXPECT_FALSE(system.SetUpdateClass(-1, &outside));
    system.Release();
    EXPECT_TRUE(calls.empty()) << "the refused strategy must not be deleted by the system";
}

TEST(PartikelSystemSlots, ReplacedStrategyIsDeletedNotLeaked) {
    std::vector<std::string> calls;
    stdPartikelSystem system;
    ASSERT_TRUE(system.SetUpdateClass(0, new RecordingStrategy("first", &calls)));
    ASSERT_TRUE(system.SetUpdateClass(0, new RecordingStrategy("second", &calls)));
    EXPECT_EQ(calls, (std::vector<std::string>{"~first"}));
    system.Release();
    EXPECT_EQ(calls, (std::vector<std::string>{"~first", "~second"}));
}

TEST(PartikelSystemRelease, SecondReleaseIsNotADoubleFree) {
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(5));
    EXPECT_TRUE(system.Release());
    EXPECT_TRUE(system.Release());
}

TEST(PartikelSystemFill, EmptySystemDoesNotTouchTheBuffer) {
    // Without a vertex there is nothing to copy, and no slot of the pool may be rebuilt.
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(0));
    EXPECT_FALSE(system.bFillVertexBuffer(0));
    EXPECT_FALSE(stdPartikelSystem().bFillVertexBuffer(0));
    system.Release();
}
