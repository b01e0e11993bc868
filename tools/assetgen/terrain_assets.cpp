// The terrain's data: the 8-bit height and light maps under "Grafik\Diverses"; under
// "Grafik\Terrain" the tile pictures of every terrain type, the edge and corner transition textures
// whose alpha covers the sides named by their neighbour mask, and the eight water frames; and a saved
// map of the same terrain with tiles by height, "Map\map1.cap".
#include "asset_registry.h"
#include "image_writers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace assetgen {
namespace {

// 128 x 128 samples: a 32 x 32 patch grid, enough for the camera's view window and quick to build.
constexpr int MAP_SIZE = 128;
constexpr int TILE_SIZE = 32;
constexpr int TILE_VARIANTS = 8;
constexpr int WATER_FRAMES = 8;
constexpr float PI = 3.14159265f;

// Deterministic lattice noise in [0, 1].
float Hash(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / float(0xFFFFFF);
}

float Smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}

// Value noise with smooth interpolation, repeating every `period` lattice cells so tiles wrap.
float ValueNoise(float x, float y, int period, int seed) {
    const int x0 = static_cast<int>(std::floor(x));
    const int y0 = static_cast<int>(std::floor(y));
    const float fx = Smooth(x - x0);
    const float fy = Smooth(y - y0);
    auto at = [&](int ix, int iy) {
        return Hash(((ix % period) + period) % period, ((iy % period) + period) % period, seed);
    };
    const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
    const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
    return top + (bottom - top) * fy;
}

// Three octaves of value noise over a tile, wrapping at the tile's edges.
float TileNoise(int x, int y, int seed) {
    float sum = 0.0f;
    float weight = 0.5f;
    int cells = 4;
    for (int octave = 0; octave < 3; ++octave) {
        sum += weight *
               ValueNoise(x * cells / float(TILE_SIZE), y * cells / float(TILE_SIZE), cells, seed + octave);
        weight *= 0.5f;
        cells *= 2;
    }
    return sum / 0.875f;
}

uint32_t Rgb(float r, float g, float b) {
    auto channel = [](float v) { return static_cast<uint32_t>(std::clamp(v, 8.0f, 255.0f)); };
    return 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
}

// The height samples: rolling hills, a ridge and a shallow basin, top row first as the writer wants.
std::vector<uint8_t> PaintHeights() {
    std::vector<uint8_t> heights(size_t(MAP_SIZE) * MAP_SIZE);
    for (int row = 0; row < MAP_SIZE; ++row) {
        for (int col = 0; col < MAP_SIZE; ++col) {
            const float x = col / float(MAP_SIZE);
            const float z = row / float(MAP_SIZE);
            float h = 0.45f + 0.18f * std::sin(x * 2.0f * PI * 1.5f) * std::cos(z * 2.0f * PI);
            h += 0.25f * std::exp(-std::pow((x - 0.75f) * 6.0f, 2.0f)) * (0.6f + 0.4f * std::sin(z * 9.0f));
            h -= 0.3f * std::exp(-(std::pow((x - 0.3f) * 5.0f, 2.0f) + std::pow((z - 0.65f) * 5.0f, 2.0f)));
            h += 0.08f * (ValueNoise(x * 16.0f, z * 16.0f, 16, 7) - 0.5f);
            heights[size_t(row) * MAP_SIZE + col] = static_cast<uint8_t>(std::clamp(h, 0.0f, 1.0f) * 255.0f);
        }
    }
    return heights;
}

// The light samples: the hills shaded by a light from the upper left, 140 (shade) to 255 (lit).
std::vector<uint8_t> PaintLight(const std::vector<uint8_t>& heights) {
    std::vector<uint8_t> light(heights.size());
    auto at = [&](int col, int row) {
        col = std::clamp(col, 0, MAP_SIZE - 1);
        row = std::clamp(row, 0, MAP_SIZE - 1);
        return heights[size_t(row) * MAP_SIZE + col] * 0.025f;
    };
    for (int row = 0; row < MAP_SIZE; ++row) {
        for (int col = 0; col < MAP_SIZE; ++col) {
            const float dx = (at(col + 1, row) - at(col - 1, row)) * 0.5f;
            const float dz = (at(col, row + 1) - at(col, row - 1)) * 0.5f;
            const float lit = std::clamp(0.7f - 4.0f * dx + 4.0f * dz, 0.0f, 1.0f);
            light[size_t(row) * MAP_SIZE + col] = static_cast<uint8_t>(140.0f + 115.0f * lit);
        }
    }
    return light;
}

