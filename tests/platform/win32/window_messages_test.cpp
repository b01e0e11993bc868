// Windows, the message queue and menus on the headless backend: the class menu and its check marks,
// sizing by the difference between window and client rectangles, posted input arriving with its
// coordinates, and the close path from WM_CLOSE to WM_QUIT.
#include "window_test_program.h"

#include <gtest/gtest.h>

using namespace window_test;

TEST(Window, GetsTheClassMenuWithUncheckedItems) {
    HWND window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, EASY, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(GetMenuState(menu, NEW_GAME, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(GetMenuState(menu, 4242, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST(Window, CheckMenuItemReturnsThePreviousStateAndKeepsOthers) {
    HWND window = CreateTestWindow();
    HMENU menu = GetMenu(window);
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(menu, MEDIUM, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, EASY, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(menu, EASY, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 4242, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(CheckMenuItem(nullptr, EASY, MF_CHECKED), static_cast<DWORD>(-1));
}

TEST(Window, MenuCommandsDoNotChangeCheckMarks) {
    HWND window = CreateTestWindow();
    ASSERT_TRUE(platform::HeadlessMenuCommand(window, EASY));
    EXPECT_FALSE(platform::HeadlessMenuCommand(window, 4242));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(LOWORD(msg.wParam), EASY);
    EXPECT_EQ(GetMenuState(GetMenu(window), EASY, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// The program's way to get an exact client size: move by the difference of the two rectangles.
TEST(Window, DifferenceOfRectanglesGivesTheExactClientSize) {
    HWND window = CreateTestWindow();
    RECT outer;
    RECT client;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_LT(client.right, outer.right - outer.left);
    EXPECT_LT(client.bottom, outer.bottom - outer.top); // caption and menu bar
    LONG dx = client.right - 800;
    LONG dy = client.bottom - 600;
    ShowWindow(window, SW_HIDE);
    ASSERT_TRUE(MoveWindow(window, outer.left, outer.top, outer.right - dx - outer.left,
                           outer.bottom - dy - outer.top, TRUE));
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(platform::GetWindowClientSize(window, &width, &height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    RECT moved;
    GetWindowRect(window, &moved);
    EXPECT_EQ(moved.left, outer.left);
    EXPECT_EQ(moved.top, outer.top);
}

TEST(Window, ShowWindowReportsTheFormerVisibilityAndUpdateWindowPaints) {
    HWND window = CreateTestWindow();
    Log().clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(window));
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    UpdateWindow(window); // validated by DefWindowProcA: no second paint
    int paints = 0;
    for (const auto& entry : Log()) {
        paints += entry.message == WM_PAINT;
    }
    EXPECT_EQ(paints, 1);
}

TEST(Messages, ClicksArriveInOrderWithClientCoordinates) {
    HWND window = CreateTestWindow();
    platform::HeadlessClick(window, 12, 34);
    platform::HeadlessRightClick(window, 700, 590);
    platform::HeadlessMouseMove(window, 1, 2);
    platform::HeadlessMouseMove(window, 3, 4); // merged with the move before it
    Log().clear();
    EXPECT_EQ(RunLoop(window, 6), -1);
    std::vector<Received> input = InputLog();
    ASSERT_EQ(input.size(), 5u);
    EXPECT_EQ(input[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(LOWORD(input[0].lParam), 12);
    EXPECT_EQ(HIWORD(input[0].lParam), 34);
    EXPECT_EQ(input[1].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(input[2].message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(LOWORD(input[2].lParam), 700);
    EXPECT_EQ(HIWORD(input[2].lParam), 590);
    EXPECT_EQ(input[3].message, static_cast<UINT>(WM_RBUTTONUP));
    EXPECT_EQ(input[4].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(LOWORD(input[4].lParam), 3);
    EXPECT_EQ(HIWORD(input[4].lParam), 4);
}

TEST(Messages, KeysArriveAsKeyDownAndKeyUpWithVirtualKeyCodes) {
    HWND window = CreateTestWindow();
    platform::HeadlessKey(window, VK_LEFT);
    platform::HeadlessKey(window, 'S');
    Log().clear();
    EXPECT_EQ(RunLoop(window, 6), -1);
    std::vector<Received> input = InputLog();
    ASSERT_EQ(input.size(), 4u);
    EXPECT_EQ(input[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(input[0].wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(input[0].wParam, 0x25u);
    EXPECT_EQ(input[0].lParam, 1); // one press, not down before
    EXPECT_EQ(input[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(input[1].wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(static_cast<uint32_t>(input[1].lParam), 0xC0000001u);
    EXPECT_EQ(input[2].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(input[2].wParam, static_cast<WPARAM>('S'));
    EXPECT_EQ(input[3].message, static_cast<UINT>(WM_KEYUP));

    // Like clicks, keys for a disabled window (its dialog is open) are dropped.
    EnableWindow(window, FALSE);
    platform::HeadlessKey(window, VK_RIGHT);
    EnableWindow(window, TRUE);
    Log().clear();
    EXPECT_EQ(RunLoop(window, 3), -1);
    EXPECT_TRUE(InputLog().empty());
}

TEST(Messages, PeekTakesOneMessageAndNoRemoveLeavesIt) {
    HWND window = CreateTestWindow();
    PostMessageA(window, WM_USER + 1, 1, 2);
    PostMessageA(window, WM_USER + 2, 3, 4);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Messages, CloseLeadsToDestroyThenQuitWithItsCode) {
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
}

TEST(Messages, QuitComesAfterMessagesAlreadyQueued) {
    HWND window = CreateTestWindow();
    PostQuitMessage(3);
    PostMessageA(window, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(Messages, InputToAWindowThatIsGoneOrDisabledIsDropped) {
    HWND window = CreateTestWindow();
    EnableWindow(window, FALSE);
    platform::HeadlessClick(window, 1, 1);
    EnableWindow(window, TRUE);
    DestroyWindow(window);
    platform::HeadlessClick(window, 1, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // the quit request of WM_DESTROY only
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

TEST(Resources, LoadStringCopiesAtMostTheBufferLessOne) {
    RegisterTestResources();
    char buffer[100];
    EXPECT_EQ(LoadStringA(TestInstance(), 109, buffer, 100), 6);
    EXPECT_STREQ(buffer, "ZONKEL");
    char small[5];
    EXPECT_EQ(LoadStringA(TestInstance(), 110, small, 5), 4);
    EXPECT_STREQ(small, "A ra");
    EXPECT_EQ(LoadStringA(TestInstance(), 999, buffer, 100), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadStringA(TestInstance(), 109, buffer, 0), 0);
}

TEST(Resources, IconsAndCursorsHaveHandlesOnlyWhenTheyExist) {
    RegisterTestResources();
    HICON big = LoadIconA(TestInstance(), MAKEINTRESOURCE(BIG_ICON));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(LoadIconA(TestInstance(), MAKEINTRESOURCE(BIG_ICON)), big);
    EXPECT_NE(LoadIconA(TestInstance(), MAKEINTRESOURCE(SMALL_ICON)), big);
    EXPECT_EQ(LoadIconA(TestInstance(), MAKEINTRESOURCE(1234)), nullptr);
    const platform::IconResource* icon = platform::IconFromHandle(big);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->width, 32);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorA(TestInstance(), MAKEINTRESOURCE(5)), nullptr);
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

TEST(Window, UnknownClassGivesNoWindow) {
    EXPECT_EQ(CreateWindowExA(0, "NOSUCHCLASS", "x", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                              nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST(WindowSurface, ProgramWindowsKeepTheirPresentedFrames) {
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
}

TEST(WindowSurface, OffscreenWindowsHaveAFixedClientSize) {
    HWND window = platform::CreateOffscreenWindow(320, 200);
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_FALSE(MoveWindow(window, 0, 0, 10, 10, TRUE));
    uint64_t before = platform::HeadlessFrameCount();
    PresentTestFrame(window, 1);
    EXPECT_EQ(platform::HeadlessFrameCount(), before); // not a program frame
    EXPECT_TRUE(platform::LastPresentedFrame(window, nullptr));
    platform::DestroyOffscreenWindow(window);
    EXPECT_FALSE(platform::GetWindowClientSize(window, nullptr, nullptr));
}
