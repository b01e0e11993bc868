// The program entry in a child process: the one-line error without display, the headless run with a
// script and a frames folder, a script with a bad line stopping the program before it starts, and
// the frame-stepped clock.
#include "window_test_program.h"

#include "support/test_files.h"
#include "win32/mmsystem.h"
#include "win32/program_entry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace window_test;

namespace {

struct ChildResult {
    int exitCode = -1;
    std::string errorOutput;
};

std::string& CommandLineSeen() {
    static std::string line;
    return line;
}

int CALLBACK TestWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (!instance) {
        return 90;
    }
    CommandLineSeen() = commandLine;
    if (CommandLineSeen() != "first \"second part\"") {
        return 91;
    }
    HWND window = CreateTestWindow();
    return window ? RunLoop(window) : 92;
}

// Presents three frames and writes the clock's reading before each on standard error.
int CALLBACK ClockWinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND window = CreateTestWindow();
    std::string readings = "clock";
    for (int frame = 0; frame < 3; ++frame) {
        readings += " " + std::to_string(timeGetTime());
        PresentTestFrame(window, 0xff000000u);
    }
    std::fprintf(stderr, "%s\n", readings.c_str());
    return 0;
}

// Runs RunWinMain in a child with the given environment changes; collects its exit code and stderr.
ChildResult RunChild(const std::vector<std::pair<const char*, const char*>>& environment,
                     int (*winMain)(HINSTANCE, HINSTANCE, LPSTR, int) = TestWinMain) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], 2);
        for (const auto& [name, value] : environment) {
            if (value) {
                setenv(name, value, 1);
            } else {
                unsetenv(name);
            }
        }
        char program[] = "/usr/bin/zonkel";
        char first[] = "first";
        char second[] = "second part";
        char* argv[] = {program, first, second, nullptr};
        _exit(platform::RunWinMain(3, argv, winMain));
    }
    close(pipeEnds[1]);
    ChildResult result;
    char buffer[512];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof(buffer))) > 0) {
        result.errorOutput.append(buffer, static_cast<size_t>(count));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

TEST(ProgramEntry, WithoutAUsableDisplayOrHeadlessPrintsOneLineAndReturnsOne) {
    struct Row {
        const char* display;
        const char* named; // what the line must name besides the way to run headless
    } rows[] = {{nullptr, "zonkel: "}, {":31999", ":31999"}};
    for (const Row& row : rows) {
        ChildResult result =
            RunChild({{"DISPLAY", row.display}, {"WAYLAND_DISPLAY", nullptr}, {"VELKORA_HEADLESS", nullptr}});
        SCOPED_TRACE(result.errorOutput);
        EXPECT_EQ(result.exitCode, 1);
        ASSERT_FALSE(result.errorOutput.empty());
        EXPECT_EQ(result.errorOutput.find('\n'), result.errorOutput.size() - 1);
        EXPECT_NE(result.errorOutput.find(row.named), std::string::npos);
        EXPECT_NE(result.errorOutput.find("VELKORA_HEADLESS=1"), std::string::npos);
    }
}

TEST(ProgramEntry, HeadlessRunFollowsTheScriptAndReturnsTheQuitCodeAndABadScriptStopsItBeforeItStarts) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "script.txt", {'w', 'a', 'i', 't', ' ', '3', '\n'});
    std::string script = (folder / "script.txt").string();
    std::string frames = (folder / "frames").string();
    ChildResult result = RunChild({{"DISPLAY", nullptr},
                                   {"VELKORA_HEADLESS", "1"},
                                   {"VELKORA_SCRIPT", script.c_str()},
                                   {"VELKORA_FRAMES", frames.c_str()}});
    EXPECT_EQ(result.exitCode, 7) << result.errorOutput;
    EXPECT_TRUE(std::filesystem::exists(folder / "frames" / "frame_000003.png"));

    testing_support::WriteFile(folder / "script.txt",
                               {'w', 'a', 'i', 't', ' ', '1', '\n', 'f', 'l', 'y', '\n'});
    result = RunChild({{"VELKORA_HEADLESS", "1"}, {"VELKORA_SCRIPT", script.c_str()}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.errorOutput.find("line 2: unknown command 'fly'"), std::string::npos)
        << result.errorOutput;
    EXPECT_EQ(result.errorOutput.find('\n'), result.errorOutput.size() - 1) << result.errorOutput;
}

TEST(ProgramEntry, FrameTimeMovesTheClockOnlyWithPresentedFramesAndABadValueStopsTheProgram) {
    ChildResult stepped = RunChild({{"VELKORA_HEADLESS", "1"}, {"VELKORA_FRAME_TIME", "40"}}, ClockWinMain);
    EXPECT_EQ(stepped.exitCode, 0);
    EXPECT_EQ(stepped.errorOutput, "clock 0 40 80\n");
    for (const char* bad : {"-40", "4O", "99999999999"}) {
        ChildResult refused =
            RunChild({{"VELKORA_HEADLESS", "1"}, {"VELKORA_FRAME_TIME", bad}}, ClockWinMain);
        EXPECT_EQ(refused.exitCode, 1) << bad;
        EXPECT_NE(refused.errorOutput.find(std::string("VELKORA_FRAME_TIME must be a whole number of "
                                                       "milliseconds: ") +
                                           bad),
                  std::string::npos)
            << refused.errorOutput;
    }
}
