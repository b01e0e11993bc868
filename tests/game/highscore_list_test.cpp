// Highscore tables: the ".roh" file byte for byte, the ranking rules, damaged and truncated files, and
// saves that never leave a half-written file.
#include "highscore_list.h"

#include "board.h"
#include "support/process_probes.h"
#include "support/test_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::DiskFullAfter;
using testing_support::ReadFile;
using testing_support::WriteFile;

struct Record {
    std::string name;
    uint32_t score;
    bool operator==(const Record&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Record& record) {
    return out << record.name << " " << record.score;
}

void AppendInt32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A file as the game writes it: count, size, then 220-byte names and 4-byte scores.
std::vector<uint8_t> FileBytes(int32_t count, const std::vector<Record>& records) {
    std::vector<uint8_t> bytes;
    AppendInt32(bytes, static_cast<uint32_t>(count));
    AppendInt32(bytes, static_cast<uint32_t>(count) * 224 + 8);
    for (const Record& record : records) {
        const size_t start = bytes.size();
        bytes.resize(start + HIGHSCORE_NAME_SIZE, 0);
        std::memcpy(&bytes[start], record.name.data(),
                    std::min<size_t>(record.name.size(), HIGHSCORE_NAME_SIZE));
        AppendInt32(bytes, record.score);
    }
    return bytes;
}

std::vector<Record> Entries(const HighscoreList& list) {
    std::vector<Record> out;
    for (int i = 0; i < list.GetCount(); ++i) {
        char name[HIGHSCORE_NAME_SIZE];
        uint32_t score = 0;
        EXPECT_TRUE(list.GetEntry(i, &score, name));
        out.push_back({name, score});
    }
    return out;
}

std::vector<uint32_t> Scores(const HighscoreList& list) {
    std::vector<uint32_t> scores;
    for (const Record& record : Entries(list)) {
        scores.push_back(record.score);
    }
    return scores;
}

std::vector<std::string> FilesIn(const std::filesystem::path& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Ten entries scored 100, 90, ..., 10 named "p100" ... "p10".
std::vector<Record> TenRecords() {
    std::vector<Record> records;
    for (uint32_t s = 100; s >= 10; s -= 10) {
        records.push_back({"p" + std::to_string(s), s});
    }
    return records;
}

class HighscoreTest : public ::testing::Test {
protected:
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inFolder{folder.Path()};
};

TEST_F(HighscoreTest, NewFileWithTheStartUpDefaultsIsByteExactAndAnExistingOneIsLeftAlone) {
    HighscoreList list;
    ASSERT_EQ(list.Load("as1.roh", 10), HighscoreList::LOAD_CREATED);
    EXPECT_EQ(ReadFile(folder / "as1.roh"), FileBytes(10, std::vector<Record>(10, Record{"", 0})));
    EXPECT_EQ(Entries(list), std::vector<Record>(10, Record{"", 0})) << "the table shows what was created";
    std::vector<Record> expected;
    for (uint32_t s = 170; s <= 179; ++s) {
        list.InsertScore(HIGHSCORE_DEFAULT_NAME, s);
        expected.insert(expected.begin(), {HIGHSCORE_DEFAULT_NAME, s});
    }
    const std::vector<uint8_t> saved = ReadFile(folder / "as1.roh");
    ASSERT_EQ(saved.size(), 2248u);
    // The header {10, 2248} and the first record's score, 179, as the format spells them.
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 8),
              (std::vector<uint8_t>{10, 0, 0, 0, 0xc8, 0x08, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 228, saved.begin() + 232),
              (std::vector<uint8_t>{179, 0, 0, 0}));
    EXPECT_EQ(saved, FileBytes(10, expected));
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"as1.roh", "highscores.lock"}))
        << "no temporary file is left";

    const std::vector<uint8_t> bytes = FileBytes(3, {{"low", 5}, {"high", 500}, {"mid", 50}});
    WriteFile(folder / "al2.roh", bytes);
    HighscoreList existing;
    ASSERT_EQ(existing.Load("al2.roh", 10), HighscoreList::LOAD_READ);
    EXPECT_EQ(Entries(existing), (std::vector<Record>{{"low", 5}, {"high", 500}, {"mid", 50}}));
    EXPECT_EQ(ReadFile(folder / "al2.roh"), bytes);
}

