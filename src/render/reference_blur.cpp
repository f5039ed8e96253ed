// The blur tag of the reference renderer: a Gaussian over the taps inside the surface, in two
// one-dimensional passes. The weight of a tap, exp(-(dx² + dy²) / 2σ²), is the product of a weight
// for dx and one for dy, and the taps inside the surface form a rectangle, so every sum of the
// two-dimensional kernel is a sum over rows of sums over columns: the same values up to float
// rounding, at 2(2k + 1) taps a pixel instead of (2k + 1)².

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "render/reference_colour.hpp"
#include "render/reference_draw.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

// Premultiplied sums: alpha and alpha-weighted red, green and blue.
struct Sums {
    float v[4] = {};

    void add(float weight, const Sums& other) {
        for (int i = 0; i < 4; ++i) v[i] += weight * other.v[i];
    }
};

constexpr std::size_t kBlurRowCapacity = std::size_t{1} << 16;  // a source row piece
constexpr std::size_t kBlurSumCapacity = std::size_t{1} << 19;  // the first pass of one strip
constexpr std::size_t kBlurWeightCapacity = kBlurRowCapacity;   // weights for 0 .. k

struct BlurScratch {
    std::array<float, kBlurWeightCapacity> weights;
    std::array<float, kBlurRowCapacity> column_weights;  // the weights of the taps inside, per column
    std::array<Sums, kBlurRowCapacity> row;
    std::array<Sums, kBlurSumCapacity> sums;
};

struct Span {
    std::int64_t begin;
    std::int64_t end;
};

Sums premultiplied(const std::uint8_t* pixel) {
    float a = static_cast<float>(pixel[3]) / 255.0f;
    return {{a, a * (static_cast<float>(pixel[0]) / 255.0f), a * (static_cast<float>(pixel[1]) / 255.0f),
             a * (static_cast<float>(pixel[2]) / 255.0f)}};
}

// The blur's radius in device pixels: max(radius, 0) x the transform's scale.
float deviceRadius(const RenderCommand& command) {
    return std::max(command.command.blur.radius, 0.0f) * transformScale(command.transform);
}

}  // namespace

std::int64_t blurReach(const RenderCommand& command) {
    if (canvasCommandTagBits(command.command) != static_cast<unsigned>(CanvasCommandTag::blur)) return 0;
    float r = deviceRadius(command);
    if (!(r > 0.0f)) return 0;
    double k = std::trunc(static_cast<double>(r));
    return k < 1.0 ? 1 : static_cast<std::int64_t>(std::min(k, 9.0e15));
}

