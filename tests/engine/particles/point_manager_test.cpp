// Tests of what particle systems own (arrays, strategies) and of the particle manager's slot table and
// presets, without drawing. The sanitizer build's leak checker watches every allocation made here.
#include "particles/flight_update_classes.h"
#include "particles/formation_update_classes.h"
#include "particles/partikel_system.h"
#include "particles/point_manager.h"
#include "particles/update_status_bar.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <typeinfo>
#include <vector>

namespace {

// A strategy that counts its deletions.
class WatchedStrategy : public StdPartikelUpdateClass {
public:
    explicit WatchedStrategy(int* deletions) : deletions(deletions) {}
    ~WatchedStrategy() override { ++*deletions; }
    int* deletions;
};

class PointManagerSlots : public ::testing::Test {
protected:
    void SetUp() override {
        delete PointManager::GetExemplar();
        manager = PointManager::GetExemplar();
        ASSERT_NE(manager, nullptr);
    }
    // The destructor releases the systems still held.
    void TearDown() override { delete manager; }

    // A record with every field set, so that each preset finds what it needs.
    CREATE_PARTSYSTEMSTRUCT FullRecord(int type) {
        CREATE_PARTSYSTEMSTRUCT r{};
        r.type = type;
        r.externX = &x, r.externY = &y, r.externZ = &z;
        r.extern1X = &x, r.extern1Y = &y1, r.extern1Z = &z;
        r.systemId = &id;
        r.barWidth = 6.0f, r.barYOffset = 1.5f;
        r.maximumValue = &maximum, r.currentValue = &current;
        r.internZ = 9.0f;
        r.startColorA = 11, r.startColorR = 12, r.startColorG = 13, r.startColorB = 14;
        r.endColorA = 21, r.endColorR = 22, r.endColorG = 23, r.endColorB = 24;
        r.systemLifeTime = 777;
        return r;
    }

    int HeldSystems() const {
        int held = 0;
        for (stdPartikelSystem* system : manager->systems) {
            held += system != nullptr;
        }
        return held;
    }

    void FillTable() {
        for (int expected = 0; expected < 1000; ++expected) {
            int slot = -1;
            ASSERT_TRUE(manager->AddSystem(&slot, new PartSystemScale10()));
            ASSERT_EQ(slot, expected);
        }
    }

    PointManager* manager = nullptr;
    float x = 1, y = 2, z = 3, y1 = 5, maximum = 10, current = 5;
    int id = -42;
};

} // namespace

TEST(PartikelSystem, NegativeCountIsRefusedAndReinitialisationFreesTheOldArrays) {
    PartSystemScale10 system;
    EXPECT_FALSE(system.InitializePartikelSystem(-3));
    EXPECT_EQ(system.vertices, nullptr);
    ASSERT_TRUE(system.InitializePartikelSystem(4));
    system.partikel[0].alive = 1;
    system.liveCount = 3;
    ASSERT_TRUE(system.InitializePartikelSystem(9)); // the leak checker sees the first arrays
    EXPECT_EQ(system.particleCount, 9);
    EXPECT_EQ(system.liveCount, 0);
    EXPECT_EQ(system.partikel[0].alive, 0);
    EXPECT_TRUE(system.Release());
    EXPECT_TRUE(system.Release()) << "a second release is not a double free";
    EXPECT_EQ(system.vertices, nullptr);
    EXPECT_EQ(system.particleCount, 0);
}

TEST(PartikelSystem, UpdateClassSlotOutsideZeroToFourIsRefusedAndReplacedOnesAreDeleted) {
    int deletions = 0;
    stdPartikelSystem system;
    WatchedStrategy outside(&deletions);
    EXPECT_FALSE(system.SetUpdateClass(5, &outside));
    EXPECT_FALSE(system.SetUpdateClass(-1, &outside));
    ASSERT_TRUE(system.SetUpdateClass(4, new WatchedStrategy(&deletions)));
    ASSERT_TRUE(system.SetUpdateClass(4, new WatchedStrategy(&deletions)));
    EXPECT_EQ(deletions, 1) << "the replaced strategy";
    system.Release();
    EXPECT_EQ(deletions, 2) << "the refused strategy stays the caller's";
}

