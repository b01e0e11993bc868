// The particle manager singleton: slot table, shared vertex buffer, per-frame update and drawing.
// The presets live in point_manager_presets.cpp.
#include "particles/point_manager.h"

#include "core/buffer_manager.h"
#include "core/init_manager.h"
#include "core/textur_manager.h"
#include "d3dx9/d3dx9.h"
#include "particles/partikel_system.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>

namespace {

const char STAR_TEXTURE[] = "Grafik\\star.dds";

} // namespace

PointManager* PointManager::Exemplar = nullptr;

PointManager* PointManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) PointManager();
    }
    return Exemplar;
}

PointManager::PointManager() = default;

PointManager::~PointManager() {
    // The manager owns its systems; their memory goes with it. The star texture and the shared buffer
    // belong to the caches, which may already be gone at this point, so they are not touched.
    for (stdPartikelSystem*& system : systems) {
        if (system != nullptr) {
            system->Release();
            delete system;
            system = nullptr;
        }
    }
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

bool PointManager::CreateSharedVertexBuffer() {
    if (bufferManager == nullptr) {
        return false;
    }
    std::unique_ptr<PartikelVertex[]> initial(new (std::nothrow) PartikelVertex[SHARED_BUFFER_VERTICES]());
    if (!initial) {
        return false;
    }
    sharedVertexBufferId = bufferManager->CreateVertexBuffer(
        initial.get(), SHARED_BUFFER_VERTICES * static_cast<int>(sizeof(PartikelVertex)), PARTIKEL_VERTEX_FVF,
        false);
    return sharedVertexBufferId != -1;
}

bool PointManager::InitPointManager() {
    initManager = InitManager::GetExemplar();
    texturManager = TexturManager::GetExemplar();
    bufferManager = BufferManager::GetExemplar();

    if (texturManager != nullptr) {
        if (starTextureId != -1) {
            texturManager->ReleaseTextur(starTextureId);
        }
        starTextureId = texturManager->LoadTextur(STAR_TEXTURE, 1);
    }
    if (bufferManager != nullptr && sharedVertexBufferId != -1) {
        bufferManager->ReleaseVertexBuffer(sharedVertexBufferId);
        sharedVertexBufferId = -1;
    }
    return CreateSharedVertexBuffer();
}

bool PointManager::AddSystem(int* id, stdPartikelSystem* system) {
    if (id == nullptr || system == nullptr) {
        return false;
    }
    // A system held twice would be deleted twice.
    if (std::find(std::begin(systems), std::end(systems), system) != std::end(systems)) {
        return false;
    }
    for (int slot = 0; slot < MAX_SYSTEMS; ++slot) {
        if (systems[slot] == nullptr) {
            systems[slot] = system;
            *id = slot;
            return true;
        }
    }
    return false;
}

bool PointManager::ReleaseSystem(int id) {
    if (id < 0 || id >= MAX_SYSTEMS) {
        return false;
    }
    if (systems[id] != nullptr) {
        // Release first: the system's destructor frees nothing of what it owns.
        systems[id]->Release();
        delete systems[id];
        systems[id] = nullptr;
    }
    return true;
}

bool PointManager::UpdatePartikelSystem(stdPartikelSystem* system) {
    system->Update();
    return true;
}

bool PointManager::Update() {
    for (stdPartikelSystem* system : systems) {
        if (system != nullptr) {
            UpdatePartikelSystem(system);
        }
    }
    DrawSystems();
    return true;
}

bool PointManager::DrawSystems() {
    if (initManager == nullptr || initManager->device == nullptr) {
        return false;
    }
    IDirect3DDevice9* device = initManager->device;

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);

    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSIZE, FloatToDword(4.0f));
    device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDword(0.0f));
    device->SetRenderState(D3DRS_POINTSCALE_A, FloatToDword(1.0f));
    device->SetRenderState(D3DRS_POINTSCALE_B, FloatToDword(1.0f));
    device->SetRenderState(D3DRS_POINTSCALE_C, FloatToDword(30.05f));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

    device->SetTexture(0, texturManager != nullptr ? texturManager->GetTextur(starTextureId) : nullptr);

    // A rebuild that failed earlier lost the shared buffer; take a fresh one of our own.
    if (sharedVertexBufferId == -1) {
        CreateSharedVertexBuffer();
    }
    for (stdPartikelSystem* system : systems) {
        if (system != nullptr) {
            DrawSingleSystem(system);
        }
    }

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    return true;
}

bool PointManager::DrawSingleSystem(stdPartikelSystem* system) {
    if (sharedVertexBufferId == -1 || bufferManager == nullptr) {
        return false;
    }
    if (!system->bFillVertexBuffer(sharedVertexBufferId)) {
        // A failed rebuild leaves the slot free for the next creation by anyone; forget it so that no
        // later draw rebuilds a buffer that belongs to someone else.
        if (bufferManager->GetVertexBuffer(sharedVertexBufferId) == nullptr) {
            sharedVertexBufferId = -1;
        }
        return false;
    }
    IDirect3DDevice9* device = initManager->device;

    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSIZE, FloatToDword(5.0f));
    device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDword(0.0f));
    device->SetRenderState(D3DRS_POINTSCALE_A, FloatToDword(1.0f));
    device->SetRenderState(D3DRS_POINTSCALE_B, FloatToDword(1.0f));
    device->SetRenderState(D3DRS_POINTSCALE_C, FloatToDword(system->pointScaleC));

    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, system->blendMode != 0 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);

    device->SetFVF(PARTIKEL_VERTEX_FVF);
    device->SetStreamSource(0, bufferManager->GetVertexBuffer(sharedVertexBufferId), 0,
                            sizeof(PartikelVertex));

    // Never more points than the buffer holds, whatever a strategy left in the live count.
    const int points = std::clamp(system->liveCount, 0, system->particleCount);
    return SUCCEEDED(device->DrawPrimitive(D3DPT_POINTLIST, 0, static_cast<UINT>(points)));
}
