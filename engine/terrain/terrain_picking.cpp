// Picking and height queries: the picking ray through a point of the client area is tested against
// the patches around the camera (box first, then the triangles of the system-memory copy) and the
// nearest hit is kept; the height queries read the height map. Before the terrain exists nothing is
// found and nothing is read.
#include "terrain/terrain_manager.h"

#include "core/help_tools_3d.h"

#include <cstdint>

namespace {

constexpr float NO_HIT_DISTANCE = 9999.0f;
constexpr float BASE_HEIGHT = 6.0f;

} // namespace

bool TerrainManager::CheckHitTerrainPatch(int patch, D3DXVECTOR3 rayPos, D3DXVECTOR3 rayDir, float* dist,
                                          float* hitX, float* hitZ) {
    if (patchCopies == nullptr || patchCopies[patch].vertices == nullptr ||
        patchCopies[patch].indices == nullptr) {
        return false;
    }
    const TerrainVertex* vertices = patchCopies[patch].vertices;
    const uint16_t* indices = patchCopies[patch].indices;
    // The first triangle hit in index order answers, even if a later one lies nearer.
    for (int k = 0; k < trianglesPerPatch * 3; k += 3) {
        const TerrainVertex& v0 = vertices[indices[k]];
        const TerrainVertex& v1 = vertices[indices[k + 1]];
        const TerrainVertex& v2 = vertices[indices[k + 2]];
        const D3DXVECTOR3 p0(v0.x, v0.y, v0.z);
        const D3DXVECTOR3 p1(v1.x, v1.y, v1.z);
        const D3DXVECTOR3 p2(v2.x, v2.y, v2.z);
        float u = 0.0f;
        float v = 0.0f;
        float t = 0.0f;
        if (D3DXIntersectTri(&p0, &p1, &p2, &rayPos, &rayDir, &u, &v, &t)) {
            *dist = t;
            *hitX = (1.0f - u - v) * p0.x + u * p1.x + v * p2.x;
            *hitZ = (1.0f - u - v) * p0.z + u * p1.z + v * p2.z;
            return true;
        }
    }
    return false;
}

// The shared scan: patches from 10 columns before to 9 after the camera's column and from 4 rows
// behind to 17 ahead of its row, each looked up by column and row. Returns the patch with the nearest
// hit (the first one found among equal distances) and the hit's x and z, or -1.
int TerrainManager::PickNearestPatch(int mouseX, int mouseY, float* hitX, float* hitZ) {
    if (helpTools == nullptr || kamera == nullptr || patchBoxes == nullptr || patchCopies == nullptr) {
        return -1;
    }
    const DXRAY ray = helpTools->CalcPickingRay(mouseX, mouseY);
    int cameraPx = 0;
    int cameraPz = 0;
    CameraPatch(&cameraPx, &cameraPz);
    float best = NO_HIT_DISTANCE;
    int nearest = -1;
    int last = -1;
    for (int a = -4; a <= 17; ++a) {
        for (int b = -10; b <= 9; ++b) {
            const int px = cameraPx + b;
            const int pz = cameraPz + a;
            if (!IsPatchInGrid(px, pz)) {
                continue;
            }
            const int i = PatchIndex(px, pz);
            if (!D3DXBoxBoundProbe(&patchBoxes[i].min, &patchBoxes[i].max, &ray.origin, &ray.direction) ||
                i == last) {
                continue;
            }
            last = i;
            float d = 0.0f;
            float hx = 0.0f;
            float hz = 0.0f;
            if (CheckHitTerrainPatch(i, ray.origin, ray.direction, &d, &hx, &hz) && d < best) {
                best = d;
                nearest = i;
                *hitX = hx;
                *hitZ = hz;
            }
        }
    }
    return nearest;
}

bool TerrainManager::PickTerrainPosition(int mouseX, int mouseY, float* x, float* z) {
    float hitX = 0.0f;
    float hitZ = 0.0f;
    if (PickNearestPatch(mouseX, mouseY, &hitX, &hitZ) != -1) {
        *x = hitX;
        *z = hitZ;
    }
    return true;
}

bool TerrainManager::GetTerrainPatch(int mouseX, int mouseY, int* patch) {
    float hitX = 0.0f;
    float hitZ = 0.0f;
    *patch = PickNearestPatch(mouseX, mouseY, &hitX, &hitZ);
    return true;
}

float TerrainManager::GetHeightMapPos(int sx, int sz) {
    const int j = sx + sz * mapWidth;
    return floatOwnHeightMap[j] * 0.5f + float(byteHighMap[j]) * heightScale + BASE_HEIGHT;
}

float TerrainManager::GetHeightFromTerrainVertex(float x, float z) {
    if (byteHighMap == nullptr || floatOwnHeightMap == nullptr) {
        return 0.0f;
    }
    const int s = static_cast<int>(cellSize);
    if (s < 1) {
        return 0.0f;
    }
    const int cx = static_cast<int>(x / float(s));
    const int cz = static_cast<int>(z / float(s));
    // The quadrant of the point inside its cell chooses the two neighbouring samples.
    const int fx = static_cast<int>(x) % s;
    const int fz = static_cast<int>(z) % s;
    const int half = s / 2;
    const int p1x = fx > half ? cx + 1 : cx - 1;
    const int p1z = cz;
    const int p2x = cx;
    const int p2z = fz > half ? cz + 1 : cz - 1;
    if (cx < 1 || cz < 1) {
        return 0.0f;
    }
    auto inMap = [&](int sx, int sz) {
        return sx >= 0 && sx <= mapWidth - 1 && sz >= 0 && sz <= mapHeight - 1;
    };
    if (!inMap(cx, cz) || !inMap(p1x, p1z) || !inMap(p2x, p2z)) {
        return 0.0f;
    }
    auto point = [&](int sx, int sz) {
        return D3DXVECTOR3(float(sx * s) + float(s) / 2.0f, GetHeightMapPos(sx, sz),
                           float(sz * s) + float(s) / 2.0f);
    };
    const D3DXVECTOR3 p0 = point(cx, cz);
    const D3DXVECTOR3 p1 = point(p1x, p1z);
    const D3DXVECTOR3 p2 = point(p2x, p2z);
    const D3DXVECTOR3 e1 = p1 - p0;
    const D3DXVECTOR3 e2 = p2 - p0;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &e1, &e2);
    if (n.y == 0.0f) {
        return 0.0f;
    }
    return p0.y - ((x - p0.x) * n.x + (z - p0.z) * n.z) / n.y;
}

int TerrainManager::iGetHeighmapValue(int a, int b) {
    if (byteHighMap == nullptr || a < 0 || a >= mapHeight || b < 0 || b >= mapWidth) {
        return 0;
    }
    return static_cast<int>(byteHighMap[b + a * mapWidth] * 0.05);
}
