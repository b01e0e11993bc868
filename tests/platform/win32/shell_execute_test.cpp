// ShellExecuteA on the headless backend: the call is recorded with the file's absolute path (backslashes
// of the program's relative path turned into folders) and nothing is started; a missing file and other
// operations fail.
#include "support/test_files.h"
#include "win32/shellapi.h"
#include "win32/winuser.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(ShellExecute, OpenRecordsTheAbsolutePathAndMissingFilesOrOtherOperationsFail) {
    testing_support::TemporaryFolder folder;
    testing_support::WriteFile(folder / "Grafik" / "introduction.html", {'<', 'p', '>'});
    testing_support::WorkingDirectory inside(folder.Path());
    auto run = [](const char* operation, const char* file) {
        return reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, operation, file, nullptr, nullptr, SW_SHOW));
    };
    platform::ClearShellTrace();
    EXPECT_GT(run("open", "Grafik\\introduction.html"), 32);
    std::vector<std::string> trace = platform::ShellTrace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(std::filesystem::path(trace[0]),
              std::filesystem::canonical(folder / "Grafik" / "introduction.html"));

    EXPECT_EQ(run("open", "missing.html"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::ShellTrace().size(), 2u) << "still recorded";
    EXPECT_LE(run("print", "missing.html"), 32);
    EXPECT_LE(run("open", nullptr), 32);
}
