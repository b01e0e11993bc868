// Highscore tables and their ".roh" files. Files are read defensively: a damaged count or a truncated
// file yields the whole records present (no more than the table keeps), names are always NUL-terminated,
// and a damaged file is left untouched until a new score is inserted. Every write, the first one
// included, goes through a temporary file and a rename.
#include "highscore_list.h"

#include "board.h"
#include "highscore_lock.h"

#include "win32/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

HighscoreList HighscoreTables[HIGHSCORE_TABLE_COUNT];

namespace {

void PutInt32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetInt32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// Bytes from the current position to the end of the file, or -1 when the file cannot be measured.
long RemainingBytes(FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return -1;
    }
    const long end = std::ftell(file);
    if (end < 0 || std::fseek(file, here, SEEK_SET) != 0) {
        return -1;
    }
    return end - here;
}

// The file's bytes for `count` entries: the header {count, count*224 + 8}, then the records.
std::vector<uint8_t> TableBytes(int32_t count, const HighscoreEntry* entries) {
    std::vector<uint8_t> bytes(HIGHSCORE_HEADER_SIZE + static_cast<size_t>(count) * HIGHSCORE_RECORD_SIZE);
    PutInt32(bytes.data(), static_cast<uint32_t>(count));
    PutInt32(bytes.data() + 4, static_cast<uint32_t>(count) * HIGHSCORE_RECORD_SIZE + HIGHSCORE_HEADER_SIZE);
    uint8_t* record = bytes.data() + HIGHSCORE_HEADER_SIZE;
    for (int32_t i = 0; i < count; ++i, record += HIGHSCORE_RECORD_SIZE) {
        std::memcpy(record, entries[i].name, HIGHSCORE_NAME_SIZE);
        PutInt32(record + HIGHSCORE_NAME_SIZE, entries[i].score);
    }
    return bytes;
}

// Earlier versions saved through "<file>.saving"; a save killed before its rename left that file behind.
void RemoveOldSaveLeftover(const char* fileName) {
    const std::string target = platform::ToWritableHostPath(fileName);
    if (!target.empty()) {
        ::unlink((target + ".saving").c_str());
    }
}

enum class DiskTable {
    Read,       // whole records, or a header that states none
    Missing,    // no file
    NoRecord,   // a file without a whole record where its header states some: a first write cut short
    Unreadable, // something is there that cannot be read (no permission, a FIFO, a device)
};

// Reads the whole records that `file` holds, no more than its header states (a negative count states
// nothing) and no more than `maximum`. Names always end in a NUL.
DiskTable ReadTableFile(const char* file, int32_t maximum, std::unique_ptr<HighscoreEntry[]>* records,
                        int32_t* count) {
    records->reset();
    *count = 0;
    FILE* in = platform::OpenDataFile(file, "rb");
    if (!in) {
        return errno == ENOENT ? DiskTable::Missing : DiskTable::Unreadable;
    }
    uint8_t header[HIGHSCORE_HEADER_SIZE];
    const bool wholeHeader = std::fread(header, 1, sizeof(header), in) == sizeof(header);
    const int32_t stated = wholeHeader ? static_cast<int32_t>(GetInt32(header)) : -1;
    // RemainingBytes gives -1 for a file that cannot be measured: no whole record.
    const long present = wholeHeader ? RemainingBytes(in) / HIGHSCORE_RECORD_SIZE : 0;
    // Only whole records that the file really holds are taken, and no more than the table keeps: the
    // rest of a file whose header claims millions is neither read nor written back.
    long wanted = std::min<long>(present, maximum);
    if (stated >= 0 && stated < wanted) {
        wanted = stated;
    }
    if (wanted > 0) {
        records->reset(new (std::nothrow) HighscoreEntry[wanted]);
    }
    int32_t read = 0;
    while (*records && read < wanted) {
        uint8_t record[HIGHSCORE_RECORD_SIZE];
        if (std::fread(record, 1, sizeof(record), in) != sizeof(record)) {
            break;
        }
        HighscoreEntry& entry = (*records)[read];
        std::memcpy(entry.name, record, HIGHSCORE_NAME_SIZE);
        entry.name[HIGHSCORE_NAME_SIZE - 1] = '\0';
        entry.score = GetInt32(record + HIGHSCORE_NAME_SIZE);
        ++read;
    }
    std::fclose(in);
    *count = read;
    // A header that states no record is a whole, empty table; any other file without one whole record
    // (a first write cut short by a kill or a full disk) holds no score to lose.
    return present > 0 || stated == 0 ? DiskTable::Read : DiskTable::NoRecord;
}

} // namespace

HighscoreList::HighscoreList() = default;

HighscoreList::~HighscoreList() {
    delete[] entries;
}

