// The program's resources as C++ tables: its strings, menus, dialog templates and icons. The program
// registers them once at start-up; LoadStringA, LoadIconA, CreateWindowExA (the class menu) and
// DialogBoxParamA read them. Ids are the resource ids the program passes with MAKEINTRESOURCE.
#pragma once

#include "win32/windows_base.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct StringResource {
    UINT id = 0;
    std::string text;
};

// One command of a popup; "&" marks the mnemonic letter ("&&" is a literal "&").
struct MenuItemResource {
    std::string text;
    UINT id = 0;
};

struct MenuPopupResource {
    std::string text;
    std::vector<MenuItemResource> items;
};

// A menu bar: its popups from left to right.
struct MenuResource {
    UINT id = 0;
    std::vector<MenuPopupResource> popups;
};

enum class DialogControlKind {
    Text,          // static text
    Icon,          // static picture of the icon resource `iconId`
    Edit,          // single-line edit box
    Button,        // push button
    DefaultButton, // the push button that Enter presses
};

// Positions and sizes in dialog units, as in a dialog template; `style` keeps the template's style
// bits (WS_BORDER, WS_TABSTOP, ES_AUTOHSCROLL, SS_NOPREFIX, ...).
struct DialogControlResource {
    DialogControlKind kind = DialogControlKind::Text;
    int id = 0;
    std::string text;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    DWORD style = 0;
    UINT iconId = 0;
};

struct DialogResource {
    UINT id = 0;
    std::string caption;
    std::string fontName;
    int fontPointSize = 8;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    DWORD style = 0; // DS_MODALFRAME, DS_CENTER, WS_CAPTION, WS_SYSMENU, ...
    std::vector<DialogControlResource> controls;
};

// An icon picture: A8R8G8B8 pixels, top row first, width * height of them.
struct IconResource {
    UINT id = 0;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

struct ResourceTable {
    std::vector<StringResource> strings;
    std::vector<MenuResource> menus;
    std::vector<DialogResource> dialogs;
    std::vector<IconResource> icons;
};

// Adds the table's resources; a resource with an id registered before replaces the earlier one.
void RegisterResources(const ResourceTable& table);

// Lookups for the window system; null when the id was never registered.
const StringResource* FindStringResource(UINT id);
const MenuResource* FindMenuResource(UINT id);
const DialogResource* FindDialogResource(UINT id);
const IconResource* FindIconResource(UINT id);

// The icon a handle from LoadIconA stands for; null for stock icons and unknown handles.
const IconResource* IconFromHandle(HICON icon);

} // namespace platform
