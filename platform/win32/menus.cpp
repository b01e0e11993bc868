// Menus built from the program's menu resources, and their check marks. A check mark changes only
// through CheckMenuItem; the backend shows the change.
#include "win32/window_system.h"

#include <map>

namespace platform {

namespace {

struct MenuTable {
    std::map<HMENU, std::unique_ptr<MenuRecord>> menus;
    uintptr_t nextHandle = 0x20000;
};

MenuTable& Menus() {
    static MenuTable table;
    return table;
}

MenuItemState* FindItem(MenuRecord& menu, UINT id) {
    for (auto& popup : menu.popups) {
        for (auto& item : popup.items) {
            if (item.id == id) {
                return &item;
            }
        }
    }
    return nullptr;
}

} // namespace

HMENU CreateMenuFromResource(const MenuResource& resource) {
    auto record = std::make_unique<MenuRecord>();
    for (const auto& popup : resource.popups) {
        MenuPopupState state;
        state.text = popup.text;
        for (const auto& item : popup.items) {
            state.items.push_back({item.id, item.text, false});
        }
        record->popups.push_back(std::move(state));
    }
    auto& table = Menus();
    HMENU handle = reinterpret_cast<HMENU>(table.nextHandle);
    table.nextHandle += 0x10;
    table.menus[handle] = std::move(record);
    return handle;
}

MenuRecord* FindMenuRecord(HMENU menu) {
    auto& menus = Menus().menus;
    auto it = menus.find(menu);
    return it == menus.end() ? nullptr : it->second.get();
}

void DestroyMenuRecord(HMENU menu) {
    Menus().menus.erase(menu);
}

bool MenuHasCommand(HMENU menu, UINT id) {
    MenuRecord* record = FindMenuRecord(menu);
    return record && FindItem(*record, id);
}

} // namespace platform

HMENU GetMenu(HWND window) {
    platform::WindowRecord* record = platform::FindWindowRecord(window);
    return record ? record->menu : nullptr;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    platform::MenuRecord* record = platform::FindMenuRecord(menu);
    // Items are addressed by command id; the menu bar's positions are popups, which carry no mark.
    if (!record || (check & MF_BYPOSITION)) {
        return static_cast<DWORD>(-1);
    }
    platform::MenuItemState* state = platform::FindItem(*record, item);
    if (!state) {
        return static_cast<DWORD>(-1);
    }
    bool wasChecked = state->checked;
    state->checked = (check & MF_CHECKED) != 0;
    if (state->checked != wasChecked) {
        if (platform::WindowRecord* window = platform::FindWindowRecord(record->window)) {
            platform::Backend().MenuCheckChanged(*window, item, state->checked);
        }
    }
    return wasChecked ? MF_CHECKED : MF_UNCHECKED;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    platform::MenuRecord* record = platform::FindMenuRecord(menu);
    if (!record || (flags & MF_BYPOSITION)) {
        return static_cast<UINT>(-1);
    }
    platform::MenuItemState* state = platform::FindItem(*record, item);
    if (!state) {
        return static_cast<UINT>(-1);
    }
    return state->checked ? MF_CHECKED : MF_UNCHECKED;
}
