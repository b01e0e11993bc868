// The texture cache: a fixed table of entries, textures shared by file name and counted by holders.
#include "core/textur_manager.h"

#include "core/init_manager.h"
#include "d3dx9/d3dx9.h"

#include <cstdio>
#include <cstring>
#include <new>

TexturManager* TexturManager::Exemplar = nullptr;

namespace {

// Names are kept to this many characters; a longer name is never found again by its whole text.
constexpr int STORED_NAME_LENGTH = 30;

HRESULT LoadTextureFile(IDirect3DDevice9* device, const char* fileName, int filterFlag,
                        IDirect3DTexture9** texture) {
    // Size from the file, a full mip chain, opaque black keyed to transparent.
    return D3DXCreateTextureFromFileExA(device, fileName, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                        filterFlag != 0 ? D3DX_FILTER_TRIANGLE : D3DX_FILTER_NONE,
                                        D3DX_FILTER_TRIANGLE, 0xFF000000, nullptr, nullptr, texture);
}

} // namespace

TexturManager::TexturManager() = default;

TexturManager::~TexturManager() {
    ReleaseAll();
    delete[] entries;
    entries = nullptr;
    capacity = 0;
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

TexturManager* TexturManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) TexturManager;
    }
    return Exemplar;
}

// A failed allocation leaves an empty table: every later call then reports failure.
void TexturManager::Init(int newCapacity) {
    ReleaseAll();
    delete[] entries;
    entries = nullptr;
    capacity = 0;
    deviceOwner = InitManager::GetExemplar();
    if (newCapacity <= 0) {
        return;
    }
    entries = new (std::nothrow) TexturSlot[newCapacity];
    if (entries == nullptr) {
        return;
    }
    std::memset(entries, 0, sizeof(TexturSlot) * static_cast<size_t>(newCapacity));
    capacity = newCapacity;
}

int TexturManager::LoadTextur(const char* fileName, int filterFlag) {
    if (entries == nullptr || fileName == nullptr) {
        return -1;
    }
    for (int i = 0; i < capacity; ++i) {
        if (entries[i].texture != nullptr && std::strcmp(fileName, entries[i].name) == 0) {
            ++entries[i].useCount;
            return i;
        }
    }
    int slot = -1;
    for (int i = 0; i < capacity; ++i) {
        if (entries[i].texture == nullptr) {
            slot = i;
            break;
        }
    }
    if (slot < 0) {
        return -1;
    }
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (device == nullptr) {
        return -1;
    }
    TexturSlot& entry = entries[slot];
    if (LoadTextureFile(device, fileName, filterFlag, &entry.texture) != 0) {
        entry.texture = nullptr;
        return -1;
    }
    std::snprintf(entry.name, sizeof(entry.name), "%.*s", STORED_NAME_LENGTH, fileName);
    entry.filterFlag = filterFlag;
    entry.useCount = 1;
    return slot;
}

bool TexturManager::ReleaseTextur(int id) {
    if (entries == nullptr || id < 0 || id >= capacity) {
        return false;
    }
    TexturSlot& entry = entries[id];
    if (entry.texture == nullptr) {
        return true;
    }
    --entry.useCount;
    if (entry.useCount > 0) {
        return true;
    }
    entry.texture->Release();
    entry.texture = nullptr;
    return true;
}

IDirect3DTexture9* TexturManager::GetTextur(int id) {
    if (entries == nullptr || id < 0 || id >= capacity) {
        return nullptr;
    }
    return entries[id].texture;
}

bool TexturManager::ReleaseAll() {
    for (int i = 0; entries != nullptr && i < capacity; ++i) {
        if (entries[i].texture != nullptr) {
            entries[i].texture->Release();
            entries[i].texture = nullptr;
        }
    }
    return true;
}

// Each entry's texture is made anew from its stored name; the old object is released once the new one
// exists, and stays in the entry when the reload fails.
bool TexturManager::ReloadAll() {
    if (entries == nullptr) {
        return false;
    }
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    for (int i = 0; i < capacity; ++i) {
        TexturSlot& entry = entries[i];
        if (entry.texture == nullptr) {
            continue;
        }
        IDirect3DTexture9* reloaded = nullptr;
        if (device == nullptr || LoadTextureFile(device, entry.name, entry.filterFlag, &reloaded) != 0) {
            return false;
        }
        entry.texture->Release();
        entry.texture = reloaded;
    }
    return true;
}
