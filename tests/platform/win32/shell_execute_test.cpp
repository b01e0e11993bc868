// ShellExecuteA: the headless backend records the file's absolute path (backslashes of the program's
// relative path turned into folders, found in the working or the data folder) and starts nothing; on a
// desktop the opener gets that path without the caller waiting for it, and an opener that cannot be
// started makes the call fail with a reason.
#include "support/test_files.h"
#include "win32/file_access.h"
#include "win32/shellapi.h"
#include "win32/window_system.h"
#include "win32/winuser.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

namespace {

intptr_t Open(const char* operation, const char* file) {
    return reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, operation, file, nullptr, nullptr, SW_SHOW));
}

// Waits up to ten seconds for a file that another process writes.
bool AppearsSoon(const std::filesystem::path& path) {
    for (int i = 0; i < 200 && !std::filesystem::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::filesystem::exists(path);
}

// A desktop without windows: only the opening of files matters here.
class DesktopBackend : public platform::WindowBackend {
public:
    RECT FrameInsets(const platform::WindowRecord&) override { return {}; }
    void CreateNativeWindow(platform::WindowRecord&) override {}
    void DestroyNativeWindow(platform::WindowRecord&) override {}
    void ShowNativeWindow(platform::WindowRecord&, int) override {}
    void MoveNativeWindow(platform::WindowRecord&) override {}
    void MenuCheckChanged(platform::WindowRecord&, UINT, bool) override {}
    void ControlTextChanged(platform::WindowRecord&) override {}
    void PumpEvents() override {}
    void Present(platform::WindowRecord&, bool) override {}
    void RunModalDialog(platform::WindowRecord&) override {}
    int RunMessageBox(const platform::MessageBoxRequest&) override { return IDOK; }
    std::optional<std::string> RunOpenFileDialog(const platform::OpenFileRequest&) override { return {}; }
    bool OpensDesktopFiles() override { return true; }
};

TEST(ShellExecute, OpenRecordsTheAbsolutePathAndMissingFilesOrOtherOperationsFail) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "Grafik" / "introduction.html", {'<', 'p', '>'});
    testing_support::WorkingDirectory inside(folder.Path());
    platform::ClearShellTrace();
    EXPECT_GT(Open("open", "Grafik\\introduction.html"), 32);
    std::vector<std::string> trace = platform::ShellTrace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(std::filesystem::path(trace[0]),
              std::filesystem::canonical(folder / "Grafik" / "introduction.html"));

    // The installed game runs in the player's folder: the page is found in its shipped data.
    testing_support::TemporaryFolder shipped;
    testing_support::WriteFile(shipped / "Grafik" / "introduction.html", {'<', 'p', '>'});
    std::filesystem::remove_all(folder / "Grafik");
    platform::SetDataFolder(shipped.Path().string());
    EXPECT_GT(Open("open", "Grafik\\introduction.html"), 32);
    EXPECT_EQ(std::filesystem::path(platform::ShellTrace().back()),
              std::filesystem::canonical(shipped / "Grafik" / "introduction.html"));

    // No verb is the default verb, "open"; a file relative to the given folder is found there.
    testing_support::WriteFile(folder / "Help" / "page.html", {'x'});
    EXPECT_GT(Open(nullptr, "Grafik\\introduction.html"), 32);
    EXPECT_GT(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", "page.html", nullptr, "Help", SW_SHOW)), 32);
    EXPECT_EQ(std::filesystem::path(platform::ShellTrace().back()),
              std::filesystem::canonical(folder / "Help" / "page.html"));
    ASSERT_EQ(platform::ShellTrace().size(), 4u);

    // Failures give the documented codes; a missing file is still recorded, another verb is not.
    EXPECT_EQ(Open("open", "missing.html"), 2) << "ERROR_FILE_NOT_FOUND";
    EXPECT_EQ(Open("open", "Nowhere\\missing.html"), 3) << "ERROR_PATH_NOT_FOUND";
    EXPECT_EQ(platform::ShellTrace().size(), 6u);
    EXPECT_EQ(Open("print", "Grafik\\introduction.html"), 31) << "SE_ERR_NOASSOC";
    EXPECT_EQ(Open("edit", "missing.html"), 31);
    EXPECT_EQ(Open("open", nullptr), 2);
    EXPECT_EQ(Open("open", ""), 2);
    EXPECT_EQ(platform::ShellTrace().size(), 6u);
}

TEST(ShellExecute, MissingOpenerFailsWithAReasonInsteadOfSuccessAndAStartedOneIsNotWaitedFor) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "Grafik" / "introduction.html", {'<', 'p', '>'});
    std::filesystem::create_directory(folder / "bin");
    testing_support::WorkingDirectory inside(folder.Path());
    platform::SetBackend(std::make_unique<DesktopBackend>());
    const std::string page = std::filesystem::canonical(folder / "Grafik" / "introduction.html").string();

    // No xdg-open anywhere on the search path.
    setenv("PATH", (folder / "bin").c_str(), 1);
    testing::internal::CaptureStderr();
    const intptr_t missing = Open("open", "Grafik\\introduction.html");
    const std::string reason = testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing, 31) << "SE_ERR_NOASSOC: no program to open the file";
    EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1) << reason;
    EXPECT_NE(reason.find("xdg-open"), std::string::npos) << reason;

    // An opener that records its argument, then stays until the test lets it go (ten seconds at most).
    const std::filesystem::path opened = folder / "opened";
    const std::filesystem::path release = folder / "release";
    const std::filesystem::path finished = folder / "finished";
    const std::string script = "#!/bin/sh\nPATH=/usr/bin:/bin\nprintf '%s' \"$1\" > '" + opened.string() +
                               ".part' && mv '" + opened.string() + ".part' '" + opened.string() +
                               "'\nfor i in $(seq 200); do [ -e '" + release.string() +
                               "' ] && break; sleep 0.05; done\ntouch '" + finished.string() + "'\n";
    testing_support::WriteFile(folder / "bin" / "xdg-open",
                               std::vector<uint8_t>(script.begin(), script.end()));
    std::filesystem::permissions(folder / "bin" / "xdg-open", std::filesystem::perms::owner_all);
    testing::internal::CaptureStderr();
    EXPECT_GT(Open("open", "Grafik\\introduction.html"), 32);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(std::filesystem::exists(finished)) << "the call waited for the opener to end";
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child (or zombie) of the caller is left";
    EXPECT_EQ(errno, ECHILD);
    ASSERT_TRUE(AppearsSoon(opened));
    const std::vector<uint8_t> argument = testing_support::ReadFile(opened);
    EXPECT_EQ(std::string(argument.begin(), argument.end()), page);
    testing_support::WriteFile(release, {});
    EXPECT_TRUE(AppearsSoon(finished));
}

} // namespace
