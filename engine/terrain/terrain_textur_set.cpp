// A terrain type's tile, edge and corner texture ids, loaded through the texture cache.
#include "terrain/terrain_textur_set.h"

#include "core/textur_manager.h"

#include <cstdio>

namespace {

constexpr int TILE_VARIANTS_LOADED = 8;
// Tiles above this number fall back to tile 0.
constexpr int HIGHEST_TILE = 12;
// Corners are filtered when loaded, tiles and edges are not.
constexpr int TILE_FILTER = 0;
constexpr int EDGE_FILTER = 0;
constexpr int CORNER_FILTER = 1;

} // namespace

TerrainTexturSet::TerrainTexturSet() : texturManager(TexturManager::GetExemplar()) {
    for (int n = 0; n < SLOT_COUNT; ++n) {
        tiles[n] = -1;
        edges[n] = -1;
        corners[n] = -1;
    }
}

TerrainTexturSet::~TerrainTexturSet() {
    if (texturManager == nullptr) {
        return;
    }
    for (int n = 0; n < SLOT_COUNT; ++n) {
        if (tiles[n] != -1) {
            texturManager->ReleaseTextur(tiles[n]);
        }
        if (edges[n] != -1) {
            texturManager->ReleaseTextur(edges[n]);
        }
        if (corners[n] != -1) {
            texturManager->ReleaseTextur(corners[n]);
        }
    }
}

bool TerrainTexturSet::LoadTiles(const char* name) {
    if (texturManager == nullptr || name == nullptr) {
        return false;
    }
    char path[260];
    for (int n = 0; n < TILE_VARIANTS_LOADED; ++n) {
        std::snprintf(path, sizeof(path), "Grafik\\Terrain\\%s%d.bmp", name, n);
        // A set loaded twice gives back its old holds first, so nothing stays counted twice.
        if (tiles[n] != -1) {
            texturManager->ReleaseTextur(tiles[n]);
        }
        tiles[n] = texturManager->LoadTextur(path, TILE_FILTER);
    }
    return true;
}

bool TerrainTexturSet::LoadEdgesAndCorners(const char* name) {
    if (texturManager == nullptr || name == nullptr) {
        return false;
    }
    char path[260];
    for (int n = 1; n < SLOT_COUNT; ++n) {
        if (edges[n] != -1) {
            texturManager->ReleaseTextur(edges[n]);
        }
        if (corners[n] != -1) {
            texturManager->ReleaseTextur(corners[n]);
        }
        std::snprintf(path, sizeof(path), "Grafik\\Terrain\\Edge%s%d.dds", name, n);
        edges[n] = texturManager->LoadTextur(path, EDGE_FILTER);
        std::snprintf(path, sizeof(path), "Grafik\\Terrain\\Corner%s%d.dds", name, n);
        corners[n] = texturManager->LoadTextur(path, CORNER_FILTER);
    }
    return true;
}

int TerrainTexturSet::GetTile(int n) {
    return (n >= 0 && n <= HIGHEST_TILE) ? tiles[n] : tiles[0];
}

int TerrainTexturSet::GetEdge(int n) {
    return (n >= 0 && n < SLOT_COUNT) ? edges[n] : edges[0];
}

int TerrainTexturSet::GetCorner(int n) {
    return (n >= 0 && n < SLOT_COUNT) ? corners[n] : corners[0];
}
