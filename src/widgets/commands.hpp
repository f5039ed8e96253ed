#pragma once

// The display-list command: one drawing or state command of a canvas view's display list, a
// tagged union over the payloads below. Slices in a payload are borrowed: a command made by an
// emitter points into the emitter's data until a copy (display_list.hpp) moves that data into the
// pools of the list that owns it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "raster/canvas_geometry.hpp"

namespace kelvo {

// Stored in a byte of which only the low 4 bits are read; 15 names no command.
enum class CanvasCommandTag : std::uint8_t {
    push_clip = 0,
    pop_clip = 1,
    push_opacity = 2,
    pop_opacity = 3,
    transform = 4,
    fill_rect = 5,
    stroke_rect = 6,
    fill_rounded_rect = 7,
    draw_line = 8,
    fill_path = 9,
    stroke_path = 10,
    draw_image = 11,
    draw_text = 12,
    shadow = 13,
    blur = 14,
};

inline constexpr unsigned kCanvasCommandTagCount = 15;

enum class LineCap : std::uint8_t { butt = 0, round = 1 };  // stored in 1 bit

struct PushClipCommand {
    std::uint64_t id = 0;
    Rect rect;
    CornerRadii radii;
};

struct PushOpacityCommand {
    float opacity = 1;
};

struct FillRectCommand {
    std::uint64_t id = 0;
    Paint paint;
    Rect rect;
};

struct StrokeRectCommand {
    std::uint64_t id = 0;
    Stroke stroke;
    Rect rect;
    CornerRadii radii;
};

struct FillRoundedRectCommand {
    std::uint64_t id = 0;
    Paint paint;
    Rect rect;
    CornerRadii radii;
};

struct DrawLineCommand {
    std::uint64_t id = 0;
    Stroke stroke;
    Point from;
    Point to;
};

struct FillPathCommand {
    std::uint64_t id = 0;
    std::span<const PathElement> elements;
    Paint paint;
};

struct StrokePathCommand {
    std::uint64_t id = 0;
    std::span<const PathElement> elements;
    Stroke stroke;
    LineCap cap = LineCap::butt;
};

struct DrawImageCommand {
    std::uint64_t id = 0;
    std::uint64_t image = 0;
    std::optional<Rect> src;  // the part of the image drawn; absent: all of it
    Rect dst;
    float opacity = 1;
    CornerRadii radii;
    ImageFit fit = ImageFit::stretch;
    ImageSampling sampling = ImageSampling::linear;
};

// A text run: the text layout takes this payload as its input.
struct DrawTextCommand {
    std::uint64_t id = 0;
    std::uint64_t font = 0;
    std::string_view text;                    // UTF-8
    std::span<const PositionedGlyph> glyphs;  // may be empty: the text is laid out from `text`
    std::optional<TextLayoutBox> layout;
    float size = 0;
    Point origin;  // x of the line start, y of the first baseline
    Color color;
};

struct ShadowCommand {
    std::uint64_t id = 0;
    Rect rect;
    Color color;
    Point offset;
    float blur = 0;
    float spread = 0;
    CornerRadii radii;
};

struct BlurCommand {
    std::uint64_t id = 0;
    Rect rect;
    float radius = 0;
};

struct CanvasCommand {
    static constexpr std::size_t kPayloadBytes =
        std::max({sizeof(PushClipCommand), sizeof(PushOpacityCommand), sizeof(Affine), sizeof(FillRectCommand),
                  sizeof(StrokeRectCommand), sizeof(FillRoundedRectCommand), sizeof(DrawLineCommand),
                  sizeof(FillPathCommand), sizeof(StrokePathCommand), sizeof(DrawImageCommand), sizeof(DrawTextCommand),
                  sizeof(ShadowCommand), sizeof(BlurCommand)});

    CanvasCommandTag tag = CanvasCommandTag::pop_clip;
    // Exactly the member named by the tag is meaningful; pop_clip and pop_opacity carry nothing.
    union {
        unsigned char empty_payload[kPayloadBytes];
        PushClipCommand push_clip;
        PushOpacityCommand push_opacity;
        Affine transform;
        FillRectCommand fill_rect;
        StrokeRectCommand stroke_rect;
        FillRoundedRectCommand fill_rounded_rect;
        DrawLineCommand draw_line;
        FillPathCommand fill_path;
        StrokePathCommand stroke_path;
        DrawImageCommand draw_image;
        DrawTextCommand draw_text;
        ShadowCommand shadow;
        BlurCommand blur;
    };

    // An empty payload: every byte zero, so copies of a command never read unset bytes.
    CanvasCommand() : empty_payload{} {}

    static CanvasCommand pushClip(const PushClipCommand& payload);
    static CanvasCommand popClip();
    static CanvasCommand pushOpacity(float opacity);
    static CanvasCommand popOpacity();
    static CanvasCommand transformBy(const Affine& matrix);
    static CanvasCommand fillRect(const FillRectCommand& payload);
    static CanvasCommand strokeRect(const StrokeRectCommand& payload);
    static CanvasCommand fillRoundedRect(const FillRoundedRectCommand& payload);
    static CanvasCommand drawLine(const DrawLineCommand& payload);
    static CanvasCommand fillPath(const FillPathCommand& payload);
    static CanvasCommand strokePath(const StrokePathCommand& payload);
    static CanvasCommand drawImage(const DrawImageCommand& payload);
    static CanvasCommand drawText(const DrawTextCommand& payload);
    static CanvasCommand shadowOf(const ShadowCommand& payload);
    static CanvasCommand blurOf(const BlurCommand& payload);
};

// The tag as readers see it: its low 4 bits. 15 is no command (no bounds, never equal).
inline unsigned canvasCommandTagBits(const CanvasCommand& command) { return static_cast<unsigned>(command.tag) & 0xFu; }

// The command id (widget id × 16 + part), 0 for the commands that carry none.
std::uint64_t canvasCommandId(const CanvasCommand& command);

// The area a command can touch, or none for the state commands, for paths without points and for
// text that the text layout gives no bounds.
std::optional<Rect> canvasCommandBounds(const CanvasCommand& command);

// Both absent: absent. One absent: the other, normalised. Both present: the smallest rectangle
// holding both, where an empty side gives way to the other (two empty sides give {0, 0, 0, 0}).
std::optional<Rect> unionOptionalBounds(std::optional<Rect> a, std::optional<Rect> b);

// The union of every command's bounds, or absent as soon as the list holds a draw_text (its
// bounds would need the text measurer) or when no command has bounds.
std::optional<Rect> displayListBoundsWithoutText(std::span<const CanvasCommand> commands);

}  // namespace kelvo
