#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "platform/macos/canvas/canvas_2d.hpp"
#include "platform/macos/canvas/packet_raster.hpp"
#include "platform/macos/canvas/packet_raster_body.hpp"

namespace kelvo {

namespace {

constexpr std::int64_t kBlurMaxWindow = 64;

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

// floor or ceil of a pixel coordinate, clamped to 0..limit in the double domain first.
std::int64_t pixelIndex(double value, std::int64_t limit) {
    if (std::isnan(value)) return 0;
    return static_cast<std::int64_t>(std::clamp(value, 0.0, static_cast<double>(limit)));
}

std::uint8_t roundedChannel(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::round(value), 0.0, 255.0));
}

// The box sums along one line: for every position p in [from, to), the four channel sums over the
// window max(0, p - window) .. min(limit - 1, p + window) and the window's pixel count, kept as
// running sums (the pixel entering the window added, the one leaving it taken away).
template <class Read, class Write>
void boxLine(std::int64_t from, std::int64_t to, std::int64_t limit, std::int64_t window, Read&& read, Write&& write) {
    std::uint64_t sums[4] = {0, 0, 0, 0};
    auto add = [&](std::int64_t p, int sign) {
        const std::uint8_t* pixel = read(p);
        for (int c = 0; c < 4; ++c) sums[c] = sign > 0 ? sums[c] + pixel[c] : sums[c] - pixel[c];
    };
    for (std::int64_t p = std::max<std::int64_t>(0, from - window); p <= std::min(limit - 1, from + window); ++p) {
        add(p, 1);
    }
    for (std::int64_t p = from; p < to; ++p) {
        if (p > from) {
            if (p + window <= limit - 1) add(p + window, 1);
            if (p - window - 1 >= 0) add(p - window - 1, -1);
        }
        auto count =
            static_cast<std::uint64_t>(std::min(limit - 1, p + window) - std::max<std::int64_t>(0, p - window) + 1);
        write(p, sums, count);
    }
}

}  // namespace

PacketRect packetTransformRect(const std::optional<PacketTransform>& transform, PacketRect rect) {
    if (!transform) return rect;
    const PacketTransform& t = *transform;
    double a = finiteOr(t[0], 1), b = finiteOr(t[1], 0), c = finiteOr(t[2], 0), d = finiteOr(t[3], 1);
    double tx = finiteOr(t[4], 0), ty = finiteOr(t[5], 0);
    rect = standardRect(rect);
    double xs[2] = {rect.x, rect.x + rect.width};
    double ys[2] = {rect.y, rect.y + rect.height};
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (double x : xs) {
        for (double y : ys) {
            double px = a * x + c * y + tx;
            double py = b * x + d * y + ty;
            x0 = std::min(x0, px);
            y0 = std::min(y0, py);
            x1 = std::max(x1, px);
            y1 = std::max(y1, py);
        }
    }
    return standardRect({x0, y0, x1 - x0, y1 - y0});
}

double packetTransformScale(const std::optional<PacketTransform>& transform) {
    if (!transform) return 1.0;
    const PacketTransform& t = *transform;
    double a = finiteOr(t[0], 1), b = finiteOr(t[1], 0), c = finiteOr(t[2], 0), d = finiteOr(t[3], 1);
    return std::max(std::max(std::hypot(a, b), std::hypot(c, d)), 0.0001);
}

bool applyPacketBlur(const PacketEffect& effect, const std::optional<PacketTransform>& transform,
                     const std::optional<PacketRect>& clip, double opacity, double scale, PacketPixels target,
                     std::span<const PacketRect> repaint) {
    if (repaint.empty()) return applyPacketBlurInside(effect, transform, clip, opacity, scale, target, nullptr);
    Canvas2d area = makeCanvas2d(target, scale > 0 && std::isfinite(scale) ? scale : 1, 0, 0);
    canvasClipToUnion(area, repaint);
    return applyPacketBlurInside(effect, transform, clip, opacity, scale, target, &area);
}

bool applyPacketBlurInside(const PacketEffect& effect, const std::optional<PacketTransform>& transform,
                           const std::optional<PacketRect>& clip, double opacity, double scale, PacketPixels target,
                           const Canvas2d* repaint) {
    if (target.data == nullptr || target.width == 0 || target.height == 0) return false;
    PacketRect region = standardRect(packetTransformRect(transform, effect.rect));
    if (clip) region = intersectPacketRects(region, *clip);
    if (packetRectEmpty(region)) return true;
    double s = scale > 0 && std::isfinite(scale) ? scale : 1;
    std::int64_t width = target.width, height = target.height;
    std::int64_t x0 = pixelIndex(std::floor(s * region.x), width);
    std::int64_t y0 = pixelIndex(std::floor(s * region.y), height);
    std::int64_t x1 = std::max(x0, pixelIndex(std::ceil(s * (region.x + region.width)), width));
    std::int64_t y1 = std::max(y0, pixelIndex(std::ceil(s * (region.y + region.height)), height));
    if (x1 <= x0 || y1 <= y0) return true;
    double radius_pixels = std::max(0.0, finiteOr(effect.radius, 0) * s * packetTransformScale(transform));
    std::int64_t r = static_cast<std::int64_t>(std::round(std::min(radius_pixels, 1e6)));
    if (r == 0) return true;
    std::int64_t window = std::min(r, kBlurMaxWindow);
    if (!(opacity > 0)) return true;
    opacity = std::min(opacity, 1.0);

    std::int64_t wx0 = std::max<std::int64_t>(0, x0 - window), wx1 = std::min(width, x1 + window);
    std::int64_t wy0 = std::max<std::int64_t>(0, y0 - window), wy1 = std::min(height, y1 + window);
    std::int64_t ww = wx1 - wx0, wh = wy1 - wy0;
    std::vector<std::uint8_t> a;
    std::vector<std::uint8_t> b;
    try {
        a.resize(static_cast<std::size_t>(ww * wh * 4));
        b.resize(a.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::int64_t y = 0; y < wh; ++y) {
        const std::uint8_t* row = target.data + ((wy0 + y) * width + wx0) * 4;
        std::copy(row, row + ww * 4, a.data() + y * ww * 4);
    }
    auto at = [&](std::int64_t x, std::int64_t y) {
        return static_cast<std::size_t>(((y - wy0) * ww + (x - wx0)) * 4);
    };

    // Horizontal into B along each row of the working region, then vertical from B, each pixel
    // mixed with its earlier value (A) by the opacity and written back.
    for (std::int64_t y = wy0; y < wy1; ++y) {
        boxLine(
            x0, x1, width, window, [&](std::int64_t x) { return &a[at(x, y)]; },
            [&](std::int64_t x, const std::uint64_t* sums, std::uint64_t count) {
                for (int c = 0; c < 4; ++c) b[at(x, y) + c] = static_cast<std::uint8_t>(sums[c] / count);
            });
    }
    for (std::int64_t x = x0; x < x1; ++x) {
        boxLine(
            y0, y1, height, window, [&](std::int64_t y) { return &b[at(x, y)]; },
            [&](std::int64_t y, const std::uint64_t* sums, std::uint64_t count) {
                if (repaint != nullptr &&
                    !canvasPixelVisible(*repaint, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))) {
                    return;
                }
                std::uint8_t* pixel = target.data + (y * width + x) * 4;
                for (int c = 0; c < 4; ++c) {
                    auto blurred = static_cast<double>(sums[c] / count);
                    double old = a[at(x, y) + c];
                    pixel[c] = roundedChannel(old + (blurred - old) * opacity);
                }
            });
    }
    return true;
}

}  // namespace kelvo
