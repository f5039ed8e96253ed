#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/macos/canvas/packet_raster_body.hpp"

namespace kelvo {

namespace {

std::optional<Affine> invertAffine(const Affine& m) {
    float det = m.a * m.d - m.b * m.c;
    if (!(std::fabs(det) > 1e-12f)) return std::nullopt;
    float inv = 1.0f / det;
    Affine out{m.d * inv, -m.b * inv, -m.c * inv, m.a * inv, 0, 0};
    out.tx = -(out.a * m.tx + out.c * m.ty);
    out.ty = -(out.b * m.tx + out.d * m.ty);
    return out;
}

// Samples the source rect of an image at a point of the fitted rect; transparent outside it.
class ImageShader final : public CanvasShader {
public:
    ImageShader(const Affine& to_points, const PacketImagePixels& image, PacketRect src, PacketRect fitted,
                float fraction, bool nearest)
        : to_points_(to_points), image_(image), src_(src), fitted_(fitted), fraction_(fraction), nearest_(nearest) {}

    std::array<float, 4> at(float x, float y) const override {
        Point p = applyAffine(to_points_, {x, y});
        double u = (p.x - fitted_.x) / fitted_.width;
        double v = (p.y - fitted_.y) / fitted_.height;
        if (!(u >= 0 && u <= 1 && v >= 0 && v <= 1)) return {};
        double sx = src_.x + u * src_.width;
        double sy = src_.y + v * src_.height;
        std::array<float, 4> out{};
        if (nearest_) {
            add(out, sx, sy, 1);
        } else {
            // Bilinear between the four pixel centres around the point, kept inside the source.
            double fx = sx - 0.5, fy = sy - 0.5;
            double x0 = std::floor(fx), y0 = std::floor(fy);
            auto wx = static_cast<float>(fx - x0), wy = static_cast<float>(fy - y0);
            add(out, x0 + 0.5, y0 + 0.5, (1 - wx) * (1 - wy));
            add(out, x0 + 1.5, y0 + 0.5, wx * (1 - wy));
            add(out, x0 + 0.5, y0 + 1.5, (1 - wx) * wy);
            add(out, x0 + 1.5, y0 + 1.5, wx * wy);
        }
        for (float& channel : out) channel *= fraction_ / 255.0f;
        return out;
    }

private:
    void add(std::array<float, 4>& out, double sx, double sy, float weight) const {
        if (weight <= 0) return;
        double lo_x = std::floor(src_.x), hi_x = std::ceil(src_.x + src_.width) - 1;
        double lo_y = std::floor(src_.y), hi_y = std::ceil(src_.y + src_.height) - 1;
        auto px = static_cast<std::size_t>(std::clamp(std::floor(sx), lo_x, hi_x));
        auto py = static_cast<std::size_t>(std::clamp(std::floor(sy), lo_y, hi_y));
        const std::uint8_t* pixel = image_.rgba + (py * image_.width + px) * 4;
        for (std::size_t c = 0; c < 4; ++c) out[c] += weight * static_cast<float>(pixel[c]);
    }