std::array<uint32_t, 256> GreyPalette() {
    std::array<uint32_t, 256> palette{};
    for (uint32_t i = 0; i < 256; ++i) {
        palette[i] = 0xFF000000u | i << 16 | i << 8 | i;
    }
    return palette;
}

struct TileLook {
    const char* name;
    float r, g, b; // mean colour
    float grain;   // strength of the noise
    bool cobbles;  // stone floor: darker joints between square stones
};

constexpr TileLook TILE_LOOKS[] = {
    {"schotter", 132, 122, 108, 70, false},  {"Fels", 118, 112, 106, 90, false},
    {"StoneBoden", 150, 146, 138, 40, true}, {"Grass", 70, 132, 52, 60, false},
    {"sandboden", 212, 188, 128, 36, false},
};

Image PaintTile(const TileLook& look, int variant) {
    Image image(TILE_SIZE, TILE_SIZE);
    for (int y = 0; y < TILE_SIZE; ++y) {
        for (int x = 0; x < TILE_SIZE; ++x) {
            float n = TileNoise(x, y, variant * 31 + static_cast<int>(look.r)) - 0.5f;
            float shade = 1.0f;
            if (look.cobbles && ((x + variant) % 16 < 2 || (y + 2 * variant) % 16 < 2)) {
                shade = 0.7f;
            }
            image.At(x, y) = Rgb((look.r + n * look.grain) * shade, (look.g + n * look.grain) * shade,
                                 (look.b + n * look.grain * 0.8f) * shade);
        }
    }
    return image;
}

// One water frame: blue with ripples that travel one eighth of their wave length per frame.
Image PaintWater(int frame) {
    Image image(TILE_SIZE, TILE_SIZE);
    for (int y = 0; y < TILE_SIZE; ++y) {
        for (int x = 0; x < TILE_SIZE; ++x) {
            const float phase = 2.0f * PI * frame / WATER_FRAMES;
            const float wave = std::sin(2.0f * PI * (x + y) / TILE_SIZE * 2.0f + phase) +
                               0.5f * std::sin(2.0f * PI * (x - y) / TILE_SIZE * 3.0f - phase);
            image.At(x, y) = Rgb(40 + 14 * wave, 90 + 18 * wave, 170 + 24 * wave);
        }
    }
    return image;
}

// Coverage of a transition texture at texture coordinates (u, v): full at the sides or corners that
// the mask names, fading out over 40 percent of the tile with a ragged border. Edge bits: 1 = u 0,
// 2 = v 0, 4 = u 1, 8 = v 1. Corner bits: 1 = (0, 0), 2 = (1, 0), 4 = (1, 1), 8 = (0, 1).
float Coverage(int mask, bool corner, float u, float v, float ragged) {
    float distance = 2.0f;
    if (!corner) {
        const float sides[4] = {u, v, 1.0f - u, 1.0f - v};
        for (int bit = 0; bit < 4; ++bit) {
            if (mask & (1 << bit)) {
                distance = std::min(distance, sides[bit]);
            }
        }
    } else {
        const float cornerU[4] = {0, 1, 1, 0};
        const float cornerV[4] = {0, 0, 1, 1};
        for (int bit = 0; bit < 4; ++bit) {
            if (mask & (1 << bit)) {
                distance = std::min(distance, std::hypot(u - cornerU[bit], v - cornerV[bit]));
            }
        }
    }
    const float reach = 0.4f + 0.12f * (ragged - 0.5f);
    return std::clamp(1.0f - (distance - reach * 0.5f) / (reach * 0.5f), 0.0f, 1.0f);
}