TEST_F(PointManagerSlots, FullTableNullArgumentsAndASystemHeldTwiceAreRefusedAndAPresetOnAFullTableIsFreed) {
    auto* extra = new PartSystemScale10();
    int slot = -7;
    EXPECT_FALSE(manager->AddSystem(nullptr, extra));
    EXPECT_FALSE(manager->AddSystem(&slot, nullptr));
    FillTable();
    EXPECT_FALSE(manager->AddSystem(&slot, extra));
    EXPECT_EQ(slot, -7);
    CREATE_PARTSYSTEMSTRUCT record = FullRecord(0);
    EXPECT_FALSE(manager->CreatePartikelSystemEx(&record)); // the leak checker sees what it made
    EXPECT_EQ(id, -42);
    EXPECT_TRUE(manager->ReleaseSystem(5));
    EXPECT_TRUE(manager->AddSystem(&slot, extra));
    EXPECT_EQ(slot, 5) << "the freed slot is reused";
    EXPECT_TRUE(manager->ReleaseSystem(6));
    EXPECT_FALSE(manager->AddSystem(&slot, extra)) << "held twice, it would be deleted twice";
    EXPECT_EQ(slot, 5);
}

TEST_F(PointManagerSlots, ReleaseSystemReleasesBeforeDeletingAndIgnoresIdsOutsideTheTable) {
    int deletions = 0;
    auto* system = new PartSystemScale10();
    ASSERT_TRUE(system->InitializePartikelSystem(50));
    system->SetUpdateClass(2, new WatchedStrategy(&deletions));
    int slot = -1;
    ASSERT_TRUE(manager->AddSystem(&slot, new PartSystemScale10()));
    ASSERT_TRUE(manager->AddSystem(&slot, system));
    for (int outside : {-1, 1000, INT_MAX, INT_MIN}) {
        EXPECT_FALSE(manager->ReleaseSystem(outside)) << outside;
    }
    EXPECT_TRUE(manager->ReleaseSystem(17)) << "an empty slot is fine";
    EXPECT_EQ(HeldSystems(), 2);
    EXPECT_TRUE(manager->ReleaseSystem(slot));
    EXPECT_EQ(deletions, 1); // and the leak checker sees the arrays
    EXPECT_EQ(manager->systems[slot], nullptr);
}

