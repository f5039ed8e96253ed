#include "raster/canvas_geometry.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace kelvo {
namespace {

TEST(CanvasGeometry, NormalisingMovesTheOriginByNegativeSizes) {
    struct Case {
        Rect in;
        Rect out;
        bool empty;
    };
    const Case cases[] = {
        {{10, 0, -4, 2}, {6, 0, 4, 2}, false},      {{0, 10, 3, -5}, {0, 5, 3, 5}, false},
        {{1, 2, -3, -4}, {-2, -2, 3, 4}, false},    {{1, 1, 0, 5}, {1, 1, 0, 5}, true},
        {{1, 1, 5, -0.0f}, {1, 1, 5, -0.0f}, true},
    };
    for (const Case& c : cases) {
        Rect n = normalizeRect(c.in);
        EXPECT_EQ(n.x, c.out.x);
        EXPECT_EQ(n.y, c.out.y);
        EXPECT_EQ(n.width, c.out.width);
        EXPECT_EQ(n.height, c.out.height);
        EXPECT_EQ(rectIsEmpty(c.in), c.empty);
    }
    EXPECT_TRUE(rectIsEmpty({0, 0, NAN, 4}));
}

TEST(CanvasGeometry, VerbsAreReadThroughTheirLowThreeBits) {
    const int expected[8] = {1, 1, 2, 3, 0, 0, 0, 0};
    for (int bits = 0; bits < 16; ++bits) {
        EXPECT_EQ(pathVerbPointCount(static_cast<PathVerb>(bits)), expected[bits & 7]) << bits;
    }
    PathElement element = PathElement::cubicTo({1, 2}, {3, 4}, {5, 6});
    EXPECT_EQ(element.verb, PathVerb::cubic_to);
    EXPECT_EQ(PathElement::lineTo({7, 8}).points[1].x, 0.0f);
    EXPECT_EQ(maskedImageFit(static_cast<ImageFit>(6)), ImageFit::cover);
    EXPECT_EQ(maskedImageSampling(static_cast<ImageSampling>(3)), ImageSampling::linear);
}

TEST(CanvasGeometry, ComposedTransformsApplyInnerFirst) {
    Affine scale{2, 0, 0, 3, 0, 0};
    Affine move{1, 0, 0, 1, 10, 20};
    Affine rotate{0, 1, -1, 0, 0, 0};
    const Point p{1.5f, -2};
    for (const auto& [outer, inner] : {std::pair{scale, move}, std::pair{move, scale}, std::pair{rotate, move}}) {
        Point expected = applyAffine(outer, applyAffine(inner, p));
        Point got = applyAffine(composeAffine(outer, inner), p);
        EXPECT_FLOAT_EQ(got.x, expected.x);
        EXPECT_FLOAT_EQ(got.y, expected.y);
    }
    Point same = applyAffine(kIdentityAffine, p);
    EXPECT_EQ(same.x, p.x);
    EXPECT_EQ(same.y, p.y);
}

}  // namespace
}  // namespace kelvo
