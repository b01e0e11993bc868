// The real program on the GTK desktop backend under a virtual X server: it starts, takes a click on a
// group, opens and closes the Credits dialog from its menu, and ends with exit code 0 when its window is
// closed the way a window manager closes it. The test runs itself again inside xvfb-run.
#include "program_run.h"

#include "board.h"
#include "game_resources.h"
#include "game_window.h"
#include "highscore_list.h"
#include "program_state.h"

#include "win32/desktop_testing.h"

#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* INSIDE_VARIABLE = "ZONKEL_INSIDE_XVFB";
constexpr std::time_t DEAL_TIME = 777;

std::string Shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof(buffer), pipe)) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}

// Polls `command` until its output is non-empty (or, with `gone`, empty); the first line of it. Gives
// up after a minute, however busy the machine.
std::string WaitFor(const std::string& command, bool gone = false) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string output = Shell(command + " 2>/dev/null");
        if (output.empty() == gone) {
            return gone ? "gone" : output.substr(0, output.find('\n'));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::string();
}

// Asks a window to close as a window manager does: the WM_DELETE_WINDOW protocol message. Xlib is
// opened at run time so that the test program needs no X library at link time.
bool SendCloseRequest(unsigned long window) {
    void* xlib = dlopen("libX11.so.6", RTLD_NOW);
    auto openDisplay = xlib ? reinterpret_cast<void* (*)(const char*)>(dlsym(xlib, "XOpenDisplay")) : nullptr;
    auto internAtom =
        xlib ? reinterpret_cast<unsigned long (*)(void*, const char*, int)>(dlsym(xlib, "XInternAtom"))
             : nullptr;
    auto sendEvent =
        xlib ? reinterpret_cast<int (*)(void*, unsigned long, int, long, void*)>(dlsym(xlib, "XSendEvent"))
             : nullptr;
    auto closeDisplay = xlib ? reinterpret_cast<int (*)(void*)>(dlsym(xlib, "XCloseDisplay")) : nullptr;
    void* display = openDisplay && internAtom && sendEvent && closeDisplay ? openDisplay(nullptr) : nullptr;
    if (!display) {
        return false;
    }
    // The client-message event as Xlib lays it out on 64-bit systems, inside the 24-long event union.
    union {
        struct {
            int type;
            unsigned long serial;
            int sendEvent;
            void* display;
            unsigned long window, messageType;
            int format;
            long data[5];
        } message;
        long pad[24];
    } event = {};
    event.message = {33, 0, 0, display, window, internAtom(display, "WM_PROTOCOLS", 0), 32, {}};
    event.message.data[0] = static_cast<long>(internAtom(display, "WM_DELETE_WINDOW", 0));
    const bool sent = sendEvent(display, window, 0, 0, &event) != 0;
    closeDisplay(display); // flushes the request
    dlclose(xlib);
    return sent;
}

