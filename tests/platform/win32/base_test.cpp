// The platform base: the board's random generator, the settable clock and path translation.
#include "support/test_files.h"
#include "win32/file_access.h"
#include "win32/mmsystem.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(Random, FollowsTheBoardGeneratorNotTheCLibraryWithinFifteenBits) {
    srand(1);
    EXPECT_EQ(rand(), 41);
    EXPECT_EQ(rand(), 18467);
    EXPECT_EQ(rand(), 6334);
    srand(0);
    EXPECT_EQ(rand(), 38);
    srand(123456789u);
    for (int i = 0; i < 100000; ++i) {
        int value = rand();
        ASSERT_TRUE(value >= 0 && value <= 32767) << value;
    }
}

TEST(Clock, CanBeSetAndAdvancedAndWraps) {
    platform::SetClockForTesting(0xfffffff0u);
    EXPECT_EQ(timeGetTime(), 0xfffffff0u);
    platform::AdvanceClockForTesting(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
    platform::ResumeRealClock();
    DWORD a = timeGetTime();
    EXPECT_LE(static_cast<DWORD>(timeGetTime() - a), 1000u);
}

TEST(FileAccess, TurnsBackslashesIntoFoldersAndIgnoresCaseWhenNeeded) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "Grafik/Terrain/Gras1.bmp", {1, 2, 3});
    testing_support::WorkingDirectory inFolder(folder.Path());

    EXPECT_EQ(platform::ToHostPath("Grafik\\Terrain\\Gras1.bmp"), "Grafik/Terrain/Gras1.bmp");
    EXPECT_EQ(platform::ToHostPath("grafik\\terrain\\GRAS1.BMP"), "Grafik/Terrain/Gras1.bmp");
    EXPECT_EQ(platform::ToHostPath("Grafik\\missing.bmp"), "Grafik/missing.bmp");

    FILE* file = platform::OpenDataFile("GRAFIK\\Terrain\\gras1.bmp", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 1);
    std::fclose(file);
    EXPECT_EQ(platform::OpenDataFile(nullptr, "rb"), nullptr);
}
