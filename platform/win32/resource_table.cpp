// The registered resources and the calls that read them: LoadStringA, LoadIconA, LoadCursorA.
#include "win32/window_system.h"

#include <algorithm>
#include <map>

namespace platform {

namespace {

constexpr UINT STOCK_ID_FIRST = 32512; // IDC_ARROW / IDI_APPLICATION and their neighbours
constexpr UINT STOCK_ID_LAST = 32650;

struct Resources {
    // Node-based maps: pointers handed out stay valid while later resources are registered.
    std::map<UINT, StringResource> strings;
    std::map<UINT, MenuResource> menus;
    std::map<UINT, DialogResource> dialogs;
    std::map<UINT, IconResource> icons;
    std::map<UINT, HICON> iconHandles;
    std::map<HICON, UINT> iconIds;
    std::map<UINT, HCURSOR> stockCursors;
    std::map<UINT, HICON> stockIcons;
    uintptr_t nextHandle = 0x30000;
};

Resources& Store() {
    static Resources resources;
    return resources;
}

template <typename Handle> Handle NewHandle() {
    auto& store = Store();
    Handle handle = reinterpret_cast<Handle>(store.nextHandle);
    store.nextHandle += 0x10;
    return handle;
}

template <typename Map> const typename Map::mapped_type* Find(const Map& map, UINT id) {
    auto it = map.find(id);
    return it == map.end() ? nullptr : &it->second;
}

bool IsStockId(LPCSTR name) {
    if (!IS_INTRESOURCE(name)) {
        return false;
    }
    auto id = static_cast<UINT>(reinterpret_cast<uintptr_t>(name));
    return id >= STOCK_ID_FIRST && id <= STOCK_ID_LAST;
}

} // namespace

void RegisterResources(const ResourceTable& table) {
    auto& store = Store();
    for (const auto& resource : table.strings) {
        store.strings[resource.id] = resource;
    }
    for (const auto& resource : table.menus) {
        store.menus[resource.id] = resource;
    }
    for (const auto& resource : table.dialogs) {
        store.dialogs[resource.id] = resource;
    }
    for (const auto& resource : table.icons) {
        IconResource icon = resource;
        // A picture that does not fill its size is padded with transparent pixels, never read past.
        icon.width = std::max(0, icon.width);
        icon.height = std::max(0, icon.height);
        icon.pixels.resize(static_cast<size_t>(icon.width) * icon.height, 0);
        store.icons[resource.id] = std::move(icon);
    }
}

const StringResource* FindStringResource(UINT id) {
    return Find(Store().strings, id);
}
const MenuResource* FindMenuResource(UINT id) {
    return Find(Store().menus, id);
}
const DialogResource* FindDialogResource(UINT id) {
    return Find(Store().dialogs, id);
}
const IconResource* FindIconResource(UINT id) {
    return Find(Store().icons, id);
}

const IconResource* IconFromHandle(HICON icon) {
    auto& store = Store();
    auto it = store.iconIds.find(icon);
    return it == store.iconIds.end() ? nullptr : FindIconResource(it->second);
}

} // namespace platform

int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) {
        return 0;
    }
    const platform::StringResource* resource = platform::FindStringResource(id);
    if (!resource) {
        buffer[0] = '\0';
        return 0;
    }
    size_t count = std::min(resource->text.size(), static_cast<size_t>(bufferMax - 1));
    resource->text.copy(buffer, count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!name || !IS_INTRESOURCE(name)) {
        return nullptr;
    }
    auto id = static_cast<UINT>(reinterpret_cast<uintptr_t>(name));
    auto& store = platform::Store();
    if (!instance) {
        if (!platform::IsStockId(name)) {
            return nullptr;
        }
        HICON& stock = store.stockIcons[id];
        if (!stock) {
            stock = platform::NewHandle<HICON>();
        }
        return stock;
    }
    if (!platform::FindIconResource(id)) {
        return nullptr;
    }
    HICON& handle = store.iconHandles[id];
    if (!handle) {
        handle = platform::NewHandle<HICON>();
        store.iconIds[handle] = id;
    }
    return handle;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // The program registers no cursors; only the system's stock cursors exist.
    if (instance || !platform::IsStockId(name)) {
        return nullptr;
    }
    auto id = static_cast<UINT>(reinterpret_cast<uintptr_t>(name));
    HCURSOR& cursor = platform::Store().stockCursors[id];
    if (!cursor) {
        cursor = platform::NewHandle<HCURSOR>();
    }
    return cursor;
}
