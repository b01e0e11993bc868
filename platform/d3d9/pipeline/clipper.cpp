// Sutherland-Hodgman clipping against the near, far and guard-band planes.
#include "d3d9/pipeline/clipper.h"

#include <utility>

namespace platform::d3d9 {

namespace {

constexpr int PLANE_COUNT = 6;

// Signed distance to plane p; inside when >= 0.
float Distance(const PipelineVertex& v, int plane) {
    const float x = v.pos[0], y = v.pos[1], z = v.pos[2], w = v.pos[3];
    switch (plane) {
    case 0:
        return z;
    case 1:
        return w - z;
    case 2:
        return x + GUARD_BAND * w;
    case 3:
        return GUARD_BAND * w - x;
    case 4:
        return y + GUARD_BAND * w;
    default:
        return GUARD_BAND * w - y;
    }
}

PipelineVertex Lerp(const PipelineVertex& a, const PipelineVertex& b, float t) {
    PipelineVertex r;
    for (int i = 0; i < 4; ++i) {
        r.pos[i] = a.pos[i] + (b.pos[i] - a.pos[i]) * t;
    }
    for (int i = 0; i < ATTR_COUNT; ++i) {
        r.attr[i] = a.attr[i] + (b.attr[i] - a.attr[i]) * t;
    }
    r.pointSize = a.pointSize;
    return r;
}

} // namespace

bool InsideClipVolume(const PipelineVertex& v) {
    for (int plane = 0; plane < PLANE_COUNT; ++plane) {
        if (!(Distance(v, plane) >= 0.0f)) {
            return false;
        }
    }
    return v.pos[3] > 0.0f;
}

int ClipTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                 PipelineVertex* out) {
    PipelineVertex buffers[2][MAX_CLIPPED_VERTICES + 2];
    PipelineVertex* in = buffers[0];
    PipelineVertex* next = buffers[1];
    in[0] = a;
    in[1] = b;
    in[2] = c;
    int count = 3;
    for (int plane = 0; plane < PLANE_COUNT && count > 0; ++plane) {
        int written = 0;
        for (int i = 0; i < count; ++i) {
            const PipelineVertex& current = in[i];
            const PipelineVertex& following = in[(i + 1) % count];
            float dc = Distance(current, plane);
            float df = Distance(following, plane);
            bool currentIn = dc >= 0.0f;
            bool followingIn = df >= 0.0f;
            if (currentIn && written < MAX_CLIPPED_VERTICES) {
                next[written++] = current;
            }
            if (currentIn != followingIn && written < MAX_CLIPPED_VERTICES) {
                // Interpolate from the inside vertex so that shared edges clip identically.
                if (currentIn) {
                    next[written++] = Lerp(current, following, dc / (dc - df));
                } else {
                    next[written++] = Lerp(following, current, df / (df - dc));
                }
            }
        }
        count = written;
        std::swap(in, next);
    }
    if (count < 3) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (!(in[i].pos[3] > 0.0f)) {
            return 0;
        }
        out[i] = in[i];
    }
    return count;
}

} // namespace platform::d3d9
