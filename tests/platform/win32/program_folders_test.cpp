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
    const fs::path settings =
        home / ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software/TolvexGroup/Quarvel";
    EXPECT_TRUE(fs::exists(settings / "@dsx13"));

    EXPECT_EQ(ModeOf(home / ".config"), 0750u) << "an existing folder keeps its mode";
    for (const char* made :
         {".local", ".local/share", ".local/share/zonkel", ".config/zonkel", ".config/zonkel/registry",
          ".config/zonkel/registry/HKEY_LOCAL_MACHINE", ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software",
          ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software/TolvexGroup",
          ".config/zonkel/registry/HKEY_LOCAL_MACHINE/Software/TolvexGroup/Quarvel"}) {
        EXPECT_EQ(ModeOf(home / made), 0700u) << made;
    }
}
