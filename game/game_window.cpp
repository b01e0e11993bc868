// The program's window, start-up, loop and window procedure. Everything runs on the one thread that
// runs WinMain; dialogs run their own modal loops inside the window procedure, during which no frames
// are drawn.
#include "game_window.h"

#include "background_chooser.h"
#include "board.h"
#include "frame_canvas.h"
#include "frame_renderer.h"
#include "game_resources.h"
#include "highscore_list.h"
#include "name_dialog.h"
#include "program_state.h"
#include "registry_manager.h"
#include "unsaved_highscore_notice.h"

#include "core/gfx_main.h"
#include "d2d/d2d_manager.h"
#include "d2d/d3d_font.h"
#include "win32/shellapi.h"
#include "win32/winuser.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

struct TableSetting {
    const char* file;
    const char* title;
};

constexpr TableSetting TABLE_SETTINGS[HIGHSCORE_TABLE_COUNT] = {
    {"as1.roh", "non level easy highscore"}, {"as2.roh", "non level medium highscore"},
    {"as3.roh", "non level hard highscore"}, {"al1.roh", "level easy highscore"},
    {"al2.roh", "level medium highscore"},   {"al3.roh", "level hard highscore"},
};

constexpr const char* STONE_FILES[STONE_KINDS] = {"Grafik\\stone1.dds", "Grafik\\stone2.dds",
                                                  "Grafik\\stone3.dds", "Grafik\\stone4.dds",
                                                  "Grafik\\stone5.dds"};
constexpr const char* HELP_PAGE = "Grafik\\introduction.html";

EngineCanvas engineCanvas;

void CheckItem(UINT id, bool checked) {
    CheckMenuItem(GetMenu(MainWindow), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void CheckDifficultyItems() {
    CheckItem(IDM_EASY, Difficulty == 0);
    CheckItem(IDM_MEDIUM, Difficulty == 1);
    CheckItem(IDM_HARD, Difficulty == 2);
}

void CheckPlayModeItems() {
    CheckItem(IDM_SOLVE_EVERYTHING, PlayMode == 0);
    CheckItem(IDM_PLAY_LEVEL_MODE, PlayMode == 1);
}

void SetDifficulty(int32_t difficulty) {
    Difficulty = difficulty;
    CheckDifficultyItems();
    zonkel::StoreModeSettings();
    NewGame();
}

void SetPlayMode(int32_t mode) {
    PlayMode = mode;
    CheckPlayModeItems();
    zonkel::StoreModeSettings();
    NewGame();
}

void LoadHighscoreTables() {
    for (int i = 0; i < HIGHSCORE_TABLE_COUNT; ++i) {
        if (HighscoreTables[i].Load(TABLE_SETTINGS[i].file, HIGHSCORE_DEFAULT_ENTRIES) ==
            HighscoreList::LOAD_CREATED) {
            for (uint32_t s = 170; s <= 179; ++s) {
                HighscoreTables[i].InsertScore(HIGHSCORE_DEFAULT_NAME, s);
            }
        }
    }
    for (int i = 0; i < HIGHSCORE_TABLE_COUNT; ++i) {
        HighscoreTables[i].SetTitle(TABLE_SETTINGS[i].title);
    }
}

void ShutDown() {
    if (Layer2D) {
        Layer2D->ReleaseTextur(BackgroundTexture);
        for (int texture : StoneTextures) {
            Layer2D->ReleaseTextur(texture);
        }
        Layer2D->ReleaseTextur(GameOverTexture);
        Layer2D->ReleaseTextur(StageClearTexture);
    }
    if (EngineRoot) {
        delete EngineRoot;
        EngineRoot = nullptr;
    }
    zonkel::SetFrameCanvas(nullptr);
    PostQuitMessage(0);
}

LRESULT HandleCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDM_NEW_GAME:
        NewGame();
        return 0;
    case IDM_HOW_TO_PLAY:
        ShellExecuteA(nullptr, "open", HELP_PAGE, nullptr, nullptr, SW_SHOWMAXIMIZED);
        return 0;
    case IDM_CREDITS:
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_CREDITS), MainWindow, CreditsDlgProc, 0);
        return 0;
    case IDM_EASY:
        SetDifficulty(0);
        return 0;
    case IDM_MEDIUM:
        SetDifficulty(1);
        return 0;
    case IDM_HARD:
        SetDifficulty(2);
        return 0;
    case IDM_ADD_PICTURE:
        ChooseBackground();
        return 0;
    case IDM_SOLVE_EVERYTHING:
        SetPlayMode(0);
        return 0;
    case IDM_PLAY_LEVEL_MODE:
        SetPlayMode(1);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