    Affine to_points_;
    PacketImagePixels image_;
    PacketRect src_;
    PacketRect fitted_;
    float fraction_;
    bool nearest_;
};

PacketRect fitRect(PacketRect src, PacketRect dst, PacketImageFit fit) {
    if (fit == PacketImageFit::stretch) return dst;
    double a = src.width / src.height;
    double d = dst.width / dst.height;
    bool width_from_height = fit == PacketImageFit::contain ? a < d : a >= d;
    PacketRect out = dst;
    if (width_from_height) {
        out.height = dst.height;
        out.width = a * dst.height;
    } else {
        out.width = dst.width;
        out.height = dst.width / a;
    }
    out.x += (dst.width - out.width) * 0.5;
    out.y += (dst.height - out.height) * 0.5;
    return out;
}

// One box pass over a float mask, horizontally or vertically, with a window of 2r + 1.
void boxPass(std::vector<float>& mask, std::vector<float>& work, std::int64_t w, std::int64_t h, std::int64_t r,
             bool horizontal) {
    std::int64_t lines = horizontal ? h : w;
    std::int64_t length = horizontal ? w : h;
    auto at = [&](std::int64_t line, std::int64_t i) -> std::size_t {
        return static_cast<std::size_t>(horizontal ? line * w + i : i * w + line);
    };
    float scale = 1.0f / static_cast<float>(2 * r + 1);
    for (std::int64_t line = 0; line < lines; ++line) {
        float sum = 0;
        for (std::int64_t i = -r; i < length + r; ++i) {
            if (i + r < length && i + r >= 0) sum += mask[at(line, i + r)];
            if (i >= 0 && i < length) work[at(line, i)] = sum * scale;
            if (i - r >= 0 && i - r < length) sum -= mask[at(line, i - r)];
        }
    }
    mask.swap(work);
}

}  // namespace

bool drawPacketImage(const Canvas2d& canvas, const PacketImageDraw& draw, const PacketImageSource* images,
                     double opacity) {
    const PacketImagePixels* image = images != nullptr ? images->find(draw.image) : nullptr;
    if (image == nullptr || image->rgba == nullptr || image->width == 0 || image->height == 0) return true;
    PacketRect whole{0, 0, static_cast<double>(image->width), static_cast<double>(image->height)};
    PacketRect src = draw.src ? intersectPacketRects(standardRect(*draw.src), whole) : whole;
    // A degenerate source or destination draws nothing and leaves the frame going.
    if (packetRectEmpty(src)) return true;
    PacketRect dst = standardRect(draw.dst);
    if (packetRectEmpty(dst)) return true;
    PacketRect fitted = fitRect(src, dst, draw.fit);
    if (!(std::min(fitted.width, fitted.height) > 0) || !std::isfinite(fitted.width) || !std::isfinite(fitted.height)) {
        return true;
    }
    double image_opacity = std::isfinite(draw.opacity) ? std::clamp(draw.opacity, 0.0, 1.0) : 1.0;
    auto fraction = static_cast<float>(opacity * image_opacity);
    std::optional<Affine> to_points = invertAffine(canvas.transform);
    if (!to_points || !(fraction > 0)) return true;
    ImageShader shader(*to_points, *image, src, fitted, fraction, draw.sampling == PacketSampling::nearest);
    std::vector<PathElement>& path = canvasPathScratch();
    double largest = *std::max_element(draw.radius.begin(), draw.radius.end());
    if (largest > 0) {
        appendRoundedRectPath(path, dst, draw.radius);
    } else {
        appendRectPath(path, fitted);
    }
    (void)canvasFillPath(canvas, path, FillRule::winding, shader);
    return true;
}

bool drawPacketShadow(const Canvas2d& canvas, const PacketEffect& effect, double opacity) {
    std::array<float, 4> colour = packetPremultipliedColour(effect.color, opacity);
    double blur = std::isfinite(effect.blur) ? std::max(effect.blur, 0.0) : 0.0;
    PacketPoint offset{std::isfinite(effect.offset.x) ? effect.offset.x : 0,
                       std::isfinite(effect.offset.y) ? effect.offset.y : 0};
    PacketRect rect = standardRect(effect.rect);
    PacketRect moved{rect.x + offset.x, rect.y + offset.y, rect.width, rect.height};

    // The shadow: the shape's coverage, moved by the offset and softened by three box passes that
    // together approach a Gaussian of deviation blur / 2 (in pixels of the target).
    float pixel_scale = std::max(std::hypot(canvas.transform.a, canvas.transform.b),
                                 std::hypot(canvas.transform.c, canvas.transform.d));
    double sigma = blur * 0.5 * pixel_scale;
    auto radius = static_cast<std::int64_t>(std::min(std::round(sigma * 0.8660254), 256.0));
    std::int64_t margin = radius * 3 + 1;
    PixelBox area = canvasPixelBox(canvas, moved);
    Canvas2d wide = canvas;
    wide.clip = PixelBox{0, 0, static_cast<std::int32_t>(canvas.target.width),
                         static_cast<std::int32_t>(canvas.target.height)};
    wide.union_count = 0;
    std::int64_t x0 = std::max<std::int64_t>(area.x0 - margin, canvas.clip.x0 - margin);
    std::int64_t y0 = std::max<std::int64_t>(area.y0 - margin, canvas.clip.y0 - margin);
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    std::int64_t x1 = std::min<std::int64_t>(std::min<std::int64_t>(area.x1 + margin, canvas.clip.x1 + margin),
                                             canvas.target.width);
    std::int64_t y1 = std::min<std::int64_t>(std::min<std::int64_t>(area.y1 + margin, canvas.clip.y1 + margin),
                                             canvas.target.height);
    if (x1 > x0 && y1 > y0 && colour[3] > 0) {
        std::int64_t w = x1 - x0, h = y1 - y0;
        std::vector<float> mask(static_cast<std::size_t>(w * h), 0.0f);
        std::vector<float> work(mask.size(), 0.0f);
        struct MaskSink {
            std::vector<float>* mask;
            std::int64_t x0, y0, w;
        } sink{&mask, x0, y0, w};
        wide.clip = PixelBox{static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
                             static_cast<std::int32_t>(x1), static_cast<std::int32_t>(y1)};
        std::vector<PathElement>& path = canvasPathScratch();
        appendRoundedRectPath(path, moved, effect.radii);
        auto cover = [](void* context, std::int32_t x, std::int32_t y, float coverage) {
            auto& s = *static_cast<MaskSink*>(context);
            (*s.mask)[static_cast<std::size_t>((y - s.y0) * s.w + (x - s.x0))] = coverage;
        };
        if (!canvasCoverPath(wide, path, FillRule::winding, cover, &sink)) return false;
        if (radius > 0) {
            for (int pass = 0; pass < 3; ++pass) {
                boxPass(mask, work, w, h, radius, true);
                boxPass(mask, work, w, h, radius, false);
            }
        }
        for (std::int64_t y = std::max<std::int64_t>(y0, canvas.clip.y0); y < std::min<std::int64_t>(y1, canvas.clip.y1);
             ++y) {
            for (std::int64_t x = std::max<std::int64_t>(x0, canvas.clip.x0);
                 x < std::min<std::int64_t>(x1, canvas.clip.x1); ++x) {
                auto px = static_cast<std::int32_t>(x), py = static_cast<std::int32_t>(y);
                if (!canvasPixelVisible(canvas, px, py)) continue;
                float coverage = std::min(mask[static_cast<std::size_t>((y - y0) * w + (x - x0))], 1.0f);
                if (coverage > kCoverageThreshold) canvasBlendPixel(canvas, px, py, colour, coverage);
            }
        }
    }
    // The shape itself, nearly invisible: what shows is its shadow.
    SolidShader faint;
    PacketColor faint_colour = effect.color;
    faint_colour[3] = 0.01;
    faint.premultiplied = packetPremultipliedColour(faint_colour, opacity);
    std::vector<PathElement>& path = canvasPathScratch();
    appendRoundedRectPath(path, rect, effect.radii);
    return canvasFillPath(canvas, path, FillRule::winding, faint);
}

}  // namespace kelvo
