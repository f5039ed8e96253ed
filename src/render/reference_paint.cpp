#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/reference_colour.hpp"
#include "render/reference_draw.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

float unit(float value) { return value > 0.0f ? std::min(value, 1.0f) : 0.0f; }

std::size_t byteIndex(float channel) { return colourByte(channel); }

Color mixStops(const GradientStop& low, const GradientStop& high, float t) {
    float span = high.offset - low.offset;
    float f = std::fabs(span) <= 1e-6f ? 1.0f : (t - low.offset) / span;
    f = f > 0.0f ? std::min(f, 1.0f) : 0.0f;
    auto mix = [f](float a, float b) { return srgbEncode(srgbDecode(a) + (srgbDecode(b) - srgbDecode(a)) * f); };
    return {mix(low.color.r, high.color.r), mix(low.color.g, high.color.g), mix(low.color.b, high.color.b),
            low.color.a + (high.color.a - low.color.a) * f};
}

}  // namespace

Color gradientColourAt(const LinearGradient& gradient, float t) {
    std::span<const GradientStop> stops = gradient.stops;
    if (stops.empty()) return {};
    if (stops.size() == 1 || t <= stops.front().offset) return stops.front().color;
    if (t > stops.back().offset) return stops.back().color;
    for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
        if (!(stops[i + 1].offset < t)) return mixStops(stops[i], stops[i + 1], t);
    }
    return stops.back().color;  // offsets out of order, or t not a number
}

PaintSampler::PaintSampler(const Paint& paint, const Affine& transform) : paint_(&paint) {
    if (paint.kind == PaintKind::solid) {
        colour_ = paint.color;
        return;
    }
    std::span<const GradientStop> stops = paint.gradient.stops;
    if (stops.size() <= 1) {
        colour_ = stops.empty() ? Color{} : stops.front().color;
        return;
    }
    solid_ = false;
    start_ = applyAffine(transform, paint.gradient.start);
    Point end = applyAffine(transform, paint.gradient.end);
    direction_ = {end.x - start_.x, end.y - start_.y};
    length_squared_ = direction_.x * direction_.x + direction_.y * direction_.y;
}

Color PaintSampler::at(Point point) {
    if (solid_) return colour_;
    float t = 0.0f;
    if (length_squared_ > 1e-6f) {
        t = ((point.x - start_.x) * direction_.x + (point.y - start_.y) * direction_.y) / length_squared_;
    }
    if (!has_last_ || t != last_t_) {
        last_colour_ = gradientColourAt(paint_->gradient, t);
        last_t_ = t;
        has_last_ = true;
    }
    return last_colour_;
}

Color referenceSampleFill(const Paint& paint, const Affine& transform, Point point) {
    PaintSampler sampler(paint, transform);
    return sampler.at(point);
}

void blendPixelCoverage(const ReferenceRenderSurface& surface, std::int64_t x, std::int64_t y, const Color& colour,
                        float coverage, float opacity, bool plain) {
    std::uint8_t* pixel = surface.pixel(x, y);
    if (plain || !(coverage > 0.0f && coverage < 1.0f) || !(opacity * colour.a >= 1.0f)) {
        blendRgba8(pixel, {colour.r, colour.g, colour.b, coverage * colour.a}, opacity);
        return;
    }
    const auto& to_linear = srgbToLinearTable();
    const auto& to_srgb = linearToSrgbTable();
    float d = (static_cast<float>(pixel[3]) / 255.0f) * (1.0f - coverage);
    float out = coverage + d;
    const float source[3] = {colour.r, colour.g, colour.b};
    for (int i = 0; i < 3; ++i) {
        float mixed = (to_linear[byteIndex(source[i])] * coverage + to_linear[pixel[i]] * d) / out;
        pixel[i] = colourByte(to_srgb[static_cast<std::size_t>(roundHalfAway(unit(mixed) * 4095.0f))]);
    }
    pixel[3] = colourByte(out);
}

void paintRun(const ReferenceRenderSurface& surface, std::int64_t y, std::int64_t x, std::int64_t count,
              const float* coverage, PaintSampler& paint, float opacity, bool plain) {
    bool solid = paint.solid();
    Color colour = paint.at({0, 0});
    // An opaque solid colour at full coverage replaces the pixel whatever it was.
    bool replaces = solid && unit(opacity) * unit(colour.a) == 1.0f;
    const std::uint8_t opaque[4] = {colourByte(colour.r), colourByte(colour.g), colourByte(colour.b), 255};
    std::uint8_t last_in[4] = {};
    std::uint8_t last_out[4] = {};
    float last_coverage = -1.0f;
    float py = static_cast<float>(y) + 0.5f;
    for (std::int64_t i = 0; i < count; ++i) {
        float c = coverage == nullptr ? 1.0f : coverage[i];
        std::uint8_t* pixel = surface.pixel(x + i, y);
        if (replaces && c == 1.0f) {
            std::memcpy(pixel, opaque, 4);
            continue;
        }
        if (solid && c == last_coverage && std::memcmp(pixel, last_in, 4) == 0) {
            std::memcpy(pixel, last_out, 4);
            continue;
        }
        if (!solid) colour = paint.at({static_cast<float>(x + i) + 0.5f, py});
        std::memcpy(last_in, pixel, 4);
        blendPixelCoverage(surface, x + i, y, colour, c, opacity, plain);
        std::memcpy(last_out, pixel, 4);
        last_coverage = c;
    }
}

ReferenceScratch& referenceScratch() { return perThreadCanvasScratch<ReferenceScratch>(); }

Status fillRasterized(const ReferenceRenderSurface& surface, Rasterizer& rasterizer, const PixelRect& pixels,
                      FillRule rule, PaintSampler& paint, float opacity, bool plain) {
    struct Target {
        const ReferenceRenderSurface* surface;
        PaintSampler* paint;
        float opacity;
        bool plain;
        float* clamped;  // the coverage of one run, at most 1
    };
    Target target{&surface, &paint, opacity, plain, referenceScratch().row.data()};
    auto row = [](void* context, std::int32_t y, std::int32_t x, const float* coverage, std::int32_t count) {
        auto& t = *static_cast<Target*>(context);
        if (coverage == nullptr) {
            paintRun(*t.surface, y, x, count, nullptr, *t.paint, t.opacity, t.plain);
            return;
        }
        // Runs of pixels above the threshold, coverage at most 1.
        std::int32_t i = 0;
        while (i < count) {
            while (i < count && !(coverage[i] > kCoverageThreshold)) ++i;
            std::int32_t start = i;
            for (; i < count && coverage[i] > kCoverageThreshold; ++i) t.clamped[i] = std::min(coverage[i], 1.0f);
            if (i > start)
                paintRun(*t.surface, y, x + start, i - start, t.clamped + start, *t.paint, t.opacity, t.plain);
        }
    };
    for (std::int64_t band = pixels.x; band < pixels.x + pixels.width; band += kRasterMaxWidth) {
        std::int64_t band_end = std::min<std::int64_t>(band + kRasterMaxWidth, pixels.x + pixels.width);
        PixelBox clip{static_cast<std::int32_t>(band), static_cast<std::int32_t>(pixels.y),
                      static_cast<std::int32_t>(band_end), static_cast<std::int32_t>(pixels.y + pixels.height)};
        TRY(sweepCoverageRows(rasterizer, clip, rule, static_cast<std::int64_t>(surface.width),
                              static_cast<std::int64_t>(surface.height), row, &target));
    }
    return {};
}

}  // namespace kelvo