int HighscoreList::Load(const char* file, int n) {
    std::snprintf(fileName, sizeof(fileName), "%s", file ? file : "");
    capacity = n > 0 ? n : 0;
    unsaved.clear();
    saveError = 0;
    RemoveOldSaveLeftover(fileName);

    std::unique_ptr<HighscoreEntry[]> read;
    int32_t readCount = 0;
    const DiskTable found = ReadTableFile(fileName, capacity, &read, &readCount);
    if (found == DiskTable::Read || found == DiskTable::Unreadable) {
        // An unreadable file is left as it is, and its table stays empty.
        Adopt(std::move(read), readCount);
        return found == DiskTable::Read ? LOAD_READ : LOAD_FAILED;
    }
    std::unique_ptr<HighscoreEntry[]> created(new (std::nothrow)
                                                  HighscoreEntry[capacity > 0 ? capacity : 1]());
    if (!created) {
        Adopt(nullptr, 0);
        return LOAD_FAILED;
    }
    const std::vector<uint8_t> bytes = TableBytes(capacity, created.get());
    if (!platform::ReplaceDataFile(fileName, bytes.data(), bytes.size())) {
        Adopt(nullptr, 0);
        return LOAD_FAILED;
    }
    Adopt(std::move(created), capacity);
    return LOAD_CREATED;
}

void HighscoreList::Adopt(std::unique_ptr<HighscoreEntry[]> records, int32_t recordCount) {
    delete[] entries;
    entries = records.release();
    count = entries ? recordCount : 0;
}

bool HighscoreList::IsHighscore(uint32_t s) const {
    if (!entries || count <= 0) {
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (s > entries[i].score) {
            return true;
        }
    }
    return false;
}

bool HighscoreList::Place(const char* name, uint32_t s) {
    if (!IsHighscore(s)) {
        return false;
    }
    int32_t p = 0;
    while (p < count && entries[p].score >= s) {
        ++p;
    }
    for (int32_t k = count - 1; k > p; --k) {
        entries[k].score = entries[k - 1].score;
        std::memcpy(entries[k].name, entries[k - 1].name, HIGHSCORE_NAME_SIZE);
    }
    entries[p].score = s;
    std::memset(entries[p].name, 0, HIGHSCORE_NAME_SIZE);
    if (name) {
        std::strncpy(entries[p].name, name, HIGHSCORE_NAME_SIZE - 1);
    }
    return true;
}

bool HighscoreList::InsertScore(const char* name, uint32_t s) {
    // Another game on the same folder may have saved since this one read the file: the insertion goes
    // into the table as it is on disk now, with this run's scores that could not be saved put back in.
    const HighscoreLock lock(fileName);
    std::unique_ptr<HighscoreEntry[]> onDisk;
    int32_t onDiskCount = 0;
    if (ReadTableFile(fileName, capacity, &onDisk, &onDiskCount) == DiskTable::Read) {
        Adopt(std::move(onDisk), onDiskCount);
        for (const HighscoreEntry& entry : unsaved) {
            Place(entry.name, entry.score);
        }
    }
    if (!Place(name, s)) {
        return true;
    }
    if (Save()) {
        unsaved.clear();
        saveError = 0;
        return true;
    }
    saveError = errno;
    HighscoreEntry entry = {};
    std::snprintf(entry.name, sizeof(entry.name), "%s", name ? name : "");
    entry.score = s;
    unsaved.push_back(entry);
    return false;
}

bool HighscoreList::GetEntry(int i, uint32_t* score, char* name) const {
    if (!entries || i < 0 || i >= count) {
        return false;
    }
    if (name) {
        std::strcpy(name, entries[i].name);
    }
    if (score) {
        *score = entries[i].score;
    }
    return true;
}

bool HighscoreList::SetTitle(const char* t) {
    std::snprintf(title, sizeof(title), "%s", t ? t : "");
    return true;
}

bool HighscoreList::GetTitle(char* out) const {
    std::strcpy(out, title);
    return true;
}

bool HighscoreList::Save() {
    const std::vector<uint8_t> bytes = TableBytes(count, entries);
    return platform::ReplaceDataFile(fileName, bytes.data(), bytes.size());
}

std::string HighscoreHostPath(const char* file) {
    std::error_code error;
    return std::filesystem::absolute(platform::ToWritableHostPath(file ? file : ""), error).string();
}

HighscoreList& CurrentHighscoreTable() {
    // Stored settings may hold any value; the rules read them as level mode and easy, and so does the
    // table index, which therefore never leaves the six tables.
    const int mode = PlayMode != 0 ? 1 : 0;
    const int difficulty = (Difficulty == 1 || Difficulty == 2) ? Difficulty : 0;
    return HighscoreTables[mode * 3 + difficulty];
}