TEST_F(HighscoreTest, RankingRulesAndNamesCutTo219Characters) {
    WriteFile(folder / "t.roh", FileBytes(10, TenRecords()));
    HighscoreList list;
    ASSERT_EQ(list.Load("t.roh", 10), HighscoreList::LOAD_READ);

    EXPECT_FALSE(list.IsHighscore(10)) << "equal to the lowest does not qualify";
    list.InsertScore("equal", 10);
    EXPECT_EQ(Scores(list), (std::vector<uint32_t>{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}));
    EXPECT_TRUE(list.IsHighscore(11));
    list.InsertScore("one more", 11);
    EXPECT_EQ(Entries(list)[9], (Record{"one more", 11}));
    list.InsertScore("tie", 50);
    EXPECT_EQ(Entries(list)[5].name, "p50");
    EXPECT_EQ(Entries(list)[6].name, "tie") << "an equal score goes below";
    list.InsertScore(std::string(300, 'n').c_str(), 1000);
    list.InsertScore("ab", 2000); // The file must hold no trace of the longer name the slot held.
    const std::vector<Record> entries = Entries(list);
    EXPECT_EQ(entries[0], (Record{"ab", 2000}));
    EXPECT_EQ(entries[1], (Record{std::string(219, 'n'), 1000}));
    EXPECT_EQ(entries[2].name, "p100");
    EXPECT_EQ(entries[9].score, 40u);
    EXPECT_EQ(ReadFile(folder / "t.roh"), FileBytes(10, entries));

    char name[HIGHSCORE_NAME_SIZE] = "untouched";
    uint32_t score = 42;
    EXPECT_FALSE(list.GetEntry(10, &score, name));
    EXPECT_FALSE(list.GetEntry(-1, &score, name));
    EXPECT_EQ(std::pair(std::string(name), score), std::pair(std::string("untouched"), 42u));
}

TEST_F(HighscoreTest, DamagedFilesKeepTheirWholeRecordsAndStayUntouchedUntilAnInsert) {
    const std::vector<Record> three = {{"a", 30}, {"b", 20}, {"c", 10}};
    auto withCount = [&](int32_t count, size_t records) {
        std::vector<uint8_t> bytes =
            FileBytes(3, std::vector<Record>(three.begin(), three.begin() + records));
        std::memcpy(bytes.data(), &count, 4);
        return bytes;
    };
    std::vector<uint8_t> truncatedRecord = FileBytes(3, three);
    truncatedRecord.resize(8 + 224 * 2 + 100);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<uint32_t> scores;
    } cases[] = {
        {"negative count", withCount(-5, 3), {30, 20, 10}},
        {"count beyond the records present", withCount(9, 2), {30, 20}},
        {"count too large to allocate", withCount(0x7fffffff, 3), {30, 20, 10}},
        {"truncated record", truncatedRecord, {30, 20}},
        {"count smaller than the records", withCount(1, 3), {30}},
        {"header stating no records, nothing after it", withCount(0, 0), {}},
        {"header stating no records before two records", withCount(0, 2), {}},
    };
    for (const auto& c : cases) {
        WriteFile(folder / "d.roh", c.bytes);
        HighscoreList list;
        EXPECT_EQ(list.Load("d.roh", 10), HighscoreList::LOAD_READ) << c.name;
        EXPECT_EQ(Scores(list), c.scores) << c.name;
        EXPECT_EQ(ReadFile(folder / "d.roh"), c.bytes)
            << c.name << ": the file must not be rewritten by a load";
        // An empty table is kept: no score enters it, and its file stays as it is.
        EXPECT_EQ(list.InsertScore("new", 1000), true) << c.name;
        if (c.scores.empty()) {
            EXPECT_FALSE(list.IsHighscore(0xffffffffu)) << c.name;
            EXPECT_EQ(list.GetCount(), 0) << c.name;
            EXPECT_EQ(ReadFile(folder / "d.roh"), c.bytes) << c.name;
            continue;
        }
        std::vector<Record> expected = {{"new", 1000}};
        for (size_t i = 0; i + 1 < c.scores.size(); ++i) {
            expected.push_back(three[i]);
        }
        EXPECT_EQ(Entries(list), expected) << c.name;
        EXPECT_EQ(ReadFile(folder / "d.roh"), FileBytes(int32_t(expected.size()), expected)) << c.name;
    }
}

