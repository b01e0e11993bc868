// Tests of the particle manager's slot table and of the six presets, without drawing.
#include "particles/flight_update_classes.h"
#include "particles/formation_update_classes.h"
#include "particles/partikel_system.h"
#include "particles/point_manager.h"
#include "particles/update_status_bar.h"

#include <gtest/gtest.h>

#include <climits>
#include <typeinfo>

namespace {

// A strategy that reports its deletion.
class WatchedStrategy : public StdPartikelUpdateClass {
public:
    explicit WatchedStrategy(bool* deleted) : deleted(deleted) {}
    ~WatchedStrategy() override { *deleted = true; }
    bool* deleted;
};

class PointManagerSlots : public ::testing::Test {
protected:
    void SetUp() override {
        // Start from a fresh manager even when other suites of this program ran in the same process.
        delete PointManager::GetExemplar();
        manager = PointManager::GetExemplar();
        ASSERT_NE(manager, nullptr);
    }
    // The destructor releases the systems still held and clears the singleton.
    void TearDown() override { delete manager; }

    // A record with every field set, so that each preset finds what it needs.
    CREATE_PARTSYSTEMSTRUCT FullRecord(int type) {
        return CREATE_PARTSYSTEMSTRUCT{.type = type,
                                       .externX = &x,
                                       .externY = &y,
                                       .externZ = &z,
                                       .extern1X = &x1,
                                       .extern1Y = &y1,
                                       .extern1Z = &z1,
                                       .systemId = &id,
                                       .barWidth = 6.0f,
                                       .barYOffset = 1.5f,
                                       .reserved1 = {},
                                       .maximumValue = &maximum,
                                       .currentValue = &current,
                                       .reserved2 = {},
                                       .internX = 7.0f,
                                       .internY = 8.0f,
                                       .internZ = 9.0f,
                                       .startColorA = 11,
                                       .startColorR = 12,
                                       .startColorG = 13,
                                       .startColorB = 14,
                                       .endColorA = 21,
                                       .endColorR = 22,
                                       .endColorG = 23,
                                       .endColorB = 24,
                                       .systemLifeTime = 777};
    }

    int HeldSystems() const {
        int held = 0;
        for (stdPartikelSystem* system : manager->systems) {
            held += system != nullptr;
        }
        return held;
    }

    PointManager* manager = nullptr;
    float x = 1, y = 2, z = 3, x1 = 4, y1 = 5, z1 = 6, maximum = 10, current = 5;
    int id = -42;
};

} // namespace

TEST_F(PointManagerSlots, FullTableRefusesAndAFreedSlotIsReused) {
    for (int expected = 0; expected < PointManager::MAX_SYSTEMS; ++expected) {
        int slot = -1;
        ASSERT_TRUE(manager->AddSystem(&slot, new PartSystemScale10()));
        ASSERT_EQ(slot, expected);
    }
    auto* extra = new PartSystemScale10();
    int slot = -7;
    EXPECT_FALSE(manager->AddSystem(&slot, extra));
    EXPECT_EQ(slot, -7);

    EXPECT_TRUE(manager->ReleaseSystem(5));
    EXPECT_EQ(manager->systems[5], nullptr);
    EXPECT_TRUE(manager->AddSystem(&slot, extra));
    EXPECT_EQ(slot, 5);
}

TEST_F(PointManagerSlots, NullArgumentsAndASystemHeldTwiceAreRefused) {
    int slot = -1;
    auto* system = new PartSystemScale10();
    EXPECT_FALSE(manager->AddSystem(nullptr, system));
    EXPECT_FALSE(manager->AddSystem(&slot, nullptr));
    ASSERT_TRUE(manager->AddSystem(&slot, system));
    int second = -1;
    EXPECT_FALSE(manager->AddSystem(&second, system)) << "it would be deleted twice";
    EXPECT_EQ(second, -1);
}

TEST_F(PointManagerSlots, ReleaseOfAnEmptySlotOrAnIdOutsideTheTableChangesNothing) {
    int slot = -1;
    ASSERT_TRUE(manager->AddSystem(&slot, new PartSystemScale10()));
    EXPECT_TRUE(manager->ReleaseSystem(17));
    EXPECT_FALSE(manager->ReleaseSystem(-1));
    EXPECT_FALSE(manager->ReleaseSystem(PointManager::MAX_SYSTEMS));
    EXPECT_FALSE(manager->ReleaseSystem(INT_MAX));
    EXPECT_EQ(HeldSystems(), 1);
}

