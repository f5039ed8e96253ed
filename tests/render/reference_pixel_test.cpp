// Blending, pixel rectangles, paint and image sampling, and the common steps of renderCommand.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "render/reference_colour.hpp"
#include "support/golden.hpp"
#include "test_surface.hpp"

namespace kelvo::testing {
namespace {

using Pixel = std::array<std::uint8_t, 4>;

TEST(ReferenceBlend, EdgesOfOpaquePaintBlendInLinearLightAndTheRestInSrgbBytes) {
    TestSurface white(4, 1);
    const Color black{0, 0, 0, 1};
    blendPixelCoverage(white.surface, 0, 0, black, 0.5f, 1.0f, false);  // an edge of an opaque shape
    blendPixelCoverage(white.surface, 1, 0, black, 0.5f, 1.0f, true);   // a text edge
    blendPixelCoverage(white.surface, 2, 0, black, 0.5f, 0.8f, false);  // not opaque: sRGB bytes
    blendRgba8(white.surface.pixel(3, 0), {0, 0, 0, 0.5f}, 1.0f);
    EXPECT_EQ(white.at(0, 0), (Pixel{188, 188, 188, 255}));
    EXPECT_EQ(white.at(1, 0), (Pixel{128, 128, 128, 255}));
    EXPECT_EQ(white.at(2, 0), (Pixel{153, 153, 153, 255}));  // 1 - 0.4 = 0.6 of white
    EXPECT_EQ(white.at(3, 0), (Pixel{128, 128, 128, 255}));

    // Nothing over nothing stays nothing; a colour over transparency keeps its own channels.
    TestSurface clear(2, 1, {0, 0, 0, 0});
    blendRgba8(clear.surface.pixel(0, 0), {1, 0.5f, 0, 0}, 1.0f);
    blendRgba8(clear.surface.pixel(1, 0), {1, 0.5f, 0, 1}, 0.25f);
    EXPECT_EQ(clear.at(0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(clear.at(1, 0), (Pixel{255, 128, 0, 64}));
}

TEST(ReferenceGeometry, PixelRectanglesFromTheTable) {
    for (const auto& row : readTable("render/pixel_rects.txt")) {
        ASSERT_GE(row.size(), 7u);
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2] + " " + row[3]);
        Rect rect{std::stof(row[0]), std::stof(row[1]), std::stof(row[2]), std::stof(row[3])};
        auto pixels = referencePixelRect(rect, std::stoull(row[4]), std::stoull(row[5]));
        if (row[6] == "none") {
            EXPECT_FALSE(pixels.has_value());
            continue;
        }
        ASSERT_TRUE(pixels.has_value());
        EXPECT_EQ(*pixels, (PixelRect{std::stoll(row[6]), std::stoll(row[7]), std::stoll(row[8]), std::stoll(row[9])}));
    }
}

TEST(ReferenceGeometry, RoundedRectanglesCutTheirCorners) {
    const Rect rect{0, 0, 20, 10};
    const CornerRadii radii{8, 0, 30, 0};  // the 30 is limited to half the smaller side, 5
    EXPECT_TRUE(referencePointInRoundedRect(rect, radii, 10, 5));
    EXPECT_FALSE(referencePointInRoundedRect(rect, radii, 1, 1));
    EXPECT_TRUE(referencePointInRoundedRect(rect, radii, 19.5f, 0.5f));  // square corner
    EXPECT_FALSE(referencePointInRoundedRect(rect, radii, 19, 9));
    EXPECT_TRUE(referencePointInRoundedRect(rect, radii, 16, 6));
    EXPECT_FALSE(referencePointInRoundedRect(rect, radii, 20, 5));  // half-open
    EXPECT_TRUE(referencePointInRoundedRect({20, 10, -20, -10}, {}, 0, 0));
}

TEST(ReferenceSample, GradientsMixInLinearLightBetweenTheirStops) {
    const GradientStop stops[] = {{0.25f, {0, 0, 0, 0}}, {0.75f, {1, 1, 1, 1}}};
    Paint paint = Paint::linear({stops, {0, 0}, {10, 0}});
    const Affine doubled{2, 0, 0, 2, 0, 0};  // end points go through the transform: 0 .. 20
    Color middle = referenceSampleFill(paint, doubled, {10, 3});
    EXPECT_NEAR(middle.r, srgbEncode(0.5f), 1e-6);
    EXPECT_FLOAT_EQ(middle.a, 0.5f);
    EXPECT_FLOAT_EQ(referenceSampleFill(paint, doubled, {2, 0}).a, 0.0f);
    EXPECT_FLOAT_EQ(referenceSampleFill(paint, doubled, {19, 0}).r, 1.0f);
    // A gradient without length samples at t = 0; one stop is a plain colour; none is transparent.
    EXPECT_FLOAT_EQ(referenceSampleFill(Paint::linear({stops, {5, 5}, {5, 5}}), {}, {100, 0}).a, 0.0f);
    EXPECT_FLOAT_EQ(referenceSampleFill(Paint::linear({std::span(stops).last(1), {}, {10, 0}}), {}, {0, 0}).a, 1.0f);
    EXPECT_FLOAT_EQ(referenceSampleFill(Paint::linear({{}, {}, {10, 0}}), {}, {5, 0}).a, 0.0f);
}

TEST(ReferenceSample, ImageSamplesStayInsideTheSourceRectangle) {
    // Four columns: red, green, blue, white; the source is the middle two.
    const std::uint8_t pixels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    ReferenceImage image{1, 4, 1, pixels};
    const Rect middle{1, 0, 2, 1};
    EXPECT_EQ(referenceSampleImage(image, middle, true, 0, 0.5f), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(referenceSampleImage(image, middle, true, 1, 0.5f), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(referenceSampleImage(image, middle, false, 1, 0.5f), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(referenceSampleImage(image, middle, false, 0, 0.5f), (Pixel{0, 255, 0, 255}));
    // Half-way between green and blue, mixed in linear light.
    Pixel mixed = referenceSampleImage(image, middle, true, 0.5f, 0.5f);
    EXPECT_EQ(mixed[1], mixed[2]);
    EXPECT_EQ(mixed[1], colourByte(srgbEncode(0.5f)));
    // Transparent neighbours give transparent black, never 0 / 0.
    const std::uint8_t clear[] = {90, 80, 70, 0, 60, 50, 40, 0};
    EXPECT_EQ(referenceSampleImage({1, 2, 1, clear}, {0, 0, 2, 1}, true, 0.5f, 0.5f), (Pixel{0, 0, 0, 0}));
}

TEST(ReferenceRenderCommand, AreaTagAndBufferChecks) {
    TestSurface target(8, 8);
    RenderCommand rect = plainRenderCommand(CanvasCommand::fillRect({1, Paint::solid({0, 0, 0, 1}), {2, 2, 2, 2}}));
    // Outside the clip nothing is drawn, whatever the tag.
    RenderCommand layer = rect;
    layer.command = CanvasCommand::pushClip({1, {2, 2, 2, 2}, {}});
    EXPECT_TRUE(renderCommand(target.surface, layer, Rect{5, 5, 2, 2}));
    EXPECT_EQ(renderCommand(target.surface, layer, Rect{0, 0, 8, 8}).error(), Error::ReferenceRenderUnsupportedCommand);
    EXPECT_TRUE(renderCommand(target.surface, rect, Rect{5, 5, 2, 2}));
    EXPECT_EQ(target.at(2, 2), (Pixel{255, 255, 255, 255}));
    ASSERT_TRUE(renderCommand(target.surface, rect, std::nullopt));
    EXPECT_EQ(target.at(2, 2), (Pixel{0, 0, 0, 255}));

    // A pixel buffer shorter than the size says.
    ReferenceRenderSurface short_surface = target.surface;
    short_surface.pixels = short_surface.pixels.first(8 * 8 * 4 - 1);
    EXPECT_EQ(renderCommand(short_surface, rect, std::nullopt).error(), Error::ReferenceRenderSurfaceTooSmall);

    // Images: an unknown id draws nothing, too few bytes are refused.
    const std::uint8_t two[] = {1, 2, 3, 255, 4, 5, 6, 255};
    const ReferenceImage images[] = {{5, 2, 2, two}};
    target.surface.images = images;
    for (std::uint64_t id : {std::uint64_t{6}, std::uint64_t{5}}) {
        auto status = renderCommand(
            target.surface,
            plainRenderCommand(CanvasCommand::drawImage({1, id, std::nullopt, {0, 0, 4, 4}, 1, {}, {}, {}})),
            std::nullopt);
        if (id == 6) {
            EXPECT_TRUE(status);
        } else {
            EXPECT_EQ(status.error(), Error::ReferenceRenderUnsupportedCommand);
        }
    }
}

// Paths wider than the sweep's 8,192 columns are swept in bands and come out seamless.
TEST(ReferenceRenderCommand, AFillTwelveThousandPixelsWideRenders) {
    TestSurface wide(12000, 4);
    const PathElement band[] = {PathElement::moveTo({10.5f, 0}), PathElement::lineTo({11990.25f, 0}),
                                PathElement::lineTo({11990.25f, 4}), PathElement::lineTo({10.5f, 4}),
                                PathElement::close()};
    ASSERT_TRUE(renderCommand(wide.surface,
                              plainRenderCommand(CanvasCommand::fillPath({1, band, Paint::solid({0, 0, 0, 1})})),
                              std::nullopt));
    for (std::int64_t x : {11, 8191, 8192, 8193, 11989}) EXPECT_EQ(wide.at(x, 2), (Pixel{0, 0, 0, 255})) << x;
    EXPECT_EQ(wide.at(9, 2), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(wide.at(10, 2), wide.at(10, 1));
    EXPECT_NE(wide.at(10, 2), (Pixel{255, 255, 255, 255}));
    EXPECT_NE(wide.at(11990, 2), (Pixel{255, 255, 255, 255}));
}

}  // namespace
}  // namespace kelvo::testing
