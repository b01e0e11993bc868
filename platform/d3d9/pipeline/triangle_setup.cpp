// Edge functions, fill rule, bounding box and attribute planes of a screen triangle.
#include "d3d9/pipeline/triangle_setup.h"

#include <algorithm>
#include <cmath>

namespace platform::d3d9 {

namespace {

struct FixedPoint {
    int64_t x, y;
};

bool ToFixed(const PipelineVertex& v, FixedPoint* p) {
    float x = v.pos[0], y = v.pos[1];
    if (!(std::fabs(x) <= MAX_SCREEN_COORDINATE) || !(std::fabs(y) <= MAX_SCREEN_COORDINATE)) {
        return false;
    }
    p->x = std::llround(static_cast<double>(x) * SUBPIXEL_ONE);
    p->y = std::llround(static_cast<double>(y) * SUBPIXEL_ONE);
    return true;
}

int64_t Area2(const FixedPoint& a, const FixedPoint& b, const FixedPoint& c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

int64_t FloorDiv(int64_t n, int64_t d) {
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}
int64_t CeilDiv(int64_t n, int64_t d) {
    return n >= 0 ? (n + d - 1) / d : -((-n) / d);
}

uint32_t PackColour(const PipelineVertex& v) {
    auto channel = [](float value) { return static_cast<uint32_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f); };
    return channel(v.attr[ATTR_A]) << 24 | channel(v.attr[ATTR_R]) << 16 | channel(v.attr[ATTR_G]) << 8 |
           channel(v.attr[ATTR_B]);
}

} // namespace

namespace {

// Bounding box of the points within the scissor rectangle; false when empty.
bool SetBounds(const FixedPoint* p, int count, const SetupOptions& options, TriangleSetup* t) {
    int64_t minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (int i = 1; i < count; ++i) {
        minX = std::min(minX, p[i].x);
        maxX = std::max(maxX, p[i].x);
        minY = std::min(minY, p[i].y);
        maxY = std::max(maxY, p[i].y);
    }
    t->minX = static_cast<int>(std::max<int64_t>(CeilDiv(minX, SUBPIXEL_ONE), options.scissorLeft));
    t->maxX = static_cast<int>(std::min<int64_t>(FloorDiv(maxX, SUBPIXEL_ONE), options.scissorRight - 1));
    t->minY = static_cast<int>(std::max<int64_t>(CeilDiv(minY, SUBPIXEL_ONE), options.scissorTop));
    t->maxY = static_cast<int>(std::min<int64_t>(FloorDiv(maxY, SUBPIXEL_ONE), options.scissorBottom - 1));
    return t->minX <= t->maxX && t->minY <= t->maxY;
}

// Edges of a polygon whose points run clockwise on screen (positive area).
void SetEdges(const FixedPoint* p, int count, TriangleSetup* t) {
    t->edgeCount = count;
    for (int i = 0; i < count; ++i) {
        const FixedPoint& from = p[i];
        const FixedPoint& to = p[(i + 1) % count];
        int64_t dx = to.x - from.x, dy = to.y - from.y;
        // E = dx * (py - from.y) - dy * (px - from.x), positive inside. Top edges run to the right with the
        // inside below; left edges run upwards with the inside to their right. Pixels on other edges
        // belong to the neighbouring triangle, so an edge that is neither excludes E == 0.
        bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        t->edgeA[i] = -dy * SUBPIXEL_ONE;
        t->edgeB[i] = dx * SUBPIXEL_ONE;
        t->edgeC[i] = dy * from.x - dx * from.y - (topLeft ? 0 : 1);
    }
}

// Attribute planes from three vertices (with their snapped positions); provoking gives a flat colour.
void SetPlanes(const FixedPoint* p, const PipelineVertex* const* v, const PipelineVertex& provoking,
               const SetupOptions& options, TriangleSetup* t) {
    const double x0 = static_cast<double>(p[0].x) / SUBPIXEL_ONE;
    const double y0 = static_cast<double>(p[0].y) / SUBPIXEL_ONE;
    const double x1 = static_cast<double>(p[1].x) / SUBPIXEL_ONE - x0;
    const double y1 = static_cast<double>(p[1].y) / SUBPIXEL_ONE - y0;
    const double x2 = static_cast<double>(p[2].x) / SUBPIXEL_ONE - x0;
    const double y2 = static_cast<double>(p[2].y) / SUBPIXEL_ONE - y0;
    const double inverseArea = 1.0 / (x1 * y2 - x2 * y1);
    t->refX = static_cast<float>(x0);
    t->refY = static_cast<float>(y0);
    auto plane = [&](double f0, double f1, double f2) {
        double d1 = f1 - f0, d2 = f2 - f0;
        AttributePlane result;
        result.start = static_cast<float>(f0);
        result.dx = static_cast<float>((d1 * y2 - d2 * y1) * inverseArea);
        result.dy = static_cast<float>((d2 * x1 - d1 * x2) * inverseArea);
        return result;
    };
    t->z = plane(v[0]->pos[2], v[1]->pos[2], v[2]->pos[2]);
    t->perspective = options.perspective;
    double q[3] = {options.perspective ? v[0]->pos[3] : 1.0, options.perspective ? v[1]->pos[3] : 1.0,
                   options.perspective ? v[2]->pos[3] : 1.0};
    t->q = plane(q[0], q[1], q[2]);
    for (int i = ATTR_U0; i <= ATTR_V1; ++i) {
        t->attr[i] = plane(v[0]->attr[i] * q[0], v[1]->attr[i] * q[1], v[2]->attr[i] * q[2]);
    }
    uint32_t colours[3] = {PackColour(*v[0]), PackColour(*v[1]), PackColour(*v[2])};
    if (options.flatShading) {
        t->flatColour = true;
        t->flatColourValue = PackColour(provoking);
    } else if (colours[0] == colours[1] && colours[1] == colours[2]) {
        t->flatColour = true;
        t->flatColourValue = colours[0];
    } else {
        t->flatColour = false;
        for (int i = ATTR_B; i <= ATTR_A; ++i) {
            t->attr[i] = plane(v[0]->attr[i], v[1]->attr[i], v[2]->attr[i]);
        }
    }
}

// Whether a plane gives value at the point within tolerance.
bool OnPlane(const AttributePlane& plane, const TriangleSetup& t, const FixedPoint& p, double value,
             double tolerance) {
    double x = static_cast<double>(p.x) / SUBPIXEL_ONE - t.refX,
           y = static_cast<double>(p.y) / SUBPIXEL_ONE - t.refY;
    double predicted = plane.start + plane.dx * x + plane.dy * y;
    return std::fabs(predicted - value) <= tolerance * (1.0 + std::fabs(value));
}

} // namespace

bool SetupTriangle(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                   const SetupOptions& options, TriangleSetup* t) {
    FixedPoint p[3];
    if (!ToFixed(a, &p[0]) || !ToFixed(b, &p[1]) || !ToFixed(c, &p[2])) {
        return false;
    }
    // With y pointing down a positive area is a clockwise triangle on screen.
    int64_t area = Area2(p[0], p[1], p[2]);
    if (area == 0) {
        return false;
    }
    if ((options.cull == D3DCULL_CCW && area < 0) || (options.cull == D3DCULL_CW && area > 0)) {
        return false;
    }
    const PipelineVertex* v[3] = {&a, &b, &c};
    if (area < 0) {
        std::swap(p[1], p[2]);
        std::swap(v[1], v[2]);
    }
    if (!SetBounds(p, 3, options, t)) {
        return false;
    }
    SetEdges(p, 3, t);
    SetPlanes(p, v, a, options, t);
    return true;
}

QuadSetup SetupQuad(const PipelineVertex& a, const PipelineVertex& b, const PipelineVertex& c,
                    const PipelineVertex& d, const SetupOptions& options, TriangleSetup* t) {
    if (options.perspective || options.flatShading) {
        return QuadSetup::NotAQuad;
    }
    FixedPoint fa, fb, fc, fd;
    if (!ToFixed(a, &fa) || !ToFixed(b, &fb) || !ToFixed(c, &fc) || !ToFixed(d, &fd)) {
        return QuadSetup::NotAQuad;
    }
    // Convex, with both triangles wound alike: every corner of a, b, d, c turns the same way.
    FixedPoint ring[4] = {fa, fb, fd, fc};
    int64_t turns[4];
    for (int i = 0; i < 4; ++i) {
        turns[i] = Area2(ring[i], ring[(i + 1) % 4], ring[(i + 2) % 4]);
    }
    bool clockwise = turns[0] > 0 && turns[1] > 0 && turns[2] > 0 && turns[3] > 0;
    bool counterClockwise = turns[0] < 0 && turns[1] < 0 && turns[2] < 0 && turns[3] < 0;
    if (!clockwise && !counterClockwise) {
        return QuadSetup::NotAQuad;
    }
    if ((options.cull == D3DCULL_CCW && counterClockwise) || (options.cull == D3DCULL_CW && clockwise)) {
        return QuadSetup::Empty;
    }
    // Planes from the first triangle, ordered as SetupTriangle orders it.
    FixedPoint p[3] = {fa, fb, fc};
    const PipelineVertex* v[3] = {&a, &b, &c};
    if (counterClockwise) {
        std::swap(p[1], p[2]);
        std::swap(v[1], v[2]);
        std::swap(ring[1], ring[3]);
    }
    SetPlanes(p, v, a, options, t);
    constexpr double TOLERANCE = 1e-6;
    bool consistent = OnPlane(t->z, *t, fd, d.pos[2], TOLERANCE);
    for (int i = ATTR_U0; i <= ATTR_V1 && consistent; ++i) {
        consistent = OnPlane(t->attr[i], *t, fd, d.attr[i], TOLERANCE);
    }
    if (t->flatColour) {
        consistent = consistent && PackColour(d) == t->flatColourValue;
    } else {
        for (int i = ATTR_B; i <= ATTR_A && consistent; ++i) {
            consistent = OnPlane(t->attr[i], *t, fd, d.attr[i], TOLERANCE);
        }
    }
    if (!consistent) {
        return QuadSetup::NotAQuad;
    }
    if (!SetBounds(ring, 4, options, t)) {
        return QuadSetup::Empty;
    }
    SetEdges(ring, 4, t);
    return QuadSetup::Drawn;
}

} // namespace platform::d3d9
