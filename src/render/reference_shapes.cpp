// The rectangle, line, path and shadow tags of the reference renderer.

#include <algorithm>
#include <cmath>

#include "raster/stroke.hpp"
#include "render/reference_colour.hpp"
#include "render/reference_draw.hpp"

namespace kelvo {

namespace {

Point pixelCentre(std::int64_t x, std::int64_t y) {
    return {static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f};
}

CornerRadii scaledRadii(const CornerRadii& radii, float scale, float grow) {
    auto one = [&](float r) { return std::max(r * scale + grow, 0.0f); };
    return {one(radii.top_left), one(radii.top_right), one(radii.bottom_right), one(radii.bottom_left)};
}

bool anyRadius(const CornerRadii& radii) {
    return radii.top_left > 0.0f || radii.top_right > 0.0f || radii.bottom_right > 0.0f || radii.bottom_left > 0.0f;
}

Rect grownRect(Rect r, float by) {
    return {r.x - by, r.y - by, std::max(r.width + 2.0f * by, 0.0f), std::max(r.height + 2.0f * by, 0.0f)};
}

// The columns of row y whose centres lie surely inside `box`: [from, to), empty when none.
struct ColumnRange {
    std::int64_t from = 0;
    std::int64_t to = 0;
};

ColumnRange surelyInsideColumns(const RoundedBox& box, std::int64_t y) {
    double dy = std::fabs(static_cast<double>(y) + 0.5 - static_cast<double>(box.centre.y));
    if (!(box.inside_x >= 0.0f) || !(dy <= static_cast<double>(box.inside_y))) return {};
    double left = std::ceil(static_cast<double>(box.centre.x) - box.inside_x - 0.5);
    double right = std::floor(static_cast<double>(box.centre.x) + box.inside_x - 0.5) + 1.0;
    if (!(right > left) || !(left > -9.0e15) || !(right < 9.0e15)) return {};
    return {static_cast<std::int64_t>(left), static_cast<std::int64_t>(right)};
}

// Coverage per pixel from `coverageAt`, painted in runs of pixels with coverage above 0, a row at
// a time in pieces as wide as the scratch row. Where a row's pixels lie surely inside `sure`, their
// coverage is `sure_coverage` (1 or 0) without asking.
template <class CoverageAt>
void paintCoverageRows(const ReferenceRenderSurface& surface, const PixelRect& pixels, PaintSampler& paint,
                       float opacity, const RoundedBox& sure, float sure_coverage, CoverageAt coverageAt) {
    float* row = referenceScratch().row.data();
    const auto piece = static_cast<std::int64_t>(referenceScratch().row.size());
    auto paintColumns = [&](std::int64_t y, std::int64_t begin, std::int64_t end) {
        for (std::int64_t from = begin; from < end; from += piece) {
            std::int64_t count = std::min(piece, end - from);
            std::int64_t i = 0;
            while (i < count) {
                while (i < count && !((row[i] = coverageAt(pixelCentre(from + i, y))) > 0.0f)) ++i;
                std::int64_t start = i;
                while (i < count && (row[i] = coverageAt(pixelCentre(from + i, y))) > 0.0f) ++i;
                if (i > start) paintRun(surface, y, from + start, i - start, row + start, paint, opacity, false);
            }
        }
    };
    std::int64_t end = pixels.x + pixels.width;
    for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
        ColumnRange inside = surelyInsideColumns(sure, y);
        std::int64_t from = std::clamp(inside.from, pixels.x, end);
        std::int64_t to = std::clamp(inside.to, from, end);
        paintColumns(y, pixels.x, from);
        if (to > from && sure_coverage > 0.0f) paintRun(surface, y, from, to - from, nullptr, paint, opacity, false);
        paintColumns(y, to, end);
    }
}

// Blends the paint fully, without anti-aliasing, into every pixel whose centre passes `inside`.
template <class Inside>
void paintInsideRows(const ReferenceRenderSurface& surface, const PixelRect& pixels, PaintSampler& paint, float opacity,
                     Inside inside) {
    for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
        std::int64_t i = 0;
        while (i < pixels.width) {
            while (i < pixels.width && !inside(pixelCentre(pixels.x + i, y))) ++i;
            std::int64_t start = i;
            while (i < pixels.width && inside(pixelCentre(pixels.x + i, y))) ++i;
            if (i > start) paintRun(surface, y, pixels.x + start, i - start, nullptr, paint, opacity, true);
        }
    }
}

