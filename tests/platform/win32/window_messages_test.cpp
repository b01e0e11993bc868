// Windows, the message queue and menus on the headless backend: the class menu and its check marks,
// sizing by the difference between window and client rectangles, posted input arriving with its
// coordinates, input for disabled or destroyed windows dropped, the close path from WM_CLOSE to
// WM_QUIT, resources, and presented frames.
#include "window_test_program.h"
#include "win32/mmsystem.h"
#include "win32/window_system.h"

#include <algorithm>
#include <tuple>
#include <gtest/gtest.h>

using namespace window_test;

TEST(Window, MenuCheckMarksChangeOnlyThroughCheckMenuItem) {
    HWND window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, NEW_GAME, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(GetMenuState(menu, 4242, MF_BYCOMMAND), static_cast<UINT>(-1));
    // CheckMenuItem returns the previous state and leaves the other items alone.
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(menu, MEDIUM, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 4242, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(CheckMenuItem(nullptr, EASY, MF_CHECKED), static_cast<DWORD>(-1));
    // Items are found by command only: by position there is nothing to mark, and nothing changes.
    EXPECT_EQ(CheckMenuItem(menu, 0, MF_BYPOSITION | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYPOSITION | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(menu, EASY, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(GetMenuState(menu, NEW_GAME, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));

    // Choosing an item sends WM_COMMAND and leaves its check mark as it was.
    ASSERT_TRUE(platform::HeadlessMenuCommand(window, EASY));
    EXPECT_FALSE(platform::HeadlessMenuCommand(window, 4242));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(msg.wParam, WPARAM(EASY)) << "the high word is 0 for a menu";
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_EQ(GetMenuState(menu, EASY, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    // The menu goes with its window.
    DestroyWindow(window);
    EXPECT_EQ(GetMenuState(menu, EASY, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));

    // A class name is registered once, whatever its case; a class needs a procedure.
    WNDCLASSEXA again = {};
    again.lpfnWndProc = RecordingProc;
    again.lpszClassName = "zonkel";
    EXPECT_EQ(RegisterClassExA(&again), 0);
    again.lpszClassName = "SECOND";
    EXPECT_NE(RegisterClassExA(&again), 0);
    again.lpszClassName = "THIRD";
    again.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExA(&again), 0);

    // An explicit rectangle is kept; with CW_USEDEFAULT for x and width, y and height are ignored.
    HWND placed = CreateWindowExA(0, "SECOND", "x", WS_OVERLAPPEDWINDOW, 10, 20, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    RECT rect = {};
    ASSERT_TRUE(GetWindowRect(placed, &rect));
    EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right, rect.bottom), std::tuple(10, 20, 310, 220));
    HWND defaulted = CreateWindowExA(0, "SECOND", "x", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 777, CW_USEDEFAULT,
                                     999, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(GetWindowRect(defaulted, &rect));
    EXPECT_NE(rect.top, 777);
    EXPECT_NE(rect.bottom - rect.top, 999);

    EXPECT_EQ(CreateWindowExA(0, "NOSUCHCLASS", "x", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                              nullptr, nullptr, nullptr, nullptr),
              nullptr)
        << "an unknown class gives no window";
}

// The program's way to get an exact client size: move by the difference of the two rectangles; then
// it shows the window and updates it, which paints it once.
TEST(Window, DifferenceOfRectanglesGivesTheExactClientSizeAndShowingPaintsOnce) {
    HWND window = CreateTestWindow();
    RECT outer, client;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_LT(client.right, outer.right - outer.left);
    EXPECT_LT(client.bottom, outer.bottom - outer.top); // caption and menu bar
    LONG dx = client.right - 800;
    LONG dy = client.bottom - 600;
    ASSERT_TRUE(MoveWindow(window, outer.left, outer.top, outer.right - dx - outer.left,
                           outer.bottom - dy - outer.top, TRUE));
    auto paints = [] { return std::count_if(Log().begin(), Log().end(), [](const Received& r) {
                           return r.message == WM_PAINT;
                       }); };
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(paints(), 0) << "a hidden window is not painted";
    EXPECT_EQ(ShowWindow(window, SW_SHOW), FALSE) << "was hidden";
    EXPECT_TRUE(IsWindowVisible(window));
    UpdateWindow(window);
    UpdateWindow(window);
    EXPECT_EQ(paints(), 1) << "painted once, then valid";
    EXPECT_EQ(ShowWindow(window, SW_SHOW), TRUE) << "was visible";
    UpdateWindow(window);
    EXPECT_EQ(paints(), 1);
    int width = 0, height = 0;
    ASSERT_TRUE(platform::GetWindowClientSize(window, &width, &height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    RECT moved;
    GetWindowRect(window, &moved);
    EXPECT_EQ(moved.left, outer.left);
    EXPECT_EQ(moved.top, outer.top);
    EXPECT_EQ(ShowWindow(window, SW_HIDE), TRUE);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST(Messages, ClicksAndKeysArriveInOrderWithCoordinatesAndKeyCodes) {
    HWND window = CreateTestWindow();
    platform::HeadlessClick(window, 12, 34);
    platform::HeadlessRightClick(window, 700, 590);
    platform::HeadlessMouseMove(window, 1, 2);
    platform::HeadlessMouseMove(window, 3, 4); // merged with the move before it
    platform::HeadlessKey(window, VK_LEFT);
    platform::HeadlessKey(window, 'S');
    platform::HeadlessMouseMove(window, 9, 9); // not merged across other input
    platform::HeadlessClick(window, 20, 21);
    platform::HeadlessMouseMove(window, 22, 23);
    platform::PostKeyMessage(window, VK_DOWN, true, true); // held down: the key was down before
    Log().clear();
    EXPECT_EQ(RunLoop(window, 20), -1);
    std::vector<Received> input = InputLog();
    struct Expected {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } expected[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELONG(12, 34)},
        {WM_LBUTTONUP, 0, MAKELONG(12, 34)},
        {WM_RBUTTONDOWN, MK_RBUTTON, MAKELONG(700, 590)},
        {WM_RBUTTONUP, 0, MAKELONG(700, 590)},
        {WM_MOUSEMOVE, 0, MAKELONG(3, 4)},
        {WM_KEYDOWN, VK_LEFT, 1}, // one press, not down before
        {WM_KEYUP, VK_LEFT, static_cast<LPARAM>(0xC0000001u)},
        {WM_KEYDOWN, 'S', 1},
        {WM_KEYUP, 'S', static_cast<LPARAM>(0xC0000001u)},
        {WM_MOUSEMOVE, 0, MAKELONG(9, 9)},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELONG(20, 21)},
        {WM_LBUTTONUP, 0, MAKELONG(20, 21)},
        {WM_MOUSEMOVE, 0, MAKELONG(22, 23)},
        {WM_KEYDOWN, VK_DOWN, 0x40000001},
    };
    ASSERT_EQ(input.size(), std::size(expected));
    for (size_t i = 0; i < input.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(input[i].message, expected[i].message);
        EXPECT_EQ(input[i].wParam, expected[i].wParam);
        EXPECT_EQ(static_cast<uint32_t>(input[i].lParam), static_cast<uint32_t>(expected[i].lParam));
    }
}

TEST(Messages, InputToAWindowThatIsDisabledOrGoneIsDropped) {
    HWND window = CreateTestWindow();
    // EnableWindow answers whether the window was disabled before.
    EXPECT_FALSE(EnableWindow(window, FALSE)); // as while its dialog is open
    EXPECT_TRUE(EnableWindow(window, FALSE));
    platform::HeadlessClick(window, 1, 1);
    platform::HeadlessKey(window, VK_RIGHT);
    EXPECT_TRUE(EnableWindow(window, TRUE));
    EXPECT_FALSE(EnableWindow(window, TRUE));
    DestroyWindow(window);
    platform::HeadlessClick(window, 1, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // the quit request of WM_DESTROY only
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Messages, CloseLeadsToDestroyThenQuitWithItsCodeAndQuitComesAfterQueuedMessages) {
    HWND window = CreateTestWindow();
    platform::HeadlessClick(window, 5, 5);
    platform::HeadlessClose(window);
    Log().clear();
    EXPECT_EQ(RunLoop(window), 7);
    std::vector<Received> input = InputLog();
    ASSERT_EQ(input.size(), 4u);
    EXPECT_EQ(input[2].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(input[3].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window));
    RECT rect;
    EXPECT_FALSE(GetClientRect(window, &rect));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // the quit request was taken once

    // A quit request comes after the messages already queued.
    window = CreateTestWindow();
    PostQuitMessage(3);
    PostMessageA(window, WM_USER, 1, 2);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(std::pair(msg.message, msg.hwnd), std::pair(UINT(WM_USER), window));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(std::pair(msg.message, msg.wParam), std::pair(UINT(WM_QUIT), WPARAM(3)));
}

// PM_NOREMOVE shows the oldest message and leaves it, PM_REMOVE takes it; a sent message reaches the
// procedure at once, ahead of those posted before it, and gives back the procedure's result.
TEST(Messages, PeekingLeavesTheMessageSendingBypassesTheQueueAndFiltersAreRefused) {
    HWND window = CreateTestWindow();
    platform::SetClockForTesting(123456);
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 11, 22));
    platform::SetClockForTesting(123460);
    ASSERT_TRUE(PostMessageA(window, WM_USER + 2, 33, 44));
    Log().clear();
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, 0, 0), 1) << "the default processing's answer";
    EXPECT_EQ(SendMessageA(window, WM_USER + 3, 55, 66), 0);
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[1].message, static_cast<UINT>(WM_USER + 3));
    EXPECT_EQ(std::pair(Log()[1].wParam, Log()[1].lParam), std::pair(WPARAM(55), LPARAM(66)));
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x5150), WM_ERASEBKGND, 0, 0), 0) << "no such window";

    MSG msg = {};
    for (int peek = 0; peek < 2; ++peek) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(std::pair(msg.hwnd, msg.message), std::pair(window, UINT(WM_USER + 1)));
        EXPECT_EQ(std::pair(msg.wParam, msg.lParam), std::pair(WPARAM(11), LPARAM(22)));
        EXPECT_EQ(msg.time, 123456u) << "the clock when it was posted";
    }
    MSG untouched = {};
    untouched.message = 77;
    EXPECT_FALSE(PeekMessageA(&untouched, window, 0, 0, PM_REMOVE)) << "window filter";
    EXPECT_FALSE(PeekMessageA(&untouched, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE)) << "range filter";
    EXPECT_EQ(untouched.message, 77u);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(std::pair(msg.wParam, msg.lParam), std::pair(WPARAM(33), LPARAM(44)));
    EXPECT_EQ(msg.time, 123460u);

    // A message for no window is queued but reaches no procedure; WM_QUIT posted so is the quit request,
    // which a peek leaves in place until it is taken.
    ASSERT_TRUE(PostMessageA(nullptr, WM_QUIT, 9, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 4, 5, 6));
    Log().clear();
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(std::pair(msg.hwnd, msg.message), std::pair(HWND(nullptr), UINT(WM_USER + 4)));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_TRUE(Log().empty());
    for (UINT option : {PM_NOREMOVE, PM_NOREMOVE, PM_REMOVE}) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, option));
        EXPECT_EQ(std::pair(msg.message, msg.wParam), std::pair(UINT(WM_QUIT), WPARAM(9)));
    }
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // WM_QUIT posted to a window is an ordinary message of that window.
    ASSERT_TRUE(PostMessageA(window, WM_QUIT, 4, 0));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(std::pair(msg.hwnd, msg.message), std::pair(window, UINT(WM_QUIT)));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    platform::ResumeRealClock();
}

