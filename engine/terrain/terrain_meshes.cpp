// The patch meshes and the water quad: every patch gets 5 x 5 vertices from the sample maps, 32
// triangles, a bounding box, a vertex and an index buffer in the buffer pool, and a copy of both in
// system memory for picking and editing.
#include "terrain/terrain_manager.h"

#include "core/buffer_manager.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr float BASE_HEIGHT = 6.0f;
constexpr float LOWEST_OFFSET = -5.0f;
constexpr float WATER_HEIGHT = 5.0f;
constexpr D3DCOLOR WATER_COLOUR = 0x78FFFFFF;

} // namespace

bool TerrainManager::CreateTerrainMeshes() {
    if (bufferManager == nullptr) {
        return false;
    }
    ReleasePatches();
    patchSize = 4;
    cellSize = 1.0f;
    heightScale = 0.025f;
    verticesPerPatch = PATCH_VERTEX_COUNT;
    indicesPerPatch = PATCH_INDEX_COUNT;
    gridWidth = mapWidth / patchSize;
    gridHeight = mapHeight / patchSize;
    if (gridWidth < 2 || gridHeight < 2 || (byteHighMap == nullptr && wordHighMap == nullptr)) {
        return false;
    }

    const size_t fieldSize = size_t(gridWidth) * size_t(gridHeight);
    patchVertexBuffers = new (std::nothrow) int[fieldSize];
    patchIndexBuffers = new (std::nothrow) int[fieldSize];
    patchBoxes = new (std::nothrow) PatchBox[fieldSize]();
    patchCopies = new (std::nothrow) PatchCopy[fieldSize]();
    if (patchVertexBuffers == nullptr || patchIndexBuffers == nullptr || patchBoxes == nullptr ||
        patchCopies == nullptr) {
        // Nothing was created yet: the tables go without releasing their (uncleared) ids.
        delete[] patchVertexBuffers;
        delete[] patchIndexBuffers;
        delete[] patchBoxes;
        delete[] patchCopies;
        patchVertexBuffers = nullptr;
        patchIndexBuffers = nullptr;
        patchBoxes = nullptr;
        patchCopies = nullptr;
        return false;
    }
    // Patches that are never built (or fail) hold -1, which nothing releases or draws.
    std::fill(patchVertexBuffers, patchVertexBuffers + fieldSize, -1);
    std::fill(patchIndexBuffers, patchIndexBuffers + fieldSize, -1);

    bool allBuffersMade = true;
    TerrainVertex vertices[PATCH_VERTEX_COUNT];
    uint16_t indices[PATCH_INDEX_COUNT];
    for (int px = 0; px <= gridWidth - 2; ++px) {
        for (int pz = 0; pz <= gridHeight - 2; ++pz) {
            const int patch = PatchIndex(px, pz);
            trianglesPerPatch = 0;
            for (int a = 0; a <= 4; ++a) {
                for (int b = 0; b <= 4; ++b) {
                    const int sample = (px * 4 + a) + (pz * 4 + b) * mapWidth;
                    TerrainVertex& vertex = vertices[a * 5 + b];
                    vertex.x = float(a + px * 4) * cellSize;
                    vertex.z = float(b + pz * 4) * cellSize;
                    const float offset = floatOwnHeightMap != nullptr
                                             ? std::max(floatOwnHeightMap[sample], LOWEST_OFFSET)
                                             : 0.0f;
                    DWORD light = 0;
                    if (byteHighMap != nullptr) {
                        vertex.y = float(byteHighMap[sample]) * heightScale + BASE_HEIGHT + offset;
                        light = byteLightMap != nullptr ? byteLightMap[sample] : 0;
                    } else {
                        vertex.y = float(wordHighMap[sample]) * heightScale + BASE_HEIGHT + offset;
                    }
                    vertex.diffuse = 0xFF000000u | light << 16 | light << 8 | light;
                    vertex.tu0 = float(a) / 4.0f;
                    vertex.tv0 = float(b) / 4.0f;
                    vertex.tu1 = float(a) / 5.0f;
                    vertex.tv1 = float(b) / 5.0f;
                }
            }
            if (D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(&vertices[0].x),
                                       PATCH_VERTEX_COUNT, sizeof(TerrainVertex), &patchBoxes[patch].min,
                                       &patchBoxes[patch].max) < 0) {
                return false;
            }
            int count = 0;
            for (int r = 0; r <= 3; ++r) {
                for (int c = 0; c <= 3; ++c) {
                    const auto q = static_cast<uint16_t>(c + r * 5);
                    const uint16_t cell[6] = {q,
                                              uint16_t(q + 1),
                                              uint16_t(q + 5),
                                              uint16_t(q + 5),
                                              uint16_t(q + 1),
                                              uint16_t(q + 6)};
                    std::memcpy(indices + count, cell, sizeof(cell));
                    count += 6;
                    trianglesPerPatch += 2;
                }
            }
            patchIndexBuffers[patch] = bufferManager->CreateIndexBuffer(indices, 0, PATCH_INDEX_BYTES, 1);
            patchCopies[patch].vertices = static_cast<TerrainVertex*>(std::malloc(PATCH_VERTEX_BYTES));
            patchCopies[patch].indices = static_cast<uint16_t*>(std::malloc(PATCH_INDEX_BYTES));
            if (patchCopies[patch].vertices == nullptr || patchCopies[patch].indices == nullptr) {
                return false;
            }
            std::memcpy(patchCopies[patch].vertices, vertices, PATCH_VERTEX_BYTES);
            std::memcpy(patchCopies[patch].indices, indices, PATCH_INDEX_BYTES);
            patchVertexBuffers[patch] = bufferManager->CreateVertexBuffer(
                patchCopies[patch].vertices, PATCH_VERTEX_BYTES, TERRAIN_FVF, false);
            allBuffersMade =
                allBuffersMade && patchIndexBuffers[patch] != -1 && patchVertexBuffers[patch] != -1;
        }
    }
    // A full buffer pool leaves patches without buffers: the terrain is then incomplete.
    return allBuffersMade;
}

