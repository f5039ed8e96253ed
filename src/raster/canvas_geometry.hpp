#pragma once

// Plain value types shared by the display list, text layout, frame planning and the renderers:
// points, rectangles, colours, paints, strokes, path elements, glyph placements, text and image
// options and affine transforms. Geometry is f32 in view points, origin top left, y downwards.

#include <cstdint>
#include <span>

namespace kelvo {

struct TextMeasurer;

struct Point {
    float x = 0;
    float y = 0;
};

// Width or height may be negative; readers normalise before they compare extents, clip or union.
struct Rect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// Colour channels in 0..1, straight alpha.
struct Color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;
};

struct CornerRadii {
    float top_left = 0;
    float top_right = 0;
    float bottom_right = 0;
    float bottom_left = 0;
};

struct GradientStop {
    float offset = 0;
    Color color;
};

struct LinearGradient {
    std::span<const GradientStop> stops;
    Point start;
    Point end;
};

enum class PaintKind : std::uint8_t { solid = 0, linear_gradient = 1 };

struct Paint {
    PaintKind kind = PaintKind::solid;
    Color color;              // read when kind is solid
    LinearGradient gradient;  // read when kind is linear_gradient

    static Paint solid(Color color) { return Paint{PaintKind::solid, color, {}}; }
    static Paint linear(LinearGradient gradient) { return Paint{PaintKind::linear_gradient, {}, gradient}; }
};

struct Stroke {
    Paint paint;
    float width = 0;
};

// Stored in 3 bits; values 5 to 7 name no verb and carry no points.
enum class PathVerb : std::uint8_t { move_to = 0, line_to = 1, quad_to = 2, cubic_to = 3, close = 4 };

// move_to and line_to use the first point, quad_to the first two (control, end), cubic_to all three,
// close none. Unused point slots are 0: equality and fingerprints read all three.
struct PathElement {
    Point points[3] = {};
    PathVerb verb = PathVerb::move_to;

    static PathElement moveTo(Point p) { return {{p, {}, {}}, PathVerb::move_to}; }
    static PathElement lineTo(Point p) { return {{p, {}, {}}, PathVerb::line_to}; }
    static PathElement quadTo(Point control, Point end) { return {{control, end, {}}, PathVerb::quad_to}; }
    static PathElement cubicTo(Point c1, Point c2, Point end) { return {{c1, c2, end}, PathVerb::cubic_to}; }
    static PathElement close() { return {{}, PathVerb::close}; }
};

// The verb as stored: its low 3 bits.
inline std::uint8_t pathVerbBits(PathVerb verb) { return static_cast<std::uint8_t>(verb) & 7u; }

// Points the element's verb uses: 1 for move_to and line_to, 2 for quad_to, 3 for cubic_to, else 0.
inline int pathVerbPointCount(PathVerb verb) {
    switch (pathVerbBits(verb)) {
        case 0:
        case 1:
            return 1;
        case 2:
            return 2;
        case 3:
            return 3;
        default:
            return 0;
    }
}

struct PositionedGlyph {
    std::uint64_t font = 0;         // 0: the command's font
    std::uint64_t text_offset = 0;  // byte offset of the glyph's cluster in the command's text
    std::uint64_t text_length = 0;  // 0: not mapped to text
    std::uint32_t glyph = 0;
    float x = 0;  // from the command's origin
    float y = 0;  // baseline offset from the origin's y
    float advance = 0;
};

enum class TextWrap : std::uint8_t { none = 0, word = 1, character = 2 };    // stored in 2 bits
enum class TextAlign : std::uint8_t { start = 0, center = 1, end = 2 };      // stored in 2 bits
enum class ImageFit : std::uint8_t { stretch = 0, contain = 1, cover = 2 };  // stored in 2 bits
enum class ImageSampling : std::uint8_t { nearest = 0, linear = 1 };         // stored in 1 bit

inline TextWrap maskedTextWrap(TextWrap wrap) { return static_cast<TextWrap>(static_cast<std::uint8_t>(wrap) & 3u); }
inline TextAlign maskedTextAlign(TextAlign align) {
    return static_cast<TextAlign>(static_cast<std::uint8_t>(align) & 3u);
}
inline ImageFit maskedImageFit(ImageFit fit) { return static_cast<ImageFit>(static_cast<std::uint8_t>(fit) & 3u); }
inline ImageSampling maskedImageSampling(ImageSampling sampling) {
    return static_cast<ImageSampling>(static_cast<std::uint8_t>(sampling) & 1u);
}

struct TextLayoutBox {
    const TextMeasurer* measurer = nullptr;  // not part of equality or fingerprints
    float max_width = 0;
    float line_height = 0;
    TextWrap wrap = TextWrap::none;
    TextAlign align = TextAlign::start;
    bool no_ellipsis = false;
};

// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct Affine {
    float a = 1;
    float b = 0;
    float c = 0;
    float d = 1;
    float tx = 0;
    float ty = 0;
};

inline constexpr Affine kIdentityAffine{};

inline Point applyAffine(const Affine& m, Point p) {
    return {m.a * p.x + m.c * p.y + m.tx, m.b * p.x + m.d * p.y + m.ty};
}

// The map that applies `inner` first and then `outer`.
Affine composeAffine(const Affine& outer, const Affine& inner);

// Coefficient by coefficient, as floats compare (a NaN is never equal, 0 equals -0).
inline bool affinesEqual(const Affine& a, const Affine& b) {
    return a.a == b.a && a.b == b.b && a.c == b.c && a.d == b.d && a.tx == b.tx && a.ty == b.ty;
}

inline bool isIdentityAffine(const Affine& m) { return affinesEqual(m, kIdentityAffine); }

// A negative width moves x by the width and makes the width positive; the same for the height.
inline Rect normalizeRect(Rect rect) {
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

// Whether the rectangle as it stands (not normalised) has a positive width and height.
inline bool hasArea(const Rect& rect) { return rect.width > 0.0f && rect.height > 0.0f; }

// Empty when, after normalising, the width or the height is 0 or less (or not a number).
inline bool rectIsEmpty(Rect rect) {
    const Rect normal = normalizeRect(rect);
    return !(normal.width > 0) || !(normal.height > 0);
}

}  // namespace kelvo
