// Making a picture smaller with one of the loader's filters: how the texture loader fits a picture
// that is larger than the device's largest texture, and how the mip chain makes its odd-sided levels.
#pragma once

#include "d3dx9/picture.h"

namespace platform::d3dx {

enum class ResizeFilter {
    None,   // no filtering: the top-left part that fits is kept, the rest is cut off
    Point,  // each pixel takes the source pixel under its centre
    Linear, // each pixel interpolates the four source pixels nearest to its centre
    Area,   // each pixel averages the source area it covers, each source pixel weighted by the part of
            // it that is covered (the triangle and box filters, which agree when shrinking)
};

// A picture of width x height, neither side larger than the source's and neither 0, made from the
// source with the filter. Channels are rounded to the nearest value, halves up.
Picture Shrink(const Picture& source, uint32_t width, uint32_t height, ResizeFilter filter);

} // namespace platform::d3dx
