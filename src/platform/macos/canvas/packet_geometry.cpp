#include "platform/macos/canvas/packet_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

std::uint32_t clampToSide(double value, std::uint32_t side) {
    if (!(value > 0.0)) return 0;  // also a NaN
    if (value >= static_cast<double>(side)) return side;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> pixelSide(double points, double scale) {
    double pixels = std::ceil(points * scale);
    if (!std::isfinite(pixels) || pixels < 1.0 || pixels > kCanvasMaxPixelSide) return std::nullopt;
    return static_cast<std::uint32_t>(pixels);
}

}  // namespace

double effectiveScale(double scale) { return std::isfinite(scale) && scale > 0.0 ? scale : 1.0; }

std::optional<CanvasPixelSize> canvasPixelSize(double width, double height, double scale) {
    double s = effectiveScale(scale);
    std::optional<std::uint32_t> w = pixelSide(width, s);
    std::optional<std::uint32_t> h = pixelSide(height, s);
    if (!w || !h) return std::nullopt;
    return CanvasPixelSize{*w, *h};
}

PacketRect standardizeRect(PacketRect rect) {
    if (rect.width < 0) {
        rect.x += rect.width;
        rect.width = -rect.width;
    }
    if (rect.height < 0) {
        rect.y += rect.height;
        rect.height = -rect.height;
    }
    return rect;
}

bool rectIsEmpty(const PacketRect& rect) {
    PacketRect r = standardizeRect(rect);
    return !(r.width > 0) || !(r.height > 0);
}

PacketRect intersectRects(const PacketRect& a, const PacketRect& b) {
    PacketRect r = standardizeRect(a);
    PacketRect s = standardizeRect(b);
    double x0 = std::max(r.x, s.x);
    double y0 = std::max(r.y, s.y);
    double x1 = std::min(r.x + r.width, s.x + s.width);
    double y1 = std::min(r.y + r.height, s.y + s.height);
    if (!(x1 > x0) || !(y1 > y0)) return PacketRect{r.x, r.y, 0, 0};
    return PacketRect{x0, y0, x1 - x0, y1 - y0};
}

bool packetRectsIntersect(const PacketRect& a, const PacketRect& b) {
    if (rectIsEmpty(a) || rectIsEmpty(b)) return false;
    return !rectIsEmpty(intersectRects(a, b));
}

PacketRect unionRects(const PacketRect& a, const PacketRect& b) {
    PacketRect r = standardizeRect(a);
    PacketRect s = standardizeRect(b);
    double x0 = std::min(r.x, s.x);
    double y0 = std::min(r.y, s.y);
    double x1 = std::max(r.x + r.width, s.x + s.width);
    double y1 = std::max(r.y + r.height, s.y + s.height);
    return PacketRect{x0, y0, x1 - x0, y1 - y0};
}

PixelGridRect snapRectToPixels(const PacketRect& rect, double scale, std::uint32_t pixelWidth,
                               std::uint32_t pixelHeight) {
    PacketRect r = standardizeRect(rect);
    PixelGridRect p;
    p.x0 = clampToSide(std::floor(r.x * scale), pixelWidth);
    p.y0 = clampToSide(std::floor(r.y * scale), pixelHeight);
    p.x1 = std::max(p.x0, clampToSide(std::ceil((r.x + r.width) * scale), pixelWidth));
    p.y1 = std::max(p.y0, clampToSide(std::ceil((r.y + r.height) * scale), pixelHeight));
    return p;
}

PacketRect pixelRectToPoints(const PixelGridRect& rect, double scale) {
    return PacketRect{rect.x0 / scale, rect.y0 / scale, rect.width() / scale, rect.height() / scale};
}

PacketRect alignRectToPixels(std::uint32_t pixelWidth, std::uint32_t pixelHeight, const PacketRect& rect,
                             double scale) {
    double s = effectiveScale(scale);
    return pixelRectToPoints(snapRectToPixels(rect, s, pixelWidth, pixelHeight), s);
}

PassFlags passFlagsFor(PacketLoadAction action, bool hasScissor) {
    PassFlags flags;
    bool isPatch = action == PacketLoadAction::patch;
    flags.fullSurfacePass = action == PacketLoadAction::clear || (isPatch && !hasScissor);
    flags.directRetainedDirtyUpdate = (action == PacketLoadAction::load || isPatch) && hasScissor;
    return flags;
}

}  // namespace kelvo
