// Tests of the particle system core: array set-up, the parameter setters, the update-strategy slots
// and the release of what a system owns.
#include "particles/partikel_system.h"
#include "particles/std_partikel_update_class.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

// A strategy that records its calls and its deletion.
class RecordingStrategy : public StdPartikelUpdateClass {
public:
    RecordingStrategy(std::string name, std::vector<std::string>* calls)
        : name(std::move(name)), calls(calls) {}
    ~RecordingStrategy() override { calls->push_back("~" + name); }
    bool Update(void* system) override {
        calls->push_back(name);
        lastSystem = system;
        return false;
    }

    std::string name;
    std::vector<std::string>* calls;
    void* lastSystem = nullptr;
};

} // namespace

TEST(PartikelSystemLayout, VertexIsTwentyBytesWithColourLast) {
    EXPECT_EQ(sizeof(PartikelVertex), 20u);
    EXPECT_EQ(offsetof(PartikelVertex, pointSize), 12u);
    EXPECT_EQ(offsetof(PartikelVertex, color), 16u);
    EXPECT_EQ(PARTIKEL_VERTEX_FVF, 0x62u);
}

TEST(PartikelSystemInit, ArraysAreZeroedAndLiveCountIsZero) {
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(7));
    EXPECT_EQ(system.particleCount, 7);
    EXPECT_EQ(system.liveCount, 0);
    ASSERT_NE(system.vertices, nullptr);
    ASSERT_NE(system.partikel, nullptr);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(system.partikel[i].alive, 0) << "record " << i;
        EXPECT_EQ(system.partikel[i].life, 0u) << "record " << i;
        EXPECT_EQ(system.vertices[i].color, 0u) << "vertex " << i;
        EXPECT_EQ(system.vertices[i].pointSize, 0.0f) << "vertex " << i;
    }
    EXPECT_NE(system.bufferManager, nullptr);
    system.Release();
}

TEST(PartikelSystemInit, ZeroCountSucceedsWithNoLiveParticles) {
    PartSystemScale20 system;
    EXPECT_TRUE(system.InitializePartikelSystem(0));
    EXPECT_EQ(system.particleCount, 0);
    EXPECT_EQ(system.liveCount, 0);
    system.Release();
}

TEST(PartikelSystemInit, NegativeCountIsRefused) {
    PartSystemScale10 system;
    EXPECT_FALSE(system.InitializePartikelSystem(-3));
    EXPECT_EQ(system.particleCount, 0);
    EXPECT_EQ(system.vertices, nullptr);
    EXPECT_EQ(system.partikel, nullptr);
}

TEST(PartikelSystemInit, SecondInitializationReplacesTheArraysWithoutLeaking) {
    // Run under the leak checker, this fails if the first arrays are lost.
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    system.partikel[0].alive = 1;
    system.liveCount = 3;
    ASSERT_TRUE(system.InitializePartikelSystem(9));
    EXPECT_EQ(system.particleCount, 9);
    EXPECT_EQ(system.liveCount, 0);
    EXPECT_EQ(system.partikel[0].alive, 0);
    system.Release();
}

TEST(PartikelSystemConstruction, EveryFieldHasADefinedValue) {
    stdPartikelSystem plain;
    EXPECT_EQ(plain.pointScaleC, 1.0f);
    EXPECT_EQ(plain.blendMode, 0);
    EXPECT_EQ(plain.externX, nullptr);
    EXPECT_EQ(plain.extern1Z, nullptr);
    EXPECT_EQ(plain.systemLifeTime, 0u);
    for (StdPartikelUpdateClass* slot : plain.updateClasses) {
        EXPECT_EQ(slot, nullptr);
    }
    EXPECT_EQ(PartStatusBar().pointScaleC, 20.0f);
    EXPECT_EQ(PartSystemScale20().pointScaleC, 20.0f);
    EXPECT_EQ(PartSystemScale10().pointScaleC, 10.0f);
    PartStatusBar bar;
    EXPECT_EQ(bar.currentValue, nullptr);
    EXPECT_EQ(bar.maximumValue, nullptr);
}

