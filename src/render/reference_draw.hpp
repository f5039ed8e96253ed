#pragma once

// Private to render/: the drawing of each tag of the reference renderer and what they share.

#include <array>
#include <cstdint>

#include "base/error.hpp"
#include "raster/font_ttf.hpp"
#include "raster/sweep.hpp"
#include "render/reference.hpp"

namespace kelvo {

// The colour of a paint at device points, for one command: solid, or a linear gradient whose end
// points went through the command's transform. Remembers its last gradient position.
class PaintSampler {
public:
    PaintSampler(const Paint& paint, const Affine& transform);

    [[nodiscard]] bool solid() const { return solid_; }
    Color at(Point point);

private:
    const Paint* paint_;
    bool solid_ = true;
    Color colour_;
    Point start_;
    Point direction_;
    float length_squared_ = 0;
    float last_t_ = 0;
    Color last_colour_;
    bool has_last_ = false;
};

// The gradient colour at position t along it.
Color gradientColourAt(const LinearGradient& gradient, float t);

// Blends `paint` into pixels x .. x + count - 1 of row y at the given coverage per pixel (null: 1)
// with blendPixelCoverage; pixels of equal colour under equal coverage are blended once.
void paintRun(const ReferenceRenderSurface& surface, std::int64_t y, std::int64_t x, std::int64_t count,
              const float* coverage, PaintSampler& paint, float opacity, bool plain);

// The working records of the renderer on this thread: the edge accumulator and a glyph path.
struct ReferenceScratch {
    Rasterizer rasterizer;
    GlyphPathBuilder glyph_path;
    std::array<float, kRasterMaxWidth> row;  // coverage of a piece of one row
};
ReferenceScratch& referenceScratch();

// Sweeps the edges gathered in `rasterizer` over `pixels`, in bands of at most 8,192 columns (the
// widest the sweep takes), and paints each covered pixel.
Status fillRasterized(const ReferenceRenderSurface& surface, Rasterizer& rasterizer, const PixelRect& pixels,
                      FillRule rule, PaintSampler& paint, float opacity, bool plain);

// The per-tag drawing over the pixel rectangle of the command's area (`area` is that area in
// device space, already clipped).
void drawFillRect(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
void drawStrokeRect(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
void drawFillRoundedRect(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
void drawLineCommand(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
Status drawFillPath(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
Status drawStrokePath(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
void drawShadow(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
Status drawImage(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);
void drawText(const ReferenceRenderSurface& surface, const RenderCommand& command, Rect area);
Status drawBlur(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels);

// How far a blur of this command reaches beyond its area, in pixels (0 for other tags).
std::int64_t blurReach(const RenderCommand& command);

}  // namespace kelvo
