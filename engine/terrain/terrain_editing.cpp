// Editing: a patch becomes a plateau (raised by an amount, or set to a fixed height), the gaps toward
// raised patches two steps away are filled, and the patches around it are blended in with slope
// profiles. Edits change a patch's system-memory copy and the offset map, then rebuild its buffer.
// Neighbours are looked up by column and row, so an edit near one border never reaches the far end
// of the next column.
#include "terrain/terrain_manager.h"

#include "core/buffer_manager.h"

#include <cstring>

namespace {

// Profiles: for each of a patch's 25 vertices (k = a*5 + b) a weight index 0 to 4. Rows are written
// per a, digits per b. Masks not listed here leave every vertex unchanged.
struct Profile {
    int mask;
    const char* rows[5];
};

constexpr Profile PROFILES[] = {
    {0, {"44444", "44444", "44444", "44444", "44444"}},  {1, {"43210", "43210", "43210", "43210", "43210"}},
    {2, {"44444", "33333", "22222", "11111", "00000"}},  {3, {"44444", "43333", "43222", "43231", "43210"}},
    {4, {"01234", "01234", "01234", "01234", "01234"}},  {6, {"44444", "33334", "22234", "11234", "01234"}},
    {8, {"00000", "11111", "22222", "33333", "44444"}},  {9, {"43210", "43111", "43122", "43333", "44444"}},
    {12, {"01234", "11234", "22234", "33334", "44444"}}, {21, {"00000", "11110", "22210", "33210", "43210"}},
    {22, {"00000", "01111", "01222", "01233", "01234"}}, {23, {"43210", "33210", "22210", "11110", "00000"}},
    {24, {"01234", "01233", "01222", "01111", "00000"}},
};

constexpr float WEIGHTS[5] = {0.0f, 0.2f, 0.5f, 0.7f, 1.0f};
constexpr float BASE_HEIGHT = 6.0f;
// Amounts up to this value set an absolute height; larger ones raise the terrain by that much.
constexpr float ABSOLUTE_MODE_LIMIT = 5.0f;
constexpr int PLATEAU_TYPE = 3;
constexpr int SLOPE_TYPE = 1;

// The weight index of vertex k in the profile of mask, 0 for masks without a profile.
int WeightIndex(int mask, int k) {
    for (const Profile& profile : PROFILES) {
        if (profile.mask == mask) {
            return profile.rows[k / 5][k % 5] - '0';
        }
    }
    return 0;
}

// The ring at distance 2, in the order it is tested.
constexpr int RING[16][2] = {{-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2}, {2, -1}, {2, 0},  {2, 1},
                             {2, 2},   {1, 2},   {0, 2},  {-1, 2}, {-2, 2}, {-2, 1}, {-2, 0}, {-2, -1}};

int Sign(int value) {
    return (value > 0) - (value < 0);
}

constexpr int GRID_SIDE = 256;
constexpr int BORDER_PATCH = 63;

} // namespace

bool TerrainManager::PatchIncrease(int mask, int patch, float amount) {
    if (!PatchExists(patch) || patchCopies == nullptr || patchCopies[patch].vertices == nullptr ||
        byteHighMap == nullptr || floatOwnHeightMap == nullptr) {
        return false;
    }
    SetTileTypeAt(mask != 0 ? SLOPE_TYPE : PLATEAU_TYPE, patch);
    TerrainVertex* vertices = patchCopies[patch].vertices;
    for (int k = 0; k < PATCH_VERTEX_COUNT; ++k) {
        const int weightIndex = WeightIndex(mask, k);
        if (weightIndex == 0) {
            continue;
        }
        const float d = amount * WEIGHTS[weightIndex];
        const int sx = static_cast<int>(vertices[k].x);
        const int sz = static_cast<int>(vertices[k].z);
        const int sample = sx + sz * mapWidth;
        const float base = float(byteHighMap[sample]) * heightScale + BASE_HEIGHT;
        if (amount <= ABSOLUTE_MODE_LIMIT) {
            // The offset that gives this height again when the meshes are rebuilt from the maps.
            vertices[k].y = d;
            floatOwnHeightMap[sample] = d - base;
        } else {
            vertices[k].y = base + d;
            vertices[k].x = float(sx);
            vertices[k].z = float(sz);
            floatOwnHeightMap[sample] = d;
        }
    }
    // Picking tests the box first, so it has to follow the new heights.
    RecomputePatchBox(patch);
    if (bufferManager != nullptr) {
        patchVertexBuffers[patch] = bufferManager->RecreateVertexBuffer(
            vertices, PATCH_VERTEX_BYTES, TERRAIN_FVF, 1, patchVertexBuffers[patch]);
    }
    return true;
}

