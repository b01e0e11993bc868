// The file-backed registry: round trips of values, created and opened keys, buffers too small for a
// value, missing, damaged, huge and non-regular value files, and the store's place under $XDG_CONFIG_HOME.
#include "support/process_probes.h"
#include "support/test_files.h"
#include "win32/winreg.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using testing_support::ReadFile;
using testing_support::TemporaryFolder;
using testing_support::WriteFile;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1); }

    HKEY Create(const char* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        DWORD ignored = 0;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, disposition ? disposition : &ignored),
                  ERROR_SUCCESS)
            << path;
        return key;
    }

    std::filesystem::path KeyFolder(const std::string& relative) const {
        return config.Path() / "zonkel" / "registry" / "HKEY_LOCAL_MACHINE" / relative;
    }

    TemporaryFolder config;
};

TEST_F(RegistryTest, KeyIsCreatedOnceThenOpenedAsAFolderUnderTheConfigHome) {
    DWORD disposition = 0;
    HKEY first = Create("Software\\TolvexGroup\\Quarvel", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(std::filesystem::is_directory(KeyFolder("Software/TolvexGroup/Quarvel")));

    HKEY second = Create("Software\\TolvexGroup\\Quarvel", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY otherCase = Create("SOFTWARE\\tolvexgroup\\QUARVEL", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY)) << "key names ignore case";

    HKEY parent = Create("Software\\TolvexGroup", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    for (HKEY key : {first, second, otherCase, parent}) {
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ValuesRoundTripWithTheirTypeAndPersistAcrossHandlesAndTooSmallBuffersGetMoreData) {
    std::vector<BYTE> path(261, 0xAB);
    std::snprintf(reinterpret_cast<char*>(path.data()), path.size(), "Grafik\\bk.jpg");
    struct Value {
        const char* name;
        const char* readAs; // value names ignore case
        DWORD type;
        std::vector<BYTE> bytes;
    } values[] = {
        {"dsx12", "dsx12", REG_BINARY, path},
        {"dsx13", "DSX13", REG_BINARY, {1, 0, 0, 0, 2, 0, 0, 0}},
        {"n", "n", REG_DWORD, {4, 3, 2, 1}},
        {"", "", REG_BINARY, {}},
    };
    HKEY key = Create("Software\\TolvexGroup\\Quarvel");
    for (const Value& value : values) {
        ASSERT_EQ(RegSetValueExA(key, value.name, 0, value.type,
                                 value.bytes.empty() ? nullptr : value.bytes.data(),
                                 static_cast<DWORD>(value.bytes.size())),
                  ERROR_SUCCESS)
            << value.name;
    }
    RegCloseKey(key);

    key = Create("Software\\TolvexGroup\\Quarvel");
    for (const Value& value : values) {
        std::vector<BYTE> read(300, 0);
        DWORD type = 0;
        DWORD size = 300;
        ASSERT_EQ(RegQueryValueExA(key, value.readAs, nullptr, &type, read.data(), &size), ERROR_SUCCESS)
            << value.name;
        EXPECT_EQ(type, value.type) << value.name;
        ASSERT_EQ(size, value.bytes.size()) << value.name;
        EXPECT_EQ(std::vector<BYTE>(read.begin(), read.begin() + size), value.bytes) << value.name;
        EXPECT_EQ(read[size], 0) << value.name << ": only its own length is filled";
    }
    const BYTE shorter[3] = {7, 8, 9};
    ASSERT_EQ(RegSetValueExA(key, "dsx13", 0, REG_BINARY, shorter, 3), ERROR_SUCCESS);
    BYTE read[8];
    DWORD size = 8;
    ASSERT_EQ(RegQueryValueExA(key, "dsx13", nullptr, nullptr, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u) << "a value written again replaces the old one";

    // The largest value the store takes (a megabyte) reads back whole; one byte more is refused.
    std::vector<BYTE> largest(1 << 20);
    for (size_t i = 0; i < largest.size(); ++i) {
        largest[i] = static_cast<BYTE>(i * 7 + i / 256);
    }
    ASSERT_EQ(RegSetValueExA(key, "big", 0, REG_BINARY, largest.data(), 1 << 20), ERROR_SUCCESS);
    std::vector<BYTE> readLargest(largest.size());
    size = static_cast<DWORD>(readLargest.size());
    EXPECT_EQ(RegQueryValueExA(key, "big", nullptr, nullptr, readLargest.data(), &size), ERROR_SUCCESS);
    EXPECT_TRUE(readLargest == largest);
    largest.push_back(1);
    EXPECT_EQ(RegSetValueExA(key, "big", 0, REG_BINARY, largest.data(), (1 << 20) + 1),
              ERROR_INVALID_PARAMETER);

    // A buffer too small gets the needed size and no bytes; a missing value is not found.
    const std::vector<BYTE> long300(300, 0x5A);
    ASSERT_EQ(RegSetValueExA(key, "dsx12", 0, REG_BINARY, long300.data(), 300), ERROR_SUCCESS);
    std::vector<BYTE> buffer(261, 0x11);
    size = 261;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "dsx12", nullptr, &type, buffer.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 300u) << "the needed size is reported";
    EXPECT_EQ(buffer, std::vector<BYTE>(261, 0x11));
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "dsx12", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 300u) << "no buffer asks only for the size";

    size = 261;
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, nullptr, buffer.data(), &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(buffer, std::vector<BYTE>(261, 0x11));
    RegCloseKey(key);
}

// A value file is checked against its header before it is trusted; a huge sparse file is refused from its
// size without being read, a FIFO without blocking, a loop of links without being replaced, and a
// writer's crash leaves nothing behind for good.
TEST_F(RegistryTest, DamagedHugeFifoAndLinkLoopValueFilesAreRefusedAndCrashedWritersLeftoversRemoved) {
    HKEY key = Create("Software\\TolvexGroup\\Quarvel");
    const BYTE value[8] = {1, 0, 0, 0, 2, 0, 0, 0};
    ASSERT_EQ(RegSetValueExA(key, "dsx13", 0, REG_BINARY, value, 8), ERROR_SUCCESS);
    const std::filesystem::path file = KeyFolder("Software/TolvexGroup/Quarvel/@dsx13");
    const std::vector<uint8_t> good = ReadFile(file);
    ASSERT_EQ(good.size(), 20u);

    std::vector<uint8_t> sizeTooLarge = good;
    sizeTooLarge[8] = 0xff;
    sizeTooLarge[11] = 0x7f;
    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[0] = 'X';
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        off_t sparseSize;
    };
    const std::vector<Case> cases = {
        {"empty", {}, 0},
        {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 7), 0},
        {"data cut short", std::vector<uint8_t>(good.begin(), good.end() - 1), 0},
        {"trailing bytes", trailing, 0},
        {"size field beyond the file", sizeTooLarge, 0},
        {"wrong magic", wrongMagic, 0},
        {"a sparse gigabyte behind an 8-byte header", good, off_t{1} << 30},
    };
    const long peakBefore = testing_support::PeakResidentKilobytes();
    for (const Case& c : cases) {
        WriteFile(file, c.bytes);
        if (c.sparseSize > 0) {
            ASSERT_EQ(truncate(file.c_str(), c.sparseSize), 0);
        }
        BYTE buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
        DWORD size = 8;
        EXPECT_EQ(RegQueryValueExA(key, "dsx13", nullptr, nullptr, buffer, &size), ERROR_INVALID_DATA)
            << c.name;
        EXPECT_EQ(buffer[0], 9) << c.name;
    }
    EXPECT_LT(testing_support::PeakResidentKilobytes() - peakBefore, 64 * 1024)
        << "kilobytes of peak memory added by the reads";

    std::filesystem::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    alarm(10); // a blocking open ends the test process instead of hanging the run
    DWORD size = 8;
    BYTE buffer[8];
    EXPECT_EQ(RegQueryValueExA(key, "dsx13", nullptr, nullptr, buffer, &size), ERROR_INVALID_DATA)
        << "a FIFO is no value";
    alarm(0);
    std::filesystem::remove(file);

    // A value file that is a loop of links: neither read nor replaced, and the links stay.
    const std::filesystem::path other = file.parent_path() / "@other";
    std::filesystem::create_symlink(other.filename(), file);
    std::filesystem::create_symlink(file.filename(), other);
    EXPECT_NE(RegSetValueExA(key, "dsx13", 0, REG_BINARY, value, 8), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "dsx13", nullptr, nullptr, buffer, &size), ERROR_INVALID_DATA);
    EXPECT_EQ(std::filesystem::read_symlink(file), other.filename());
    EXPECT_EQ(std::filesystem::read_symlink(other), file.filename());
    std::filesystem::remove(file);
    std::filesystem::remove(other);

    // A writer killed between writing its temporary file and renaming it.
    const std::filesystem::path leftover = file.parent_path() / ".@dsx13.tmp0123456789abcdef";
    WriteFile(leftover, good);
    ASSERT_EQ(RegSetValueExA(key, "dsx13", 0, REG_BINARY, value, 8), ERROR_SUCCESS)
        << "a damaged value can be rewritten";
    EXPECT_EQ(ReadFile(file), good);
    EXPECT_FALSE(std::filesystem::exists(leftover)) << "the crashed writer's temporary file stays";
    RegCloseKey(key);
}

