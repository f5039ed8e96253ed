#include "app/app_icon.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>

#include "raster/vector.hpp"

namespace kelvo {

namespace {

// Where an image that is not shaped yet goes inside the icon, and how large.
constexpr std::uint64_t kShapedMargin = 100;
constexpr std::uint64_t kShapedSide = 824;
// Below this alpha a pixel's colour is not recovered.
constexpr float kVisibleAlpha = 0.0001f;

const std::array<float, 256>& srgbToLinearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> values{};
        for (int i = 0; i < 256; ++i) {
            double c = i / 255.0;
            values[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return values;
    }();
    return table;
}

float linearToSrgb(float c) { return c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f; }

Result<LinearImage> allocateLinear(std::uint64_t width, std::uint64_t height) {
    constexpr std::uint64_t kMaxFloats = std::numeric_limits<std::size_t>::max() / sizeof(float);
    if (height != 0 && width > kMaxFloats / 4 / height) return fail(Error::OutOfMemory);
    LinearImage image{width, height, std::unique_ptr<float[]>(new (std::nothrow) float[width * height * 4]())};
    if (!image.pixels) return fail(Error::OutOfMemory);
    return image;
}

// The source pixels one destination pixel covers along one axis, with the length of each overlap.
struct Overlap {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    double from = 0;
    double to = 0;

