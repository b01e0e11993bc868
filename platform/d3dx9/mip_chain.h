// What the loader does to a decoded picture before it becomes a texture: the colour key, and the
// chain of ever smaller levels made with a box filter.
#pragma once

#include "d3dx9/picture.h"

#include <vector>

namespace platform::d3dx {

// Replaces every pixel equal to the key by transparent black. A key of 0 means no key.
void ApplyColorKey(Picture* picture, uint32_t key);

// The number of levels of a full chain: floor(log2(max(width, height))) + 1.
uint32_t FullMipCount(uint32_t width, uint32_t height);

// The full chain: level 0 is the picture itself; each further level halves both sides (rounding
// down, never below 1) and averages the area of the level above that each of its pixels covers.
std::vector<Picture> BuildMipChain(Picture picture);

// One level from the one above it; exposed for tests and benchmarks.
Picture Downsample(const Picture& source);

} // namespace platform::d3dx
