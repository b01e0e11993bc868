// The platform's file access: path translation, non-blocking opens, bounded reads and atomic file
// replacement.
#include "support/process_probes.h"
#include "support/system_call_faults.h"
#include "support/test_files.h"
#include "win32/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/userfaultfd.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
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

namespace {

// Tables an earlier version left in "old": al1.roh, and al2.roh that the player has in "new" too.
void WriteOldTables(const testing_support::TemporaryFolder& folder) {
    testing_support::WriteFile(folder / "old/al1.roh", {1, 2, 3});
    testing_support::WriteFile(folder / "old/al2.roh", {5});
    testing_support::WriteFile(folder / "new/al2.roh", {6, 6});
}

} // namespace

// Tables of earlier versions move from the run folder into the player's folder, on another file system
// too, and never over a table the player has there.
TEST(FileAccess, MovingAFileNeverReplacesOneAndCopiesAcrossFileSystems) {
    testing_support::TemporaryFolder folder;
    WriteOldTables(folder);
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

// Where no hard link can be made the old table is copied over, still never over the player's own.
TEST(FileAccess, MovingFallsBackToACopyWhenHardLinksAreRefused) {
    testing_support::TemporaryFolder folder;
    WriteOldTables(folder);
    const std::string old = (folder / "old").string();
    const std::string player = (folder / "new").string();
    ASSERT_EQ(chmod((old + "/al1.roh").c_str(), 0604), 0);

    // In a child, whose refused links end with it; it reports each step as one bit of its exit code.
    const pid_t child = fork();
    if (child == 0) {
        if (!testing_support::RefuseHardLinks()) {
            _exit(64);
        }
        const bool linkRefused =
            ::link((old + "/al1.roh").c_str(), (old + "/x").c_str()) != 0 && errno == EPERM;
        const bool moved = platform::MoveFileWithoutReplacing(old + "/al1.roh", player + "/al1.roh", 100);
        const bool notOverOwn =
            !platform::MoveFileWithoutReplacing(old + "/al2.roh", player + "/al2.roh", 100);
        const int notOverOwnError = errno;
        _exit((linkRefused ? 0 : 1) | (moved ? 0 : 2) | (notOverOwn ? 0 : 4) |
              (notOverOwnError == EEXIST ? 0 : 8));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 64) {
        GTEST_SKIP() << "system calls cannot be filtered here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: links were not refused, 2: not moved, 4: moved over the "
                                         "player's table, 8: not refused as existing";
    EXPECT_EQ(testing_support::ReadFile(folder / "new/al1.roh"), (std::vector<uint8_t>{1, 2, 3}));
    struct stat copied {};
    EXPECT_EQ(stat((player + "/al1.roh").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0604u) << "the copy keeps the table's mode";
    EXPECT_EQ(testing_support::ReadFile(folder / "new/al2.roh"), (std::vector<uint8_t>{6, 6}));
    EXPECT_EQ(testing_support::ReadFile(folder / "old/al2.roh"), (std::vector<uint8_t>{5}));
    EXPECT_EQ(testing_support::FolderNames(folder / "old"), std::vector<std::string>{"al2.roh"});
    EXPECT_EQ(testing_support::FolderNames(folder / "new"), (std::vector<std::string>{"al1.roh", "al2.roh"}));
}

// A FIFO, socket or device opened by mistake would block the program in open() or feed it without end:
// it is refused at once as not a regular file, when reading and when writing. Only an absent file is
// missing; a loop of links or a process out of descriptors is reported as what it is.
TEST(FileAccess, RefusedOpensNameTheirTrueReasonAndNeverBlock) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    ASSERT_EQ(mkfifo("as1.roh", 0644), 0);
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "as2.roh");
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    std::filesystem::create_directory("as3.roh");
    ASSERT_EQ(symlink("al2.roh", "al1.roh"), 0);
    ASSERT_EQ(symlink("al1.roh", "al2.roh"), 0);
    alarm(10); // a blocking open ends the test process instead of hanging the run

    const struct {
        const char* path;
        const char* mode;
        int error;
    } opens[] = {{"as1.roh", "rb", EINVAL}, {"AS1.ROH", "r+b", EINVAL},  {"as1.roh", "wb", EINVAL},
                 {"as2.roh", "rb", EINVAL}, {"as2.roh", "ab", EINVAL},   {"as3.roh", "wb", EINVAL},
                 {".", "rb", EINVAL},       {"/dev/zero", "rb", EINVAL}, {"/dev/null", "wb", EINVAL},
                 {"al1.roh", "rb", ELOOP},  {"al2.roh", "wb", ELOOP},    {"absent.roh", "rb", ENOENT}};
    for (const auto& row : opens) {
        errno = 0;
        EXPECT_EQ(platform::OpenDataFile(row.path, row.mode), nullptr) << row.path << " " << row.mode;
        EXPECT_EQ(errno, row.error) << row.path << " " << row.mode << ": " << std::strerror(errno);
    }
    const struct {
        const char* path;
        platform::FileReadResult result;
        int error;
    } reads[] = {{"as1.roh", platform::FileReadResult::NotRegular, EINVAL},
                 {"as2.roh", platform::FileReadResult::NotRegular, EINVAL},
                 {"/dev/urandom", platform::FileReadResult::NotRegular, EINVAL},
                 {"al1.roh", platform::FileReadResult::Failed, ELOOP},
                 {"absent.bmp", platform::FileReadResult::Missing, ENOENT}};
    for (const auto& row : reads) {
        std::vector<uint8_t> bytes{9};
        errno = 0;
        EXPECT_EQ(platform::ReadDataFile(row.path, 100, &bytes), row.result) << row.path;
        EXPECT_EQ(errno, row.error) << row.path << ": " << std::strerror(errno);
        EXPECT_TRUE(bytes.empty()) << row.path;
    }
    alarm(0);

    // With every descriptor in use the file is there but cannot be opened.
    testing_support::WriteFile(folder / "al3.roh", {1, 2});
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const int lowestFree = dup(0);
    ::close(lowestFree);
    rlimit lowered = limit;
    lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<uint8_t> bytes;
    errno = 0;
    const platform::FileReadResult outOfDescriptors = platform::ReadDataFile("al3.roh", 100, &bytes);
    const int error = errno;
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(outOfDescriptors, platform::FileReadResult::Failed);
    EXPECT_EQ(error, EMFILE);
    EXPECT_EQ(platform::ReadDataFile("al3.roh", 100, &bytes), platform::FileReadResult::Ok);
    ::close(socketFd);
}

TEST(FileAccess, ReadsAreBoundedBeforeAnythingIsReadAndWritesTruncateOnlyRegularFiles) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    testing_support::WriteFile(folder / "Map/map1.cap", {1, 2, 3, 4, 5});
    std::vector<uint8_t> bytes;
    EXPECT_EQ(platform::ReadDataFile("map\\MAP1.CAP", 5, &bytes), platform::FileReadResult::Ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(platform::ReadDataFile("Map\\map1.cap", 4, &bytes), platform::FileReadResult::TooLarge);
    EXPECT_EQ(errno, EFBIG);
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

TEST(FileAccess, ReplacementKeepsTheOldFileOnFailureAndFollowsLinks) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    testing_support::WriteFile(folder / "data/as1.roh", {1, 1, 1});
    ASSERT_EQ(symlink("data/as1.roh", "as1.roh"), 0);

    const uint8_t table[] = {2, 3, 4, 5};
    ASSERT_TRUE(platform::ReplaceDataFile("AS1.ROH", table, sizeof(table)));
    struct stat info;
    ASSERT_EQ(lstat("as1.roh", &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(testing_support::ReadFile(folder / "data/as1.roh"), (std::vector<uint8_t>{2, 3, 4, 5}));

    // A folder that cannot take the temporary file: the old contents stay and nothing is left over.
    if (geteuid() != 0) {
        chmod("data", 0555);
        EXPECT_FALSE(platform::ReplaceDataFile("as1.roh", table, 1));
        chmod("data", 0755);
    }
    EXPECT_FALSE(platform::ReplaceFileAtomically("missing/folder/as1.roh", table, 1));
    EXPECT_EQ(testing_support::ReadFile(folder / "data/as1.roh"), (std::vector<uint8_t>{2, 3, 4, 5}));
    EXPECT_EQ(testing_support::FolderNames(folder / "data"), std::vector<std::string>{"as1.roh"});
}

// A loop of symbolic links names no file: a save through it fails and leaves the links as they are. So
// does a chain longer than the 40 links the system follows; one of 40 leads to its file.
TEST(FileAccess, SymbolicLinkLoopIsRefusedAndLeftAsItIs) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    ASSERT_EQ(symlink("al2.roh", "al1.roh"), 0);
    ASSERT_EQ(symlink("al1.roh", "al2.roh"), 0);
    ASSERT_EQ(symlink("as1.roh", "as1.roh"), 0);
    const uint8_t table[] = {7, 6, 5};
    for (const char* path : {"al1.roh", "AS1.ROH"}) {
        errno = 0;
        EXPECT_FALSE(platform::ReplaceDataFile(path, table, sizeof(table))) << path;
        EXPECT_EQ(errno, ELOOP) << path;
    }
    testing_support::TemporaryFolder chainFolder;
    const std::filesystem::path chain = chainFolder.Path();
    for (int link = 0; link <= 40; ++link) {
        ASSERT_EQ(symlink(std::to_string(link + 1).c_str(), (chain / std::to_string(link)).c_str()), 0);
    }
    EXPECT_TRUE(platform::ReplaceFileAtomically((chain / "1").string(), table, sizeof(table)));
    EXPECT_EQ(testing_support::ReadFile(chain / "41"), (std::vector<uint8_t>{7, 6, 5}));
    EXPECT_FALSE(platform::ReplaceFileAtomically((chain / "0").string(), table, 1)) << "41 links";
    EXPECT_EQ(testing_support::ReadFile(chain / "41"), (std::vector<uint8_t>{7, 6, 5}));
    const std::pair<const char*, const char*> links[] = {
        {"al1.roh", "al2.roh"}, {"al2.roh", "al1.roh"}, {"as1.roh", "as1.roh"}};
    for (const auto& [link, target] : links) {
        char read[32] = {};
        EXPECT_EQ(readlink(link, read, sizeof(read) - 1), static_cast<ssize_t>(std::strlen(target))) << link;
        EXPECT_STREQ(read, target) << link;
    }
    EXPECT_EQ(testing_support::FolderNames(folder.Path()),
              (std::vector<std::string>{"al1.roh", "al2.roh", "as1.roh"}));
}

namespace {

// Opens `path` for writing and takes the lock a writer holds on its temporary file; -1 on failure.
int HoldAsWriter(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fd >= 0 && fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True for ".as1.roh.tmp" and 16 lowercase hexadecimal digits, a temporary file of as1.roh.
bool IsTemporaryOfAs1(const std::string& name) {
    const std::string prefix = ".as1.roh.tmp";
    return name.size() == prefix.size() + 16 && name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}

} // namespace

// Clean-up before a save removes only what a killed writer left: temporary files that no writer holds.
// A writer in another pid namespace or on another machine, whose process id means nothing here, keeps
// its file, and so does any file whose whole name is not of the temporary form, such as one named like
// an earlier version's temporary file with the number of a process that has ended.
TEST(FileAccess, LeftoverCleanupRemovesOnlyUnheldFilesOfTheWholeTemporaryForm) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder(folder.Path());
    const pid_t ended = testing_support::EndedProcessId();
    ASSERT_GT(ended, 0);
    const std::string dead = "as1.roh.tmp" + std::to_string(ended);
    const std::vector<std::string> kept = {dead,
                                           ".as1.roh.tmp0123456789abcde",
                                           ".as1.roh.tmp0123456789abcdef0",
                                           ".as1.roh.tmp0123456789ABCDEF",
                                           ".as1.roh.tmp0123456789abcdef.bak",
                                           ".as2.roh.tmp0123456789abcdef",
                                           "x.as1.roh.tmp0123456789abcdef"};
    for (const std::string& name : kept) {
        testing_support::WriteFile(folder / name, {4});
    }
    testing_support::WriteFile(folder / ".as1.roh.tmp0123456789abcdef", {5});
    testing_support::WriteFile(folder / ".as1.roh.tmpfedcba9876543210", {6, 6});
    const int held = HoldAsWriter(folder / ".as1.roh.tmpfedcba9876543210");
    ASSERT_GE(held, 0);

    const uint8_t table[] = {8, 9};
    ASSERT_TRUE(platform::ReplaceDataFile("as1.roh", table, sizeof(table)));
    std::vector<std::string> expected = kept;
    expected.push_back(".as1.roh.tmpfedcba9876543210");
    expected.push_back("as1.roh");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(testing_support::FolderNames(folder.Path()), expected);
    EXPECT_EQ(testing_support::ReadFile(folder / ".as1.roh.tmpfedcba9876543210"),
              (std::vector<uint8_t>{6, 6}));
    EXPECT_EQ(testing_support::ReadFile(folder / "as1.roh"), (std::vector<uint8_t>{8, 9}));

    // Once its writer lets go, the next save removes it.
    ::close(held);
    ASSERT_TRUE(platform::ReplaceDataFile("as1.roh", table, 1));
    EXPECT_FALSE(std::filesystem::exists(folder / ".as1.roh.tmpfedcba9876543210"));
    EXPECT_EQ(testing_support::FolderNames(folder.Path()).size(), kept.size() + 1);
}

// Two saves of one file at once, as two threads, or two games whose process ids are equal in their own
// namespaces, would do: the first stops in the middle of writing (its data's second page is not yet
// there) while the second runs a whole save. Each writes its own temporary file, the second's clean-up
// leaves the first's, and both saves succeed, the later rename winning.
TEST(FileAccess, ConcurrentSavesNeitherShareNorRemoveEachOthersTemporaryFile) {
    const int faults = static_cast<int>(syscall(SYS_userfaultfd, O_CLOEXEC));
    uffdio_api api{};
    api.api = UFFD_API;
    if (faults < 0 || ioctl(faults, UFFDIO_API, &api) != 0) {
        GTEST_SKIP() << "no userfaultfd to stop a write in the middle: " << std::strerror(errno);
    }
    testing_support::TemporaryFolder folder;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    auto* data = static_cast<uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(data, MAP_FAILED);
    std::vector<uint8_t> expected(2 * page);
    for (size_t i = 0; i < expected.size(); ++i) {
        expected[i] = static_cast<uint8_t>(i * 7 + i / page);
    }
    std::memcpy(data, expected.data(), page);
    uffdio_register missing{};
    missing.range.start = reinterpret_cast<uintptr_t>(data + page);
    missing.range.len = page;
    missing.mode = UFFDIO_REGISTER_MODE_MISSING;
    ASSERT_EQ(ioctl(faults, UFFDIO_REGISTER, &missing), 0);

    const std::string target = (folder / "as1.roh").string();
    bool firstSaved = false;
    std::thread first([&] { firstSaved = platform::ReplaceFileAtomically(target, data, 2 * page); });
    // A write that never reaches the missing page, or a second save that waits for the first, ends the
    // test process instead of hanging the run.
    alarm(60);
    uffd_msg message{};
    const bool stopped = read(faults, &message, sizeof(message)) == sizeof(message);

    const std::vector<std::string> whileWriting = testing_support::FolderNames(folder.Path());
    const uint8_t second[] = {3, 1, 2};
    const bool secondSaved = platform::ReplaceFileAtomically(target, second, sizeof(second));
    const std::vector<std::string> afterSecond = testing_support::FolderNames(folder.Path());
    const std::vector<uint8_t> secondResult = testing_support::ReadFile(target);

    uffdio_copy fill{};
    fill.dst = reinterpret_cast<uintptr_t>(data + page);
    fill.src = reinterpret_cast<uintptr_t>(expected.data() + page);
    fill.len = page;
    ioctl(faults, UFFDIO_COPY, &fill);
    first.join();
    alarm(0);
    ::close(faults);
    munmap(data, 2 * page);

    ASSERT_TRUE(stopped);
    ASSERT_EQ(whileWriting.size(), 1u);
    EXPECT_TRUE(IsTemporaryOfAs1(whileWriting[0])) << whileWriting[0];
    EXPECT_TRUE(secondSaved);
    EXPECT_EQ(afterSecond, (std::vector<std::string>{whileWriting[0], "as1.roh"}));
    EXPECT_EQ(secondResult, (std::vector<uint8_t>{3, 1, 2}));
    EXPECT_TRUE(firstSaved);
    EXPECT_EQ(testing_support::ReadFile(target), expected);
    EXPECT_EQ(testing_support::FolderNames(folder.Path()), std::vector<std::string>{"as1.roh"});
}
