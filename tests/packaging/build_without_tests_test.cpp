// A packager's build: configured with BUILD_TESTING=OFF it looks for neither GoogleTest nor Google
// Benchmark, has no test, benchmark or fuzz target, builds the programs and libraries in release mode
// without a single compiler warning, and installs them under the names the README gives.
#include "support/command_run.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

bool Succeeded(const testing_support::CommandRun& run) {
    return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
}

std::string ReadText(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// The names of the build's targets, from Ninja's list ("name: rule" per line, sub-folders' targets
// with their folder in front).
std::set<std::string> TargetNames(const std::string& list) {
    std::set<std::string> names;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) {
            const std::string target = line.substr(0, colon);
            names.insert(target.substr(target.find_last_of('/') + 1));
        }
    }
    return names;
}

} // namespace

TEST(Packaging, BuildWithoutTestsSearchesNoTestLibraryAndInstallsTheProgramsAloneWithoutWarnings) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the packager's build does not depend on this build's flags: the optimised suite runs it";
#endif
    // Kept beside this build so that a later run compiles only what changed; every run configures it
    // anew from an empty cache.
    const fs::path build = fs::path(ZONKEL_BINARY_DIR) / "packaging";
    fs::create_directories(build);
    fs::remove(build / "CMakeCache.txt");
    const std::string cmake = std::string("'") + ZONKEL_CMAKE_COMMAND + "'";
    // A search for either library would fail the configure: the packager's system need not have them.
    const auto configure = testing_support::RunCommand(
        cmake + " -S '" + ZONKEL_SOURCE_DIR + "' -B '" + build.string() + "' -G Ninja -DCMAKE_C_COMPILER='" +
        ZONKEL_C_COMPILER + "' -DCMAKE_CXX_COMPILER='" + ZONKEL_CXX_COMPILER +
        "' -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZONKEL_WERROR=ON"
        " -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON 2>&1");
    ASSERT_TRUE(Succeeded(configure)) << configure.output;
    const std::string cache = ReadText(build / "CMakeCache.txt");
    for (const char* entry : {"GTest_DIR", "GTEST_", "benchmark_DIR"}) {
        EXPECT_EQ(cache.find(entry), std::string::npos) << entry;
    }
    EXPECT_FALSE(fs::exists(build / "CTestTestfile.cmake")) << "tests are registered";

    const auto list = testing_support::RunCommand(cmake + " --build '" + build.string() + "' --target help");
    const std::set<std::string> targets = TargetNames(list.output);
    for (const char* program : {"zonkel", "feature_tour", "velkora", "platform", "assetgen"}) {
        EXPECT_EQ(targets.count(program), 1u) << program << " is missing:\n" << list.output;
    }
    for (const std::string& target : targets) {
        const bool test = target.rfind("test_", 0) == 0 || target.rfind("bench_", 0) == 0 ||
                          target.find("fuzz") != std::string::npos || target == "testsupport";
        EXPECT_FALSE(test) << target;
    }

    // Warnings are errors here, so the build fails on the first one and shows it.
    const auto made = testing_support::RunCommand(cmake + " --build '" + build.string() + "' -j 4 2>&1");
    ASSERT_TRUE(Succeeded(made)) << made.output;
    EXPECT_EQ(made.output.find("warning:"), std::string::npos) << made.output;

    testing_support::TemporaryFolder prefix;
    const auto installed = testing_support::RunCommand(cmake + " --install '" + build.string() +
                                                       "' --prefix '" + prefix.Path().string() + "' 2>&1");
    ASSERT_TRUE(Succeeded(installed)) << installed.output;
    std::set<std::string> programs;
    for (const auto& entry : fs::directory_iterator(prefix / "bin")) {
        programs.insert(entry.path().filename().string());
    }
    EXPECT_EQ(programs, (std::set<std::string>{"velkora-feature-tour", "zonkel"}));
    for (const char* file : {"lib/zonkel/libvelkora.so", "lib/zonkel/libplatform.so",
                             "share/zonkel/Grafik/introduction.html", "share/applications/zonkel.desktop"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
    }
    // The installed tour finds its libraries: headless with no script it runs and ends of itself.
    const auto tour =
        testing_support::RunCommand("cd '" + prefix.Path().string() + "' && XDG_DATA_HOME='" +
                                    prefix.Path().string() + "' XDG_CONFIG_HOME='" + prefix.Path().string() +
                                    "' VELKORA_HEADLESS=1 bin/velkora-feature-tour 2>&1");
    EXPECT_TRUE(Succeeded(tour)) << tour.output;
}