int TerrainManager::EbeneAt(int x, int z) {
    return IsPatchInGrid(x, z) ? GetEbene(x, z) : -1;
}

bool TerrainManager::IncreaseTerrainPosition(int patch, int mode) {
    if (!PatchExists(patch)) {
        return false;
    }
    const int x = patch / PatchesPerColumn();
    const int z = patch % PatchesPerColumn();
    const float amount = mode == 1 ? 5.0f : 6.0f;
    const int level = mode == 1 ? 4 : 2;

    PatchIncrease(0, GetEbeneIndex(x, z), amount);
    SetEbene(x, z, level);

    // A raised patch (or the grid's border) two steps away: the patch between becomes plateau too.
    for (const auto& offset : RING) {
        if (EbeneAt(x + offset[0], z + offset[1]) == 0) {
            continue;
        }
        const int betweenX = x + Sign(offset[0]);
        const int betweenZ = z + Sign(offset[1]);
        if (!IsPatchInGrid(betweenX, betweenZ)) {
            continue;
        }
        SetEbene(betweenX, betweenZ, level);
        PatchIncrease(0, GetEbeneIndex(betweenX, betweenZ), amount);
    }

    for (int xi = x - 5; xi <= x + 4; ++xi) {
        for (int zi = z - 5; zi <= z + 4; ++zi) {
            CalculateSouroundEbene(static_cast<unsigned char>(amount), static_cast<unsigned char>(level), xi,
                                   zi);
        }
    }
    return true;
}

bool TerrainManager::CalculateSouroundEbene(unsigned char amount, unsigned char level, int x, int z) {
    if (EbeneAt(x, z) == level) {
        return false;
    }
    if (!IsPatchInGrid(x, z)) {
        return true;
    }
    int mask = 0;
    if (EbeneAt(x - 1, z) == level) {
        mask |= 2;
    }
    if (EbeneAt(x, z + 1) == level) {
        mask |= 4;
    }
    if (EbeneAt(x + 1, z) == level) {
        mask |= 8;
    }
    if (EbeneAt(x, z - 1) == level) {
        mask |= 1;
    }
    if (mask == 0) {
        if (EbeneAt(x - 1, z - 1) == level) {
            mask = 23;
        }
        if (EbeneAt(x + 1, z + 1) == level) {
            mask = 22;
        }
        if (EbeneAt(x + 1, z - 1) == level) {
            mask = 21;
        }
        if (EbeneAt(x - 1, z + 1) == level) {
            mask = 24;
        }
    }
    if (mask != 0) {
        PatchIncrease(mask, GetEbeneIndex(x, z), float(amount));
    }
    return true;
}

bool TerrainManager::CalculatePermanentPlane(unsigned char* grid) {
    if (grid == nullptr) {
        return false;
    }
    std::memset(grid, 0, size_t(GRID_SIDE) * GRID_SIDE);
    for (int column = 0; column < GRID_SIDE; ++column) {
        for (int row = 0; row < GRID_SIDE; ++row) {
            const int px = column / 4;
            const int pz = row / 4;
            bool permanent = px == 0 || pz == 0 || px == BORDER_PATCH || pz == BORDER_PATCH;
            // Patches beyond a smaller terrain count as permanent, like its border.
            if (!permanent) {
                permanent = !IsPatchInGrid(px, pz) || tileFeld == nullptr ||
                            (tileFeld[PatchIndex(px, pz)] >> 4) != SLOPE_TYPE;
            }
            if (permanent) {
                grid[column + row * GRID_SIDE] = 1;
            }
        }
    }
    return false;
}
