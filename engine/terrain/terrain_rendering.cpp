// Drawing the terrain around the camera: each patch with its tile, then the edge and corner
// transitions of every higher terrain type next to it blended over it. Nothing here opens a scene: the
// caller draws inside its own.
#include "terrain/terrain_manager.h"

#include "core/buffer_manager.h"
#include "core/init_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "terrain/terrain_textur_set.h"

namespace {

constexpr unsigned HIGHEST_DRAWN_TYPE = 4;

// The states the terrain's look depends on, whatever the draws before it left behind: blending for
// the transition layers, depth testing that lets a layer pass over its own patch, no lighting or
// culling, no alpha test, and only one texture stage.
void SetTerrainStates(IDirect3DDevice9* device) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
}

} // namespace

bool TerrainManager::RenderAll() {
    if (created) {
        RenderTerrain();
    }
    return true;
}

bool TerrainManager::RenderTerrain() {
    if (initManager == nullptr || initManager->device == nullptr || bufferManager == nullptr ||
        texturManager == nullptr || tileFeld == nullptr || patchVertexBuffers == nullptr) {
        return false;
    }
    IDirect3DDevice9* device = initManager->device;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetFVF(TERRAIN_FVF);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetTerrainStates(device);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);

    // 20 patch rows ahead of the camera's row and 18 columns around its column, each looked up by
    // column and row so that the window never runs on into a neighbouring column.
    int cameraPx = 0;
    int cameraPz = 0;
    CameraPatch(&cameraPx, &cameraPz);
    for (int a = 1; a <= 20; ++a) {
        for (int b = -9; b <= 8; ++b) {
            if (!IsPatchInGrid(cameraPx + b, cameraPz + a)) {
                continue;
            }
            const int i = PatchIndex(cameraPx + b, cameraPz + a);
            // A patch whose buffers are gone (a failed rebuild) is not drawn; the rest still is.
            IDirect3DVertexBuffer9* vertices = bufferManager->GetVertexBuffer(patchVertexBuffers[i]);
            IDirect3DIndexBuffer9* indices = bufferManager->GetIndexBuffer(patchIndexBuffers[i]);
            if (vertices == nullptr || indices == nullptr) {
                continue;
            }
            if (device->SetStreamSource(0, vertices, 0, sizeof(TerrainVertex)) < 0 ||
                device->SetIndices(indices) < 0) {
                return false;
            }
            unsigned char type = 0;
            unsigned char variant = 0;
            GetValuesfromBitfield(&type, &variant, tileFeld[i]);
            if (type > HIGHEST_DRAWN_TYPE) {
                continue;
            }
            TerrainTexturSet* own = texturSets[type];
            device->SetTexture(0, texturManager->GetTextur(own != nullptr ? own->GetTile(variant) : -1));
            if (device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, verticesPerPatch, 0,
                                             trianglesPerPatch) < 0) {
                return false;
            }
            for (unsigned k = 1; k <= HIGHEST_DRAWN_TYPE; ++k) {
                TerrainTexturSet* higher = texturSets[k];
                if (type >= k || higher == nullptr) {
                    continue;
                }
                const unsigned char edgeMask = GetSuroundTerrain(int(k), i, 1);
                if (edgeMask != 0) {
                    device->SetTexture(0, texturManager->GetTextur(higher->GetEdge(edgeMask)));
                    if (device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, verticesPerPatch, 0,
                                                     trianglesPerPatch) < 0) {
                        return false;
                    }
                }
                const unsigned char cornerMask = GetSuroundTerrain(int(k), i, 0);
                if (cornerMask != 0) {
                    device->SetTexture(0, texturManager->GetTextur(higher->GetCorner(cornerMask)));
                    if (device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, verticesPerPatch, 0,
                                                     trianglesPerPatch) < 0) {
                        return false;
                    }
                }
            }
        }
    }
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    return true;
}