// Clean-up of temporary files never takes a value, whatever its name: one named like an earlier
// version's temporary file of another value, with the number of a process that has ended, or like a
// temporary file of today.
TEST_F(RegistryTest, ValuesNamedLikeTemporaryFilesSurviveOtherValuesWrites) {
    HKEY key = Create("Software\\TolvexGroup\\Quarvel");
    const pid_t ended = testing_support::EndedProcessId();
    ASSERT_GT(ended, 0);
    const std::string names[] = {"dsx13.tmp" + std::to_string(ended), "@dsx13.tmp" + std::to_string(ended),
                                 ".dsx13.tmp0123456789abcdef", ".@dsx13.tmp0123456789abcdef",
                                 "@dsx13.tmp0123456789abcdef"};
    for (size_t i = 0; i < std::size(names); ++i) {
        const BYTE bytes[2] = {static_cast<BYTE>(i + 1), 0xC0};
        ASSERT_EQ(RegSetValueExA(key, names[i].c_str(), 0, REG_BINARY, bytes, 2), ERROR_SUCCESS) << names[i];
    }
    const BYTE value[3] = {9, 8, 7};
    ASSERT_EQ(RegSetValueExA(key, "dsx13", 0, REG_BINARY, value, 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "@dsx13", 0, REG_BINARY, value, 3), ERROR_SUCCESS);
    for (size_t i = 0; i < std::size(names); ++i) {
        BYTE read[4] = {};
        DWORD size = 4;
        EXPECT_EQ(RegQueryValueExA(key, names[i].c_str(), nullptr, nullptr, read, &size), ERROR_SUCCESS)
            << names[i];
        EXPECT_EQ(size, 2u) << names[i];
        EXPECT_EQ(read[0], i + 1) << names[i];
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesCannotReachOutsideTheirKey) {
    HKEY key = Create("Software\\..\\..\\escape");
    const BYTE value[1] = {1};
    ASSERT_EQ(RegSetValueExA(key, "../../outside", 0, REG_BINARY, value, 1), ERROR_SUCCESS);
    const std::string software = KeyFolder("Software").string();
    int found = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(config.Path())) {
        const std::string path = entry.path().string();
        if (path.find("escape") != std::string::npos || path.find("outside") != std::string::npos) {
            ++found;
            EXPECT_EQ(path.rfind(software + "/", 0), 0u) << path;
        }
    }
    EXPECT_EQ(found, 2);
    BYTE read[1] = {0};
    DWORD size = 1;
    EXPECT_EQ(RegQueryValueExA(key, "../../outside", nullptr, nullptr, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(read[0], 1);
    RegCloseKey(key);
}

TEST_F(RegistryTest, BadArgumentsUnknownHandlesAndKeysThatCannotBeCreatedFail) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
        ERROR_INVALID_PARAMETER);
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7777));
    EXPECT_EQ(RegCreateKeyExA(bogus, "a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_HANDLE);
    const BYTE value[1] = {1};
    EXPECT_EQ(RegSetValueExA(bogus, "v", 0, REG_BINARY, value, 1), ERROR_INVALID_HANDLE);
    key = Create("Software\\Bad");
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    BYTE buffer[4];
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);

    WriteFile(KeyFolder("Other"), {1, 2, 3}); // a file where the folder should be
    EXPECT_NE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Other\\Quarvel", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
}

} // namespace
