// The fixture of the terrain tests: the engine set up on an off-screen window before each test.
#pragma once

#include "terrain_test_support.h"

#include <gtest/gtest.h>

namespace terrain_test {

class TerrainFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Setup());
        t = engine.terrain;
    }
    Engine engine;
    TerrainManager* t = nullptr;
};

} // namespace terrain_test