// Runs the current test again inside xvfb-run, where it finds INSIDE_VARIABLE set, and judges that run.
void RunInsideXvfb() {
    if (Shell("command -v xvfb-run && command -v xdotool").find("xdotool") == std::string::npos) {
        GTEST_SKIP() << "xvfb-run and xdotool are needed (scripts/deps installs them)";
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // The desktop libraries keep caches until the process ends, which a sanitizer build's leak checker
    // would count against a test that runs the GTK backend in its own process.
    const std::string output =
        Shell(std::string(INSIDE_VARIABLE) +
              "=1 ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" xvfb-run -a -s "
              "'-screen 0 1024x768x24' '" +
              fs::read_symlink("/proc/self/exe").string() + "' --gtest_filter=" + test->test_suite_name() +
              "." + test->name() + " 2>&1; echo \"exit $?\"");
    EXPECT_NE(output.find("exit 0\n"), std::string::npos) << output;
}

TEST(DesktopWindow, StartClickCreditsAndCloseUnderXvfb) {
    if (!std::getenv(INSIDE_VARIABLE)) {
        RunInsideXvfb();
        return;
    }

    // A stone of the first board with an equal neighbour below it.
    zonkel::SetDealClockForTesting([] { return DEAL_TIME; });
    Difficulty = 1;
    CreateBoard();
    int column = 0;
    int row = 0;
    while (column < BOARD_COLUMNS - 1 && Board[column][row] != Board[column][row + 1]) {
        row = (row + 1) % (BOARD_ROWS - 1);
        column += row == 0;
    }

    const game_testing::GameFolder folder;
    const fs::path errors = folder / "stderr.txt";
    const int program =
        folder.Start({{"ZONKEL_DEAL_TIME", std::to_string(DEAL_TIME)}, {"VELKORA_HEADLESS", ""}}, errors);
    ASSERT_GT(program, 0);
    const std::string window = WaitFor("xdotool search --onlyvisible --name \"Tolvex's Quarvel 1.00\"");
    if (window.empty()) {
        game_testing::WaitForProgram(program, 0);
        FAIL() << "the game window did not appear";
    }

    // A click into the client area; the menu bar lies above it, and a cell absorbs the height estimate.
    const int menuBar = 24;
    const fs::path shot = folder / "shot.png";
    Shell("import -window " + window + " " + shot.string());
    const game_testing::Picture before = game_testing::ReadPng(shot);
    Shell("xdotool mousemove --window " + window + " " + std::to_string(39 + 48 * column) + " " +
          std::to_string(menuBar + 39 + 48 * row) + " click 1");
    // The clicked column changes once the group is gone and the stones above it fall.
    bool changed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!changed && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Shell("import -window " + window + " " + shot.string());
        const game_testing::Picture after = game_testing::ReadPng(shot);
        int differing = 0;
        for (int y = menuBar + 15; after.width == before.width && after.height == before.height &&
                                   y < std::min(before.height, menuBar + 15 + 48 * BOARD_ROWS);
             ++y) {
            for (int x = 15 + 48 * column; x < 63 + 48 * column && x < before.width; ++x) {
                differing += game_testing::ColourDistance(before.At(x, y), after.At(x, y)) > 40;
            }
        }
        changed = differing > 200;
    }
    EXPECT_TRUE(changed) << "the click on the group at " << column << "," << row << " changed nothing";

    // The Credits dialog through the keyboard: F10 opens the first menu, Up wraps to its last item. The
    // keys after F10 wait in GTK's queue and reach the menu once it is open.
    Shell("xdotool windowfocus --sync " + window + " key F10 Up Return");
    const std::string credits = WaitFor("xdotool search --onlyvisible --name '^Credits$'");
    EXPECT_FALSE(credits.empty()) << "the Credits dialog did not open";
    if (!credits.empty()) {
        Shell("xdotool windowfocus --sync " + credits + " key Return");
        EXPECT_FALSE(WaitFor("xdotool search --onlyvisible --name '^Credits$'", true).empty())
            << "the Credits dialog did not close";
    }

    ASSERT_TRUE(SendCloseRequest(std::stoul(window)));
    const int exitCode = game_testing::WaitForProgram(program, 60);
    const std::vector<uint8_t> errorBytes = testing_support::ReadFile(errors);
    EXPECT_EQ(exitCode, 0) << std::string(errorBytes.begin(), errorBytes.end());
}

