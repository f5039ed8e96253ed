#include "render/reference_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

double finiteOrZero(float value) { return std::isfinite(value) ? static_cast<double>(value) : 0.0; }

std::int64_t clampToSurface(double value, std::uint64_t limit) {
    if (!(value > 0.0)) return 0;
    if (value >= static_cast<double>(limit)) return static_cast<std::int64_t>(limit);
    return static_cast<std::int64_t>(value);
}

// The radius of the corner in the quadrant of `p` around the box centre, and the offset of `p`
// from the centre folded into that quadrant, less the half size, plus the radius.
struct CornerFrame {
    float qx;
    float qy;
    float radius;
};

CornerFrame cornerFrame(const RoundedBox& box, Point p) {
    float hx = box.half_width;
    float hy = box.half_height;
    float cx = box.centre.x;
    float cy = box.centre.y;
    bool right = p.x >= cx;
    bool below = p.y >= cy;
    float radius = below ? (right ? box.radii[2] : box.radii[3]) : (right ? box.radii[1] : box.radii[0]);
    return {std::fabs(p.x - cx) - hx + radius, std::fabs(p.y - cy) - hy + radius, radius};
}

// min(max(qx, qy), 0) + |max(q, 0)| - r
float signedDistance(const CornerFrame& f) {
    float ox = std::max(f.qx, 0.0f);
    float oy = std::max(f.qy, 0.0f);
    return std::min(std::max(f.qx, f.qy), 0.0f) + std::sqrt(ox * ox + oy * oy) - f.radius;
}

}  // namespace

std::optional<PixelRect> referencePixelRect(Rect rect, std::uint64_t width, std::uint64_t height) {
    rect = normalizeRect(rect);
    double x = finiteOrZero(rect.x);
    double y = finiteOrZero(rect.y);
    double w = finiteOrZero(rect.width);
    double h = finiteOrZero(rect.height);
    std::int64_t x0 = clampToSurface(std::floor(x), width);
    std::int64_t y0 = clampToSurface(std::floor(y), height);
    std::int64_t x1 = clampToSurface(std::ceil(x + w), width);
    std::int64_t y1 = clampToSurface(std::ceil(y + h), height);
    if (x1 <= x0 || y1 <= y0) return std::nullopt;
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

RoundedBox roundedBox(Rect box, const CornerRadii& radii) {
    RoundedBox rounded;
    rounded.box = normalizeRect(box);
    float limit = std::min(rounded.box.width, rounded.box.height) * 0.5f;
    const float given[4] = {radii.top_left, radii.top_right, radii.bottom_right, radii.bottom_left};
    float largest = 0.0f;
    for (int i = 0; i < 4; ++i) {
        rounded.radii[i] = given[i] > 0.0f ? std::min(given[i], limit) : 0.0f;
        largest = std::max(largest, rounded.radii[i]);
    }
    rounded.half_width = rounded.box.width * 0.5f;
    rounded.half_height = rounded.box.height * 0.5f;
    rounded.centre = {rounded.box.x + rounded.half_width, rounded.box.y + rounded.half_height};
    rounded.inside_x = rounded.half_width - largest - 1.0f;
    rounded.inside_y = rounded.half_height - largest - 1.0f;
    return rounded;
}

bool referencePointInRoundedRect(Rect rect, const CornerRadii& radii, float x, float y) {
    RoundedBox rounded = roundedBox(rect, radii);
    const Rect& r = rounded.box;
    if (!(x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)) return false;
    CornerFrame f = cornerFrame(rounded, {x, y});
    if (f.radius <= 0.0f || f.qx <= 0.0f || f.qy <= 0.0f) return true;
    return f.qx * f.qx + f.qy * f.qy <= f.radius * f.radius;
}

float transformScale(const Affine& t) {
    float first = std::sqrt(t.a * t.a + t.b * t.b);
    float second = std::sqrt(t.c * t.c + t.d * t.d);
    float scale = std::max(first, second);
    return scale >= 0.0001f ? scale : 0.0001f;  // NaN too
}

namespace {

// Points this deep inside have coverage 1 and distance 0 by the formulas below, with a pixel to
// spare for rounding.
bool surelyInside(const RoundedBox& box, Point p) {
    return std::fabs(p.x - box.centre.x) <= box.inside_x && std::fabs(p.y - box.centre.y) <= box.inside_y;
}

}  // namespace

float roundedBoxCoverage(const RoundedBox& box, Point p) {
    if (surelyInside(box, p)) return 1.0f;
    CornerFrame f = cornerFrame(box, p);
    if (std::max(f.qx, f.qy) <= -0.5f) return 1.0f;
    if (f.qx - f.radius >= 0.5f || f.qy - f.radius >= 0.5f) return 0.0f;
    float coverage = 0.5f - signedDistance(f);
    return coverage > 0.0f ? std::min(coverage, 1.0f) : 0.0f;  // NaN counts as 0
}

float roundedBoxDistance(const RoundedBox& box, Point p) {
    if (surelyInside(box, p)) return 0.0f;
    return std::max(signedDistance(cornerFrame(box, p)), 0.0f);
}

float shadowIntensity(float distance, float blur) {
    if (!(blur > 0.0f)) return distance > 0.0f ? 0.0f : 1.0f;
    float t = std::clamp(1.0f - distance / blur, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

}  // namespace kelvo
