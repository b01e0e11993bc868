// fuzz_seeds FOLDER: writes seed inputs for the readers whose files the asset generator does not make:
// highscore tables, registry value files, headless scripts and a terrain map file, one folder per fuzz
// target.
#include "highscore_list.h"
#include "terrain_engine.h"

#include "terrain/terrain_manager.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

std::string ReadAll(const std::filesystem::path& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return bytes;
    }
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    std::fclose(file);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];

    // A new table with its default entries, and one with a player's score inserted.
    const std::filesystem::path tables = folder / "highscore_file_fuzz";
    std::filesystem::create_directories(tables);
    {
        HighscoreList table;
        table.Load((tables / "new.roh").c_str(), 10);
        HighscoreList played;
        played.Load((tables / "played.roh").c_str(), 10);
        played.InsertScore("Anna", 250);
    }
    Write(tables / "short.roh", ReadAll(tables / "played.roh").substr(0, 300));

    const std::filesystem::path values = folder / "registry_value_fuzz";
    Write(values / "play_mode.value",
          std::string("\x03\x00\x00\x00\x08\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00", 16));
    Write(values / "path.value", std::string("Grafik\\bk.jpg") + std::string(248, '\0'));

    const std::filesystem::path scripts = folder / "headless_script_fuzz";
    Write(scripts / "play.txt",
          "# a short game\nwait 2\nclick 100 100\nrclick 5 5\nmove 1 2\nmenu 32780\n"
          "dialog ok Anna Lee\ndialog cancel\nfile Grafik\\bk.jpg\nfile\nresize 640 480\n"
          "wait 3\nclose\n");

    // The terrain of the generated maps, saved as a map file (the engine changes the working folder).
    const std::filesystem::path maps = std::filesystem::absolute(folder / "map_file_fuzz");
    std::filesystem::create_directories(maps);
    TerrainManager* terrain = fuzzing::TerrainOnOffscreenEngine(ZONKEL_FUZZ_RUN_DIR);
    if (terrain == nullptr || !terrain->CreateTerrain()) {
        std::fprintf(stderr, "fuzz_seeds: cannot build the terrain for the map seed\n");
        return 1;
    }
    std::vector<unsigned char> image(8 << 20);
    unsigned char* buffer = image.data();
    unsigned long size = 0;
    if (!terrain->GetSaveMap(&buffer, &size) || size > image.size()) {
        std::fprintf(stderr, "fuzz_seeds: cannot save the terrain's map\n");
        return 1;
    }
    Write(maps / "map1.cap", std::string(reinterpret_cast<const char*>(buffer), size));
    return 0;
}