TEST_F(PointManagerSlots, PresetsBuildTheirClassStrategyCountsColoursAndLives) {
    struct Row {
        const std::type_info& systemClass;
        const std::type_info& strategyClass;
        int particles;
        int blend;
        float radius;
        float pointScaleC;
    };
    const Row rows[] = {
        {typeid(PartSystemScale10), typeid(RadialUpdateClass), 100, 1, 1.5f, 10},
        {typeid(PartSystemScale20), typeid(SpiralUpdateClass), 60, 1, 0.8f, 20},
        {typeid(PartStatusBar), typeid(UpdateStatusBar), 60, 0, 1.8f, 20},
        {typeid(PartSystemScale20), typeid(RingUpdateClass), 60, 1, 1.8f, 20},
        {typeid(PartSystemScale10), typeid(BurstUpdateClass), 200, 1, 0.8f, 10},
        {typeid(PartSystemScale10), typeid(BurstUpdateClass), 200, 1, 0.1f, 30},
    };
    // Start and end colour as alpha, red, green, blue; the ring takes both from the record.
    const int colours[6][8] = {
        {255, 255, 200, 255, 0, 100, 0, 0},       {255, 255, 200, 255, 100, 100, 100, 100},
        {255, 255, 200, 255, 100, 100, 100, 100}, {11, 12, 13, 14, 21, 22, 23, 24},
        {255, 255, 255, 250, 0, 250, 50, 0},      {155, 255, 255, 255, 100, 0, 0, 255}};
    // Particle life minimum and maximum, system lifetime.
    const DWORD lives[6][3] = {{1100, 1200, 1000}, {0, 0, 0},        {0, 0, 0},
                               {0, 0, 777},        {100, 400, 1000}, {600, 600, 2000}};
    for (int type = 0; type < 6; ++type) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        const Row& row = rows[type];
        CREATE_PARTSYSTEMSTRUCT record = FullRecord(type);
        ASSERT_TRUE(manager->CreatePartikelSystemEx(&record));
        ASSERT_EQ(id, type);
        stdPartikelSystem* s = manager->systems[id];
        EXPECT_EQ(typeid(*s), row.systemClass);
        ASSERT_NE(s->updateClasses[0], nullptr);
        EXPECT_EQ(typeid(*s->updateClasses[0]), row.strategyClass);
        EXPECT_EQ(s->particleCount, row.particles);
        EXPECT_EQ((std::vector<int>{s->startColorA, s->startColorR, s->startColorG, s->startColorB,
                                    s->endColorA, s->endColorR, s->endColorG, s->endColorB}),
                  std::vector<int>(colours[type], colours[type] + 8));
        EXPECT_EQ(std::tuple(s->blendMode, s->radius, s->pointScaleC),
                  std::tuple(row.blend, row.radius, row.pointScaleC));
        EXPECT_EQ(std::tuple(s->partikelLifeMin, s->partikelLifeMax, s->systemLifeTime),
                  std::tuple(lives[type][0], lives[type][1], lives[type][2]));
        EXPECT_EQ(s->externX, type == 3 ? nullptr : &x) << "the ring follows nothing";
        EXPECT_EQ(s->extern1Y, type >= 4 ? &y1 : nullptr);
    }
    auto* bar = static_cast<PartStatusBar*>(manager->systems[2]);
    EXPECT_EQ(bar->maximumValue, &maximum);
    EXPECT_EQ(bar->currentValue, &current);
    EXPECT_FLOAT_EQ(bar->barYOffset, 1.5f);
    EXPECT_FLOAT_EQ(manager->systems[3]->internZ, 9.0f);
}

TEST_F(PointManagerSlots, RecordWithoutAPointerThePresetNeedsIsRefusedWithNothingLeft) {
    struct Row {
        int type;
        float* CREATE_PARTSYSTEMSTRUCT::*field;
        const char* name;
    };
    const Row rows[] = {
        {0, &CREATE_PARTSYSTEMSTRUCT::externX, "externX"},
        {1, &CREATE_PARTSYSTEMSTRUCT::externY, "externY"},
        {2, &CREATE_PARTSYSTEMSTRUCT::externZ, "externZ"},
        {2, &CREATE_PARTSYSTEMSTRUCT::maximumValue, "max"},
        {2, &CREATE_PARTSYSTEMSTRUCT::currentValue, "cur"},
        {4, &CREATE_PARTSYSTEMSTRUCT::extern1X, "extern1X"},
        {5, &CREATE_PARTSYSTEMSTRUCT::extern1Z, "extern1Z"},
    };
    for (const Row& row : rows) {
        CREATE_PARTSYSTEMSTRUCT record = FullRecord(row.type);
        record.*row.field = nullptr;
        EXPECT_FALSE(manager->CreatePartikelSystemEx(&record))
            << "type " << row.type << " without " << row.name;
    }
    CREATE_PARTSYSTEMSTRUCT noId = FullRecord(3);
    noId.systemId = nullptr;
    EXPECT_FALSE(manager->CreatePartikelSystemEx(&noId));
    EXPECT_FALSE(manager->CreatePartikelSystemEx(nullptr));
    for (int type : {6, -1, INT_MIN}) {
        CREATE_PARTSYSTEMSTRUCT outside = FullRecord(type);
        EXPECT_TRUE(manager->CreatePartikelSystemEx(&outside)) << "type " << type << " builds nothing";
    }
    EXPECT_EQ(id, -42);
    EXPECT_EQ(HeldSystems(), 0);

    CREATE_PARTSYSTEMSTRUCT ring = FullRecord(3);
    ring.externX = ring.externY = ring.externZ = nullptr;
    EXPECT_TRUE(manager->CreatePartikelSystemEx(&ring)) << "the ring needs no followed position";
}
