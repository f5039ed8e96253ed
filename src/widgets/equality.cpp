#include "widgets/equality.hpp"

#include <algorithm>
#include <cstring>

namespace kelvo {

namespace {

bool eq(Point a, Point b) { return a.x == b.x && a.y == b.y; }
bool eq(const Rect& a, const Rect& b) { return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height; }
bool eq(const Color& a, const Color& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }
bool eq(const CornerRadii& a, const CornerRadii& b) {
    return a.top_left == b.top_left && a.top_right == b.top_right && a.bottom_right == b.bottom_right &&
           a.bottom_left == b.bottom_left;
}
bool eq(const Affine& a, const Affine& b) { return affinesEqual(a, b); }

bool elementsEqual(std::span<const PathElement> a, std::span<const PathElement> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (pathVerbBits(a[i].verb) != pathVerbBits(b[i].verb)) return false;
        for (int p = 0; p < 3; ++p) {
            if (!eq(a[i].points[p], b[i].points[p])) return false;
        }
    }
    return true;
}

bool glyphsEqual(std::span<const PositionedGlyph> a, std::span<const PositionedGlyph> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const PositionedGlyph& x = a[i];
        const PositionedGlyph& y = b[i];
        if (x.font != y.font || x.text_offset != y.text_offset || x.text_length != y.text_length ||
            x.glyph != y.glyph || x.x != y.x || x.y != y.y || x.advance != y.advance) {
            return false;
        }
    }
    return true;
}

bool layoutsEqual(const std::optional<TextLayoutBox>& a, const std::optional<TextLayoutBox>& b) {
    if (!a || !b) return !a && !b;
    return std::max(a->max_width, 0.0f) == std::max(b->max_width, 0.0f) &&
           std::max(a->line_height, 0.0f) == std::max(b->line_height, 0.0f) &&
           maskedTextWrap(a->wrap) == maskedTextWrap(b->wrap) &&
           maskedTextAlign(a->align) == maskedTextAlign(b->align) && a->no_ellipsis == b->no_ellipsis;
}

bool textEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.data() == b.data() || a.empty()) return true;
    return std::memcmp(a.data(), b.data(), a.size()) == 0;
}

bool drawTextEqual(const DrawTextCommand& a, const DrawTextCommand& b) {
    return a.id == b.id && a.font == b.font && a.size == b.size && eq(a.origin, b.origin) && eq(a.color, b.color) &&
           textEqual(a.text, b.text) && glyphsEqual(a.glyphs, b.glyphs) && layoutsEqual(a.layout, b.layout);
}

bool drawImageEqual(const DrawImageCommand& a, const DrawImageCommand& b) {
    if (a.id != b.id || a.image != b.image) return false;
    if (a.src.has_value() != b.src.has_value() || (a.src && !eq(*a.src, *b.src))) return false;
    return a.opacity == b.opacity && eq(a.dst, b.dst) &&
           maskedImageSampling(a.sampling) == maskedImageSampling(b.sampling) &&
           maskedImageFit(a.fit) == maskedImageFit(b.fit) && eq(a.radii, b.radii);
}

}  // namespace

bool paintsEqual(const Paint& a, const Paint& b) {
    if (a.kind != b.kind) return false;
    if (a.kind == PaintKind::solid) return eq(a.color, b.color);
    const LinearGradient& x = a.gradient;
    const LinearGradient& y = b.gradient;
    if (!eq(x.start, y.start) || !eq(x.end, y.end) || x.stops.size() != y.stops.size()) return false;
    for (std::size_t i = 0; i < x.stops.size(); ++i) {
        if (x.stops[i].offset != y.stops[i].offset || !eq(x.stops[i].color, y.stops[i].color)) return false;
    }
    return true;
}

bool strokesEqual(const Stroke& a, const Stroke& b) { return a.width == b.width && paintsEqual(a.paint, b.paint); }

bool commandsEqual(const CanvasCommand& a, const CanvasCommand& b) {
    unsigned tag = canvasCommandTagBits(a);
    if (tag != canvasCommandTagBits(b)) return false;
    switch (static_cast<CanvasCommandTag>(tag)) {
        case CanvasCommandTag::pop_clip:
        case CanvasCommandTag::pop_opacity:
            return true;
        case CanvasCommandTag::push_opacity:
            return a.push_opacity.opacity == b.push_opacity.opacity;
        case CanvasCommandTag::transform:
            return eq(a.transform, b.transform);
        case CanvasCommandTag::push_clip:
            return a.push_clip.id == b.push_clip.id && eq(a.push_clip.rect, b.push_clip.rect) &&
                   eq(a.push_clip.radii, b.push_clip.radii);
        case CanvasCommandTag::fill_rect:
            return a.fill_rect.id == b.fill_rect.id && eq(a.fill_rect.rect, b.fill_rect.rect) &&
                   paintsEqual(a.fill_rect.paint, b.fill_rect.paint);
        case CanvasCommandTag::fill_rounded_rect: {
            const FillRoundedRectCommand& x = a.fill_rounded_rect;
            const FillRoundedRectCommand& y = b.fill_rounded_rect;
            return x.id == y.id && eq(x.rect, y.rect) && eq(x.radii, y.radii) && paintsEqual(x.paint, y.paint);
        }
        case CanvasCommandTag::stroke_rect: {
            const StrokeRectCommand& x = a.stroke_rect;
            const StrokeRectCommand& y = b.stroke_rect;
            return x.id == y.id && eq(x.rect, y.rect) && eq(x.radii, y.radii) && strokesEqual(x.stroke, y.stroke);
        }
        case CanvasCommandTag::draw_line: {
            const DrawLineCommand& x = a.draw_line;
            const DrawLineCommand& y = b.draw_line;
            return x.id == y.id && eq(x.from, y.from) && eq(x.to, y.to) && strokesEqual(x.stroke, y.stroke);
        }
        case CanvasCommandTag::fill_path: {
            const FillPathCommand& x = a.fill_path;
            const FillPathCommand& y = b.fill_path;
            return x.id == y.id && elementsEqual(x.elements, y.elements) && paintsEqual(x.paint, y.paint);
        }
        case CanvasCommandTag::stroke_path: {
            const StrokePathCommand& x = a.stroke_path;
            const StrokePathCommand& y = b.stroke_path;
            return x.id == y.id && (static_cast<unsigned>(x.cap) & 1u) == (static_cast<unsigned>(y.cap) & 1u) &&
                   elementsEqual(x.elements, y.elements) && strokesEqual(x.stroke, y.stroke);
        }
        case CanvasCommandTag::draw_image:
            return drawImageEqual(a.draw_image, b.draw_image);
        case CanvasCommandTag::draw_text:
            return drawTextEqual(a.draw_text, b.draw_text);
        case CanvasCommandTag::shadow: {
            const ShadowCommand& x = a.shadow;
            const ShadowCommand& y = b.shadow;
            return x.id == y.id && eq(x.rect, y.rect) && eq(x.color, y.color) && eq(x.offset, y.offset) &&
                   x.blur == y.blur && x.spread == y.spread && eq(x.radii, y.radii);
        }
        case CanvasCommandTag::blur:
            return a.blur.id == b.blur.id && eq(a.blur.rect, b.blur.rect) && a.blur.radius == b.blur.radius;
    }
    return false;
}

}  // namespace kelvo
