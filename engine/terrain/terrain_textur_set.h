// One terrain type's textures: up to 16 tile variants and the edge and corner transition textures,
// each numbered by the neighbour mask 1 to 15. The ids belong to the texture cache; the set releases
// the ones it loaded.
#pragma once

class TexturManager;

class TerrainTexturSet {
public:
    TerrainTexturSet();
    virtual ~TerrainTexturSet();

    // Tiles 0 to 7 from "Grafik\Terrain\<name><n>.bmp".
    bool LoadTiles(const char* name);
    // Edges and corners 1 to 15 from "Grafik\Terrain\Edge<name><n>.dds" and "...\Corner<name><n>.dds".
    bool LoadEdgesAndCorners(const char* name);

    // Texture ids; a number outside the table gives slot 0.
    int GetTile(int n);
    int GetEdge(int n);
    int GetCorner(int n);

    static constexpr int SLOT_COUNT = 16;

    TexturManager* texturManager;
    int tiles[SLOT_COUNT];
    int edges[SLOT_COUNT];
    int corners[SLOT_COUNT];
};
