// The platform base: the board's random generator, the settable clock, path translation and the
// sound trace.
#include "support/test_files.h"
#include "win32/file_access.h"
#include "win32/mmsystem.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(Random, FollowsTheBoardGeneratorNotTheCLibrary) {
    srand(1);
    EXPECT_EQ(rand(), 41);
    EXPECT_EQ(rand(), 18467);
    EXPECT_EQ(rand(), 6334);
    srand(0);
    EXPECT_EQ(rand(), 38);
}

TEST(Random, StaysWithinFifteenBits) {
    srand(123456789u);
    for (int i = 0; i < 100000; ++i) {
        int value = rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
}

TEST(Clock, CanBeSetAndAdvancedAndWraps) {
    platform::SetClockForTesting(0xfffffff0u);
    EXPECT_EQ(timeGetTime(), 0xfffffff0u);
    platform::AdvanceClockForTesting(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
    platform::ResumeRealClock();
    DWORD a = timeGetTime();
    DWORD b = timeGetTime();
    EXPECT_LE(static_cast<DWORD>(b - a), 1000u);
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

TEST(Sound, RecordsEveryFileInOrder) {
    platform::ClearSoundTrace();
    PlaySoundA("8QX00036.wav", nullptr, SND_FILENAME | SND_ASYNC);
    PlaySoundA("8SX00040.wav", nullptr, SND_FILENAME | SND_ASYNC);
    EXPECT_EQ(platform::SoundTrace(), (std::vector<std::string>{"8QX00036.wav", "8SX00040.wav"}));
}