    double weight(std::uint64_t i) const {
        return std::min(to, static_cast<double>(i + 1)) - std::max(from, static_cast<double>(i));
    }
};

Overlap overlapOf(std::uint64_t index, double scale, std::uint64_t sourceSize) {
    Overlap overlap{0, 0, index * scale, (index + 1) * scale};
    overlap.first = static_cast<std::uint64_t>(std::floor(overlap.from));
    overlap.end = std::min(sourceSize, static_cast<std::uint64_t>(std::ceil(overlap.to)));
    return overlap;
}

}  // namespace

Result<LinearImage> linearFromRgba8(const Rgba8Image& image) {
    LinearImage out = TRY(allocateLinear(image.width, image.height));
    const auto& table = srgbToLinearTable();
    for (std::uint64_t i = 0; i < image.width * image.height; ++i) {
        const std::uint8_t* pixel = image.pixels.get() + 4 * i;
        float* linear = out.pixels.get() + 4 * i;
        float alpha = pixel[3] / 255.0f;
        for (int c = 0; c < 3; ++c) linear[c] = table[pixel[c]] * alpha;
        linear[3] = alpha;
    }
    return out;
}

Result<LinearImage> boxResample(const LinearImage& image, std::uint64_t width, std::uint64_t height) {
    LinearImage out = TRY(allocateLinear(width, height));
    double scaleX = static_cast<double>(image.width) / static_cast<double>(width);
    double scaleY = static_cast<double>(image.height) / static_cast<double>(height);
    for (std::uint64_t y = 0; y < height; ++y) {
        Overlap rows = overlapOf(y, scaleY, image.height);
        for (std::uint64_t x = 0; x < width; ++x) {
            Overlap columns = overlapOf(x, scaleX, image.width);
            std::array<double, 4> sum{};
            double area = 0;
            for (std::uint64_t sy = rows.first; sy < rows.end; ++sy) {
                for (std::uint64_t sx = columns.first; sx < columns.end; ++sx) {
                    double weight = rows.weight(sy) * columns.weight(sx);
                    if (!(weight > 0)) continue;
                    const float* source = image.pixels.get() + 4 * (sy * image.width + sx);
                    for (int c = 0; c < 4; ++c) sum[c] += source[c] * weight;
                    area += weight;
                }
            }
            float* target = out.pixels.get() + 4 * (y * width + x);
            for (int c = 0; c < 4; ++c) target[c] = area > 0 ? static_cast<float>(sum[c] / area) : 0.0f;
        }
    }
    return out;
}

Result<std::unique_ptr<float[]>> macosMaskCoverage(std::uint64_t size) {
    constexpr std::uint64_t kMaxFloats = std::numeric_limits<std::size_t>::max() / sizeof(float);
    if (size != 0 && size > kMaxFloats / size) return fail(Error::OutOfMemory);
    std::unique_ptr<float[]> mask(new (std::nothrow) float[size * size]());
    if (!mask) return fail(Error::OutOfMemory);
    if (size > static_cast<std::uint64_t>(kRasterMaxWidth)) return fail(Error::VectorRasterTooWide);

    double side = static_cast<double>(size);
    auto m = static_cast<float>(side * 0.09765625);
    auto far = static_cast<float>(side * 0.09765625 + side * 0.8046875);
    auto r = static_cast<float>(side * 0.1810546875);
    PathBuilder<64> path;
    TRY(path.moveTo({m + r, m}));
    TRY(path.lineTo({far - r, m}));
    TRY(path.arcTo({far, m + r}, r, r));
    TRY(path.lineTo({far, far - r}));
    TRY(path.arcTo({far - r, far}, r, r));
    TRY(path.lineTo({m + r, far}));
    TRY(path.arcTo({m, far - r}, r, r));
    TRY(path.lineTo({m, m + r}));
    TRY(path.arcTo({m + r, m}, r, r));
    TRY(path.close());

    // The edge store is too large for a thread's stack to carry comfortably.
    std::unique_ptr<Rasterizer> rasterizer(new (std::nothrow) Rasterizer());
    if (!rasterizer) return fail(Error::OutOfMemory);
    rasterizer->clear();
    TRY(accumulateFillEdges(*rasterizer, path.path(), kIdentityAffine));
    auto side32 = static_cast<std::int32_t>(size);
    float* coverage = mask.get();
    TRY(sweep(*rasterizer, PixelBox{0, 0, side32, side32}, FillRule::winding, side32, side32,
              [&](std::int32_t x, std::int32_t y, float value) {
                  float& pixel = coverage[static_cast<std::uint64_t>(y) * size + static_cast<std::uint64_t>(x)];
                  pixel = std::clamp(std::min(value, 1.0f) + pixel, 0.0f, 1.0f);
              }));
    return mask;
}

Result<Rgba8Image> rgba8FromLinear(const LinearImage& image) {
    Rgba8Image out{image.width, image.height, nullptr};
    out.pixels.reset(new (std::nothrow) std::uint8_t[image.width * image.height * 4]);
    if (!out.pixels) return fail(Error::OutOfMemory);
    for (std::uint64_t i = 0; i < image.width * image.height; ++i) {
        const float* linear = image.pixels.get() + 4 * i;
        std::uint8_t* pixel = out.pixels.get() + 4 * i;
        float alpha = std::clamp(linear[3], 0.0f, 1.0f);
        for (int c = 0; c < 3; ++c) {
            if (!(alpha > kVisibleAlpha)) {
                pixel[c] = 0;
                continue;
            }
            float encoded = linearToSrgb(std::clamp(linear[c] / alpha, 0.0f, 1.0f));
            pixel[c] = static_cast<std::uint8_t>(std::clamp(encoded * 255.0f + 0.5f, 0.0f, 255.0f));
        }
        pixel[3] = static_cast<std::uint8_t>(std::lround(alpha * 255.0f));
    }
    return out;
}

Result<Rgba8Image> renderDockIcon(std::span<const std::uint8_t> png) {
    LinearImage linear;
    bool shaped = false;
    {
        Rgba8Image decoded = TRY(decodePng(png));
        if (decoded.width != decoded.height) return fail(Error::InvalidPngDimensions);
        std::uint64_t last = decoded.width - 1;
        const std::uint8_t* p = decoded.pixels.get();
        auto alphaAt = [&](std::uint64_t x, std::uint64_t y) { return p[4 * (y * decoded.width + x) + 3]; };
        shaped = alphaAt(0, 0) == 0 && alphaAt(last, 0) == 0 && alphaAt(0, last) == 0 && alphaAt(last, last) == 0;
        linear = TRY(linearFromRgba8(decoded));
    }
    if (shaped) {
        if (linear.width != kDockIconSide) linear = TRY(boxResample(linear, kDockIconSide, kDockIconSide));
        return rgba8FromLinear(linear);
    }

    LinearImage icon = TRY(allocateLinear(kDockIconSide, kDockIconSide));
    {
        LinearImage inner = TRY(boxResample(linear, kShapedSide, kShapedSide));
        linear = {};
        for (std::uint64_t y = 0; y < kShapedSide; ++y) {
            std::copy_n(inner.pixels.get() + 4 * y * kShapedSide, 4 * kShapedSide,
                        icon.pixels.get() + 4 * ((y + kShapedMargin) * kDockIconSide + kShapedMargin));
        }
    }
    std::unique_ptr<float[]> mask = TRY(macosMaskCoverage(kDockIconSide));
    for (std::uint64_t i = 0; i < kDockIconSide * kDockIconSide; ++i) {
        for (int c = 0; c < 4; ++c) icon.pixels[4 * i + c] *= mask[i];
    }
    return rgba8FromLinear(icon);
}

}  // namespace kelvo
