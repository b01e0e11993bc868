// The feature tour's program: a window like any Windows program's (class, window, menu, message loop)
// whose frames the engine draws with its particle, model and terrain features. Left click lays a
// tile, right click raises the ground; the menu (and the keys, where the window system delivers
// them) moves the camera and saves and loads the map. The map is saved in the player's folder; until
// then loading brings the map shipped with the data.
#include "feature_tour.h"
#include "tour_menu.h"

#include "win32/program_entry.h"
#include "win32/program_folders.h"
#include "win32/windows.h"

#include <cstring>

namespace {

constexpr const char* WINDOW_CLASS = "VelkoraFeatureTour";
constexpr const char* WINDOW_TITLE = "Velkora feature tour";
constexpr int CLIENT_WIDTH = 800;
constexpr int CLIENT_HEIGHT = 600;

tour::FeatureTour Tour;
bool Running = false;

platform::ResourceTable TourResources() {
    platform::ResourceTable table;
    table.menus = {{tour::IDR_TOUR_MENU,
                    {
                        {"&Tour", {{"E&xit", tour::IDM_EXIT}}},
                        {"&Camera",
                         {{"&Forward", tour::IDM_CAMERA_FORWARD},
                          {"&Back", tour::IDM_CAMERA_BACK},
                          {"&Left", tour::IDM_CAMERA_LEFT},
                          {"&Right", tour::IDM_CAMERA_RIGHT},
                          {"&Up", tour::IDM_CAMERA_UP},
                          {"&Down", tour::IDM_CAMERA_DOWN}}},
                        {"&Map", {{"&Save map", tour::IDM_MAP_SAVE}, {"&Load map", tour::IDM_MAP_LOAD}}},
                    }}};
    return table;
}

void RunCommand(HWND window, UINT command) {
    switch (command) {
    case tour::IDM_CAMERA_FORWARD:
        Tour.MoveCamera(tour::CameraStep::Forward);
        break;
    case tour::IDM_CAMERA_BACK:
        Tour.MoveCamera(tour::CameraStep::Back);
        break;
    case tour::IDM_CAMERA_LEFT:
        Tour.MoveCamera(tour::CameraStep::Left);
        break;
    case tour::IDM_CAMERA_RIGHT:
        Tour.MoveCamera(tour::CameraStep::Right);
        break;
    case tour::IDM_CAMERA_UP:
        Tour.MoveCamera(tour::CameraStep::Up);
        break;
    case tour::IDM_CAMERA_DOWN:
        Tour.MoveCamera(tour::CameraStep::Down);
        break;
    case tour::IDM_MAP_SAVE:
        Tour.SaveMap();
        break;
    case tour::IDM_MAP_LOAD:
        Tour.LoadMap();
        break;
    case tour::IDM_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK TourWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        Tour.SetTileAt(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        Tour.RaiseGroundAt(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_KEYDOWN:
        RunCommand(window, tour::CommandForKey(wParam));
        return 0;
    case WM_COMMAND:
        RunCommand(window, LOWORD(wParam));
        return 0;
    case WM_DESTROY:
        Running = false;
        Tour.Stop();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Gives the window the client size the tour is laid out for.
void SetClientSize(HWND window, int width, int height) {
    RECT outer = {};
    RECT client = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const LONG dx = client.right - width;
    const LONG dy = client.bottom - height;
    MoveWindow(window, outer.left, outer.top, outer.right - outer.left - dx, outer.bottom - outer.top - dy,
               TRUE);
}

HWND CreateTourWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSEXA windowClass;
    std::memset(&windowClass, 0, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = TourWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(tour::IDR_TOUR_MENU);
    windowClass.lpszClassName = WINDOW_CLASS;
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    if (RegisterClassExA(&windowClass) == 0) {
        return nullptr;
    }
    HWND window = CreateWindowExA(0, WINDOW_CLASS, WINDOW_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    SetClientSize(window, CLIENT_WIDTH, CLIENT_HEIGHT);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    platform::RegisterResources(TourResources());
    HWND window = CreateTourWindow(instance, showCommand);
    if (window == nullptr) {
        return 1;
    }
    if (!Tour.Start(window)) {
        DestroyWindow(window);
        return 1;
    }
    Running = true;
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return static_cast<int>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        if (Running) {
            Tour.DrawFrame();
        }
    }
}

int main(int argc, char** argv) {
    platform::ProgramFolders folders;
    folders.dataName = "zonkel";
    folders.userName = "velkora-feature-tour";
    return platform::RunWinMain(argc, argv, WinMain, &folders);
}
