// The registry calls the game keeps its settings with. The store lives in files under
// $XDG_CONFIG_HOME (default ~/.config), folder "zonkel/registry": every key is a folder, every value a
// file of its own, written atomically.
#pragma once

#include "win32/windows_base.h"

using REGSAM = DWORD;
using PHKEY = HKEY*;
using LSTATUS = LONG;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

// Creates the key `subKey` (backslash-separated, nested keys created as needed) below `key`, or opens it
// when it exists; `disposition` (optional) tells which. Names are compared without regard to case.
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);

// Stores `size` bytes of `data` under `name` with the given type, replacing any earlier value.
LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

// Reads the value `name`. `size` holds the buffer's length and receives the value's. ERROR_FILE_NOT_FOUND
// for a missing value, ERROR_MORE_DATA (buffer untouched) when the buffer is too small, ERROR_INVALID_DATA
// for a damaged value. With no buffer only the type and the size are returned.
LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);

LSTATUS RegCloseKey(HKEY key);
