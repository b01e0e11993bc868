// The vertex and index buffer pool: two fixed tables of slots, buffers created from the caller's data.
#include "core/buffer_manager.h"

#include "core/init_manager.h"

#include <cstdio>
#include <cstring>
#include <new>

BufferManager* BufferManager::Exemplar = nullptr;

namespace {

// Names are kept to this many characters; a longer name is never found again by its whole text.
constexpr int STORED_NAME_LENGTH = 30;

// Copies the caller's data into the whole of a new buffer; false when the buffer cannot be locked.
template <typename Buffer> bool FillBuffer(Buffer* buffer, const void* data, int bytes) {
    void* target = nullptr;
    if (buffer->Lock(0, static_cast<UINT>(bytes), &target, 0) < 0 || target == nullptr) {
        return false;
    }
    if (data != nullptr) {
        std::memcpy(target, data, static_cast<size_t>(bytes));
    }
    buffer->Unlock();
    return true;
}

// The slot of `id` in one of the two tables, or null for an id outside it (or no table yet).
template <typename Slot> Slot* SlotAt(Slot* table, int capacity, int id) {
    return (table == nullptr || id < 0 || id >= capacity) ? nullptr : &table[id];
}

// Gives a slot's buffer back and frees the slot; a free slot stays as it is.
template <typename Slot> void ReleaseSlot(Slot& slot, int& heldCount) {
    if (slot.buffer != nullptr) {
        slot.buffer->Release();
        slot.buffer = nullptr;
        --heldCount;
    }
}

} // namespace

BufferManager::BufferManager() = default;

BufferManager::~BufferManager() {
    ReleaseAll();
    delete[] vertexBuffers;
    delete[] indexBuffers;
    vertexBuffers = nullptr;
    indexBuffers = nullptr;
    capacity = 0;
    if (Exemplar == this) {
        Exemplar = nullptr;
    }
}

BufferManager* BufferManager::GetExemplar() {
    if (Exemplar == nullptr) {
        Exemplar = new (std::nothrow) BufferManager;
    }
    return Exemplar;
}

// A failed allocation leaves empty tables: every later call then reports failure.
bool BufferManager::Init(int newCapacity) {
    ReleaseAll();
    delete[] vertexBuffers;
    delete[] indexBuffers;
    vertexBuffers = nullptr;
    indexBuffers = nullptr;
    capacity = 0;
    vertexBufferCount = 0;
    indexBufferCount = 0;
    deviceOwner = InitManager::GetExemplar();
    if (newCapacity <= 0) {
        return false;
    }
    vertexBuffers = new (std::nothrow) VertexBufferSlot[newCapacity];
    if (vertexBuffers == nullptr) {
        return false;
    }
    indexBuffers = new (std::nothrow) IndexBufferSlot[newCapacity];
    if (indexBuffers == nullptr) {
        delete[] vertexBuffers;
        vertexBuffers = nullptr;
        return false;
    }
    std::memset(vertexBuffers, 0, sizeof(VertexBufferSlot) * static_cast<size_t>(newCapacity));
    std::memset(indexBuffers, 0, sizeof(IndexBufferSlot) * static_cast<size_t>(newCapacity));
    capacity = newCapacity;
    return true;
}

int BufferManager::GetFreeVertexBufferSlot() {
    if (vertexBuffers == nullptr || vertexBufferCount >= capacity) {
        return -1;
    }
    for (int i = 0; i < capacity; ++i) {
        if (vertexBuffers[i].buffer == nullptr) {
            return i;
        }
    }
    return -1;
}

int BufferManager::GetFreeIndexBufferSlot() {
    if (indexBuffers == nullptr || indexBufferCount >= capacity) {
        return -1;
    }
    for (int i = 0; i < capacity; ++i) {
        if (indexBuffers[i].buffer == nullptr) {
            return i;
        }
    }
    return -1;
}

int BufferManager::FindVertexBuffer(const char* name) {
    if (vertexBuffers == nullptr || name == nullptr || name[0] == '\0') {
        return -1;
    }
    for (int i = 0; i < capacity; ++i) {
        if (vertexBuffers[i].buffer != nullptr && std::strcmp(name, vertexBuffers[i].name) == 0) {
            return i;
        }
    }
    return -1;
}

int BufferManager::CreateVertexBufferEx(const void* data, int bytes, DWORD fvf, bool defaultPool,
                                        const char* name) {
    if (vertexBuffers == nullptr) {
        return -1;
    }
    const D3DPOOL pool = defaultPool ? D3DPOOL_DEFAULT : D3DPOOL_SYSTEMMEM;
    const int shared = FindVertexBuffer(name);
    if (shared >= 0) {
        const VertexBufferSlot& slot = vertexBuffers[shared];
        return slot.bytes == bytes && slot.vertexFormat == fvf ? shared : -1;
    }
    const int id = GetFreeVertexBufferSlot();
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (id < 0 || device == nullptr || bytes <= 0) {
        return -1;
    }
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (device->CreateVertexBuffer(static_cast<UINT>(bytes), D3DUSAGE_WRITEONLY, fvf, pool, &buffer,
                                   nullptr) < 0 ||
        buffer == nullptr) {
        return -1;
    }
    // A buffer that cannot be filled is given back: the caller would otherwise draw garbage from it.
    if (!FillBuffer(buffer, data, bytes)) {
        buffer->Release();
        return -1;
    }
    VertexBufferSlot& slot = vertexBuffers[id];
    slot.bytes = bytes;
    slot.vertexFormat = fvf;
    slot.buffer = buffer;
    ++vertexBufferCount;
    std::snprintf(slot.name, sizeof(slot.name), "%.*s", STORED_NAME_LENGTH, name != nullptr ? name : "");
    return id;
}

