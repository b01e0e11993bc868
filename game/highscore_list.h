// One highscore table: its entries in memory and its ".roh" file (a count, the file size, then records
// of a 220-byte name and a 32-bit score, little-endian). The game keeps six, one per play mode and
// difficulty.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr int HIGHSCORE_NAME_SIZE = 220;
constexpr int HIGHSCORE_RECORD_SIZE = 224;
constexpr int HIGHSCORE_HEADER_SIZE = 8;
constexpr int HIGHSCORE_TABLE_COUNT = 6;
constexpr int HIGHSCORE_DEFAULT_ENTRIES = 10;
// The name that fills a new table's default entries.
constexpr const char* HIGHSCORE_DEFAULT_NAME = "Quarvel";

struct HighscoreEntry {
    char name[HIGHSCORE_NAME_SIZE];
    uint32_t score;
};
static_assert(sizeof(HighscoreEntry) == HIGHSCORE_RECORD_SIZE, "a record is 224 bytes in memory and on disk");

class HighscoreList {
public:
    enum LoadResult { LOAD_FAILED = 0, LOAD_CREATED = 1, LOAD_READ = 2 };

    HighscoreList();
    virtual ~HighscoreList();
    HighscoreList(const HighscoreList&) = delete;
    HighscoreList& operator=(const HighscoreList&) = delete;

    // Reads at most `n` entries of the table from `file`. A header that states 0 records is an empty
    // table, kept as it is. A missing file, or one without a whole record where its header states some,
    // is created (replaced) with `n` zeroed entries; a file that is there but cannot be read is left
    // alone and the table stays empty. Returns LOAD_READ, LOAD_CREATED or LOAD_FAILED.
    int Load(const char* file, int n);
    // True when `s` beats the score of at least one entry.
    bool IsHighscore(uint32_t s) const;
    // Under the folder's highscore lock, takes the table as the file holds it now (so that another
    // game's scores are kept), puts back this run's scores that could not be saved, puts the score in
    // its place (below equal scores), drops the last entry and saves the file. False when the table
    // changed but its file could not be written: SaveError() then gives the reason (an errno value)
    // and the score stays in the table for the rest of the run.
    bool InsertScore(const char* name, uint32_t s);
    // Copies entry `i`'s name (with its NUL) and score out; false for an index outside the table.
    bool GetEntry(int i, uint32_t* score, char* name) const;
    int32_t GetCount() const { return count; }
    bool SetTitle(const char* t);
    bool GetTitle(char* out) const;
    // Rewrites the file. It is written beside the old one (beside a link's target) first and then renamed
    // over it, so a failed save leaves the old file whole.
    bool Save();
    // The errno value of the last insertion's failed save; 0 when the file holds the table.
    int SaveError() const { return saveError; }
    const char* GetFileName() const { return fileName; }

private:
    void Adopt(std::unique_ptr<HighscoreEntry[]> records, int32_t recordCount);
    // The insertion in memory, without saving; false when the score does not qualify.
    bool Place(const char* name, uint32_t s);

    char fileName[HIGHSCORE_NAME_SIZE] = {};
    char title[HIGHSCORE_NAME_SIZE] = {};
    int32_t count = 0;
    HighscoreEntry* entries = nullptr;
    int32_t capacity = 0;                // entries a table read from the file keeps at most
    std::vector<HighscoreEntry> unsaved; // inserted in this run; the file could not be written since
    int saveError = 0;
};

// The six tables, index PlayMode*3 + Difficulty.
extern HighscoreList HighscoreTables[HIGHSCORE_TABLE_COUNT];

// The absolute path of a table's file (a program path, "as1.roh") in this system.
std::string HighscoreHostPath(const char* file);

// HighscoreTables[PlayMode*3 + Difficulty], the table of the running game's play mode and difficulty.
HighscoreList& CurrentHighscoreTable();
