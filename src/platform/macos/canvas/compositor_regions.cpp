#include <algorithm>
#include <cmath>

#include "platform/macos/canvas/compositor_private.hpp"

namespace kelvo::composite {

namespace {

bool overlap(const PixelGridRect& a, const PixelGridRect& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

PixelGridRect join(const PixelGridRect& a, const PixelGridRect& b) {
    return PixelGridRect{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

bool whole(double value) { return std::fabs(value - std::round(value)) <= 1e-6; }

}  // namespace

std::vector<PixelGridRect> repaintRegions(const CompositeFrame& frame, bool partial) {
    std::vector<PixelGridRect> regions;
    if (!partial) {
        regions.push_back(PixelGridRect{0, 0, frame.pixelWidth, frame.pixelHeight});
        return regions;
    }
    std::span<const PacketRect> rects = frame.dirtyRects;
    if (rects.empty()) rects = std::span<const PacketRect>(&frame.scissor, 1);
    for (const PacketRect& rect : rects) {
        PixelGridRect p = snapRectToPixels(rect, frame.scale, frame.pixelWidth, frame.pixelHeight);
        if (!p.empty()) regions.push_back(p);
    }
    for (std::size_t i = 0; i < regions.size(); ++i) {
        for (std::size_t j = i + 1; j < regions.size(); ++j) {
            if (!overlap(regions[i], regions[j])) continue;
            regions[i] = join(regions[i], regions[j]);
            regions[j] = regions.back();
            regions.pop_back();
            i = static_cast<std::size_t>(-1);  // start over after every merge
            break;
        }
    }
    return regions;
}

std::optional<PixelGridRect> flatQuadRect(const PacketCommand& command, double scale, std::uint32_t pixelWidth,
                                          std::uint32_t pixelHeight) {
    if (command.kind != 0 || command.transform || !command.paint || !command.shape) return std::nullopt;
    const PacketPaint& paint = *command.paint;
    // Only a plain rectangle is what the quad draws: a rounded or stroked shape is not.
    if (paint.kind != PacketPaintKind::color || command.shape->kind != PacketShapeKind::rect) return std::nullopt;
    if (!paint.color || !(command.opacity >= 1.0) || !((*paint.color)[3] >= 1.0)) return std::nullopt;
    PacketRect rect = standardizeRect(command.shape->rect);
    if (command.clip) rect = intersectRects(rect, *command.clip);
    if (rectIsEmpty(rect)) return std::nullopt;
    double edges[4] = {rect.x * scale, rect.y * scale, (rect.x + rect.width) * scale, (rect.y + rect.height) * scale};
    for (double edge : edges) {
        if (!whole(edge)) return std::nullopt;
    }
    PixelGridRect p = snapRectToPixels(rect, scale, pixelWidth, pixelHeight);
    if (p.empty()) return std::nullopt;
    return p;
}

std::array<float, 4> premultipliedClear(const std::array<std::uint8_t, 4>& clear) {
    float a = clear[3] / 255.0f;
    return {clear[0] / 255.0f * a, clear[1] / 255.0f * a, clear[2] / 255.0f * a, a};
}

}  // namespace kelvo::composite