int BufferManager::CreateVertexBuffer(const void* data, int bytes, DWORD fvf, bool defaultPool) {
    return CreateVertexBufferEx(data, bytes, fvf, defaultPool, nullptr);
}

int BufferManager::CreateIndexBuffer(const void* data, int tag, int bytes, int) {
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (indexBuffers == nullptr || device == nullptr || bytes <= 0) {
        return -1;
    }
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (device->CreateIndexBuffer(static_cast<UINT>(bytes), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                  D3DPOOL_MANAGED, &buffer, nullptr) < 0 ||
        buffer == nullptr) {
        return -1;
    }
    const int id = GetFreeIndexBufferSlot();
    if (id < 0) {
        buffer->Release();
        return -1;
    }
    // A buffer that cannot be filled is given back rather than left in a slot that no id names.
    if (!FillBuffer(buffer, data, bytes)) {
        buffer->Release();
        return -1;
    }
    IndexBufferSlot& slot = indexBuffers[id];
    slot.bytes = bytes;
    slot.tag = tag;
    slot.buffer = buffer;
    ++indexBufferCount;
    return id;
}

int BufferManager::RecreateVertexBuffer(const void* data, int bytes, DWORD fvf, int, int id) {
    if (SlotAt(vertexBuffers, capacity, id) == nullptr) {
        return -1;
    }
    ReleaseVertexBuffer(id);
    IDirect3DDevice9* device = deviceOwner != nullptr ? deviceOwner->device : nullptr;
    if (device == nullptr || bytes <= 0) {
        return -1;
    }
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (device->CreateVertexBuffer(static_cast<UINT>(bytes), D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED,
                                   &buffer, nullptr) < 0 ||
        buffer == nullptr) {
        return -1;
    }
    if (!FillBuffer(buffer, data, bytes)) {
        buffer->Release();
        return -1;
    }
    VertexBufferSlot& slot = vertexBuffers[id];
    slot.bytes = bytes;
    slot.vertexFormat = fvf;
    slot.buffer = buffer;
    ++vertexBufferCount;
    return id;
}

bool BufferManager::ReleaseVertexBuffer(int id) {
    VertexBufferSlot* slot = SlotAt(vertexBuffers, capacity, id);
    if (slot != nullptr) {
        ReleaseSlot(*slot, vertexBufferCount);
    }
    return slot != nullptr;
}

bool BufferManager::ReleaseIndexBuffer(int id) {
    IndexBufferSlot* slot = SlotAt(indexBuffers, capacity, id);
    if (slot != nullptr) {
        ReleaseSlot(*slot, indexBufferCount);
    }
    return slot != nullptr;
}

IDirect3DVertexBuffer9* BufferManager::GetVertexBuffer(int id) {
    VertexBufferSlot* slot = SlotAt(vertexBuffers, capacity, id);
    return slot != nullptr ? slot->buffer : nullptr;
}

IDirect3DIndexBuffer9* BufferManager::GetIndexBuffer(int id) {
    IndexBufferSlot* slot = SlotAt(indexBuffers, capacity, id);
    return slot != nullptr ? slot->buffer : nullptr;
}

// -1 for an id outside the table; 0 for a free slot.
int BufferManager::GetVertexBufferSize(int id) {
    VertexBufferSlot* slot = SlotAt(vertexBuffers, capacity, id);
    if (slot == nullptr) {
        return -1;
    }
    return slot->buffer != nullptr ? slot->bytes : 0;
}

// Reads the positions back from the slot's buffer (the software device keeps every buffer readable);
// a vertex count and stride that reach past the buffer's end are refused.
bool BufferManager::ComputeBoundingBox(int id, DWORD vertexCount, DWORD stride, D3DXVECTOR3* min,
                                       D3DXVECTOR3* max) {
    IDirect3DVertexBuffer9* buffer = GetVertexBuffer(id);
    if (buffer == nullptr || min == nullptr || max == nullptr || vertexCount == 0 ||
        stride < sizeof(D3DXVECTOR3)) {
        return false;
    }
    const uint64_t needed = static_cast<uint64_t>(vertexCount - 1) * stride + sizeof(D3DXVECTOR3);
    if (needed > static_cast<uint64_t>(vertexBuffers[id].bytes)) {
        return false;
    }
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, D3DLOCK_READONLY) < 0 || data == nullptr) {
        return false;
    }
    const HRESULT result =
        D3DXComputeBoundingBox(static_cast<const D3DXVECTOR3*>(data), vertexCount, stride, min, max);
    buffer->Unlock();
    return result >= 0;
}

bool BufferManager::ReleaseAll() {
    for (int i = 0; i < capacity; ++i) {
        if (vertexBuffers != nullptr) {
            ReleaseSlot(vertexBuffers[i], vertexBufferCount);
        }
        if (indexBuffers != nullptr) {
            ReleaseSlot(indexBuffers[i], indexBufferCount);
        }
    }
    vertexBufferCount = 0;
    indexBufferCount = 0;
    return true;
}
