// ShellExecuteA on the headless backend: the call is recorded with the file's absolute path (backslashes
// of the program's relative path turned into folders) and nothing is started.
#include "support/test_files.h"
#include "win32/shellapi.h"
#include "win32/winuser.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

intptr_t Result(HINSTANCE value) {
    return reinterpret_cast<intptr_t>(value);
}

} // namespace

TEST(ShellExecute, OpenRecordsTheAbsolutePathOfARelativeFile) {
    testing_support::TemporaryFolder folder;
    std::filesystem::create_directories(folder / "Grafik");
    testing_support::WriteFile(folder / "Grafik" / "introduction.html", {'<', 'p', '>'});
    testing_support::WorkingDirectory inside(folder.Path());
    platform::ClearShellTrace();
    HINSTANCE result =
        ShellExecuteA(nullptr, "open", "Grafik\\introduction.html", nullptr, nullptr, SW_SHOWMAXIMIZED);
    EXPECT_GT(Result(result), 32);
    std::vector<std::string> trace = platform::ShellTrace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(std::filesystem::path(trace[0]),
              std::filesystem::canonical(folder / "Grafik" / "introduction.html"));
}

TEST(ShellExecute, MissingFileAndOtherOperationsFail) {
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory inside(folder.Path());
    platform::ClearShellTrace();
    EXPECT_EQ(Result(ShellExecuteA(nullptr, "open", "missing.html", nullptr, nullptr, SW_SHOW)),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::ShellTrace().size(), 1u); // still recorded
    EXPECT_LE(Result(ShellExecuteA(nullptr, "print", "missing.html", nullptr, nullptr, SW_SHOW)), 32);
    EXPECT_LE(Result(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, SW_SHOW)), 32);
}