TEST_F(PointManagerSlots, ReleasedSystemFreesItsStrategiesAndArrays) {
    bool deleted = false;
    auto* system = new PartSystemScale10();
    ASSERT_TRUE(system->InitializePartikelSystem(50));
    system->SetUpdateClass(2, new WatchedStrategy(&deleted));
    int slot = -1;
    ASSERT_TRUE(manager->AddSystem(&slot, system));
    EXPECT_TRUE(manager->ReleaseSystem(slot));
    // The leak checker sees the arrays; the strategy reports itself.
    EXPECT_TRUE(deleted);
    EXPECT_EQ(manager->systems[slot], nullptr);
}

TEST_F(PointManagerSlots, PresetsBuildTheirClassStrategyCountsColoursAndLives) {
    struct Row {
        int type;
        const std::type_info& systemClass;
        const std::type_info& strategyClass;
        int particles;
        int startARGB[4];
        int endARGB[4];
        int blend;
        float radius;
        DWORD lifeMin, lifeMax, systemLife;
        float pointScaleC;
    };
    const Row rows[] = {
        {0,
         typeid(PartSystemScale10),
         typeid(RadialUpdateClass),
         100,
         {255, 255, 200, 255},
         {0, 100, 0, 0},
         1,
         1.5f,
         1100,
         1200,
         1000,
         10.0f},
        {1,
         typeid(PartSystemScale20),
         typeid(SpiralUpdateClass),
         60,
         {255, 255, 200, 255},
         {100, 100, 100, 100},
         1,
         0.8f,
         0,
         0,
         0,
         20.0f},
        {2,
         typeid(PartStatusBar),
         typeid(UpdateStatusBar),
         60,
         {255, 255, 200, 255},
         {100, 100, 100, 100},
         0,
         1.8f,
         0,
         0,
         0,
         20.0f},
        {3,
         typeid(PartSystemScale20),
         typeid(RingUpdateClass),
         60,
         {11, 12, 13, 14},
         {21, 22, 23, 24},
         1,
         1.8f,
         0,
         0,
         777,
         20.0f},
        {4,
         typeid(PartSystemScale10),
         typeid(BurstUpdateClass),
         200,
         {255, 255, 255, 250},
         {0, 250, 50, 0},
         1,
         0.8f,
         100,
         400,
         1000,
         10.0f},
        {5,
         typeid(PartSystemScale10),
         typeid(BurstUpdateClass),
         200,
         {155, 255, 255, 255},
         {100, 0, 0, 255},
         1,
         0.1f,
         600,
         600,
         2000,
         30.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "type " << row.type);
        CREATE_PARTSYSTEMSTRUCT record = FullRecord(row.type);
        id = -42;
        ASSERT_TRUE(manager->CreatePartikelSystemEx(&record));
        ASSERT_GE(id, 0);
        stdPartikelSystem* system = manager->systems[id];
        ASSERT_NE(system, nullptr);
        EXPECT_EQ(typeid(*system), row.systemClass);
        ASSERT_NE(system->updateClasses[0], nullptr);
        EXPECT_EQ(typeid(*system->updateClasses[0]), row.strategyClass);
        EXPECT_EQ(system->particleCount, row.particles);
        EXPECT_EQ(system->liveCount, 0);
        EXPECT_EQ(system->startColorA, row.startARGB[0]);
        EXPECT_EQ(system->startColorR, row.startARGB[1]);
        EXPECT_EQ(system->startColorG, row.startARGB[2]);
        EXPECT_EQ(system->startColorB, row.startARGB[3]);
        EXPECT_EQ(system->endColorA, row.endARGB[0]);
        EXPECT_EQ(system->endColorR, row.endARGB[1]);
        EXPECT_EQ(system->endColorG, row.endARGB[2]);
        EXPECT_EQ(system->endColorB, row.endARGB[3]);
        EXPECT_EQ(system->blendMode, row.blend);
        EXPECT_FLOAT_EQ(system->radius, row.radius);
        EXPECT_EQ(system->partikelLifeMin, row.lifeMin);
        EXPECT_EQ(system->partikelLifeMax, row.lifeMax);
        EXPECT_EQ(system->systemLifeTime, row.systemLife);
        EXPECT_EQ(system->pointScaleC, row.pointScaleC);
        for (int slot = 1; slot < stdPartikelSystem::UPDATE_SLOTS; ++slot) {
            EXPECT_EQ(system->updateClasses[slot], nullptr);
        }
        if (row.type == 3) {
            EXPECT_EQ(system->externX, nullptr) << "the ring follows nothing";
            EXPECT_FLOAT_EQ(system->internZ, 9.0f);
        } else {
            EXPECT_EQ(system->externX, &x);
            EXPECT_EQ(system->externZ, &z);
        }
        const bool burst = row.type == 4 || row.type == 5;
        EXPECT_EQ(system->extern1Y, burst ? &y1 : nullptr);
    }
    EXPECT_EQ(HeldSystems(), 6);
}

