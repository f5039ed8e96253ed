#pragma once

// The reference renderer: draws render commands into an RGBA8 surface (straight alpha, sRGB) one at
// a time, in software, without a GPU. It is the program's reference for what a canvas frame looks
// like: screenshots and goldens rest on it.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "raster/font_ttf.hpp"
#include "render/reference_geometry.hpp"
#include "render/reference_memo.hpp"
#include "render/render_command.hpp"
#include "text/text_layout.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

struct ReferenceImage {
    std::uint64_t id = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::span<const std::uint8_t> pixels;  // RGBA8, straight alpha, rows from the top
};

struct ReferenceFont {
    std::uint64_t id = 0;
    const Face* face = nullptr;
};

struct ReferenceRenderSurface {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::span<std::uint8_t> pixels;   // width x height x 4 bytes: R, G, B, A, rows from the top
    std::span<std::uint8_t> scratch;  // as large as `pixels`; without it blur cannot be drawn
    std::span<const ReferenceImage> images;
    std::span<const ReferenceFont> fonts;
    ReferenceRenderMemo* memo = nullptr;

    [[nodiscard]] std::uint8_t* pixel(std::int64_t x, std::int64_t y) const {
        return pixels.data() + (static_cast<std::uint64_t>(y) * width + static_cast<std::uint64_t>(x)) * 4;
    }
};

// Draws one render command over its bounds, intersected with `clip` when one is given. An area
// without positive size draws nothing and succeeds whatever the tag. ReferenceRenderUnsupportedCommand
// for a layer command, blur without a scratch buffer, an image whose pixels fall short, and any
// rasteriser error of a path; ReferenceRenderSurfaceTooSmall when the pixel buffer is shorter than
// width x height x 4.
Status renderCommand(ReferenceRenderSurface& surface, const RenderCommand& command, std::optional<Rect> clip);

// Draws render commands in order and stops at the first error.
Status renderCommands(ReferenceRenderSurface& surface, std::span<const RenderCommand> commands);

// Source-over of `colour` at `coverage` and `opacity` onto one pixel. An anti-aliased edge pixel of
// an opaque paint (0 < coverage < 1, opacity x alpha at least 1) blends in linear light unless
// `plain` is set; everything else goes through blendRgba8 at alpha coverage x colour alpha.
void blendPixelCoverage(const ReferenceRenderSurface& surface, std::int64_t x, std::int64_t y, const Color& colour,
                        float coverage, float opacity, bool plain);

// The colour of a paint at a device point: a solid colour, or a linear gradient whose end points
// go through `transform`, mixed between stops in linear light.
Color referenceSampleFill(const Paint& paint, const Affine& transform, Point point);

// One RGBA8 sample of the source rectangle `src` of an image at (u, v) in 0..1: the nearest pixel,
// or with `linear` the four around it mixed in linear light (alpha-weighted). Neighbours stay
// inside the source rectangle.
std::array<std::uint8_t, 4> referenceSampleImage(const ReferenceImage& image, Rect src, bool linear, float u, float v);

// Draws one laid-out line of a draw_text command, clipped to `clip`.
void drawTextLine(const ReferenceRenderSurface& surface, const RenderCommand& state, const DrawTextCommand& text,
                  Rect clip, const TextRun& run, const TextLine& line);

// Draws one character in its glyph box (the box's bottom is the baseline), or a solid box when the
// character is missing, the face lacks it or its outline cannot be read.
void drawGlyphBox(const ReferenceRenderSurface& surface, const RenderCommand& state, const DrawTextCommand& text,
                  Rect clip, std::optional<std::uint32_t> code_point, Rect box);

}  // namespace kelvo
