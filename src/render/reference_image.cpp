// The draw_image tag of the reference renderer and image sampling.

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "render/reference_colour.hpp"
#include "render/reference_draw.hpp"
#include "render/render_fingerprints.hpp"

namespace kelvo {

namespace {

// The whole-pixel columns (or rows) a source range covers, within the image: [first, last].
struct SourceSpan {
    std::int64_t first;
    std::int64_t last;
};

SourceSpan sourceSpan(float start, float length, std::uint64_t size) {
    auto clampIndex = [size](double v) {
        double top = static_cast<double>(size) - 1.0;
        return static_cast<std::int64_t>(v > 0.0 ? std::min(v, top) : 0.0);
    };
    std::int64_t first = clampIndex(std::floor(static_cast<double>(start)));
    std::int64_t last = clampIndex(std::ceil(static_cast<double>(start) + static_cast<double>(length)) - 1.0);
    return {first, std::max(first, last)};
}

std::int64_t clampTo(std::int64_t value, const SourceSpan& span) { return std::clamp(value, span.first, span.last); }

double floorOrZero(float value) { return std::isfinite(value) ? std::floor(static_cast<double>(value)) : 0.0; }

const std::uint8_t* imagePixel(const ReferenceImage& image, std::int64_t x, std::int64_t y) {
    return image.pixels.data() + (static_cast<std::uint64_t>(y) * image.width + static_cast<std::uint64_t>(x)) * 4;
}

// The rectangle with the source's aspect ratio inside (contain) or around (cover) `dst`, centred.
Rect fittedRect(Rect src, Rect dst, ImageFit fit) {
    fit = maskedImageFit(fit);
    if (fit == ImageFit::stretch) return dst;
    float scale_x = dst.width / src.width;
    float scale_y = dst.height / src.height;
    float scale = fit == ImageFit::contain ? std::min(scale_x, scale_y) : std::max(scale_x, scale_y);
    float width = src.width * scale;
    float height = src.height * scale;
    return {dst.x + (dst.width - width) * 0.5f, dst.y + (dst.height - height) * 0.5f, width, height};
}

std::uint64_t floatWords(float a, float b) {
    return (static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(a)) << 32) | std::bit_cast<std::uint32_t>(b);
}

}  // namespace

std::array<std::uint8_t, 4> referenceSampleImage(const ReferenceImage& image, Rect src, bool linear, float u, float v) {
    std::array<std::uint8_t, 4> out{};
    if (image.width == 0 || image.height == 0) return out;
    src = normalizeRect(src);
    SourceSpan columns = sourceSpan(src.x, src.width, image.width);
    SourceSpan rows = sourceSpan(src.y, src.height, image.height);
    float sx = src.x + u * src.width;
    float sy = src.y + v * src.height;
    if (!linear) {
        const std::uint8_t* p = imagePixel(image, clampTo(static_cast<std::int64_t>(floorOrZero(sx)), columns),
                                           clampTo(static_cast<std::int64_t>(floorOrZero(sy)), rows));
        std::copy(p, p + 4, out.begin());
        return out;
    }
    sx -= 0.5f;
    sy -= 0.5f;
    double x0 = floorOrZero(sx);
    double y0 = floorOrZero(sy);
    float fx = std::isfinite(sx) ? sx - static_cast<float>(x0) : 0.0f;
    float fy = std::isfinite(sy) ? sy - static_cast<float>(y0) : 0.0f;
    auto column = static_cast<std::int64_t>(std::clamp(x0, -1.0, static_cast<double>(image.width)));
    auto row = static_cast<std::int64_t>(std::clamp(y0, -1.0, static_cast<double>(image.height)));
    const std::int64_t xs[2] = {clampTo(column, columns), clampTo(column + 1, columns)};
    const std::int64_t ys[2] = {clampTo(row, rows), clampTo(row + 1, rows)};
    const float wx[2] = {1.0f - fx, fx};
    const float wy[2] = {1.0f - fy, fy};
    const auto& to_linear = srgbToLinearTable();
    float alpha = 0.0f;
    float colour[3] = {};
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            const std::uint8_t* p = imagePixel(image, xs[i], ys[j]);
            float weight = wx[i] * wy[j] * (static_cast<float>(p[3]) / 255.0f);
            alpha += weight;
            for (int c = 0; c < 3; ++c) colour[c] += weight * to_linear[p[c]];
        }
    }
    if (!(alpha > 1e-6f)) return out;
    const auto& to_srgb = linearToSrgbTable();
    for (int c = 0; c < 3; ++c) {
        float linear_value = std::clamp(colour[c] / alpha, 0.0f, 1.0f);
        out[static_cast<std::size_t>(c)] =
            colourByte(to_srgb[static_cast<std::size_t>(roundHalfAway(linear_value * 4095.0f))]);
    }
    out[3] = colourByte(alpha);
    return out;
}