TEST(PartikelSystemSetters, StoreTheirArgumentsUnchanged) {
    stdPartikelSystem system;
    float x = 1, y = 2, z = 3, x1 = 4, y1 = 5, z1 = 6;
    EXPECT_TRUE(system.SetStartColor(255, 10, 20, 30));
    EXPECT_EQ(system.startColorA, 255);
    EXPECT_EQ(system.startColorR, 10);
    EXPECT_EQ(system.startColorG, 20);
    EXPECT_EQ(system.startColorB, 30);
    EXPECT_TRUE(system.SetEndColor(1, 2, 3, 4));
    EXPECT_EQ(system.endColorA, 1);
    EXPECT_EQ(system.endColorR, 2);
    EXPECT_EQ(system.endColorG, 3);
    EXPECT_EQ(system.endColorB, 4);
    // A duration, not the clock plus the duration.
    EXPECT_TRUE(system.SetLifeTimeSystem(1000));
    EXPECT_EQ(system.systemLifeTime, 1000u);
    EXPECT_TRUE(system.SetSinglePartikelLifeTime(100, 400));
    EXPECT_EQ(system.partikelLifeMin, 100u);
    EXPECT_EQ(system.partikelLifeMax, 400u);
    EXPECT_TRUE(system.SetExternPosition(&x, &y, &z));
    EXPECT_EQ(system.externX, &x);
    EXPECT_EQ(system.externZ, &z);
    EXPECT_TRUE(system.SetExternPosition1(&x1, &y1, &z1));
    EXPECT_EQ(system.extern1Y, &y1);
    EXPECT_TRUE(system.SetInternPosition(7, 8, 9));
    EXPECT_EQ(system.internY, 8.0f);
    EXPECT_TRUE(system.SetRadius(-2.5f));
    EXPECT_EQ(system.radius, -2.5f);
    EXPECT_TRUE(system.SetBlendMode(7));
    EXPECT_EQ(system.blendMode, 7);
}

TEST(PartikelSystemUpdate, RunsFilledSlotsInOrderAndSkipsEmptyOnes) {
    std::vector<std::string> calls;
    stdPartikelSystem system;
    auto* late = new RecordingStrategy("slot4", &calls);
    auto* early = new RecordingStrategy("slot1", &calls);
    ASSERT_TRUE(system.SetUpdateClass(4, late));
    ASSERT_TRUE(system.SetUpdateClass(1, early));
    EXPECT_TRUE(system.Update()); // the strategies' false results are ignored
    EXPECT_EQ(calls, (std::vector<std::string>{"slot1", "slot4"}));
    EXPECT_EQ(early->lastSystem, &system);
    system.Release();
}

TEST(PartikelSystemUpdate, WithoutStrategiesDoesNothing) {
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(3));
    EXPECT_TRUE(system.Update());
    EXPECT_EQ(system.liveCount, 0);
    system.Release();
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

TEST(PartikelSystemRelease, FreesStrategiesAndArraysAndForgetsThem) {
    std::vector<std::string> calls;
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(5));
    system.SetUpdateClass(0, new RecordingStrategy("a", &calls));
    system.SetUpdateClass(3, new RecordingStrategy("b", &calls));
    EXPECT_TRUE(system.Release());
    EXPECT_EQ(calls, (std::vector<std::string>{"~a", "~b"}));
    EXPECT_EQ(system.vertices, nullptr);
    EXPECT_EQ(system.partikel, nullptr);
    EXPECT_EQ(system.particleCount, 0);
    for (StdPartikelUpdateClass* slot : system.updateClasses) {
        EXPECT_EQ(slot, nullptr);
    }
}

TEST(PartikelSystemRelease, SecondReleaseIsNotADoubleFree) {
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(5));
    EXPECT_TRUE(system.Release());
    EXPECT_TRUE(system.Release());
    EXPECT_TRUE(system.Update());
}

TEST(PartikelSystemRelease, WithoutStrategiesFreesOnlyTheArrays) {
    PartSystemScale20 system;
    ASSERT_TRUE(system.InitializePartikelSystem(2));
    EXPECT_TRUE(system.Release());
    EXPECT_EQ(system.vertices, nullptr);
}

TEST(PartikelSystemFill, EmptySystemDoesNotTouchTheBuffer) {
    PartSystemScale10 system;
    ASSERT_TRUE(system.InitializePartikelSystem(0));
    // Without a vertex there is nothing to copy, and no slot of the pool may be rebuilt.
    EXPECT_FALSE(system.bFillVertexBuffer(0));
    stdPartikelSystem uninitialised;
    EXPECT_FALSE(uninitialised.bFillVertexBuffer(0));
    system.Release();
}
