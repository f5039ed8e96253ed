#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/macos/canvas/packet_raster_body.hpp"
#include "render/reference_geometry.hpp"

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
    std::optional<Affine> to_points = invertAffine(canvas.surface_transform);
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
    if (!effect.color) return false;
    std::array<float, 4> colour = packetPremultipliedColour(*effect.color, opacity);
    double blur = std::isfinite(effect.blur) ? std::max(effect.blur, 0.0) : 0.0;
    PacketRect rect = standardRect(effect.rect);
    PacketRect moved{rect.x + (std::isfinite(effect.offset.x) ? effect.offset.x : 0),
                     rect.y + (std::isfinite(effect.offset.y) ? effect.offset.y : 0), rect.width, rect.height};

    // The shadow's profile is the reference renderer's: full inside the moved shape, fading with a
    // smooth step to nothing at `blur` from its outline (in target pixels).
    const Affine& m = canvas.transform;
    float pixel_scale = std::max(std::max(std::hypot(m.a, m.b), std::hypot(m.c, m.d)), 0.0001f);
    Point a = applyAffine(m, {static_cast<float>(moved.x), static_cast<float>(moved.y)});
    Point b = applyAffine(m, {static_cast<float>(moved.x + moved.width), static_cast<float>(moved.y + moved.height)});
    Rect device{std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
    CornerRadii radii;
    float* corners[4] = {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left};
    for (std::size_t i = 0; i < 4; ++i) {
        *corners[i] = std::isfinite(effect.radii[i]) ? static_cast<float>(effect.radii[i]) * pixel_scale : 0.0f;
    }
    RoundedBox box = roundedBox(device, radii);
    auto reach = static_cast<float>(std::min(blur * pixel_scale, 1e6));
    PacketRect area{device.x - reach, device.y - reach, device.width + 2 * reach, device.height + 2 * reach};
    Canvas2d pixels = canvas;
    pixels.transform = kIdentityAffine;
    PixelBox grown = canvasPixelBox(pixels, area);
    PixelBox clip = canvas.clip;
    std::int32_t x0 = std::max(grown.x0 - 1, clip.x0), x1 = std::min(grown.x1 + 1, clip.x1);
    std::int32_t y0 = std::max(grown.y0 - 1, clip.y0), y1 = std::min(grown.y1 + 1, clip.y1);
    for (std::int32_t y = y0; colour[3] > 0 && y < y1; ++y) {
        for (std::int32_t x = x0; x < x1; ++x) {
            if (!canvasPixelVisible(canvas, x, y)) continue;
            float distance = roundedBoxDistance(box, {static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f});
            float intensity = shadowIntensity(distance, reach);
            if (intensity > 0) canvasBlendPixel(canvas, x, y, colour, intensity);
        }
    }
    // The shape itself, nearly invisible: what shows is its shadow.
    SolidShader faint;
    PacketColor faint_colour = *effect.color;
    faint_colour[3] = 0.01;
    faint.premultiplied = packetPremultipliedColour(faint_colour, opacity);
    std::vector<PathElement>& path = canvasPathScratch();
    appendRoundedRectPath(path, rect, effect.radii);
    return canvasFillPath(canvas, path, FillRule::winding, faint);
}

}  // namespace kelvo