bool TerrainManager::CreateWaterPatch() {
    if (bufferManager == nullptr) {
        return false;
    }
    if (waterIndexBuffer != -1) {
        bufferManager->ReleaseIndexBuffer(waterIndexBuffer);
    }
    if (waterVertexBuffer != -1) {
        bufferManager->ReleaseVertexBuffer(waterVertexBuffer);
    }
    const float edge = float(patchSize) + 1.0f;
    const TerrainVertex vertices[4] = {
        {0.0f, WATER_HEIGHT, 0.0f, WATER_COLOUR, 0.0f, 0.0f, 0.0f, 0.0f},
        {edge, WATER_HEIGHT, 0.0f, WATER_COLOUR, 1.0f, 0.0f, 0.0f, 0.0f},
        {0.0f, WATER_HEIGHT, edge, WATER_COLOUR, 0.0f, 1.0f, 0.0f, 0.0f},
        {edge, WATER_HEIGHT, edge, WATER_COLOUR, 1.0f, 1.0f, 0.0f, 0.0f},
    };
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    waterIndexBuffer = bufferManager->CreateIndexBuffer(indices, 0, sizeof(indices), 1);
    waterVertexBuffer = bufferManager->CreateVertexBuffer(vertices, sizeof(vertices), TERRAIN_FVF, false);
    return waterIndexBuffer != -1 && waterVertexBuffer != -1;
}

void TerrainManager::RecomputePatchBox(int patch) {
    if (patchBoxes == nullptr || patchCopies == nullptr || patchCopies[patch].vertices == nullptr) {
        return;
    }
    D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(&patchCopies[patch].vertices[0].x),
                           PATCH_VERTEX_COUNT, sizeof(TerrainVertex), &patchBoxes[patch].min,
                           &patchBoxes[patch].max);
}

// Whether the buffer pool has a vertex and an index buffer for every patch of a grid of that size,
// counting the slots that the current patches give back when they are released.
bool TerrainManager::BufferPoolHoldsPatches(int newGridWidth, int newGridHeight) const {
    if (bufferManager == nullptr) {
        return false;
    }
    const int64_t needed = int64_t(std::max(newGridWidth - 1, 0)) * std::max(newGridHeight - 1, 0);
    int64_t heldVertexBuffers = 0;
    int64_t heldIndexBuffers = 0;
    const int fieldSize = std::max(gridWidth, 0) * std::max(gridHeight, 0);
    for (int i = 0; i < fieldSize; ++i) {
        heldVertexBuffers += patchVertexBuffers != nullptr && patchVertexBuffers[i] != -1 ? 1 : 0;
        heldIndexBuffers += patchIndexBuffers != nullptr && patchIndexBuffers[i] != -1 ? 1 : 0;
    }
    return needed <= bufferManager->capacity - bufferManager->vertexBufferCount + heldVertexBuffers &&
           needed <= bufferManager->capacity - bufferManager->indexBufferCount + heldIndexBuffers;
}

// Gives back every patch's buffers and copies, then the patch tables themselves.
void TerrainManager::ReleasePatches() {
    const size_t fieldSize = size_t(std::max(gridWidth, 0)) * size_t(std::max(gridHeight, 0));
    for (size_t i = 0; i < fieldSize; ++i) {
        if (bufferManager != nullptr) {
            if (patchIndexBuffers != nullptr && patchIndexBuffers[i] != -1) {
                bufferManager->ReleaseIndexBuffer(patchIndexBuffers[i]);
            }
            if (patchVertexBuffers != nullptr && patchVertexBuffers[i] != -1) {
                bufferManager->ReleaseVertexBuffer(patchVertexBuffers[i]);
            }
        }
        if (patchCopies != nullptr) {
            std::free(patchCopies[i].indices);
            std::free(patchCopies[i].vertices);
        }
    }
    delete[] patchVertexBuffers;
    delete[] patchIndexBuffers;
    delete[] patchBoxes;
    delete[] patchCopies;
    patchVertexBuffers = nullptr;
    patchIndexBuffers = nullptr;
    patchBoxes = nullptr;
    patchCopies = nullptr;
}
