#pragma once

// The GPU command list: each render command of a planned frame as one flat record that fixes the
// packet's command kind numbering, normalises geometry, classifies the paint and the retained
// resource the command needs, and carries the render state unchanged. Packet summaries count these
// records and patch regions are keyed from them; a canvas presenter reads packet commands whose
// kinds are numbered exactly as here.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "raster/canvas_geometry.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

struct RenderCommand;

enum class CanvasGpuCommandKind : std::uint8_t {
    fill_rect_solid = 0,
    fill_rect_gradient = 1,
    fill_rounded_rect_solid = 2,
    fill_rounded_rect_gradient = 3,
    stroke_rect_solid = 4,
    stroke_rect_gradient = 5,
    draw_line_solid = 6,
    draw_line_gradient = 7,
    fill_path = 8,
    stroke_path = 9,
    draw_image = 10,
    draw_text = 11,
    shadow = 12,
    blur = 13,
    layer = 14,  // a clip, opacity or transform command: nothing to draw, unsupported in packets
};

inline constexpr unsigned kCanvasGpuCommandKindCount = 15;

enum class GpuShapeKind : std::uint8_t { none = 0, rect = 1, rounded_rect = 2, stroked_rect = 3, line = 4, path = 5 };
enum class GpuPaintKind : std::uint8_t { none = 0, solid = 1, linear_gradient = 2 };
enum class GpuResourceKind : std::uint8_t {
    none = 0,
    gradient = 1,
    image = 2,
    text = 3,
    path = 4,
    shadow = 5,
    blur = 6
};
enum class GpuEffectKind : std::uint8_t { none = 0, shadow = 1, blur = 2 };

struct CanvasGpuCommand {
    std::uint64_t index = 0;  // the render command's place in the render pass
    std::optional<std::uint64_t> id;

    // Geometry: a normalised rectangle (rect, rounded rect, stroked rect, image destination,
    // shadow and blur), the end points of a line, the elements of a path; radii where the command
    // has them.
    Rect rect;
    Point from;
    Point to;
    std::span<const PathElement> elements;
    CornerRadii radii;
    GpuShapeKind shape = GpuShapeKind::none;

    // Paint: the solid colour (also a text's and a shadow's colour), or a gradient's stops and ends.
    GpuPaintKind paint = GpuPaintKind::none;
    Color color;
    std::span<const GradientStop> stops;
    Point gradient_start;
    Point gradient_end;
    float stroke_width = 0;
    LineCap cap = LineCap::butt;

    // draw_image
    std::uint64_t image_id = 0;
    std::optional<Rect> src;
    ImageFit fit = ImageFit::stretch;
    ImageSampling sampling = ImageSampling::nearest;
    float image_opacity = 0;

    // draw_text
    std::uint64_t font = 0;
    float size = 0;
    Point origin;
    std::string_view text;
    std::span<const PositionedGlyph> glyphs;
    std::optional<TextLayoutBox> layout;

    // shadow and blur
    GpuEffectKind effect = GpuEffectKind::none;
    Point offset;
    float blur = 0;  // the shadow's blur
    float spread = 0;
    float radius = 0;  // the blur's radius

    // The render state, copied unchanged.
    float opacity = 1;
    Rect clip;
    bool has_clip = false;
    Affine transform;
    Rect bounds;

    // Summary bytes.
    CanvasGpuCommandKind kind = CanvasGpuCommandKind::layer;
    GpuResourceKind resource = GpuResourceKind::none;
    bool drawable = false;
    bool round_cap = false;
    bool path = false;
    bool image = false;
    bool cached_resource = false;  // needs a retained resource: a gradient, image, text, shadow or blur
    bool effect_flag = false;
    bool text_flag = false;
    bool text_layout_present = false;
};

// The GPU command of the render command at `index` of a render pass. It cannot fail.
CanvasGpuCommand canvasGpuCommandFromRenderCommand(const RenderCommand& command, std::uint64_t index);

}  // namespace kelvo
