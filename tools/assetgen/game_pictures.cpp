// The game's pictures: five stones told apart by colour and by shape, the "game over" and "stage
// clear" overlays, two 800 x 600 backgrounds, and the red stone as the desktop icon. Opaque areas
// never use pure black, which the texture loader's colour key would turn transparent.
#include "asset_registry.h"
#include "picture_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace assetgen {

namespace {

constexpr int STONE_SIZE = 48;

struct StoneStyle {
    Colour base;
    // Inside test relative to the stone's centre, for a shape of nominal radius `radius`.
    bool (*inside)(float dx, float dy, float radius);
};

bool InsideCircle(float dx, float dy, float r) {
    return dx * dx + dy * dy <= r * r;
}
bool InsideDiamond(float dx, float dy, float r) {
    return std::fabs(dx) + std::fabs(dy) <= r * 1.08f;
}
bool InsideRoundedSquare(float dx, float dy, float r) {
    float half = r * 0.86f;
    float corner = r * 0.3f;
    float qx = std::fabs(dx) - (half - corner);
    float qy = std::fabs(dy) - (half - corner);
    if (qx <= 0 || qy <= 0) {
        return std::fabs(dx) <= half && std::fabs(dy) <= half;
    }
    return qx * qx + qy * qy <= corner * corner;
}
bool InsideTriangle(float dx, float dy, float r) {
    // Pointing up, centred on its bounding box.
    float top = -r, bottom = r * 0.82f;
    if (dy < top || dy > bottom) {
        return false;
    }
    float halfWidth = (dy - top) / (bottom - top) * r * 1.05f;
    return std::fabs(dx) <= halfWidth;
}
bool InsideHexagon(float dx, float dy, float r) {
    float ax = std::fabs(dx), ay = std::fabs(dy);
    return ay <= r * 0.866f && ax * 0.866f + ay * 0.5f <= r * 0.866f;
}

// A stone of `size` pixels, drawn as the board's 48-pixel stones are, scaled.
Image PaintStone(const StoneStyle& style, int size = STONE_SIZE) {
    Image image(size, size, 0);
    const float scale = static_cast<float>(size) / STONE_SIZE;
    const float centre = size / 2.0f;
    const float radius = 21.0f * scale;
    const float rimRadius = radius - 2.2f * scale;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float outer = Coverage(
                [&](float px, float py) { return style.inside(px - centre, py - centre, radius); }, x, y);
            if (outer <= 0.0f) {
                continue;
            }
            float inner = Coverage(
                [&](float px, float py) { return style.inside(px - centre, py - centre, rimRadius); }, x, y);
            float dx = (x + 0.5f - centre) / radius;
            float dy = (y + 0.5f - centre) / radius;
            // A dome lit from the upper left: brighter towards the light, darker at the far edge.
            float light = std::max(0.4f, 0.95f - 0.35f * (dx * dx + dy * dy) - 0.3f * (dx + dy));
            Colour body = style.base;
            body.r *= light;
            body.g *= light;
            body.b *= light;
            float sx = dx + 0.38f, sy = dy + 0.42f;
            float specular = std::exp(-(sx * sx + sy * sy) * 18.0f);
            body = Mix(body, Colour{1, 1, 1, 1}, specular * 0.85f);
            Colour rim{style.base.r * 0.35f + 0.03f, style.base.g * 0.35f + 0.03f,
                       style.base.b * 0.35f + 0.03f, 1};
            Colour pixel = Mix(rim, body, inner / outer);
            pixel.a = outer;
            image.At(x, y) = ToArgb(pixel);
        }
    }
    return image;
}

bool InsideRoundedRect(float x, float y, float left, float top, float right, float bottom, float corner) {
    if (x < left || x > right || y < top || y > bottom) {
        return false;
    }
    float cx = std::clamp(x, left + corner, right - corner);
    float cy = std::clamp(y, top + corner, bottom - corner);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= corner * corner;
}

Image PaintOverlay(const char* words, const Colour& top, const Colour& bottom) {
    const int width = 512, height = 256;
    Image image(width, height, 0);
    const Colour border{0.95f, 0.80f, 0.35f, 1};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float outer = Coverage(
                [&](float px, float py) { return InsideRoundedRect(px, py, 8, 24, 504, 232, 30); }, x, y);
            if (outer <= 0) {
                continue;
            }
            float inner = Coverage(
                [&](float px, float py) { return InsideRoundedRect(px, py, 12, 28, 500, 228, 26); }, x, y);
            Colour fill = Mix(top, bottom, (y - 24) / 208.0f);
            fill.a = 0.88f;
            Colour pixel = Mix(border, fill, inner / outer);
            pixel.a *= outer;
            image.At(x, y) = ToArgb(pixel);
        }
    }
    TextMask text = RenderText(words, "Liberation Sans:bold", 72);
    if (text.width > 430) {
        text = RenderText(words, "Liberation Sans:bold", 72 * 430 / text.width);
    }
    const int left = (width - text.width) / 2;
    const int topEdge = (height - text.height) / 2;
    for (int y = 0; y < text.height + 4; ++y) {
        for (int x = 0; x < text.width + 4; ++x) {
            // Shadow first, then the golden letters over it.
            float shadow = text.At(x - 4, y - 4) / 255.0f;
            BlendPixel(image, left + x, topEdge + y, Colour{0.08f, 0.04f, 0.06f, 0.65f}, shadow);
            float letter = text.At(x, y) / 255.0f;
            Colour gold =
                Mix(Colour{1.0f, 0.98f, 0.86f, 1}, Colour{1.0f, 0.72f, 0.22f, 1}, float(y) / text.height);
            BlendPixel(image, left + x, topEdge + y, gold, letter);
        }
    }
    return image;
}