Status drawImage(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    const DrawImageCommand& draw = command.command.draw_image;
    const ReferenceImage* image = nullptr;
    for (const ReferenceImage& candidate : surface.images) {
        if (candidate.id == draw.image) {
            image = &candidate;
            break;
        }
    }
    if (image == nullptr) return {};
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(image->width, image->height, &bytes) || __builtin_mul_overflow(bytes, 4, &bytes) ||
        image->pixels.size() < bytes) {
        return fail(Error::ReferenceRenderUnsupportedCommand);
    }
    Rect whole{0, 0, static_cast<float>(image->width), static_cast<float>(image->height)};
    Rect src = draw.src ? intersectRect(*draw.src, whole) : whole;
    Rect dst = normalizeRect(draw.dst);
    if (rectIsEmpty(src) || rectIsEmpty(dst)) return {};
    // The image's rectangles are in the command's space: its device box is what pixels sample.
    Rect fitted = transformedBox(command.transform, fittedRect(src, dst, draw.fit));
    Rect mask = transformedBox(command.transform, dst);
    float s = transformScale(command.transform);
    CornerRadii radii{draw.radii.top_left * s, draw.radii.top_right * s, draw.radii.bottom_right * s,
                      draw.radii.bottom_left * s};
    bool rounded = draw.radii.top_left > 0.0f || draw.radii.top_right > 0.0f || draw.radii.bottom_right > 0.0f ||
                   draw.radii.bottom_left > 0.0f;
    bool linear = maskedImageSampling(draw.sampling) == ImageSampling::linear;
    float alpha = command.opacity * draw.opacity;

    auto sampleAt = [&](std::int64_t x, std::int64_t y) {
        float u = std::clamp((static_cast<float>(x) + 0.5f - fitted.x) / fitted.width, 0.0f, 1.0f);
        float v = std::clamp((static_cast<float>(y) + 0.5f - fitted.y) / fitted.height, 0.0f, 1.0f);
        return referenceSampleImage(*image, src, linear, u, v);
    };

    // With a memo, the samples of the whole area are built once and kept as a scaled copy.
    const std::uint8_t* scaled = nullptr;
    ReferenceRenderMemo* memo = surface.memo;
    if (memo != nullptr && pixels.area() >= memo->minimum_area && pixels.area() <= kImageScaleMaxPixels) {
        const std::uint64_t fingerprint =
            image->fingerprint ? *image->fingerprint
                               : renderImageFingerprintForResource(
                                     draw.image, ImagePixels{image->width, image->height, image->pixels.first(bytes)});
        ImageScaleKey key{fingerprint,
                          floatWords(src.x, src.y),
                          floatWords(src.width, src.height),
                          floatWords(fitted.x, fitted.y),
                          floatWords(fitted.width, fitted.height),
                          static_cast<std::uint64_t>(linear),
                          (static_cast<std::uint64_t>(pixels.x) << 32) | static_cast<std::uint64_t>(pixels.y),
                          (static_cast<std::uint64_t>(pixels.width) << 32) | static_cast<std::uint64_t>(pixels.height)};
        scaled = findImageScale(*memo, key);
        if (scaled == nullptr) {
            std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[pixels.area() * 4]);
            if (copy) {
                std::uint8_t* at = copy.get();
                for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
                    for (std::int64_t x = pixels.x; x < pixels.x + pixels.width; ++x, at += 4) {
                        auto sample = sampleAt(x, y);
                        std::copy(sample.begin(), sample.end(), at);
                    }
                }
                scaled = storeImageScale(*memo, key, {copy.get(), pixels.area() * 4});
            }
        }
    }

    for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
        for (std::int64_t x = pixels.x; x < pixels.x + pixels.width; ++x) {
            float cx = static_cast<float>(x) + 0.5f;
            float cy = static_cast<float>(y) + 0.5f;
            if (rounded && !referencePointInRoundedRect(mask, radii, cx, cy)) continue;
            std::array<std::uint8_t, 4> sample;
            if (scaled != nullptr) {
                const std::uint8_t* p =
                    scaled + (static_cast<std::uint64_t>(y - pixels.y) * static_cast<std::uint64_t>(pixels.width) +
                              static_cast<std::uint64_t>(x - pixels.x)) *
                                 4;
                std::copy(p, p + 4, sample.begin());
            } else {
                sample = sampleAt(x, y);
            }
            Color colour{static_cast<float>(sample[0]) / 255.0f, static_cast<float>(sample[1]) / 255.0f,
                         static_cast<float>(sample[2]) / 255.0f, static_cast<float>(sample[3]) / 255.0f};
            blendRgba8(surface.pixel(x, y), colour, alpha);
        }
    }
    return {};
}

}  // namespace kelvo