TEST(Resources, StringsIconsAndCursorsAreFoundOnlyWhenTheyExist) {
    RegisterTestResources();
    char buffer[100];
    EXPECT_EQ(LoadStringA(TestInstance(), 109, buffer, 100), 6);
    EXPECT_STREQ(buffer, "ZONKEL");
    char small[5];
    EXPECT_EQ(LoadStringA(TestInstance(), 110, small, 5), 4) << "at most the buffer less one";
    EXPECT_STREQ(small, "A ra");
    EXPECT_EQ(LoadStringA(TestInstance(), 999, buffer, 100), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadStringA(TestInstance(), 109, buffer, 0), 0);

    HICON big = LoadIconA(TestInstance(), MAKEINTRESOURCE(BIG_ICON));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(LoadIconA(TestInstance(), MAKEINTRESOURCE(BIG_ICON)), big);
    EXPECT_NE(LoadIconA(TestInstance(), MAKEINTRESOURCE(SMALL_ICON)), big);
    EXPECT_EQ(LoadIconA(TestInstance(), MAKEINTRESOURCE(1234)), nullptr);
    ASSERT_NE(platform::IconFromHandle(big), nullptr);
    EXPECT_EQ(platform::IconFromHandle(big)->width, 32);
    // The system's stock cursors and icons (32512 to 32650) need no instance and have no picture here.
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_NE(LoadCursorA(nullptr, MAKEINTRESOURCE(32650)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, MAKEINTRESOURCE(32650)), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCE(32651)), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCE(32511)), nullptr);
    EXPECT_EQ(LoadCursorA(TestInstance(), IDC_ARROW), nullptr) << "the program registers no cursors";
    HICON stock = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), stock);
    EXPECT_EQ(platform::IconFromHandle(stock), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCE(BIG_ICON)), nullptr) << "not a stock icon";
    EXPECT_EQ(LoadIconA(TestInstance(), "named"), nullptr);
}

