// The millisecond clock that tests can stop and move, and rand/srand with the generator the game's
// board rules are written for: state = state * 214013 + 2531011 (mod 2^32), result bits 16..30.
#include "win32/mmsystem.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(Random, SequencesAreThoseOfTheDocumentedGeneratorStartingFromSeedOne) {
    // Without srand the generator starts as if seeded with 1.
    for (int expected : {41, 18467, 6334, 26500, 19169, 15724}) {
        EXPECT_EQ(rand(), expected);
    }
    srand(1000);
    for (int expected : {3304, 8221, 26849, 14038}) {
        EXPECT_EQ(rand(), expected);
    }
    // Every bit of the seed counts.
    srand(0xFFFFFFFFu);
    for (int expected : {35, 29739, 3374, 11141}) {
        EXPECT_EQ(rand(), expected);
    }
    srand(1);
    EXPECT_EQ(rand(), 41);
}

TEST(Clock, StandsStillWhenSetMovesOnWhenAdvancedWrapsAt32BitsAndRunsAgainWhenResumed) {
    platform::SetClockForTesting(0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u) << "stands still";
    platform::AdvanceClockForTesting(0x25);
    EXPECT_EQ(timeGetTime(), 0x15u) << "wraps around";
    platform::SetClockForTesting(0x7FFF0000u);
    platform::AdvanceClockForTesting(0);
    EXPECT_EQ(timeGetTime(), 0x7FFF0000u);

    platform::ResumeRealClock();
    const DWORD first = timeGetTime();
    const DWORD second = timeGetTime();
    EXPECT_LT(first, 60u * 1000u) << "the real clock counts from the program's start";
    EXPECT_GE(second, first);
    // Advancing a running clock stops it where it was, moved on.
    platform::AdvanceClockForTesting(5000);
    const DWORD stopped = timeGetTime();
    EXPECT_GE(stopped, second + 5000);
    EXPECT_LT(stopped, second + 5000 + 60u * 1000u);
    EXPECT_EQ(timeGetTime(), stopped);
    platform::ResumeRealClock();
}
