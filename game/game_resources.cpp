// The resource tables of the program, and the icon picture: a round, faceted red stone like the ones
// on the board, drawn at the icon's size.
#include "game_resources.h"

#include "name_dialog.h"

#include "win32/winuser.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t Argb(int a, float r, float g, float b) {
    auto channel = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f); };
    return static_cast<uint32_t>(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

platform::MenuResource MainMenu() {
    return {IDR_MAIN_MENU,
            {
                {"&game",
                 {{"&Start New Game", IDM_NEW_GAME},
                  {"&How to Play", IDM_HOW_TO_PLAY},
                  {"&Credits", IDM_CREDITS}}},
                {"&difficulty", {{"&easy", IDM_EASY}, {"&medium", IDM_MEDIUM}, {"&hard", IDM_HARD}}},
                {"&play modus",
                 {{"&Solve Everything", IDM_SOLVE_EVERYTHING}, {"&Play Level Mode", IDM_PLAY_LEVEL_MODE}}},
                {"&background", {{"&add your Picture", IDM_ADD_PICTURE}}},
            }};
}

platform::DialogResource CreditsDialog() {
    platform::DialogResource dialog;
    dialog.id = IDD_CREDITS;
    dialog.caption = "Credits";
    dialog.fontName = "System";
    dialog.fontPointSize = 8;
    dialog.x = 22;
    dialog.y = 17;
    dialog.width = 230;
    dialog.height = 53;
    dialog.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog.controls = {
        {platform::DialogControlKind::Icon, 2, "", 14, 9, 20, 20, SS_ICON, IDI_LARGE_ICON},
        {platform::DialogControlKind::Text, -1, "Quarvel Version 1.0", 49, 10, 119, 8, SS_LEFT | SS_NOPREFIX,
         0},
        {platform::DialogControlKind::DefaultButton, IDOK, "OK", 195, 6, 30, 11,
         BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    };
    return dialog;
}

platform::DialogResource NameDialog() {
    platform::DialogResource dialog;
    dialog.id = NAME_DIALOG_ID;
    dialog.caption = "please enter your name...";
    dialog.fontName = "MS Sans Serif";
    dialog.fontPointSize = 8;
    dialog.width = 186;
    dialog.height = 51;
    dialog.style = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog.controls = {
        {platform::DialogControlKind::Edit, NAME_EDIT_ID, "", 7, 7, 172, 17,
         ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
        {platform::DialogControlKind::DefaultButton, IDOK, "OK", 66, 27, 50, 14,
         BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    };
    return dialog;
}

} // namespace

platform::IconResource DrawStoneIcon(UINT id, int size) {
    platform::IconResource icon;
    icon.id = id;
    icon.width = size;
    icon.height = size;
    icon.pixels.resize(static_cast<size_t>(size) * size);
    const float centre = size / 2.0f;
    const float radius = size * 0.45f;
    // Eight facets around a flat top, lit from the upper left.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float dx = x + 0.5f - centre;
            const float dy = y + 0.5f - centre;
            const float distance = std::sqrt(dx * dx + dy * dy);
            uint32_t pixel = 0;
            if (distance <= radius + 0.5f) {
                const int alpha =
                    distance <= radius - 0.5f ? 255 : static_cast<int>((radius + 0.5f - distance) * 255);
                float light;
                if (distance < radius * 0.5f) {
                    light = 1.0f - 0.15f * (dx + dy) / radius;
                } else {
                    const float angle = std::atan2(dy, dx);
                    const float facet = std::floor((angle + 3.14159265f) / (3.14159265f / 4));
                    const float facetAngle = facet * (3.14159265f / 4) - 3.14159265f + 3.14159265f / 8;
                    light = 0.75f - 0.45f * (std::cos(facetAngle) + std::sin(facetAngle)) * 0.7071f;
                }
                float r = 215 * light + 20;
                float g = 40 * light + 10;
                float b = 55 * light + 15;
                // A small highlight on the upper left of the top.
                const float hx = dx + radius * 0.25f;
                const float hy = dy + radius * 0.25f;
                if (hx * hx + hy * hy < radius * radius * 0.03f) {
                    r = g = b = 250;
                }
                if (distance > radius - 1.2f) {
                    r *= 0.45f;
                    g *= 0.45f;
                    b *= 0.45f;
                }
                pixel = Argb(alpha, r, g, b);
            }
            icon.pixels[static_cast<size_t>(y) * size + x] = pixel;
        }
    }
    return icon;
}

platform::ResourceTable GameResources() {
    platform::ResourceTable table;
    table.strings = {{IDS_WINDOW_CLASS, "ZONKEL"}};
    table.menus = {MainMenu()};
    table.dialogs = {CreditsDialog(), NameDialog()};
    table.icons = {DrawStoneIcon(IDI_LARGE_ICON, 32), DrawStoneIcon(IDI_SMALL_ICON, 16)};
    return table;
}
