// The particle sprite: "Grafik\star.dds", a soft white star whose alpha falls off from the centre.
// The particle manager modulates it with each particle's colour, so the picture itself stays white.
#include "asset_registry.h"
#include "image_writers.h"

#include <algorithm>
#include <cmath>

namespace assetgen {
namespace {

constexpr int STAR_SIZE = 32;

// Alpha of the star at a point given relative to the centre, in units of the sprite's half width:
// a round glow plus four thin rays along the axes, both fading to nothing at the rim.
float StarAlpha(float dx, float dy) {
    const float distance = std::sqrt(dx * dx + dy * dy);
    if (distance >= 1.0f) {
        return 0.0f;
    }
    const float fade = 1.0f - distance;
    const float glow = fade * fade;
    const float rayWidth = 0.08f;
    const float rays = std::exp(-std::fabs(dx) / rayWidth) + std::exp(-std::fabs(dy) / rayWidth);
    return std::clamp(glow + 0.6f * rays * fade, 0.0f, 1.0f);
}

Image PaintStar() {
    Image image(STAR_SIZE, STAR_SIZE);
    const float half = STAR_SIZE / 2.0f;
    for (int y = 0; y < STAR_SIZE; ++y) {
        for (int x = 0; x < STAR_SIZE; ++x) {
            // Average 4x4 samples per pixel so the rays stay smooth at this small size.
            float sum = 0.0f;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const float px = x + (sx + 0.5f) / 4.0f;
                    const float py = y + (sy + 0.5f) / 4.0f;
                    sum += StarAlpha((px - half) / half, (py - half) / half);
                }
            }
            const auto alpha = static_cast<uint32_t>(std::lround(sum / 16.0f * 255.0f));
            image.At(x, y) = (alpha << 24) | 0x00FFFFFFu;
        }
    }
    return image;
}

} // namespace

ASSETGEN_REGISTER(particle_star, [](const std::filesystem::path& runFolder) {
    WriteDds(runFolder / "Grafik" / "star.dds", PaintStar());
});

} // namespace assetgen
