// The terrain singleton: a height-map terrain cut into patches of 4 x 4 cells, with texture sets per
// terrain type and edge and corner transitions, a water quad, plateau editing, picking and height
// queries, and the map image that saves and restores it.
//
// Sample (sx, sz) is element sx + sz * mapWidth of the sample maps; patch (px, pz) covers samples
// px*4 .. px*4+4 along x and pz*4 .. pz*4+4 along z. Patches are numbered column by column, as the
// meshes are built: patch (px, pz) has the index pz + px * (gridHeight - 1), so that a map that is
// not square has every one of its (gridWidth - 1) x (gridHeight - 1) patches; for a square map this
// is pz + px * (gridWidth - 1). Fields, buffers, boxes, copies, drawing, picking, editing and the map
// image all use this index.
#pragma once

#include "core/velkora_api.h"
#include "terrain/terrain_types.h"

class InitManager;
class BufferManager;
class KameraKlass;
class TexturManager;
class HelpTools3D;
class TerrainTexturSet;

class VELKORA_API TerrainManager {
public:
    static TerrainManager* GetExemplar();
    virtual ~TerrainManager();

    // Creation (binds the managers first, then builds from the two bitmaps).
    bool InitTerrainSystem();
    bool CreateTerrain();
    bool CreateTerrain(const char* unused);

    bool GetPosition(int* x, int* z, int patch);
    int GetEbeneIndex(int x, int z);

    // Tiles and drawing. Drawing opens no scene: call it inside the caller's scene.
    bool SetTile(int type);
    bool SetATCursorPos(int type, int patch);
    bool RenderAll();
    bool RenderTerrain();

    // Editing.
    bool PatchIncrease(int mask, int patch, float amount);
    bool IncreaseTerrainPosition(int patch, int mode);
    bool CalculateSouroundEbene(unsigned char amount, unsigned char level, int x, int z);
    bool CalculatePermanentPlane(unsigned char* grid);

    // The map image. *buf must hold 680 + 6*w*h + 2*W*H bytes (w, h: mapWidth, mapHeight; W, H:
    // gridWidth, gridHeight). LoadMap refuses an image whose header does not fit its size, or whose
    // patches the buffer pool cannot hold, and keeps the current terrain then.
    bool GetSaveMap(unsigned char** buf, unsigned long* size);
    bool LoadMap(unsigned char** image);
    bool LoadMapFromFilename(const char* unused);

    // Picking with a point of the window's client area, and height queries.
    bool PickTerrainPosition(int mouseX, int mouseY, float* x, float* z);
    bool GetTerrainPatch(int mouseX, int mouseY, int* patch);
    float GetHeightFromTerrainVertex(float x, float z);
    int iGetHeighmapValue(int a, int b);

    int trianglesPerPatch;
    int verticesPerPatch;
    int indicesPerPatch;
    int gridWidth;
    int gridHeight;
    InitManager* initManager;
    BufferManager* bufferManager;
    KameraKlass* kamera;
    TexturManager* texturManager;
    HelpTools3D* helpTools;
    TerrainTexturSet* texturSets[8];
    unsigned char* byteHighMap;
    unsigned char* byteLightMap;
    unsigned short* wordHighMap;
    unsigned char* ebeneFeld;
    float* floatOwnHeightMap;
    unsigned char* tileFeld;
    int patchSize;
    float cellSize;
    float heightScale;
    int mapWidth;
    int mapHeight;
    int* patchVertexBuffers;
    int* patchIndexBuffers;
    PatchBox* patchBoxes;
    int waterVertexBuffer;
    int waterIndexBuffer;
    int waterFrame;
    DWORD lastWaterTime;
    PatchCopy* patchCopies;
    bool created;

protected:
    TerrainManager();

private:
    friend struct TerrainTestAccess;

    static TerrainManager* Exemplar;

    bool CreateByteHighMapFromBMP8(const char* path);
    bool CreateByteLightMapFromBMP8(const char* path);
    bool CreateFloatOwnHeightMapFromByteHeightMap();
    bool CreateTerrainMeshes();
    bool CreateWaterPatch();
    bool CreateEbeneUndTileFelder();
    bool GetValuesfromBitfield(unsigned char* type, unsigned char* variant, unsigned char value);
    int GetEbene(int x, int z);
    bool SetEbene(int x, int z, int level);

    bool LoadTerrainMap();
    unsigned char GetSuroundTerrain(int type, int patch, int edges);

    bool CheckHitTerrainPatch(int patch, D3DXVECTOR3 rayPos, D3DXVECTOR3 rayDir, float* dist, float* hitX,
                              float* hitZ);
    float GetHeightMapPos(int sx, int sz);

    // Our own helpers.
    int PatchCount() const;
    // Patches per column along z: the step of the patch index from one column to the next.
    int PatchesPerColumn() const;
    int PatchIndex(int px, int pz) const;
    bool IsPatchInGrid(int px, int pz) const;
    bool PatchExists(int patch) const;
    void CameraPatch(int* px, int* pz) const;
    unsigned char RandomTile(int type) const;
    bool SetTileTypeAt(int type, int patch);
    void RecomputePatchBox(int patch);
    bool BufferPoolHoldsPatches(int newGridWidth, int newGridHeight) const;
    int PickNearestPatch(int mouseX, int mouseY, float* hitX, float* hitZ);
    int EbeneAt(int x, int z);
    void ReleasePatches();
    void ReleaseMapsAndFields();
    void ReleaseTerrain();
};
