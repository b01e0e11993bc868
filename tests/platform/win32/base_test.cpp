// The platform's file access: path translation, non-blocking opens, bounded reads and atomic file
// replacement.
#include "support/process_probes.h"
#include "support/test_files.h"
#include "win32/file_access.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The installed game reads its pictures from where they were installed and keeps its tables in the
// player's folder: what it writes must never land in the shipped data, and its own copy must win.
TEST(FileAccess, ShippedDataIsReadFromTheDataFolderButWritesStayInTheWorkingFolder) {
    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder shipped;
    testing_support::WriteFile(shipped / "Grafik/Stone1.dds", {1});
    testing_support::WriteFile(shipped / "Map/map1.cap", {2, 2});
    testing_support::WriteFile(shipped / "as1.roh", {3, 3, 3});
    std::filesystem::create_directory(work / "Map");
    testing_support::WorkingDirectory inWork(work.Path());
    platform::SetDataFolder(shipped.Path().string());

    EXPECT_EQ(platform::ToHostPath("grafik\\STONE1.DDS"), (shipped / "Grafik/Stone1.dds").string());
    EXPECT_EQ(platform::ToHostPath("/absent/as1.roh"), "/absent/as1.roh") << "absolute paths stay";
    EXPECT_EQ(platform::ToHostPath("absent.bmp"), "absent.bmp");
    std::vector<uint8_t> bytes;
    EXPECT_EQ(platform::ReadDataFile("Map\\map1.cap", 10, &bytes), platform::FileReadResult::Ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{2, 2}));

    // Writes of every kind go to the working folder, whose copy is read from then on.
    const uint8_t map[] = {9};
    ASSERT_TRUE(platform::ReplaceDataFile("Map\\map1.cap", map, 1));
    FILE* table = platform::OpenDataFile("as1.roh", "wb");
    ASSERT_NE(table, nullptr);
    std::fputc(4, table);
    std::fclose(table);
    EXPECT_EQ(platform::OpenDataFile("Grafik\\stone1.dds", "r+b"), nullptr);
    EXPECT_EQ(platform::ReadDataFile("map\\MAP1.CAP", 10, &bytes), platform::FileReadResult::Ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{9}));
    EXPECT_EQ(platform::ReadDataFile("as1.roh", 10, &bytes), platform::FileReadResult::Ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{4}));
    EXPECT_EQ(testing_support::ReadFile(shipped / "Map/map1.cap"), (std::vector<uint8_t>{2, 2}));
    EXPECT_EQ(testing_support::ReadFile(shipped / "as1.roh"), (std::vector<uint8_t>{3, 3, 3}));
    EXPECT_EQ(testing_support::ReadFile(shipped / "Grafik/Stone1.dds"), (std::vector<uint8_t>{1}));
    EXPECT_FALSE(std::filesystem::exists(work / "Grafik"));
}

// Tables of earlier versions move from the run folder into the player's folder, on another file system
// too, and never over a table the player has there.
TEST(FileAccess, MovingAFileNeverReplacesOneAndCopiesAcrossFileSystems) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "old/al1.roh", {1, 2, 3});
    testing_support::WriteFile(folder / "old/al2.roh", {5});
    testing_support::WriteFile(folder / "new/al2.roh", {6, 6});
    const std::string old = (folder / "old").string();
    const std::string player = (folder / "new").string();

    EXPECT_TRUE(platform::MoveFileWithoutReplacing(old + "/al1.roh", player + "/al1.roh", 100));
    EXPECT_EQ(testing_support::ReadFile(folder / "new/al1.roh"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(folder / "old/al1.roh"));
    EXPECT_FALSE(platform::MoveFileWithoutReplacing(old + "/al2.roh", player + "/al2.roh", 100));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(testing_support::ReadFile(folder / "new/al2.roh"), (std::vector<uint8_t>{6, 6}));
    EXPECT_EQ(testing_support::ReadFile(folder / "old/al2.roh"), (std::vector<uint8_t>{5}));
    ASSERT_EQ(mkfifo((old + "/al3.roh").c_str(), 0644), 0);
    EXPECT_FALSE(platform::MoveFileWithoutReplacing(old + "/al3.roh", player + "/al3.roh", 100));
    EXPECT_FALSE(std::filesystem::exists(folder / "new/al3.roh"));

    // Memory-backed /dev/shm lies on another file system than the temporary folder here.
    struct stat here, there;
    if (stat(old.c_str(), &here) != 0 || stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev) {
        GTEST_SKIP() << "no second file system to move across";
    }
    testing_support::TemporaryFolder elsewhere; // removed again below
    const std::string far = "/dev/shm/" + elsewhere.Path().filename().string();
    ASSERT_TRUE(std::filesystem::create_directory(far));
    testing_support::WriteFile(folder / "old/as1.roh", {7, 8, 9, 10});
    EXPECT_FALSE(platform::MoveFileWithoutReplacing(old + "/as1.roh", far + "/as1.roh", 3))
        << "over the limit";
    EXPECT_FALSE(std::filesystem::exists(far + "/as1.roh"));
    EXPECT_TRUE(platform::MoveFileWithoutReplacing(old + "/as1.roh", far + "/as1.roh", 4));
    const std::vector<uint8_t> moved = testing_support::ReadFile(far + "/as1.roh");
    const auto left =
        std::distance(std::filesystem::directory_iterator(far), std::filesystem::directory_iterator());
    std::filesystem::remove_all(far);
    EXPECT_EQ(moved, (std::vector<uint8_t>{7, 8, 9, 10}));
    EXPECT_EQ(left, 1) << "no temporary file is left";
    EXPECT_FALSE(std::filesystem::exists(folder / "old/as1.roh"));
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
    const pid_t dead = testing_support::EndedProcessId();
    ASSERT_GT(dead, 0);
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