TEST_F(PointManagerSlots, StatusBarPresetTakesTheBarFromTheRecord) {
    CREATE_PARTSYSTEMSTRUCT record = FullRecord(2);
    ASSERT_TRUE(manager->CreatePartikelSystemEx(&record));
    auto* bar = dynamic_cast<PartStatusBar*>(manager->systems[id]);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximumValue, &maximum);
    EXPECT_EQ(bar->currentValue, &current);
    EXPECT_FLOAT_EQ(bar->barWidth, 6.0f);
    EXPECT_FLOAT_EQ(bar->barYOffset, 1.5f);
}

TEST_F(PointManagerSlots, TypeOutsideTheTableBuildsNothing) {
    for (int type : {6, -1, INT_MIN, 1000}) {
        CREATE_PARTSYSTEMSTRUCT record = FullRecord(type);
        EXPECT_TRUE(manager->CreatePartikelSystemEx(&record)) << "type " << type;
        EXPECT_EQ(id, -42) << "type " << type;
    }
    EXPECT_EQ(HeldSystems(), 0);
}

TEST_F(PointManagerSlots, RecordWithoutAPointerThePresetNeedsIsRefused) {
    struct Row {
        int type;
        float* CREATE_PARTSYSTEMSTRUCT::*field;
        const char* name;
    };
    const Row rows[] = {
        {0, &CREATE_PARTSYSTEMSTRUCT::externX, "externX"},
        {1, &CREATE_PARTSYSTEMSTRUCT::externY, "externY"},
        {2, &CREATE_PARTSYSTEMSTRUCT::externZ, "externZ"},
        {2, &CREATE_PARTSYSTEMSTRUCT::maximumValue, "maximum"},
        {2, &CREATE_PARTSYSTEMSTRUCT::currentValue, "current"},
        {4, &CREATE_PARTSYSTEMSTRUCT::extern1X, "extern1X"},
        {5, &CREATE_PARTSYSTEMSTRUCT::extern1Z, "extern1Z"},
    };
    for (const Row& row : rows) {
        CREATE_PARTSYSTEMSTRUCT record = FullRecord(row.type);
        record.*row.field = nullptr;
        EXPECT_FALSE(manager->CreatePartikelSystemEx(&record))
            << "type " << row.type << " without " << row.name;
        EXPECT_EQ(id, -42);
    }
    CREATE_PARTSYSTEMSTRUCT noId = FullRecord(3);
    noId.systemId = nullptr;
    EXPECT_FALSE(manager->CreatePartikelSystemEx(&noId));
    EXPECT_FALSE(manager->CreatePartikelSystemEx(nullptr));
    EXPECT_EQ(HeldSystems(), 0);

    // The ring needs no followed position at all.
    CREATE_PARTSYSTEMSTRUCT ring = FullRecord(3);
    ring.externX = ring.externY = ring.externZ = nullptr;
    EXPECT_TRUE(manager->CreatePartikelSystemEx(&ring));
}

TEST_F(PointManagerSlots, PresetOnAFullTableIsReportedAndFreed) {
    for (int i = 0; i < PointManager::MAX_SYSTEMS; ++i) {
        int slot = -1;
        ASSERT_TRUE(manager->AddSystem(&slot, new PartSystemScale10()));
    }
    CREATE_PARTSYSTEMSTRUCT record = FullRecord(0);
    // Reported as a failure, with no id written; the leak checker sees that nothing is left behind.
    EXPECT_FALSE(manager->CreatePartikelSystemEx(&record));
    EXPECT_EQ(id, -42);
}
