// The platform base: the board's random generator, the settable clock, path translation, non-blocking
// opens, bounded reads and atomic file replacement.
#include "support/test_files.h"
#include "win32/file_access.h"
#include "win32/mmsystem.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A FIFO or a device opened by mistake would block the program in open() or feed it without end.
TEST(FileAccess, FifosAndDevicesAreRefusedWithoutBlockingLikeMissingFiles) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    ASSERT_EQ(mkfifo("as1.roh", 0644), 0);
    alarm(10); // a blocking open ends the test process instead of hanging the run

    EXPECT_EQ(platform::OpenDataFile("as1.roh", "rb"), nullptr);
    EXPECT_EQ(platform::OpenDataFile("AS1.ROH", "r+b"), nullptr);
    EXPECT_EQ(platform::OpenDataFile("as1.roh", "wb"), nullptr);
    EXPECT_EQ(platform::OpenDataFile("/dev/zero", "rb"), nullptr);
    EXPECT_EQ(platform::OpenDataFile("/dev/null", "wb"), nullptr);
    EXPECT_EQ(platform::OpenDataFile(".", "rb"), nullptr);
    std::vector<uint8_t> bytes{9};
    EXPECT_EQ(platform::ReadDataFile("as1.roh", 100, &bytes), platform::FileReadResult::Missing);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(platform::ReadRegularFile("/dev/urandom", 100, &bytes), platform::FileReadResult::Missing);
    EXPECT_EQ(platform::ReadDataFile("absent.bmp", 100, &bytes), platform::FileReadResult::Missing);
    alarm(0);
}

TEST(FileAccess, ReadsAreBoundedBeforeAnythingIsReadAndWritesTruncateOnlyRegularFiles) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    testing_support::WriteFile(folder / "Map/map1.cap", {1, 2, 3, 4, 5});
    std::vector<uint8_t> bytes;
    EXPECT_EQ(platform::ReadDataFile("map\\MAP1.CAP", 5, &bytes), platform::FileReadResult::Ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(platform::ReadDataFile("Map\\map1.cap", 4, &bytes), platform::FileReadResult::TooLarge);
    EXPECT_TRUE(bytes.empty());

    // A sparse gigabyte is refused from its size alone.
    {
        const int fd = ::open("huge.bmp", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);
        ::close(fd);
    }
    EXPECT_EQ(platform::ReadDataFile("huge.bmp", 1 << 20, &bytes), platform::FileReadResult::TooLarge);

    FILE* out = platform::OpenDataFile("Map\\map1.cap", "wb");
    ASSERT_NE(out, nullptr);
    std::fputc(7, out);
    std::fclose(out);
    EXPECT_EQ(testing_support::ReadFile(folder / "Map/map1.cap"), (std::vector<uint8_t>{7}));
}

TEST(FileAccess, ReplacementKeepsTheOldFileOnFailureFollowsLinksAndClearsDeadWritersLeftovers) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    testing_support::WriteFile(folder / "data/as1.roh", {1, 1, 1});
    ASSERT_EQ(symlink("data/as1.roh", "as1.roh"), 0);

    // A writer killed before its rename left a temporary file; one of a living process stays.
    pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    const std::string deadLeftover = "data/as1.roh.tmp" + std::to_string(dead);
    const std::string livingLeftover = "data/as1.roh.tmp1"; // init lives as long as the system
    testing_support::WriteFile(folder / deadLeftover, {6});
    testing_support::WriteFile(folder / livingLeftover, {6});

    const uint8_t table[] = {2, 3, 4, 5};
    ASSERT_TRUE(platform::ReplaceDataFile("AS1.ROH", table, sizeof(table)));
    struct stat info;
    ASSERT_EQ(lstat("as1.roh", &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(testing_support::ReadFile(folder / "data/as1.roh"), (std::vector<uint8_t>{2, 3, 4, 5}));
    EXPECT_FALSE(std::filesystem::exists(folder / deadLeftover));
    EXPECT_TRUE(std::filesystem::exists(folder / livingLeftover));
    std::filesystem::remove(folder / livingLeftover);

    // A folder that cannot take the temporary file: the old contents stay and nothing is left over.
    if (geteuid() != 0) {
        chmod("data", 0555);
        EXPECT_FALSE(platform::ReplaceDataFile("as1.roh", table, 1));
        chmod("data", 0755);
    }
    EXPECT_FALSE(platform::ReplaceFileAtomically("missing/folder/as1.roh", table, 1));
    EXPECT_EQ(testing_support::ReadFile(folder / "data/as1.roh"), (std::vector<uint8_t>{2, 3, 4, 5}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "data"),
                            std::filesystem::directory_iterator()),
              1);
}
