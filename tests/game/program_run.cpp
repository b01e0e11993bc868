// Child processes, settings and picture files for the tests that run the real program.
#include "program_run.h"

#include "board.h"
#include "game_window.h"
#include "program_state.h"

#include "win32/headless.h"
#include "win32/window_system.h"
#include "win32/winreg.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

// The engine's frame-rate font lives until the process ends, also when the game runs inside a test; a
// sanitizer build's leak checker reads this list.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:GFXMain::SetupEngine\n";
}

namespace game_testing {

namespace {

// The headless backend, with an eye on the frames it presents and the dialogs it runs.
class ObservedBackend : public platform::WindowBackend {
public:
    using FrameObserver = std::function<void(const platform::PresentedFrame&)>;
    ObservedBackend(const FrameObserver& onFrame, std::vector<std::string>* dialogs)
        : inner(platform::MakeHeadlessBackend(std::string())), onFrame(onFrame), dialogs(dialogs) {}

    RECT FrameInsets(const platform::WindowRecord& window) override { return inner->FrameInsets(window); }
    void CreateNativeWindow(platform::WindowRecord& window) override { inner->CreateNativeWindow(window); }
    void DestroyNativeWindow(platform::WindowRecord& window) override { inner->DestroyNativeWindow(window); }
    void ShowNativeWindow(platform::WindowRecord& window, int command) override {
        inner->ShowNativeWindow(window, command);
    }
    void MoveNativeWindow(platform::WindowRecord& window) override { inner->MoveNativeWindow(window); }
    void MenuCheckChanged(platform::WindowRecord& window, UINT id, bool checked) override {
        inner->MenuCheckChanged(window, id, checked);
    }
    void ControlTextChanged(platform::WindowRecord& control) override { inner->ControlTextChanged(control); }
    void PumpEvents() override { inner->PumpEvents(); }
    void Present(platform::WindowRecord& window, bool newPicture) override {
        inner->Present(window, newPicture);
        onFrame(window.lastFrame);
    }
    void RunModalDialog(platform::WindowRecord& dialog) override {
        dialogs->push_back(dialog.title);
        inner->RunModalDialog(dialog);
    }
    int RunMessageBox(const platform::MessageBoxRequest& request) override {
        dialogs->push_back(request.caption);
        return inner->RunMessageBox(request);
    }
    std::optional<std::string> RunOpenFileDialog(const platform::OpenFileRequest& request) override {
        std::string seen = request.title + (request.owner == MainWindow ? " over the game" : " alone");
        for (const platform::FileFilter& filter : request.filters) {
            seen += ", " + filter.description + ":";
            for (const std::string& pattern : filter.patterns) {
                seen += " " + pattern;
            }
        }
        dialogs->push_back(seen);
        return inner->RunOpenFileDialog(request);
    }
    bool OpensDesktopFiles() override { return inner->OpensDesktopFiles(); }

private:
    std::unique_ptr<platform::WindowBackend> inner;
    FrameObserver onFrame;
    std::vector<std::string>* dialogs;
};

} // namespace

Picture ReadDds(const fs::path& path) {
    const std::vector<uint8_t> bytes = testing_support::ReadFile(path);
    Picture picture;
    if (bytes.size() < 128 || std::memcmp(bytes.data(), "DDS ", 4) != 0) {
        return picture;
    }
    uint32_t height = 0;
    uint32_t width = 0;
    std::memcpy(&height, bytes.data() + 12, 4);
    std::memcpy(&width, bytes.data() + 16, 4);
    const size_t count = size_t(width) * height;
    if (bytes.size() >= 128 + count * 4) {
        picture.width = int(width);
        picture.height = int(height);
        picture.pixels.resize(count);
        std::memcpy(picture.pixels.data(), bytes.data() + 128, count * 4);
    }
    return picture;
}

int ColourDistance(uint32_t a, uint32_t b) {
    int distance = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        distance = std::max(distance, std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff)));
    }
    return distance;
}