// A picture shorter than its size says must not be read past its end.
TEST(Resources, IconWithTooFewPixelsIsPaddedNotOverread) {
    platform::ResourceTable table;
    table.icons.push_back({77, 8, 8, std::vector<uint32_t>(3, 0xffffffffu)});
    platform::RegisterResources(table);
    const platform::IconResource* icon = platform::FindIconResource(77);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->pixels.size(), 64u);
    EXPECT_EQ(icon->pixels[63], 0u);
}

TEST(WindowSurface, ProgramWindowsCountPresentedFramesAndOffscreenWindowsKeepTheirSize) {
    HWND window = CreateTestWindow();
    platform::PresentedFrame frame;
    EXPECT_FALSE(platform::LastPresentedFrame(window, &frame));
    uint64_t before = platform::HeadlessFrameCount();
    PresentTestFrame(window, 0xff123456u);
    ASSERT_TRUE(platform::LastPresentedFrame(window, &frame));
    EXPECT_EQ(frame.width, 4);
    EXPECT_EQ(frame.height, 3);
    EXPECT_EQ(frame.pixels[11], 0xff123456u);
    EXPECT_EQ(frame.serial, 1u);
    EXPECT_EQ(platform::HeadlessFrameCount(), before + 1);

    HWND offscreen = platform::CreateOffscreenWindow(320, 200);
    RECT client;
    ASSERT_TRUE(GetClientRect(offscreen, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_FALSE(MoveWindow(offscreen, 0, 0, 10, 10, TRUE));
    PresentTestFrame(offscreen, 1);
    EXPECT_EQ(platform::HeadlessFrameCount(), before + 1) << "not a program frame";
    EXPECT_TRUE(platform::LastPresentedFrame(offscreen, nullptr));
    platform::DestroyOffscreenWindow(offscreen);
    EXPECT_FALSE(platform::GetWindowClientSize(offscreen, nullptr, nullptr));
}

// A frame whose version names the picture the window shows at its client size is counted (and the
// headless backend still writes it) but not copied or painted; a new version, a new client size or an
// unknown version (0) paints.
TEST(WindowSurface, PictureTheWindowShowsIsNotPaintedAgainUnlessItsVersionOrTheClientSizeChanged) {
    HWND window = CreateTestWindow();
    const std::vector<uint32_t> first(4 * 3, 0xff102030u), second(4 * 3, 0xff302010u);
    const uint64_t headlessBefore = platform::HeadlessFrameCount();
    const struct {
        const char* what;
        const std::vector<uint32_t>* pixels;
        uint64_t version;
        int wider, taller; // the window grows by
        uint64_t paints;
        uint32_t shown;
    } steps[] = {
        {"first picture", &first, 7, 0, 0, 1, 0xff102030u},
        {"same version", &second, 7, 0, 0, 1, 0xff102030u},
        {"same version, client area wider", &second, 7, 30, 0, 2, 0xff302010u},
        {"same version at that size", &first, 7, 0, 0, 2, 0xff302010u},
        {"same version, client area taller", &first, 7, 0, 20, 3, 0xff102030u},
        {"new version", &second, 8, 0, 0, 4, 0xff302010u},
        {"unknown version", &first, 0, 0, 0, 5, 0xff102030u},
        {"unknown version again", &second, 0, 0, 0, 6, 0xff302010u},
    };
    uint64_t serial = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        RECT outer;
        GetWindowRect(window, &outer);
        MoveWindow(window, outer.left, outer.top, outer.right - outer.left + step.wider,
                   outer.bottom - outer.top + step.taller, TRUE);
        platform::PresentFrame(window, {step.pixels->data(), 4, 3, 4, step.version});
        platform::PresentedFrame frame;
        ASSERT_TRUE(platform::LastPresentedFrame(window, &frame));
        EXPECT_EQ(frame.serial, ++serial);
        EXPECT_EQ(frame.paints, step.paints);
        EXPECT_EQ(frame.pixels[11], step.shown);
    }
    EXPECT_EQ(platform::HeadlessFrameCount(), headlessBefore + 8);
}
