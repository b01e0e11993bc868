// The real program on the GTK desktop backend under a virtual X server: it starts, takes a click on a
// group, opens and closes the Credits dialog from its menu, and ends with exit code 0 when its window is
// closed the way a window manager closes it. The test runs itself again inside xvfb-run.
#include "program_run.h"

#include "board.h"
#include "support/test_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
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

bool HaveCommand(const char* name) {
    return !Shell(std::string("command -v ") + name + " 2>/dev/null").empty();
}

// Polls `command` until it prints something; the first line, or empty after `attempts` tries.
std::string WaitForOutput(const std::string& command, int attempts = 200) {
    for (int i = 0; i < attempts; ++i) {
        std::string output = Shell(command);
        if (!output.empty()) {
            return output.substr(0, output.find('\n'));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::string();
}

bool WaitUntilGone(const std::string& command, int attempts = 200) {
    for (int i = 0; i < attempts; ++i) {
        if (Shell(command).empty()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Asks a window to close as a window manager does: the WM_DELETE_WINDOW protocol message. Xlib is
// opened at run time so that the test program needs no X library at link time.
bool SendCloseRequest(unsigned long window) {
    void* xlib = dlopen("libX11.so.6", RTLD_NOW);
    if (!xlib) {
        return false;
    }
    using OpenDisplay = void* (*)(const char*);
    using InternAtom = unsigned long (*)(void*, const char*, int);
    using SendEvent = int (*)(void*, unsigned long, int, long, void*);
    using Flush = int (*)(void*);
    using CloseDisplay = int (*)(void*);
    auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(xlib, "XOpenDisplay"));
    auto internAtom = reinterpret_cast<InternAtom>(dlsym(xlib, "XInternAtom"));
    auto sendEvent = reinterpret_cast<SendEvent>(dlsym(xlib, "XSendEvent"));
    auto flush = reinterpret_cast<Flush>(dlsym(xlib, "XFlush"));
    auto closeDisplay = reinterpret_cast<CloseDisplay>(dlsym(xlib, "XCloseDisplay"));
    void* display =
        openDisplay && internAtom && sendEvent && flush && closeDisplay ? openDisplay(nullptr) : nullptr;
    if (!display) {
        dlclose(xlib);
        return false;
    }
    // The client-message event as Xlib lays it out on 64-bit systems, inside the 24-long event union.
    struct ClientMessage {
        int type;
        unsigned long serial;
        int sendEvent;
        void* display;
        unsigned long window;
        unsigned long messageType;
        int format;
        long data[5];
    };
    union {
        ClientMessage message;
        long pad[24];
    } event = {};
    constexpr int CLIENT_MESSAGE = 33;
    event.message.type = CLIENT_MESSAGE;
    event.message.display = display;
    event.message.window = window;
    event.message.messageType = internAtom(display, "WM_PROTOCOLS", 0);
    event.message.format = 32;
    event.message.data[0] = static_cast<long>(internAtom(display, "WM_DELETE_WINDOW", 0));
    const bool sent = sendEvent(display, window, 0, 0, &event) != 0;
    flush(display);
    closeDisplay(display);
    dlclose(xlib);
    return sent;
}

// The board the program deals with DEAL_TIME at its first start (medium difficulty), and the centre of
// one of its cells that belongs to a group.
std::pair<int, int> GroupCellOfFirstBoard() {
    static std::time_t seconds = DEAL_TIME;
    zonkel::SetDealClockForTesting([] { return seconds; });
    Difficulty = 1;
    CreateBoard();
    zonkel::SetDealClockForTesting(nullptr);
    for (int x = 0; x < BOARD_COLUMNS; ++x) {
        for (int y = 0; y + 1 < BOARD_ROWS; ++y) {
            if (Board[x][y] == Board[x][y + 1]) {
                return {x, y};
            }
        }
    }
    return {0, 0};
}

TEST(DesktopWindow, StartClickCreditsAndCloseUnderXvfb) {
    if (!std::getenv(INSIDE_VARIABLE)) {
        if (!HaveCommand("xvfb-run") || !HaveCommand("xdotool")) {
            GTEST_SKIP() << "xvfb-run and xdotool are needed (scripts/deps installs them)";
        }
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        const std::string command = std::string(INSIDE_VARIABLE) +
                                    "=1 xvfb-run -a -s '-screen 0 1024x768x24' '" + self +
                                    "' --gtest_filter=DesktopWindow.StartClickCreditsAndCloseUnderXvfb 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[512];
        while (fgets(buffer, sizeof(buffer), pipe)) {
            output += buffer;
        }
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
        return;
    }

    testing_support::TemporaryFolder work;
    testing_support::TemporaryFolder config;
    game_testing::CopyRunFolder(work.Path());
    const auto [column, row] = GroupCellOfFirstBoard();
    const fs::path errors = work / "stderr.txt";
    const int program = game_testing::StartProgram(fs::path(ZONKEL_RUN_DIR) / "zonkel", work.Path(),
                                                   {{"XDG_CONFIG_HOME", config.Path().string()},
                                                    {"ZONKEL_DEAL_TIME", std::to_string(DEAL_TIME)},
                                                    {"VELKORA_HEADLESS", ""}},
                                                   errors);
    ASSERT_GT(program, 0);

    const std::string window =
        WaitForOutput("xdotool search --onlyvisible --name \"Tolvex's Quarvel 1.00\" 2>/dev/null");
    if (window.empty()) {
        kill(program, SIGTERM);
        game_testing::WaitForProgram(program);
        FAIL() << "the game window did not appear";
    }

    // A click into the client area, on a stone that has an equal neighbour below it. The menu bar lies
    // above the client area; a cell is large enough to absorb its height estimate.
    const int menuBar = 24;
    const fs::path before = work / "before.png";
    Shell("import -window " + window + " " + before.string());
    Shell("xdotool mousemove --window " + window + " " + std::to_string(15 + 48 * column + 24) + " " +
          std::to_string(menuBar + 15 + 48 * row + 24) + " click 1");

    // The clicked column changes once the group is gone and the stones above it fall.
    game_testing::Picture first;
    ASSERT_TRUE(game_testing::ReadPng(before, &first));
    bool changed = false;
    for (int attempt = 0; attempt < 100 && !changed; ++attempt) {
        const fs::path after = work / "after.png";
        Shell("import -window " + window + " " + after.string());
        game_testing::Picture second;
        if (game_testing::ReadPng(after, &second) && second.width == first.width &&
            second.height == first.height) {
            int differing = 0;
            const int left = 15 + 48 * column;
            for (int y = menuBar + 15; y < std::min(first.height, menuBar + 15 + 48 * BOARD_ROWS); ++y) {
                for (int x = left; x < left + 48 && x < first.width; ++x) {
                    differing += game_testing::ColourDistance(first.At(x, y), second.At(x, y)) > 40;
                }
            }
            changed = differing > 200;
        }
        if (!changed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_TRUE(changed) << "the click on the group at " << column << "," << row << " changed nothing";

    // The Credits dialog through the keyboard: F10 opens the first menu, Up wraps to its last item.
    Shell("xdotool windowfocus --sync " + window + " key F10");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shell("xdotool key Up Return");
    const std::string credits = WaitForOutput("xdotool search --onlyvisible --name '^Credits$' 2>/dev/null");
    EXPECT_FALSE(credits.empty()) << "the Credits dialog did not open";
    if (!credits.empty()) {
        Shell("xdotool windowfocus --sync " + credits + " key Return");
        EXPECT_TRUE(WaitUntilGone("xdotool search --onlyvisible --name '^Credits$' 2>/dev/null"))
            << "the Credits dialog did not close";
    }

    ASSERT_TRUE(SendCloseRequest(std::stoul(window)));
    int exitCode = -1;
    for (int i = 0; i < 400 && exitCode < 0; ++i) {
        int status = 0;
        if (waitpid(program, &status, WNOHANG) == program) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (exitCode < 0) {
        kill(program, SIGTERM);
        game_testing::WaitForProgram(program);
    }
    const std::vector<uint8_t> errorBytes = testing_support::ReadFile(errors);
    EXPECT_EQ(exitCode, 0) << std::string(errorBytes.begin(), errorBytes.end());
}

} // namespace