Status drawBlur(const ReferenceRenderSurface& surface, const RenderCommand& command, const PixelRect& pixels) {
    auto width = static_cast<std::int64_t>(surface.width);
    auto height = static_cast<std::int64_t>(surface.height);
    if (surface.scratch.size() / 4 / surface.width < surface.height)
        return fail(Error::ReferenceRenderUnsupportedCommand);
    float r = deviceRadius(command);
    if (!(r > 0.0f)) return {};
    // Taps further away than the surface is wide or high never fall inside it.
    std::int64_t k = std::min(blurReach(command), std::max(width, height));
    if (static_cast<std::size_t>(2 * k + 1) > kBlurRowCapacity) return fail(Error::ReferenceRenderUnsupportedCommand);
    BlurScratch& scratch = perThreadCanvasScratch<BlurScratch>();
    double sigma = std::max(static_cast<double>(r), 0.5);
    for (std::int64_t d = 0; d <= k; ++d) {
        scratch.weights[static_cast<std::size_t>(d)] =
            static_cast<float>(std::exp(-static_cast<double>(d * d) / (2.0 * sigma * sigma)));
    }
    const float* g = scratch.weights.data();
    auto taps = [&](std::int64_t at, std::int64_t limit) {
        return Span{std::max<std::int64_t>(-k, -at), std::min<std::int64_t>(k, limit - 1 - at)};
    };

    // The pixels the taps read, copied before any of them changes.
    Span rows{std::max<std::int64_t>(pixels.y - k, 0), std::min(pixels.y + pixels.height + k, height)};
    Span columns{std::max<std::int64_t>(pixels.x - k, 0), std::min(pixels.x + pixels.width + k, width)};
    std::size_t stride = surface.width * 4;
    for (std::int64_t y = rows.begin; y < rows.end; ++y) {
        std::size_t offset = static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(columns.begin) * 4;
        std::memcpy(surface.scratch.data() + offset, surface.pixels.data() + offset,
                    static_cast<std::size_t>(columns.end - columns.begin) * 4);
    }
    auto source = [&](std::int64_t x, std::int64_t y) {
        return surface.scratch.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4;
    };

    // Strips of columns whose first pass, over every row the strip's taps read, fits the scratch.
    std::int64_t row_count = rows.end - rows.begin;
    std::int64_t strip = std::min<std::int64_t>(pixels.width, static_cast<std::int64_t>(kBlurSumCapacity) / row_count);
    strip = std::min<std::int64_t>(strip, static_cast<std::int64_t>(kBlurRowCapacity) - 2 * k);
    if (strip < 1) return fail(Error::ReferenceRenderUnsupportedCommand);
    float opacity = command.opacity;
    for (std::int64_t x0 = pixels.x; x0 < pixels.x + pixels.width; x0 += strip) {
        std::int64_t x1 = std::min(x0 + strip, pixels.x + pixels.width);
        std::int64_t piece_begin = std::max<std::int64_t>(x0 - k, 0);
        std::int64_t piece_end = std::min(x1 + k, width);
        // First pass: along each row.
        for (std::int64_t y = rows.begin; y < rows.end; ++y) {
            for (std::int64_t x = piece_begin; x < piece_end; ++x) {
                scratch.row[static_cast<std::size_t>(x - piece_begin)] = premultiplied(source(x, y));
            }
            Sums* out = scratch.sums.data() + static_cast<std::size_t>((y - rows.begin) * (x1 - x0));
            for (std::int64_t x = x0; x < x1; ++x) {
                Span dx = taps(x, width);
                Sums sum;
                for (std::int64_t d = dx.begin; d <= dx.end; ++d) {
                    sum.add(g[std::abs(d)], scratch.row[static_cast<std::size_t>(x + d - piece_begin)]);
                }
                out[x - x0] = sum;
            }
        }
        for (std::int64_t x = x0; x < x1; ++x) {
            Span dx = taps(x, width);
            float weight_x = 0.0f;
            for (std::int64_t d = dx.begin; d <= dx.end; ++d) weight_x += g[std::abs(d)];
            scratch.column_weights[static_cast<std::size_t>(x - x0)] = weight_x;
        }
        // Second pass: down each column, then the mean and the mix with the pixel by the opacity.
        for (std::int64_t y = pixels.y; y < pixels.y + pixels.height; ++y) {
            Span dy = taps(y, height);
            float weight_y = 0.0f;
            for (std::int64_t d = dy.begin; d <= dy.end; ++d) weight_y += g[std::abs(d)];
            for (std::int64_t x = x0; x < x1; ++x) {
                float weight_x = scratch.column_weights[static_cast<std::size_t>(x - x0)];
                Sums sum;
                for (std::int64_t d = dy.begin; d <= dy.end; ++d) {
                    sum.add(g[std::abs(d)],
                            scratch.sums[static_cast<std::size_t>((y + d - rows.begin) * (x1 - x0) + (x - x0))]);
                }
                float alpha = sum.v[0] / (weight_x * weight_y);
                // Over taps that are all transparent the colour is 0, not 0 / 0.
                bool seen = sum.v[0] > 1e-6f;
                const float result[4] = {seen ? sum.v[1] / sum.v[0] : 0.0f, seen ? sum.v[2] / sum.v[0] : 0.0f,
                                         seen ? sum.v[3] / sum.v[0] : 0.0f, alpha};
                std::uint8_t* pixel = surface.pixel(x, y);
                for (int c = 0; c < 4; ++c) {
                    float previous = static_cast<float>(pixel[c]) / 255.0f;
                    pixel[c] = colourByte(previous + (result[c] - previous) * opacity);
                }
            }
        }
    }
    return {};
}

}  // namespace kelvo