TEST(DesktopWindow, PlayersFolderThatCannotBeMadeIsToldInAMessageBoxBeforeTheProgramEnds) {
    if (!std::getenv(INSIDE_VARIABLE)) {
        RunInsideXvfb();
        return;
    }
    const game_testing::GameFolder folder;
    // XDG_DATA_HOME names a file: no folder can be made inside it, not even by root.
    testing_support::WriteFile(folder / "data", {'x'});
    const int program = folder.Start(
        {{"VELKORA_HEADLESS", ""}, {"XDG_DATA_HOME", (folder / "data").string()}}, folder / "err");
    const std::string box = WaitFor("xdotool search --onlyvisible --name '^zonkel$'");
    int status = 0;
    EXPECT_EQ(waitpid(program, &status, WNOHANG), 0) << "the program ended before its message was closed";
    ASSERT_FALSE(box.empty()) << "no message box captioned with the program's name";
    // Return closes the box; it is pressed again while the program runs, as a busy server may give the
    // box its focus late.
    int exitCode = -1;
    for (int i = 0; i < 600 && exitCode < 0; ++i) {
        if (i % 10 == 0) {
            Shell("xdotool windowfocus --sync " + box + " key Return");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (waitpid(program, &status, WNOHANG) == program) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    if (exitCode < 0) {
        game_testing::WaitForProgram(program, 0);
    }
    EXPECT_EQ(exitCode, 1);
    // Standard error holds the same line, among what the sound and desktop libraries print.
    const std::vector<uint8_t> errors = testing_support::ReadFile(folder / "err");
    const std::string line =
        "\nzonkel: cannot create " + (folder / "data" / "zonkel").string() + ": Not a directory\n";
    EXPECT_NE(("\n" + std::string(errors.begin(), errors.end())).find(line), std::string::npos)
        << std::string(errors.begin(), errors.end());
}

TEST(DesktopWindow, HighscoreThatCannotBeSavedIsToldInAMessageBoxAfterTheNameEntry) {
    if (!std::getenv(INSIDE_VARIABLE)) {
        RunInsideXvfb();
        return;
    }
    alarm(150); // a lost key would leave a modal loop waiting
    int argc = 1;
    char name[] = "zonkel";
    char* arguments[] = {name, nullptr};
    char** argv = arguments;
    std::string error;
    ASSERT_TRUE(platform::UseGtkBackend(&argc, &argv, &error)) << error;
    platform::RegisterResources(GameResources());
    testing_support::TemporaryFolder folder;
    const testing_support::WorkingDirectory inFolder(folder.Path());
    std::vector<uint8_t> table(8 + 224 * 2, 0);
    table[0] = 2;
    table[4] = 8 + 224 * 2 - 256;
    table[5] = 1;
    std::memcpy(&table[8], "Vera", 4);
    table[8 + 220] = 0x10; // 10000
    table[8 + 221] = 0x27;
    std::memcpy(&table[8 + 224], "Paul", 4);
    table[8 + 224 + 220] = 7;
    testing_support::WriteFile(folder / "as2.roh", table);
    PlayMode = 0;
    Difficulty = 1;
    ASSERT_EQ(CurrentHighscoreTable().Load("as2.roh", 10), HighscoreList::LOAD_READ);
    Score = 500;
    OverlayState = OVERLAY_GAME_OVER;

    // Another process types the name once the name entry shows, then closes the message box.
    const fs::path closed = folder / "closed";
    Shell("(timeout 60 sh -c 'until xdotool search --onlyvisible --name \"please enter your name\" "
          "windowfocus --sync; do sleep 0.1; done' && xdotool type Zed && xdotool key Return && "
          "timeout 60 sh -c 'until xdotool search --onlyvisible --name \"^Highscore not saved$\" "
          "windowfocus --sync; do sleep 0.1; done' && xdotool key Return && touch " +
          closed.string() + ") >/dev/null 2>&1 &");
    {
        const testing_support::DiskFullAfter full(100);
        zonkel::HandleLeftClick(7, 5);
    }
    EXPECT_EQ(OverlayState, OVERLAY_HIGHSCORES);
    EXPECT_EQ(WaitFor("ls " + closed.string()), closed.string()) << "the message box was not seen";
    EXPECT_EQ(testing_support::ReadFile(folder / "as2.roh"), table);
    uint32_t score = 0;
    char entry[HIGHSCORE_NAME_SIZE] = {};
    ASSERT_TRUE(CurrentHighscoreTable().GetEntry(1, &score, entry));
    EXPECT_EQ(std::pair(std::string(entry), score), std::pair(std::string("Zed"), 500u));
}

} // namespace