TEST_F(HighscoreTest, NameWithoutItsNulIsCutAt219Characters) {
    std::vector<uint8_t> bytes = FileBytes(1, {{"", 77}});
    std::memset(bytes.data() + 8, 'x', HIGHSCORE_NAME_SIZE);
    WriteFile(folder / "n.roh", bytes);
    HighscoreList list;
    ASSERT_EQ(list.Load("n.roh", 10), HighscoreList::LOAD_READ);
    char name[HIGHSCORE_NAME_SIZE + 16];
    std::memset(name, 'y', sizeof(name));
    uint32_t score = 0;
    ASSERT_TRUE(list.GetEntry(0, &score, name));
    EXPECT_EQ(std::string(name), std::string(219, 'x'));
    EXPECT_EQ(score, 77u);
}

TEST_F(HighscoreTest, FailedSavesKeepTheOldFileAndTheirScoresUntilASaveSucceeds) {
    const std::vector<uint8_t> bytes = FileBytes(10, TenRecords());
    WriteFile(folder / "s.roh", bytes);
    HighscoreList list;
    ASSERT_EQ(list.Load("s.roh", 10), HighscoreList::LOAD_READ);
    {
        const DiskFullAfter full(1000);
        EXPECT_FALSE(list.InsertScore("lost", 1000));
        EXPECT_EQ(list.SaveError(), EFBIG);
        EXPECT_FALSE(list.InsertScore("also lost", 45));
        EXPECT_FALSE(list.Save());
    }
    EXPECT_EQ(ReadFile(folder / "s.roh"), bytes);
    std::vector<Record> expected = {{"lost", 1000}, {"p100", 100}, {"p90", 90}, {"p80", 80},
                                    {"p70", 70},    {"p60", 60},   {"p50", 50}, {"also lost", 45},
                                    {"p40", 40},    {"p30", 30}};
    EXPECT_EQ(Entries(list), expected) << "both scores stay in the table";

    // Once the disk has room again, the next insertion saves them with its own.
    EXPECT_TRUE(list.InsertScore("saved", 35));
    EXPECT_EQ(list.SaveError(), 0);
    expected.back() = {"saved", 35};
    EXPECT_EQ(Entries(list), expected);
    EXPECT_EQ(ReadFile(folder / "s.roh"), FileBytes(10, expected));
    EXPECT_TRUE(list.InsertScore("next", 36)) << "the scores saved are not put back again";
    expected.back() = {"next", 36};
    EXPECT_EQ(ReadFile(folder / "s.roh"), FileBytes(10, expected));

    // A score that could not be saved is gone with the run: the next start has only the file.
    {
        const DiskFullAfter full(1000);
        EXPECT_FALSE(list.InsertScore("gone", 2000));
    }
    ASSERT_EQ(list.Load("s.roh", 10), HighscoreList::LOAD_READ);
    EXPECT_EQ(list.SaveError(), 0);
    EXPECT_TRUE(list.InsertScore("after", 37));
    expected.back() = {"after", 37};
    EXPECT_EQ(ReadFile(folder / "s.roh"), FileBytes(10, expected));
}