Image PaintTransition(const TileLook& look, int mask, bool corner) {
    Image image = PaintTile(look, mask % TILE_VARIANTS);
    for (int y = 0; y < TILE_SIZE; ++y) {
        for (int x = 0; x < TILE_SIZE; ++x) {
            const float u = (x + 0.5f) / TILE_SIZE;
            const float v = (y + 0.5f) / TILE_SIZE;
            const float alpha = Coverage(mask, corner, u, v, TileNoise(x, y, 99 + mask));
            const auto a = static_cast<uint32_t>(std::lround(alpha * 255.0f));
            image.At(x, y) = (image.At(x, y) & 0x00FFFFFFu) | a << 24;
        }
    }
    return image;
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A saved map of the same terrain ("Map\map1.cap"): the maps, no offsets or levels, and tiles by
// height: sand in the basin, grass on the slopes, gravel above, rock on the heights, and a square of
// stone floor. Samples are stored from the bottom picture row up, as the bitmaps are read.
std::vector<uint8_t> MakeMapFile(const std::vector<uint8_t>& heights, const std::vector<uint8_t>& light) {
    constexpr uint32_t HEADER = 680;
    constexpr uint32_t SAMPLES = MAP_SIZE * MAP_SIZE;
    constexpr int GRID = MAP_SIZE / 4;
    constexpr uint32_t FIELDS = GRID * GRID;
    std::vector<uint8_t> file(HEADER + 6 * SAMPLES + 2 * FIELDS, 0);
    PutU32(file, 0, uint32_t(file.size()));
    PutU32(file, 12, MAP_SIZE);
    PutU32(file, 16, MAP_SIZE);
    PutU32(file, 20, HEADER + SAMPLES);
    PutU32(file, 24, HEADER);
    PutU32(file, 28, HEADER + 2 * SAMPLES);
    PutU32(file, 32, HEADER + 6 * SAMPLES);
    PutU32(file, 36, HEADER + 6 * SAMPLES + FIELDS);
    auto sample = [](const std::vector<uint8_t>& map, int sx, int sz) {
        return map[size_t(MAP_SIZE - 1 - sz) * MAP_SIZE + sx];
    };
    for (int sz = 0; sz < MAP_SIZE; ++sz) {
        for (int sx = 0; sx < MAP_SIZE; ++sx) {
            file[HEADER + sx + sz * MAP_SIZE] = sample(heights, sx, sz);
            file[HEADER + SAMPLES + sx + sz * MAP_SIZE] = sample(light, sx, sz);
        }
    }
    // Tiles in the terrain's patch order: patch (px, pz) at pz + px * (GRID - 1).
    for (int px = 0; px < GRID - 1; ++px) {
        for (int pz = 0; pz < GRID - 1; ++pz) {
            const int h = sample(heights, px * 4 + 2, pz * 4 + 2);
            int type = h < 70 ? 4 : h < 125 ? 3 : h < 165 ? 0 : 1;
            if (px >= 12 && px <= 15 && pz >= 18 && pz <= 21) {
                type = 2;
            }
            const auto variant = static_cast<int>(Hash(px, pz, 5) * 7.99f);
            file[HEADER + 6 * SAMPLES + FIELDS + pz + px * (GRID - 1)] =
                static_cast<uint8_t>(type << 4 | variant);
        }
    }
    return file;
}

void WriteTerrain(const std::filesystem::path& runFolder) {
    const auto heights = PaintHeights();
    const auto palette = GreyPalette();
    const auto diverses = runFolder / "Grafik" / "Diverses";
    WriteBmp8(diverses / "heightmap.bmp", MAP_SIZE, MAP_SIZE, heights, palette);
    const auto light = PaintLight(heights);
    WriteBmp8(diverses / "lightmap.bmp", MAP_SIZE, MAP_SIZE, light, palette);
    WriteBytes(runFolder / "Map" / "map1.cap", MakeMapFile(heights, light));

    const auto folder = runFolder / "Grafik" / "Terrain";
    for (const TileLook& look : TILE_LOOKS) {
        for (int variant = 0; variant < TILE_VARIANTS; ++variant) {
            WriteBmp24(folder / (std::string(look.name) + std::to_string(variant) + ".bmp"),
                       PaintTile(look, variant));
        }
    }
    for (int frame = 0; frame < WATER_FRAMES; ++frame) {
        WriteBmp24(folder / ("water" + std::to_string(frame) + ".bmp"), PaintWater(frame));
    }
    // The transition names differ from the tile names for two types.
    const struct {
        const char* name;
        const TileLook& look;
    } transitions[] = {
        {"Fels", TILE_LOOKS[1]}, {"stone", TILE_LOOKS[2]}, {"Grass", TILE_LOOKS[3]}, {"sand", TILE_LOOKS[4]}};
    for (const auto& transition : transitions) {
        for (int mask = 1; mask <= 15; ++mask) {
            const std::string number = std::to_string(mask);
            WriteDds(folder / ("Edge" + std::string(transition.name) + number + ".dds"),
                     PaintTransition(transition.look, mask, false));
            WriteDds(folder / ("Corner" + std::string(transition.name) + number + ".dds"),
                     PaintTransition(transition.look, mask, true));
        }
    }
}

} // namespace

ASSETGEN_REGISTER(terrain, WriteTerrain);

} // namespace assetgen
