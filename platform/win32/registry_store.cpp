// The file-backed registry: the root folder is the settings base folder (BaseFolder of XDG_CONFIG_HOME,
// read on every call so tests can point it elsewhere), keys are folders made for the user only and
// values are files "@<name>" holding a small header (magic, type, size) and the bytes. Values are
// replaced atomically through a temporary file and a rename, and a file that does not match its header,
// or is larger than any value can be, is reported as damaged.
#include "win32/file_access.h"
#include "win32/program_folders.h"
#include "win32/winreg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char VALUE_MAGIC[4] = {'Z', 'R', 'E', 'G'};
constexpr size_t VALUE_HEADER_SIZE = 12;
// A key path of more than this many levels is refused, as the original registry refuses deep nesting.
constexpr size_t MAX_KEY_DEPTH = 32;
// The largest value the store writes or reads, the size limit of the original's standard format.
constexpr size_t MAX_VALUE_SIZE = 1024 * 1024;

struct OpenKey {
    fs::path folder;
};

std::mutex storeMutex;
std::unordered_map<HKEY, OpenKey> openKeys;
uintptr_t nextHandle = 0x1000;

const char* RootName(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) {
        return "HKEY_CLASSES_ROOT";
    }
    if (key == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    if (key == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    if (key == HKEY_USERS) {
        return "HKEY_USERS";
    }
    return nullptr;
}

// The folder of an open or predefined key; false for an unknown handle. Caller holds the mutex.
bool KeyFolder(HKEY key, fs::path* folder) {
    if (const char* root = RootName(key)) {
        const std::string config = platform::BaseFolder("XDG_CONFIG_HOME", ".config");
        *folder = fs::path(config) / "zonkel" / "registry" / root;
        return !config.empty();
    }
    auto found = openKeys.find(key);
    if (found == openKeys.end()) {
        return false;
    }
    *folder = found->second.folder;
    return true;
}

// Key and value names may hold any byte but the backslash of key paths. Letters, digits, '-', '_', ' '
// and inner dots stay readable; everything else (and a leading dot) becomes %XX, so no name can reach
// outside its folder or collide with the "@" of value files.
std::string EncodeName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (std::isalnum(c) || c == '-' || c == '_' || c == ' ' || (c == '.' && i > 0)) {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof(escaped), "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

// The entry of `folder` whose name equals `name` ignoring case, or `name` itself when none does.
std::string MatchIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code error;
    if (fs::exists(folder / name, error)) {
        return name;
    }
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (entry.size() == name.size() &&
            std::equal(entry.begin(), entry.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return entry;
        }
    }
    return name;
}

fs::path ValueFile(const fs::path& keyFolder, LPCSTR name) {
    const std::string encoded = std::string(1, '@').append(EncodeName(name ? name : ""));
    return keyFolder / MatchIgnoringCase(keyFolder, encoded);
}

void PutUint32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetUint32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

enum class ReadResult { Ok, Missing, Damaged };

// A value file is read only when it is a regular file no larger than the largest value plus its header,
// so that a huge or sparse file is refused from its size and a FIFO never blocks the reader. Only an
// absent file is a missing value; anything else that cannot be read is a damaged one.
ReadResult ReadValueFile(const fs::path& file, DWORD* type, std::vector<uint8_t>* data) {
    std::vector<uint8_t> bytes;
    switch (platform::ReadRegularFile(file.string(), VALUE_HEADER_SIZE + MAX_VALUE_SIZE, &bytes)) {
    case platform::FileReadResult::Ok:
        break;
    case platform::FileReadResult::Missing:
        return ReadResult::Missing;
    case platform::FileReadResult::NotRegular:
    case platform::FileReadResult::TooLarge:
    case platform::FileReadResult::Failed:
        return ReadResult::Damaged;
    }
    if (bytes.size() < VALUE_HEADER_SIZE || std::memcmp(bytes.data(), VALUE_MAGIC, 4) != 0) {
        return ReadResult::Damaged;
    }
    const uint32_t size = GetUint32(bytes.data() + 8);
    if (size != bytes.size() - VALUE_HEADER_SIZE) {
        return ReadResult::Damaged;
    }
    *type = GetUint32(bytes.data() + 4);
    data->assign(bytes.begin() + VALUE_HEADER_SIZE, bytes.end());
    return ReadResult::Ok;
}

} // namespace

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                        PHKEY result, LPDWORD disposition) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(storeMutex);
    fs::path folder;
    if (!KeyFolder(key, &folder)) {
        return ERROR_INVALID_HANDLE;
    }
    std::error_code error;
    bool created = false;
    size_t depth = 0;
    const std::string path = subKey ? subKey : "";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty()) {
            continue;
        }
        if (++depth > MAX_KEY_DEPTH) {
            return ERROR_INVALID_PARAMETER;
        }
        folder /= MatchIgnoringCase(folder, EncodeName(component));
        if (!fs::is_directory(folder, error)) {
            if (fs::exists(folder, error)) {
                return ERROR_ACCESS_DENIED;
            }
            created = true;
        }
    }
    if (created || !fs::is_directory(folder, error)) {
        if (!platform::CreatePrivateFolders(folder.string())) {
            return ERROR_ACCESS_DENIED;
        }
        created = true;
    }
    const HKEY handle = reinterpret_cast<HKEY>(nextHandle);
    nextHandle += 0x10;
    openKeys[handle] = OpenKey{folder};
    *result = handle;
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if ((!data && size > 0) || size > MAX_VALUE_SIZE) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(storeMutex);
    fs::path folder;
    if (!KeyFolder(key, &folder)) {
        return ERROR_INVALID_HANDLE;
    }
    std::error_code error;
    if (RootName(key)) {
        platform::CreatePrivateFolders(folder.string());
    }
    if (!fs::is_directory(folder, error)) {
        return ERROR_FILE_NOT_FOUND; // The key was removed behind our back.
    }
    std::vector<uint8_t> bytes(VALUE_HEADER_SIZE + size);
    std::memcpy(bytes.data(), VALUE_MAGIC, 4);
    PutUint32(bytes.data() + 4, type);
    PutUint32(bytes.data() + 8, size);
    if (size > 0) {
        std::memcpy(bytes.data() + VALUE_HEADER_SIZE, data, size);
    }
    return platform::ReplaceFileAtomically(ValueFile(folder, name).string(), bytes.data(), bytes.size())
               ? ERROR_SUCCESS
               : ERROR_ACCESS_DENIED;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (data && !size) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(storeMutex);
    fs::path folder;
    if (!KeyFolder(key, &folder)) {
        return ERROR_INVALID_HANDLE;
    }
    DWORD storedType = REG_NONE;
    std::vector<uint8_t> stored;
    switch (ReadValueFile(ValueFile(folder, name), &storedType, &stored)) {
    case ReadResult::Missing:
        return ERROR_FILE_NOT_FOUND;
    case ReadResult::Damaged:
        return ERROR_INVALID_DATA;
    case ReadResult::Ok:
        break;
    }
    if (type) {
        *type = storedType;
    }
    const DWORD storedSize = static_cast<DWORD>(stored.size());
    if (data && *size < storedSize) {
        *size = storedSize;
        return ERROR_MORE_DATA;
    }
    if (data && storedSize > 0) {
        std::memcpy(data, stored.data(), storedSize);
    }
    if (size) {
        *size = storedSize;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (RootName(key)) {
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> lock(storeMutex);
    return openKeys.erase(key) > 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