// A small deterministic generator so that the pictures are the same on every build.
struct PictureRandom {
    uint32_t state;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0f;
    }
};

Image PaintNightBackground() {
    Image image(800, 600);
    std::vector<Colour> pixels(800 * 600);
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            Colour sky = Mix(Colour{0.09f, 0.10f, 0.26f, 1}, Colour{0.07f, 0.30f, 0.38f, 1}, y / 600.0f);
            float vx = (x - 400) / 400.0f, vy = (y - 300) / 300.0f;
            float vignette = 1.0f - 0.35f * (vx * vx + vy * vy);
            sky.r *= vignette;
            sky.g *= vignette;
            sky.b *= vignette;
            pixels[y * 800 + x] = sky;
        }
    }
    PictureRandom random{20061115u};
    for (int i = 0; i < 46; ++i) {
        float cx = random.Next() * 800, cy = random.Next() * 600, r = 12 + random.Next() * 60;
        Colour glow = Mix(Colour{0.45f, 0.75f, 1.0f, 1}, Colour{1.0f, 0.6f, 0.85f, 1}, random.Next());
        float strength = 0.05f + random.Next() * 0.12f;
        for (int y = std::max(0, int(cy - r)); y < std::min(600, int(cy + r) + 1); ++y) {
            for (int x = std::max(0, int(cx - r)); x < std::min(800, int(cx + r) + 1); ++x) {
                float d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / r;
                if (d < 1) {
                    float edge = d > 0.85f ? (1 - d) / 0.15f : 1.0f;
                    Colour& p = pixels[y * 800 + x];
                    p = Mix(p, glow, strength * edge * (0.7f + 0.3f * d));
                }
            }
        }
    }
    for (int i = 0; i < 800 * 600; ++i) {
        image.pixels[i] = ToArgb(pixels[i]);
    }
    return image;
}

float Ridge(float x, float phase, float scale) {
    return std::sin(x * 0.006f * scale + phase) * 38 + std::sin(x * 0.017f * scale + phase * 2.3f) * 14 +
           std::sin(x * 0.041f * scale + phase * 0.7f) * 5;
}

Image PaintSunsetBackground() {
    Image image(800, 600);
    const float horizon = 390;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            Colour sky = y < horizon * 0.55f
                             ? Mix(Colour{0.22f, 0.14f, 0.42f, 1}, Colour{0.78f, 0.33f, 0.45f, 1},
                                   y / (horizon * 0.55f))
                             : Mix(Colour{0.78f, 0.33f, 0.45f, 1}, Colour{0.99f, 0.62f, 0.30f, 1},
                                   (y - horizon * 0.55f) / (horizon * 0.45f));
            float sdx = x - 560.0f, sdy = y - 330.0f;
            float sunDistance = std::sqrt(sdx * sdx + sdy * sdy);
            if (sunDistance < 58) {
                sky = Mix(Colour{1.0f, 0.93f, 0.62f, 1}, sky, std::max(0.0f, sunDistance - 56) / 2);
            } else {
                sky = Mix(sky, Colour{1.0f, 0.85f, 0.55f, 1}, 0.45f * std::exp(-(sunDistance - 58) / 70));
            }
            // Three ranges of hills, nearer ones darker and lower.
            const Colour hills[3] = {
                {0.50f, 0.24f, 0.42f, 1}, {0.32f, 0.15f, 0.34f, 1}, {0.17f, 0.09f, 0.22f, 1}};
            const float bases[3] = {400, 455, 520};
            for (int layer = 0; layer < 3; ++layer) {
                float ridge = bases[layer] - 40 + Ridge(float(x), layer * 1.7f + 0.4f, 1.0f + layer * 0.35f);
                if (y >= ridge) {
                    float depth = std::min(1.0f, (y - ridge) / 160.0f);
                    sky = Mix(hills[layer], Colour{0.10f, 0.06f, 0.14f, 1}, depth * 0.5f);
                }
            }
            image.At(x, y) = ToArgb(sky);
        }
    }
    return image;
}

void WriteGamePictures(const std::filesystem::path& run) {
    const StoneStyle stones[5] = {
        {{0.90f, 0.16f, 0.20f, 1}, InsideCircle},        // red circle
        {{0.20f, 0.45f, 0.98f, 1}, InsideDiamond},       // blue diamond
        {{0.18f, 0.80f, 0.30f, 1}, InsideRoundedSquare}, // green square
        {{0.98f, 0.80f, 0.15f, 1}, InsideTriangle},      // yellow triangle
        {{0.70f, 0.30f, 0.90f, 1}, InsideHexagon},       // purple hexagon
    };
    for (int i = 0; i < 5; ++i) {
        WriteDds(run / "Grafik" / ("stone" + std::to_string(i + 1) + ".dds"), PaintStone(stones[i]));
    }
    WriteDds(run / "Grafik" / "Gov.dds",
             PaintOverlay("GAME OVER", Colour{0.55f, 0.10f, 0.16f, 1}, Colour{0.25f, 0.05f, 0.14f, 1}));
    WriteDds(run / "Grafik" / "Con1.dds",
             PaintOverlay("STAGE CLEAR", Colour{0.10f, 0.50f, 0.36f, 1}, Colour{0.05f, 0.22f, 0.30f, 1}));
    WriteJpeg(run / "Grafik" / "bk.jpg", PaintNightBackground());
    WriteJpeg(run / "Grafik" / "Ovetta.jpg", PaintSunsetBackground());
    // The desktop menu's icon: the red stone, at the icon theme's sizes.
    for (int size : {48, 128}) {
        WritePng(run / "icons" / ("zonkel-" + std::to_string(size) + ".png"), PaintStone(stones[0], size));
    }
}

} // namespace

ASSETGEN_REGISTER(game_pictures, WriteGamePictures);

} // namespace assetgen