// Fills a shape whose edges `accumulate` adds to the rasteriser. One too complex for one sweep is
// drawn in bands of at most 64 rows, and a band still too complex in halves, down to single
// pixels; only a pixel that alone is too complex fails.
template <class Accumulate>
Status fillBand(const ReferenceRenderSurface& surface, PixelBox box, FillRule rule, PaintSampler& paint, float opacity,
                const Accumulate& accumulate) {
    Rasterizer& rasterizer = referenceScratch().rasterizer;
    rasterizer.clear();
    setRasterBand(rasterizer, box);
    Status status = accumulate(rasterizer);
    if (status && rasterCrossingsFit(rasterizer)) {
        const PixelRect pixels{box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0};
        return fillRasterized(surface, rasterizer, pixels, rule, paint, opacity, false);
    }
    // Only a full edge list or too many crossings get smaller with the band; any other limit of
    // the path (its point count, say) would fail in every band.
    if (!status && (status.error() != Error::VectorPathTooComplex || rasterizer.count < kRasterEdgeCapacity)) {
        return status;
    }
    const std::int32_t width = box.x1 - box.x0;
    const std::int32_t height = box.y1 - box.y0;
    if (width <= 1 && height <= 1) return fail(Error::VectorPathTooComplex);
    PixelBox first = box;
    PixelBox second = box;
    if (width >= height) {
        first.x1 = second.x0 = box.x0 + width / 2;
    } else {
        first.y1 = second.y0 = box.y0 + height / 2;
    }
    TRY(fillBand(surface, first, rule, paint, opacity, accumulate));
    return fillBand(surface, second, rule, paint, opacity, accumulate);
}

template <class Accumulate>
Status fillShape(const ReferenceRenderSurface& surface, const PixelRect& pixels, FillRule rule, PaintSampler& paint,
                 float opacity, const Accumulate& accumulate) {
    Rasterizer& rasterizer = referenceScratch().rasterizer;
    rasterizer.clear();
    Status status = accumulate(rasterizer);
    if (status && rasterCrossingsFit(rasterizer)) {
        return fillRasterized(surface, rasterizer, pixels, rule, paint, opacity, false);
    }
    if (!status && (status.error() != Error::VectorPathTooComplex || rasterizer.count < kRasterEdgeCapacity)) {
        return status;
    }
    for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; y += kRasterBandRows) {
        const PixelBox band{
            static_cast<std::int32_t>(pixels.x), static_cast<std::int32_t>(y),
            static_cast<std::int32_t>(pixels.x + pixels.width),
            static_cast<std::int32_t>(std::min<std::int64_t>(y + kRasterBandRows, pixels.y + pixels.height))};
        TRY(fillBand(surface, band, rule, paint, opacity, accumulate));
    }
    return {};
}

}  // namespace

void drawFillRect(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    PaintSampler paint(command.command.fill_rect.paint, command.transform);
    for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
        paintRun(surface, y, pixels.x, pixels.width, nullptr, paint, command.opacity, true);
    }
}

void drawStrokeRect(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const StrokeRectCommand& stroke = command.command.stroke_rect;
    float s = transformScale(command.transform);
    float w = stroke.stroke.width * s;
    if (!(w > 0.0f)) return;
    float h = w * 0.5f;
    Rect device = transformedBox(command.transform, stroke.rect);
    PaintSampler paint(stroke.stroke.paint, command.transform);
    if (anyRadius(stroke.radii)) {
        RoundedBox outer = roundedBox(grownRect(device, h), scaledRadii(stroke.radii, s, h));
        RoundedBox inner = roundedBox(grownRect(device, -h), scaledRadii(stroke.radii, s, -h));
        // Deep inside the inner box both coverages are 1: the ring covers nothing there.
        paintCoverageRows(surface, pixels, paint, command.opacity, inner, 0.0f, [&](Point p) {
            float coverage = roundedBoxCoverage(outer, p) - roundedBoxCoverage(inner, p);
            return coverage > 0.0f ? std::min(coverage, 1.0f) : 0.0f;
        });
        return;
    }
    // Square corners: a ring without anti-aliasing, its outer corners rounded by half the width.
    Rect outer = grownRect(device, h);
    Rect inner = grownRect(device, -h);
    CornerRadii outer_radii{h, h, h, h};
    paintInsideRows(surface, pixels, paint, command.opacity, [&](Point p) {
        return referencePointInRoundedRect(outer, outer_radii, p.x, p.y) &&
               !referencePointInRoundedRect(inner, {}, p.x, p.y);
    });
}