TEST_F(HighscoreTest, InsertionTakesTheTableOnDiskAndGoesOnWithoutALockAnotherGameHoldsTooLong) {
    WriteFile(folder / "as2.roh", FileBytes(10, TenRecords()));
    HighscoreList first; // two games that loaded the same table
    HighscoreList second;
    ASSERT_EQ(first.Load("as2.roh", 10), HighscoreList::LOAD_READ);
    ASSERT_EQ(second.Load("as2.roh", 10), HighscoreList::LOAD_READ);
    const std::string lockFile = (folder / "highscores.lock").string();
    const int held = open(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(first.InsertScore("Anna", 55));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zonkel: cannot lock " + lockFile +
                  " (another game has held it for 2 seconds); as2.roh is changed without the lock\n");
    close(held);

    testing::internal::CaptureStderr();
    EXPECT_TRUE(second.InsertScore("Bert", 65));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::vector<Record> both = {{"p100", 100}, {"p90", 90},  {"p80", 80}, {"p70", 70}, {"Bert", 65},
                                      {"p60", 60},   {"Anna", 55}, {"p50", 50}, {"p40", 40}, {"p30", 30}};
    EXPECT_EQ(ReadFile(folder / "as2.roh"), FileBytes(10, both));
    EXPECT_EQ(Entries(second), both) << "the table shown is the one saved";
    const int after = open(lockFile.c_str(), O_RDWR);
    EXPECT_EQ(flock(after, LOCK_EX | LOCK_NB), 0) << "the insertion let the lock go";
    close(after);

    // A lock file that cannot be opened is named with the reason; the insertion goes on.
    std::filesystem::remove(lockFile);
    std::filesystem::create_directory(lockFile);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(first.InsertScore("Cleo", 75));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zonkel: cannot lock " + lockFile +
                  " (Invalid argument); as2.roh is changed without the lock\n");
    EXPECT_EQ(Entries(first)[3], (Record{"Cleo", 75}));
    EXPECT_EQ(Entries(first)[5], (Record{"Bert", 65})) << "taken from the file";
}

TEST_F(HighscoreTest, TableCutShortByAKilledOrFullFirstWriteGetsTheDefaultTableOnTheNextLoad) {
    const std::vector<uint8_t> fresh = FileBytes(10, std::vector<Record>(10, Record{"", 0}));
    // What an in-place first write leaves when it is killed: nothing, part of the header, the header
    // that states ten records alone, or with part of the first record.
    const std::vector<std::vector<uint8_t>> cutShort = {
        {},
        {10, 0, 0},
        std::vector<uint8_t>(fresh.begin(), fresh.begin() + 8),
        std::vector<uint8_t>(fresh.begin(), fresh.begin() + 8 + 100)};
    for (const std::vector<uint8_t>& bytes : cutShort) {
        WriteFile(folder / "as1.roh", bytes);
        HighscoreList list;
        ASSERT_EQ(list.Load("as1.roh", 10), HighscoreList::LOAD_CREATED) << bytes.size() << " bytes";
        EXPECT_EQ(ReadFile(folder / "as1.roh"), fresh) << bytes.size() << " bytes";
        list.InsertScore("first", 5);
        EXPECT_EQ(Entries(list)[0], (Record{"first", 5})) << bytes.size() << " bytes";
    }

    // A disk that fills up after 1000 bytes on the first start: no table file at all, rather than a
    // short one, and the next start creates it.
    std::filesystem::remove(folder / "as1.roh");
    HighscoreList list;
    {
        const DiskFullAfter full(1000);
        EXPECT_EQ(list.Load("as1.roh", 10), HighscoreList::LOAD_FAILED);
    }
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"highscores.lock"});
    EXPECT_EQ(list.Load("as1.roh", 10), HighscoreList::LOAD_CREATED);
    EXPECT_EQ(ReadFile(folder / "as1.roh"), fresh);
}