GameFolder::GameFolder(bool withData) : work(dataHome / "zonkel") {
    fs::create_directory(work);
    for (const auto& entry : fs::directory_iterator(ZONKEL_RUN_DIR)) {
        const std::string name = entry.path().filename().string();
        if (withData && name != "zonkel" && name != "velkora-feature-tour" && entry.path().extension() != ".roh") {
            fs::copy(entry.path(), work / name, fs::copy_options::recursive);
        }
    }
    // Alone in its folder the program finds no data or old tables beside it: it reads what is here.
    fs::copy_file(fs::path(ZONKEL_RUN_DIR) / "zonkel", programFolder / "zonkel");
}

int GameFolder::Start(const Environment& environment, const fs::path& errorFile,
                      const fs::path& program) const {
    // The engine's frame-rate font and the desktop libraries' caches live until the process ends,
    // which a sanitizer build's leak checker would report at exit.
    const fs::path suppressions = work / "leak_suppressions.txt";
    std::ofstream out(suppressions);
    for (const char* owner : {"GFXMain::SetupEngine", "libfontconfig.so", "libdbus-1.so", "libglib-2.0.so",
                              "libgobject-2.0.so", "libgio-2.0.so", "libgtk-3.so", "libgdk-3.so", "libpango",
                              "libcairo", "libatk", "libharfbuzz", "libX11.so", "libSDL2"}) {
        out << "leak:" << owner << "\n";
    }
    out.close();
    const fs::path file = program.empty() ? programFolder / "zonkel" : program;
    const pid_t child = fork();
    if (child == 0) {
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (error >= 0) {
            dup2(error, STDERR_FILENO);
        }
        if (chdir(programFolder.Path().c_str()) != 0) {
            _exit(126);
        }
        setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        setenv("XDG_DATA_HOME", dataHome.Path().c_str(), 1);
        setenv("LSAN_OPTIONS", ("suppressions=" + suppressions.string() + ":print_suppressions=0").c_str(),
               1);
        for (const auto& [name, value] : environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        execl(file.c_str(), file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

GameRun GameFolder::RunHeadless(const std::string& script, const Environment& extra, const fs::path& program,
                                int seconds) const {
    const fs::path frames = work / "frames";
    fs::remove_all(frames);
    fs::create_directory(frames);
    std::ofstream(work / "game.script") << script;
    Environment environment = {{"VELKORA_HEADLESS", "1"},
                               {"VELKORA_SCRIPT", (work / "game.script").string()},
                               {"VELKORA_FRAMES", frames.string()},
                               {"VELKORA_FRAME_TIME", "20"}};
    environment.insert(environment.end(), extra.begin(), extra.end());
    GameRun run;
    run.exitCode = WaitForProgram(Start(environment, work / "stderr.txt", program), seconds);
    const std::vector<uint8_t> error = testing_support::ReadFile(work / "stderr.txt");
    run.errorOutput.assign(error.begin(), error.end());
    for (const auto& entry : fs::directory_iterator(frames)) {
        run.frames.push_back(entry.path());
    }
    std::sort(run.frames.begin(), run.frames.end());
    return run;
}

int GameFolder::RunInProcess(const std::string& script,
                             const std::function<void(const platform::PresentedFrame&)>& onFrame,
                             std::vector<std::string>* dialogs) const {
    std::vector<platform::ScriptCommand> commands;
    std::string error;
    EXPECT_TRUE(platform::ParseScript(script, &commands, &error)) << error;
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", dataHome.Path().c_str(), 1);
    const testing_support::WorkingDirectory inFolder(work);
    platform::SetBackend(std::make_unique<ObservedBackend>(onFrame, dialogs));
    platform::StepClockWithFrames(20);
    platform::RunHeadlessScript(std::move(commands));
    static int instanceAnchor = 0;
    return WinMain(reinterpret_cast<HINSTANCE>(&instanceAnchor), nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

HKEY OpenSettingsKey(const fs::path& config, DWORD* disposition) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TolvexGroup\\Quarvel", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, disposition),
              ERROR_SUCCESS);
    return key;
}

} // namespace

void GameFolder::StoreSetting(const char* name, std::vector<uint8_t> bytes) const {
    DWORD disposition = 0;
    HKEY key = OpenSettingsKey(config.Path(), &disposition);
    EXPECT_EQ(RegSetValueExA(key, name, 0, REG_BINARY, bytes.data(), DWORD(bytes.size())), ERROR_SUCCESS);
    RegCloseKey(key);
}

fs::path GameFolder::BlockSettings() const {
    const fs::path blocker = config / "zonkel";
    testing_support::WriteFile(blocker, {'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'l', 'd', 'e', 'r'});
    return blocker;
}

std::vector<uint8_t> GameFolder::Setting(const char* name) const {
    DWORD disposition = 0;
    HKEY key = OpenSettingsKey(config.Path(), &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    std::vector<uint8_t> bytes(512);
    DWORD size = static_cast<DWORD>(bytes.size());
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, bytes.data(), &size), ERROR_SUCCESS) << name;
    RegCloseKey(key);
    bytes.resize(size);
    return bytes;
}

std::vector<std::pair<int, int>> RandomPlay(bool emptyAtEnd) {
    int32_t board[BOARD_COLUMNS][BOARD_ROWS];
    std::memcpy(board, Board, sizeof(Board));
    const uint32_t score = Score;
    std::mt19937 random(99);
    std::vector<std::pair<int, int>> moves;
    for (int attempt = 0; attempt < 3000; ++attempt) {
        std::memcpy(Board, board, sizeof(Board));
        moves.clear();
        for (;;) {
            std::vector<std::pair<int, int>> groups;
            for (int x = 0; x < BOARD_COLUMNS; ++x) {
                for (int y = 0; y < BOARD_ROWS; ++y) {
                    const bool below = y + 1 < BOARD_ROWS && Board[x][y + 1] == Board[x][y];
                    const bool right = x + 1 < BOARD_COLUMNS && Board[x + 1][y] == Board[x][y];
                    if (Board[x][y] != EMPTY_CELL && (below || right)) {
                        groups.emplace_back(x, y);
                    }
                }
            }
            if (groups.empty()) {
                break;
            }
            moves.push_back(groups[random() % groups.size()]);
            RemoveStones(moves.back().first, moves.back().second);
        }
        if ((zonkel::CountStones() == 0) == emptyAtEnd) {
            break;
        }
        moves.clear();
    }
    std::memcpy(Board, board, sizeof(Board));
    Score = score;
    return moves;
}

std::string ClickOn(std::pair<int, int> cell) {
    return std::to_string(39 + 48 * cell.first) + " " + std::to_string(39 + 48 * cell.second);
}

namespace {

std::time_t scriptDealTime = 0;

} // namespace

std::string GameOverScript(std::time_t dealTime, const std::string& name, uint32_t* score) {
    scriptDealTime = dealTime;
    zonkel::SetDealClockForTesting([] { return scriptDealTime; });
    PlayMode = 0;
    Difficulty = 1;
    Score = 0;
    CreateBoard();
    std::string script;
    for (const auto& cell : RandomPlay(false)) {
        RemoveStones(cell.first, cell.second);
        script += "click " + ClickOn(cell) + "\nwait 2\n";
    }
    *score = Score;
    // The click on the game-over picture opens the name entry, then the table shows.
    script += "dialog ok " + name + "\nclick 400 300\nwait 2\n";
    zonkel::SetDealClockForTesting(nullptr);
    Score = 0;
    Quota = 20;
    return script;
}

int WaitForProgram(int processId, int seconds) {
    for (int i = 0; processId > 0 && i < seconds * 20; ++i) {
        int status = 0;
        if (waitpid(processId, &status, WNOHANG) == processId) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (processId > 0) {
        kill(processId, SIGKILL);
        waitpid(processId, nullptr, 0);
    }
    return -1;
}

} // namespace game_testing
