// The engine's texture cache: textures loaded from image files, shared by file name and counted by
// holders, addressed by integer ids (entry indices). Every engine class that draws with a texture
// keeps only the id and asks the cache for the texture object at draw time.
#pragma once

#include "d3d9/d3d9.h"

#include <cstdint>

class InitManager;

// One cache entry; in use exactly while `texture` is not null.
struct TexturSlot {
    char name[32];
    IDirect3DTexture9* texture;
    int32_t filterFlag;
    int32_t useCount;
};

class TexturManager {
public:
    static TexturManager* GetExemplar();
    virtual ~TexturManager();

    void Init(int capacity);
    // Returns the id of the texture (shared when the name is held already), or -1.
    int LoadTextur(const char* fileName, int filterFlag);
    bool ReleaseTextur(int id);
    IDirect3DTexture9* GetTextur(int id);
    bool ReleaseAll();
    bool ReloadAll();

    int32_t capacity = 0;
    TexturSlot* entries = nullptr;
    InitManager* deviceOwner = nullptr;

protected:
    TexturManager();

private:
    static TexturManager* Exemplar;
};