TEST_F(HighscoreTest, SavingLeftoverOfAnEarlierVersionIsRemovedByTheLoad) {
    const std::vector<uint8_t> bytes = FileBytes(10, TenRecords());
    WriteFile(folder / "al3.roh", bytes);
    WriteFile(folder / "al3.roh.saving", {1, 2, 3});
    HighscoreList list;
    EXPECT_EQ(list.Load("al3.roh", 10), HighscoreList::LOAD_READ);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"al3.roh"});
    EXPECT_EQ(ReadFile(folder / "al3.roh"), bytes);
}

TEST_F(HighscoreTest, SymlinkedTableStaysALinkWhoseTargetHoldsTheNewTable) {
    std::filesystem::create_directory(folder / "kept");
    std::filesystem::create_symlink("kept/as2.roh", folder / "as2.roh"); // dangling until the first load
    HighscoreList list;
    ASSERT_EQ(list.Load("as2.roh", 10), HighscoreList::LOAD_CREATED);
    list.InsertScore("linked", 300);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "as2.roh"));
    EXPECT_EQ(FilesIn(folder / "kept"), std::vector<std::string>{"as2.roh"});
    EXPECT_EQ(ReadFile(folder / "kept" / "as2.roh"), FileBytes(10, Entries(list)));
    EXPECT_EQ(Entries(list)[0], (Record{"linked", 300}));
}

TEST_F(HighscoreTest, HugeStatedCountKeepsTenEntriesAndTheSaveWritesTenRecords) {
    // Twelve real records, then a sparse tail: the file really holds the 4.8 million its header claims.
    std::vector<Record> twelve = TenRecords();
    twelve.push_back({"p9", 9});
    twelve.push_back({"p8", 8});
    const int32_t stated = 4800000;
    WriteFile(folder / "as3.roh", FileBytes(stated, twelve));
    std::filesystem::resize_file(folder / "as3.roh", 8 + 224ull * stated);
    const long before = testing_support::PeakResidentKilobytes();

    HighscoreList list;
    ASSERT_EQ(list.Load("as3.roh", 10), HighscoreList::LOAD_READ);
    EXPECT_LT(testing_support::PeakResidentKilobytes() - before, 16 * 1024)
        << "kilobytes of peak memory added by the load";
    EXPECT_EQ(Entries(list), TenRecords());
    list.InsertScore("new", 55);
    std::vector<Record> expected = TenRecords();
    expected.insert(expected.begin() + 5, {"new", 55});
    expected.pop_back();
    EXPECT_EQ(ReadFile(folder / "as3.roh"), FileBytes(10, expected));
}

TEST_F(HighscoreTest, FifoAsATableFileDoesNotBlockAndIsLeftAsItIs) {
    ASSERT_EQ(mkfifo("as1.roh", 0644), 0);
    alarm(10); // a blocking open ends the test process instead of hanging the run
    HighscoreList list;
    EXPECT_EQ(list.Load("as1.roh", 10), HighscoreList::LOAD_FAILED);
    EXPECT_FALSE(list.IsHighscore(1000));
    EXPECT_TRUE(list.InsertScore("none", 1000)) << "nothing to save";
    EXPECT_EQ(list.GetCount(), 0);
    alarm(0);
    EXPECT_TRUE(std::filesystem::is_fifo(folder / "as1.roh"));
}

TEST(HighscoreTables, CurrentTableIndexNeverLeavesTheSixTablesForOddSettings) {
    const struct { int playMode, difficulty, table; } cases[] = {{1, 2, 5}, {0, 1, 1}, {7, -4, 3}};
    for (const auto& c : cases) {
        PlayMode = c.playMode;
        Difficulty = c.difficulty;
        EXPECT_EQ(&CurrentHighscoreTable(), &HighscoreTables[c.table]) << c.playMode << "," << c.difficulty;
    }
}

} // namespace