void drawFillRoundedRect(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const FillRoundedRectCommand& fill = command.command.fill_rounded_rect;
    float s = transformScale(command.transform);
    RoundedBox box = roundedBox(transformedBox(command.transform, fill.rect), scaledRadii(fill.radii, s, 0.0f));
    PaintSampler paint(fill.paint, command.transform);
    paintCoverageRows(surface, pixels, paint, command.opacity, box, 1.0f,
                      [&](Point p) { return roundedBoxCoverage(box, p); });
}

void drawLineCommand(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const DrawLineCommand& line = command.command.draw_line;
    float half = line.stroke.width * transformScale(command.transform) * 0.5f;
    if (!(half > 0.0f)) return;  // a line without width covers nothing
    Point from = applyAffine(command.transform, line.from);
    Point to = applyAffine(command.transform, line.to);
    float dx = to.x - from.x;
    float dy = to.y - from.y;
    float length_squared = dx * dx + dy * dy;
    bool point_only = !(std::sqrt(length_squared) > 1e-3f);
    PaintSampler paint(line.stroke.paint, command.transform);
    paintInsideRows(surface, pixels, paint, command.opacity, [&](Point p) {
        float t =
            point_only ? 0.0f : std::clamp(((p.x - from.x) * dx + (p.y - from.y) * dy) / length_squared, 0.0f, 1.0f);
        float ex = p.x - (from.x + dx * t);
        float ey = p.y - (from.y + dy * t);
        return std::sqrt(ex * ex + ey * ey) <= half;
    });
}

Status drawFillPath(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const FillPathCommand& path = command.command.fill_path;
    PaintSampler paint(path.paint, command.transform);
    const Status status = fillShape(surface, pixels, FillRule::even_odd, paint, command.opacity, [&](Rasterizer& r) {
        return accumulateFillEdges(r, path.elements, command.transform);
    });
    return status ? Status{} : fail(Error::ReferenceRenderUnsupportedCommand);
}

Status drawStrokePath(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const StrokePathCommand& path = command.command.stroke_path;
    float w = path.stroke.width * transformScale(command.transform);
    if (!(w > 0.0f)) return {};
    StrokeStyle style{w, 4.0f, path.cap == LineCap::round ? StrokeCap::round : StrokeCap::butt, StrokeJoin::round};
    PaintSampler paint(path.stroke.paint, command.transform);
    const Status status = fillShape(surface, pixels, FillRule::winding, paint, command.opacity, [&](Rasterizer& r) {
        return accumulateStrokeEdges(r, path.elements, command.transform, style);
    });
    return status ? Status{} : fail(Error::ReferenceRenderUnsupportedCommand);
}

void drawShadow(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const ShadowCommand& shadow = command.command.shadow;
    float s = transformScale(command.transform);
    Rect shape = normalizeRect(shadow.rect);
    shape.x += shadow.offset.x;
    shape.y += shadow.offset.y;
    CornerRadii radii = scaledRadii(shadow.radii, 1.0f, shadow.spread);
    RoundedBox box =
        roundedBox(transformedBox(command.transform, grownRect(shape, shadow.spread)), scaledRadii(radii, s, 0.0f));
    float blur = shadow.blur * s;
    for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
        std::uint8_t last_in[4] = {};
        std::uint8_t last_out[4] = {};
        float last_intensity = -1.0f;
        ColumnRange inside = surelyInsideColumns(box, y);
        for (std::int64_t x = pixels.x; x < pixels.x + pixels.width; ++x) {
            bool deep = x >= inside.from && x < inside.to;
            float distance = deep ? 0.0f : roundedBoxDistance(box, pixelCentre(x, y));
            float intensity = shadowIntensity(distance, blur);
            if (!(intensity > 0.0f)) continue;
            std::uint8_t* pixel = surface.pixel(x, y);
            if (intensity == last_intensity && std::equal(pixel, pixel + 4, last_in)) {
                std::copy(last_out, last_out + 4, pixel);
                continue;
            }
            std::copy(pixel, pixel + 4, last_in);
            blendRgba8(pixel, shadow.color, command.opacity * intensity);
            std::copy(pixel, pixel + 4, last_out);
            last_intensity = intensity;
        }
    }
}

}  // namespace kelvo
