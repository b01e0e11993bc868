// Tiles: the texture sets of the terrain types, random tile variants, the tile of one patch, and the
// neighbour masks that choose a patch's edge and corner transition textures.
#include "terrain/terrain_manager.h"

#include "core/kamera_klass.h"
#include "terrain/terrain_textur_set.h"

#include <cstdlib>
#include <new>

namespace {

constexpr int VARIANT_COUNT = 8;
// The patch that SetTile changes lies this far ahead of the camera along z.
constexpr float SET_TILE_DISTANCE = 30.0f;

struct SetNames {
    int type;
    const char* tiles;
    const char* transitions; // null: the type has no edges and corners
};

constexpr SetNames SET_NAMES[] = {
    {0, "schotter", nullptr}, {1, "Fels", "Fels"},      {2, "StoneBoden", "stone"},
    {3, "Grass", "Grass"},    {4, "sandboden", "sand"}, {7, "water", nullptr},
};

} // namespace

// A tile byte: the type in the high nibble (only its low four bits) and a random variant 0 to 7.
unsigned char TerrainManager::RandomTile(int type) const {
    unsigned variant = unsigned(rand()) * VARIANT_COUNT / 32767u;
    if (variant == VARIANT_COUNT) {
        variant = VARIANT_COUNT - 1;
    }
    return static_cast<unsigned char>((unsigned(type) << 4 | variant) & 0xFF);
}

bool TerrainManager::LoadTerrainMap() {
    if (tileFeld == nullptr) {
        return false;
    }
    const int fieldSize = gridWidth * gridHeight;
    for (int i = 0; i < fieldSize; ++i) {
        tileFeld[i] = RandomTile(0);
    }
    for (const SetNames& names : SET_NAMES) {
        delete texturSets[names.type];
        auto* set = new (std::nothrow) TerrainTexturSet();
        texturSets[names.type] = set;
        if (set == nullptr) {
            return false;
        }
        set->LoadTiles(names.tiles);
        if (names.transitions != nullptr) {
            set->LoadEdgesAndCorners(names.transitions);
        }
    }
    return true;
}

unsigned char TerrainManager::GetSuroundTerrain(int type, int patch, int edges) {
    if (!PatchExists(patch) || tileFeld == nullptr) {
        return 0;
    }
    const int x = patch / PatchesPerColumn();
    const int z = patch % PatchesPerColumn();
    // Neighbours for the mask bits 1, 2, 4 and 8.
    static constexpr int EDGE_OFFSETS[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    static constexpr int CORNER_OFFSETS[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const auto& offsets = edges != 0 ? EDGE_OFFSETS : CORNER_OFFSETS;
    unsigned char mask = 0;
    for (int bit = 0; bit < 4; ++bit) {
        const int nx = x + offsets[bit][0];
        const int nz = z + offsets[bit][1];
        if (IsPatchInGrid(nx, nz) && (tileFeld[PatchIndex(nx, nz)] >> 4) == type) {
            mask |= static_cast<unsigned char>(1 << bit);
        }
    }
    return mask;
}

bool TerrainManager::SetTileTypeAt(int type, int patch) {
    if (!PatchExists(patch) || tileFeld == nullptr) {
        return false;
    }
    tileFeld[patch] = RandomTile(type);
    return true;
}

bool TerrainManager::SetTile(int type) {
    if (kamera == nullptr) {
        return true;
    }
    // The patch under the point 30 units ahead of the camera along z, looked up by column and row so
    // that a point beyond the grid's z edge does not reach into the next column.
    const float patchWidth = float(patchSize) * cellSize;
    const int px = static_cast<int>(kamera->position.x / patchWidth);
    const int pz = static_cast<int>((kamera->position.z + SET_TILE_DISTANCE) / patchWidth);
    if (IsPatchInGrid(px, pz)) {
        SetTileTypeAt(type, PatchIndex(px, pz));
    }
    return true;
}

bool TerrainManager::SetATCursorPos(int type, int patch) {
    return SetTileTypeAt(type, patch);
}
