// The blur against the two-dimensional Gaussian written out tap by tap.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "render/reference_colour.hpp"
#include "test_surface.hpp"

namespace kelvo::testing {
namespace {

// The blur as first defined: (2k + 1)² taps with weights exp(-(dx² + dy²) / 2σ²) over the taps
// inside the surface, colours weighted by weight x alpha, then mixed with the pixel by opacity.
void directBlur(std::vector<std::uint8_t>& pixels, int width, int height, const PixelRect& area, double r,
                double opacity) {
    std::vector<std::uint8_t> copy = pixels;
    int k = std::max(static_cast<int>(std::trunc(r)), 1);
    double sigma = std::max(r, 0.5);
    for (std::int64_t y = area.y; y < area.y + area.height; ++y) {
        for (std::int64_t x = area.x; x < area.x + area.width; ++x) {
            double weight = 0, alpha = 0, colour[3] = {};
            for (int dy = -k; dy <= k; ++dy) {
                for (int dx = -k; dx <= k; ++dx) {
                    std::int64_t sx = x + dx, sy = y + dy;
                    if (sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
                    const std::uint8_t* p = &copy[static_cast<std::size_t>((sy * width + sx) * 4)];
                    double w = std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
                    double a = p[3] / 255.0;
                    weight += w;
                    alpha += w * a;
                    for (int c = 0; c < 3; ++c) colour[c] += w * a * (p[c] / 255.0);
                }
            }
            const double result[4] = {alpha > 1e-6 ? colour[0] / alpha : 0, alpha > 1e-6 ? colour[1] / alpha : 0,
                                      alpha > 1e-6 ? colour[2] / alpha : 0, alpha / weight};
            std::uint8_t* p = &pixels[static_cast<std::size_t>((y * width + x) * 4)];
            for (int c = 0; c < 4; ++c) {
                double previous = p[c] / 255.0;
                p[c] = colourByte(static_cast<float>(previous + (result[c] - previous) * opacity));
            }
        }
    }
}

TEST(ReferenceBlur, EqualsTheDirectGaussianWithinOneStep) {
    const int width = 48;
    const int height = 36;
    std::mt19937 random(3);
    const struct {
        Rect area;
        float radius;
        float scale;
        float opacity;
    } cases[] = {
        {{10, 8, 20, 14}, 2.5f, 1, 1},  {{0, 0, 48, 36}, 0.4f, 1, 1}, {{-4, 20, 30, 30}, 6, 1, 0.6f},
        {{30, 2, 18, 12}, 3.75f, 2, 1}, {{5, 5, 10, 10}, 40, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radius);
        TestSurface target(width, height);
        for (std::size_t i = 0; i < target.pixels.size(); ++i) target.pixels[i] = static_cast<std::uint8_t>(random());
        // A fully transparent block: taps there carry no colour.
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) target.pixels[static_cast<std::size_t>((y * width + x) * 4 + 3)] = 0;
        }
        std::vector<std::uint8_t> expected = target.pixels;
        RenderLayerState state;
        state.transform = {c.scale, 0, 0, c.scale, 0, 0};
        state.opacity = c.opacity;
        Rect area{c.area.x / c.scale, c.area.y / c.scale, c.area.width / c.scale, c.area.height / c.scale};
        auto command = renderCommandInLayer(state, CanvasCommand::blurOf({1, area, c.radius}));
        ASSERT_TRUE(command);
        // The command's bounds include its reach; the blur draws over its own rectangle.
        ASSERT_TRUE(renderCommand(target.surface, *command, c.area));
        auto pixels = referencePixelRect(c.area, width, height);
        directBlur(expected, width, height, *pixels, c.radius * c.scale, c.opacity);
        int worst = 0;
        for (std::size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(expected[i] - target.pixels[i]));
        EXPECT_LE(worst, 1);
    }
}

TEST(ReferenceBlur, TransparentTapsGiveColourZeroAndAScratchIsNeeded) {
    // Transparent pixels that still hold colour bytes: the mean colour of their taps is 0, mixed
    // with the pixel at half opacity.
    TestSurface target(16, 16, {200 / 255.0f, 100 / 255.0f, 50 / 255.0f, 0});
    RenderLayerState half;
    half.opacity = 0.5f;
    auto blur = renderCommandInLayer(half, CanvasCommand::blurOf({1, {2, 2, 8, 8}, 3}));
    ASSERT_TRUE(blur);
    ASSERT_TRUE(renderCommand(target.surface, *blur, std::nullopt));
    EXPECT_EQ(target.at(5, 5), (std::array<std::uint8_t, 4>{100, 50, 25, 0}));
    RenderCommand none = plainRenderCommand(CanvasCommand::blurOf({1, {2, 2, 8, 8}, -1}));
    EXPECT_TRUE(renderCommand(target.surface, none, std::nullopt));
    target.surface.scratch = {};
    EXPECT_EQ(renderCommand(target.surface, *blur, std::nullopt).error(), Error::ReferenceRenderUnsupportedCommand);
}

}  // namespace
}  // namespace kelvo::testing
