// Where the player's files and settings live: one rule for every base folder (an absolute XDG variable,
// else $HOME, else the password database), and folders made for the player open to the player only.
#include "support/test_files.h"
#include "win32/program_folders.h"
#include "win32/winreg.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

} // namespace

// A session without HOME (a service, `env -i`) still has a home in the password database; the game must
// start there as the registry already did.
TEST(ProgramFolders, WithoutHomeThePlayersFolderComesFromThePasswordDatabase) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const std::string home = user->pw_dir;
    unsetenv("HOME");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::UserDataFolder("zonkel"), home + "/.local/share/zonkel");
    setenv("HOME", "relative/home", 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(platform::UserDataFolder("zonkel"), home + "/.local/share/zonkel")
        << "relative paths are ignored";
    setenv("HOME", "/srv/player", 1);
    EXPECT_EQ(platform::UserDataFolder("zonkel"), "/srv/player/.local/share/zonkel");
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(platform::UserDataFolder("quarvel"), "/srv/data/quarvel");
}

// A user with no home anywhere (no HOME, no entry in the password database) gets neither a player's
// folder nor settings, rather than files in the working folder or in a folder every user can write.
TEST(ProgramFolders, WithoutAnyHomeNothingIsWrittenAnywhere) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can become a user the password database does not know";
    }
    testing_support::TemporaryFolder work;
    ASSERT_EQ(chmod(work.Path().c_str(), 0777), 0);
    const pid_t child = fork();
    if (child == 0) {
        uid_t unknown = 4000000;
        while (getpwuid(unknown)) {
            ++unknown;
        }
        if (chdir(work.Path().c_str()) != 0 || setgid(unknown) != 0 || setuid(unknown) != 0) {
            _exit(64);
        }
        for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            unsetenv(variable);
        }
        platform::ProgramFolders folders;
        folders.userName = "zonkel";
        std::string error;
        const bool entered = platform::EnterProgramFolders(folders, &error);
        HKEY key = nullptr;
        const LSTATUS created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TolvexGroup\\Quarvel", 0,
                                                nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        const BYTE value[1] = {1};
        const LSTATUS set = RegSetValueExA(HKEY_CURRENT_USER, "top", 0, REG_BINARY, value, 1);
        _exit((platform::UserDataFolder("zonkel").empty() ? 0 : 1) | (entered ? 2 : 0) |
              (error.find("password database") != std::string::npos ? 0 : 4) |
              (created != ERROR_SUCCESS ? 0 : 8) | (set != ERROR_SUCCESS ? 0 : 16));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: a folder for the player's files, 2: a folder entered, 4: no reason "
           "given, 8: a settings key made, 16: a setting written";
    EXPECT_EQ(testing_support::FolderNames(work.Path()), std::vector<std::string>());
}

// Every folder the program creates for the player's files and settings is 0700, the player's folder's
// parents included; folders that exist keep their mode. Settings follow the same rule for their place.
TEST(ProgramFolders, FoldersMadeForThePlayerAreOpenToThePlayerOnly) {
    testing_support::TemporaryFolder home;
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    umask(022);
    ASSERT_EQ(mkdir((home / ".config").c_str(), 0750), 0);

    platform::ProgramFolders folders;
    folders.dataName = "no-such-data";
    folders.userName = "zonkel";
    std::string error;
    ASSERT_TRUE(platform::EnterProgramFolders(folders, &error)) << error;
    EXPECT_EQ(fs::current_path(), home / ".local/share/zonkel");

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TolvexGroup\\Quarvel", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const BYTE value[2] = {1, 2};
    EXPECT_EQ(RegSetValueExA(key, "dsx13", 0, REG_BINARY, value, 2), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "top", 0, REG_BINARY, value, 2), ERROR_SUCCESS);
    const fs::path settings =
        home / ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software/TolvexGroup/Quarvel";
    EXPECT_TRUE(fs::exists(settings / "@dsx13"));
    EXPECT_TRUE(fs::exists(home / ".config/zonkel/registry/HKEY_CURRENT_USER/@top"));

    EXPECT_EQ(ModeOf(home / ".config"), 0750u) << "an existing folder keeps its mode";

    // A file where a folder should be is named as such.
    testing_support::WriteFile(home / "file", {1});
    setenv("XDG_DATA_HOME", (home / "file").c_str(), 1);
    EXPECT_FALSE(platform::EnterProgramFolders(folders, &error));
    EXPECT_EQ(error, "cannot create " + (home / "file/zonkel").string() + ": Not a directory");
    for (const char* made :
         {".local", ".local/share", ".local/share/zonkel", ".config/zonkel", ".config/zonkel/registry",
          ".config/zonkel/registry/HKEY_CURRENT_USER", ".config/zonkel/registry/HKEY_LOCAL_MACHINE",
          ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software",
          ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software/TolvexGroup",
          ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software/TolvexGroup/Quarvel"}) {
        EXPECT_EQ(ModeOf(home / made), 0700u) << made;
    }
}