namespace zonkel {

const char* HighscoreFileName(int table) {
    return TABLE_SETTINGS[table].file;
}

bool MapClickToCell(int x, int y, int clientWidth, int clientHeight, int* column, int* row) {
    // A minimised window has no client area to scale by.
    if (clientWidth <= 0 || clientHeight <= 0) {
        return false;
    }
    const float scaleX = static_cast<float>(VIRTUAL_WIDTH) / static_cast<float>(clientWidth);
    const float scaleY = static_cast<float>(VIRTUAL_HEIGHT) / static_cast<float>(clientHeight);
    const int virtualX = static_cast<int>(static_cast<float>(x) * scaleX - 15.0f);
    const int virtualY = static_cast<int>(static_cast<float>(y) * scaleY - 15.0f);
    *column = virtualX / CELL_SIZE;
    *row = virtualY / CELL_SIZE;
    return true;
}

void TakeUndoCopy() {
    std::memcpy(UndoBoard, Board, sizeof(Board));
    UndoScore = Score;
    UndoQuota = Quota;
}

void RestoreUndoCopy() {
    std::memcpy(Board, UndoBoard, sizeof(Board));
    Score = UndoScore;
    Quota = UndoQuota;
}

void HandleLeftClick(int column, int row) {
    TakeUndoCopy();
    switch (OverlayState) {
    case OVERLAY_NONE:
        RemoveStones(column, row);
        if (IsGameOver()) {
            OverlayState = Quota > 0 ? OVERLAY_GAME_OVER : OVERLAY_STAGE_CLEAR;
        }
        return;
    case OVERLAY_GAME_OVER:
        if (CurrentHighscoreTable().IsHighscore(Score)) {
            DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(NAME_DIALOG_ID), MainWindow, NameDlgProc, 0);
            zonkel::TellOnceOfUnsavedHighscore(CurrentHighscoreTable());
        }
        OverlayState = OVERLAY_HIGHSCORES;
        return;
    case OVERLAY_HIGHSCORES:
        Score = 0;
        Stage = 0;
        [[fallthrough]];
    case OVERLAY_STAGE_CLEAR:
    default:
        Stage += 1;
        Quota = Stage * STONES_PER_STAGE < BOARD_CELLS ? Stage * STONES_PER_STAGE : BOARD_CELLS;
        CreateBoard();
        OverlayState = OVERLAY_NONE;
        return;
    }
}

} // namespace zonkel

void RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass;
    std::memset(&windowClass, 0, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LARGE_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = WindowClassName;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL_ICON));
    RegisterClassExA(&windowClass);
}

BOOL InitInstance(HINSTANCE instance, int showCommand) {
    AppInstance = instance;
    char path[BACKGROUND_PATH_SIZE] = {};
    std::snprintf(path, sizeof(path), "%s", DEFAULT_BACKGROUND);

    Registry = new RegistryManager;
    Registry->SetKeyPath(SETTINGS_KEY_PATH);
    if (Registry->CreateKey() != RegistryManager::CREATE_OPENED) {
        Registry->SetValue(SETTING_BACKGROUND, BACKGROUND_PATH_SIZE, path);
        PlayMode = 0;
        Difficulty = 1;
        zonkel::StoreModeSettings();
    }

    char title[64];
    std::snprintf(title, sizeof(title), "Tolvex's Quarvel %.2f", static_cast<double>(PROGRAM_VERSION));
    MainWindow = CreateWindowExA(0, WindowClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                 CW_USEDEFAULT, 0, nullptr, nullptr, AppInstance, nullptr);
    if (!MainWindow) {
        return FALSE;
    }

    zonkel::LoadBackgroundSetting(path);
    zonkel::LoadModeSettings();

    // Each sets every item of its group, checked or not.
    CheckDifficultyItems();
    CheckPlayModeItems();

    SetClientSize(MainWindow, false, VIRTUAL_WIDTH, VIRTUAL_HEIGHT);
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);

    EngineRoot = GFXMain::GetExemplar();
    EngineRoot->SetupEngine(MainWindow, nullptr);
    Layer2D = D2DManager::GetExemplar();
    if (!Layer2D->LoadTextur(path, &BackgroundTexture)) {
        Layer2D->LoadTextur(FALLBACK_BACKGROUND, &BackgroundTexture);
    }
    for (int i = 0; i < STONE_KINDS; ++i) {
        Layer2D->LoadTextur(STONE_FILES[i], &StoneTextures[i]);
    }
    Layer2D->LoadTextur("Grafik\\Gov.dds", &GameOverTexture);
    Layer2D->LoadTextur("Grafik\\Con1.dds", &StageClearTexture);
    GameFont = new (std::nothrow) CD3DFont("Arial", 14, 0);
    zonkel::SetFrameCanvas(&engineCanvas);

    LoadHighscoreTables();

    CreateBoard();
    // The first board is also the undo copy, so a right click before any left click restores it
    // rather than a board of zeros.
    zonkel::TakeUndoCopy();
    return TRUE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    platform::RegisterResources(GameResources());
    LoadStringA(instance, IDS_WINDOW_CLASS, WindowClassName, sizeof(WindowClassName));
    RegisterWindowClass(instance);
    if (!InitInstance(instance, showCommand)) {
        return 0;
    }
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return static_cast<int>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (EngineRoot) {
            EngineRoot->UpdateEngine();
            if (Layer2D) {
                RenderFrame();
            }
            EngineRoot->FlipPage();
        }
    }
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN: {
        RECT client = {};
        GetClientRect(MainWindow, &client);
        int column = 0;
        int row = 0;
        // A client rectangle starts at (0, 0): its right and bottom are its size.
        if (zonkel::MapClickToCell(LOWORD(lParam), HIWORD(lParam), client.right, client.bottom, &column,
                                   &row)) {
            zonkel::HandleLeftClick(column, row);
        }
        return 0;
    }
    case WM_RBUTTONDOWN:
        zonkel::RestoreUndoCopy();
        return 0;
    case WM_MOUSEMOVE:
        return 0;
    case WM_COMMAND:
        return HandleCommand(window, message, wParam, lParam);
    case WM_DESTROY:
        ShutDown();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

BOOL CALLBACK CreditsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

RECT CalcWindowRect(HWND window, int width, int height) {
    RECT outer = {};
    RECT client = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const LONG dx = client.right - width;
    const LONG dy = client.bottom - height;
    return RECT{outer.left, outer.top, outer.right - dx, outer.bottom - dy};
}

void SetClientSize(HWND window, bool keepSize, int width, int height) {
    ShowWindow(window, SW_HIDE);
    if (!keepSize) {
        const RECT rect = CalcWindowRect(window, width, height);
        MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
    ShowWindow(window, SW_SHOW);
}
