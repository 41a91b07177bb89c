#include "preview/Draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "rwstream/Chunk.h"

namespace preview {

namespace {

// The view's axes: right and up on the picture, and the direction it looks
// in, from above, to the side and in front, so that no plane of the model's
// axes is seen edge-on. The model's z is up.
constexpr double Right[3] = {0.70710678118654752, 0.70710678118654752, 0};
constexpr double Up[3] = {-0.40824829046386302, 0.40824829046386302, 0.81649658092772603};
constexpr double Ahead[3] = {-0.57735026918962576, 0.57735026918962576, -0.57735026918962576};

constexpr int32_t Subpixels = 16;
constexpr double ViewMargin = 4;  // pixels between the model and the view's edges
constexpr double DepthSteps = 1 << 20;

struct Position {
    double x, y, z;
    bool finite;
};

Position Load(const uint8_t bytes[12]) {
    const auto coordinate = [bytes](int k) {
        const uint32_t bits = rw::Load32(bytes + 4 * k);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    const float x = coordinate(0), y = coordinate(1), z = coordinate(2);
    return {x, y, z, std::isfinite(x) && std::isfinite(y) && std::isfinite(z)};
}

double Along(const Position& p, const double (&axis)[3]) {
    return p.x * axis[0] + p.y * axis[1] + p.z * axis[2];
}

// Twice the signed area of (a, b, p), in 64 bits: sixteenths of a pixel
// over a view of ViewSize cannot overflow it.
int64_t Edge(const ViewPoint& a, const ViewPoint& b, int64_t px, int64_t py) {
    return (int64_t{b.x} - a.x) * (py - a.y) - (int64_t{b.y} - a.y) * (px - a.x);
}

uint8_t Blend(const int64_t weights[3], int64_t total, const uint8_t* colours[3], int channel) {
    const int64_t sum = weights[0] * colours[0][channel] + weights[1] * colours[1][channel] +
                        weights[2] * colours[2][channel];
    return static_cast<uint8_t>(sum / total);
}

}  // namespace

void Widen(ViewFrame& frame, const uint8_t position[12]) {
    const Position p = Load(position);
    if (!p.finite) return;
    const double x = Along(p, Right), y = Along(p, Up), depth = Along(p, Ahead);
    if (frame.empty) {
        frame = {x, x, y, y, depth, depth, false};
        return;
    }
    frame.left = std::min(frame.left, x);
    frame.right = std::max(frame.right, x);
    frame.bottom = std::min(frame.bottom, y);
    frame.top = std::max(frame.top, y);
    frame.nearest = std::min(frame.nearest, depth);
    frame.farthest = std::max(frame.farthest, depth);
}

ViewPoint Project(const ViewFrame& frame, const uint8_t position[12]) {
    const Position p = Load(position);
    if (!p.finite || frame.empty) return {};
    // The larger side of the box fills the view, the other is centred.
    const double inside = ViewSize - 2 * ViewMargin;
    const double width = frame.right - frame.left, height = frame.top - frame.bottom;
    const double span = std::max(width, height);
    const double scale = span > 0 ? inside / span : 0;
    const double x =
        ViewMargin + (inside - width * scale) / 2 + (Along(p, Right) - frame.left) * scale;
    const double y =
        ViewMargin + (inside - height * scale) / 2 + (frame.top - Along(p, Up)) * scale;
    const double range = frame.farthest - frame.nearest;
    const double depth = range > 0 ? (Along(p, Ahead) - frame.nearest) / range * DepthSteps : 0;
    ViewPoint point;
    point.x = static_cast<int32_t>(std::lround(std::clamp(x, 0.0, double{ViewSize}) * Subpixels));
    point.y = static_cast<int32_t>(std::lround(std::clamp(y, 0.0, double{ViewSize}) * Subpixels));
    point.depth = static_cast<int32_t>(std::lround(std::clamp(depth, 0.0, DepthSteps)));
    return point;
}

void FillTriangle(TileViews& views, const ViewPoint corners[3], const uint8_t* day[3],
                  const uint8_t* night[3]) {
    const ViewPoint &a = corners[0], &b = corners[1], &c = corners[2];
    if (a.x < 0 || b.x < 0 || c.x < 0) return;
    int64_t area = Edge(a, b, c.x, c.y);
    if (area == 0) return;
    // Either winding: the weights then share the area's sign.
    const int64_t sign = area < 0 ? -1 : 1;
    area *= sign;
    const auto first = [](int32_t p, int32_t q, int32_t r) {
        return static_cast<uint32_t>(std::min({p, q, r}) / Subpixels);
    };
    const auto last = [](int32_t p, int32_t q, int32_t r) {
        return std::min<uint32_t>(static_cast<uint32_t>(std::max({p, q, r}) / Subpixels),
                                  ViewSize - 1);
    };
    for (uint32_t py = first(a.y, b.y, c.y); py <= last(a.y, b.y, c.y); ++py) {
        for (uint32_t px = first(a.x, b.x, c.x); px <= last(a.x, b.x, c.x); ++px) {
            // At the pixel's centre.
            const int64_t cx = int64_t{px} * Subpixels + Subpixels / 2;
            const int64_t cy = int64_t{py} * Subpixels + Subpixels / 2;
            const int64_t weights[3] = {sign * Edge(b, c, cx, cy), sign * Edge(c, a, cx, cy),
                                        sign * Edge(a, b, cx, cy)};
            if (weights[0] < 0 || weights[1] < 0 || weights[2] < 0) continue;
            const int32_t depth = static_cast<int32_t>(
                (weights[0] * a.depth + weights[1] * b.depth + weights[2] * c.depth) / area);
            int32_t& shown = views.depths[py * ViewSize + px];
            if (depth >= shown) continue;
            shown = depth;
            for (int view = 0; view < 2; ++view) {
                const uint8_t** colours = view == 0 ? day : night;
                const Rgb colour = {Blend(weights, area, colours, 0),
                                    Blend(weights, area, colours, 1),
                                    Blend(weights, area, colours, 2)};
                SetPixel(views.page, views.x + view * (TileWidth - ViewSize) + px,
                         views.y + py, colour);
            }
        }
    }
}

}  // namespace preview
