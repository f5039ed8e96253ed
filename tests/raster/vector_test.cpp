#include "raster/vector.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace kelvo {
namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    float at(int x, int y) const { return values[static_cast<std::size_t>(y * width + x)]; }
    double sum() const {
        double total = 0;
        for (float v : values) total += v;
        return total;
    }
};

Result<Image> render(Rasterizer& rasterizer, FillRule rule, int width, int height, PixelBox clip) {
    Image image{width, height, std::vector<float>(static_cast<std::size_t>(width * height), 0.0f)};
    auto status = sweep(rasterizer, clip, rule, width, height, [&](std::int32_t x, std::int32_t y, float coverage) {
        EXPECT_TRUE(x >= 0 && x < width && y >= 0 && y < height);
        EXPECT_EQ(image.values[static_cast<std::size_t>(y * width + x)], 0.0f) << "pixel handed out twice";
        image.values[static_cast<std::size_t>(y * width + x)] = coverage;
    });
    if (!status) return fail(status.error());
    return image;
}

Result<Image> render(Rasterizer& rasterizer, FillRule rule, int width, int height) {
    return render(rasterizer, rule, width, height, {0, 0, width, height});
}

// The coverage rules written out directly: every edge is tested on every sub-scanline, crossings
// are insertion-sorted, and each span adds its per-column overlap.
Result<Image> referenceRender(const Rasterizer& r, FillRule rule, int width, int height, PixelBox clip) {
    Image image{width, height, std::vector<float>(static_cast<std::size_t>(width * height), 0.0f)};
    if (r.count == 0) return image;
    auto bound = [](float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; };
    double bx0 = std::max<double>(clip.x0, std::floor(bound(r.min.x)));
    double bx1 = std::min<double>(clip.x1, std::ceil(bound(r.max.x)));
    double by0 = std::max<double>(clip.y0, std::floor(bound(r.min.y)));
    double by1 = std::min<double>(clip.y1, std::ceil(bound(r.max.y)));
    if (bx1 <= bx0 || by1 <= by0) return image;
    if (bx1 - bx0 > 8192) return fail(Error::VectorRasterTooWide);
    int box_width = static_cast<int>(bx1 - bx0);
    float left = static_cast<float>(bx0);
    std::vector<float> row(static_cast<std::size_t>(box_width));
    for (int y = static_cast<int>(by0); y < static_cast<int>(by1); ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        for (int k = 0; k < 4; ++k) {
            float sy = static_cast<float>(y) + (static_cast<float>(k) + 0.5f) * 0.25f;
            std::vector<std::pair<float, float>> crossings;
            for (std::uint64_t i = 0; i < r.count; ++i) {
                const RasterEdge& e = r.edges[i];
                if (std::min(e.y0, e.y1) <= sy && sy < std::max(e.y0, e.y1)) {
                    crossings.push_back({e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.winding});
                }
            }
            if (crossings.size() > 256) return fail(Error::VectorPathTooComplex);
            for (std::size_t i = 1; i < crossings.size(); ++i) {
                for (std::size_t j = i; j > 0 && crossings[j - 1].first > crossings[j].first; --j) {
                    std::swap(crossings[j - 1], crossings[j]);
                }
            }
            bool inside = false;
            float winding = 0;
            float start = 0;
            for (auto [x, w] : crossings) {
                bool was = inside;
                if (rule == FillRule::winding) {
                    winding += w;
                    inside = winding != 0;
                } else {
                    inside = !inside;
                }
                if (!was && inside) start = x;
                if (was && !inside) {
                    float s = std::clamp(start - left, 0.0f, static_cast<float>(box_width));
                    float t = std::clamp(x - left, 0.0f, static_cast<float>(box_width));
                    for (int c = static_cast<int>(std::floor(s));; ++c) {
                        float overlap = std::min(t, static_cast<float>(c + 1)) - std::max(s, static_cast<float>(c));
                        if (!(overlap > 0)) break;
                        row[static_cast<std::size_t>(c)] += overlap * 0.25f;
                    }
                }
            }
        }
        for (int c = 0; c < box_width; ++c) {
            int x = static_cast<int>(bx0) + c;
            if (row[static_cast<std::size_t>(c)] > 0.0009f && x >= 0 && x < width && y >= 0 && y < height) {
                image.values[static_cast<std::size_t>(y * width + x)] =
                    std::min(row[static_cast<std::size_t>(c)], 1.0f);
            }
        }
    }
    return image;
}

// The area of a regular n-gon inscribed in a circle of radius r: a flattened disc.
double polygonArea(int n, double r) { return 0.5 * n * r * r * std::sin(2 * M_PI / n); }

std::unique_ptr<Rasterizer> newRasterizer() {
    auto rasterizer = std::make_unique<Rasterizer>();
    rasterizer->clear();
    return rasterizer;
}

std::vector<PathElement> rectPath(float x, float y, float w, float h) {
    return {PathElement::moveTo({x, y}), PathElement::lineTo({x + w, y}), PathElement::lineTo({x + w, y + h}),
            PathElement::lineTo({x, y + h}), PathElement::close()};
}

TEST(VectorRasterizer, SquareCoversWholePixelsAndHalfPixelsWhenShifted) {
    auto r = newRasterizer();
    ASSERT_TRUE(accumulateFillEdges(*r, rectPath(0, 0, 10, 10), kIdentityAffine));
    Image image = *render(*r, FillRule::winding, 100, 100);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) EXPECT_EQ(image.at(x, y), (x < 10 && y < 10) ? 1.0f : 0.0f) << x << "," << y;
    }

    r->clear();
    ASSERT_TRUE(accumulateFillEdges(*r, rectPath(0, 0, 10, 10), Affine{1, 0, 0, 1, 0.5f, 0}));
    image = *render(*r, FillRule::winding, 100, 100);
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(image.at(0, y), 0.5f);
        for (int x = 1; x < 10; ++x) EXPECT_EQ(image.at(x, y), 1.0f);
        EXPECT_EQ(image.at(10, y), 0.5f);
        EXPECT_EQ(image.at(11, y), 0.0f);
    }
    EXPECT_EQ(image.sum(), 100.0);
}

TEST(VectorRasterizer, RowsAreSampledOnFourSubScanlines) {
    // A band from y = 0 to `bottom` covers the sub-scanlines at 0.125, 0.375, 0.625 and 0.875 below it.
    const struct {
        float bottom;
        float coverage;
    } cases[] = {{0.1f, 0.0f}, {0.125f, 0.0f}, {0.13f, 0.25f}, {0.4f, 0.5f}, {0.7f, 0.75f}, {0.9f, 1.0f}};
    for (const auto& c : cases) {
        auto r = newRasterizer();
        ASSERT_TRUE(accumulateFillEdges(*r, rectPath(0, 0, 4, c.bottom), kIdentityAffine));
        Image image = *render(*r, FillRule::winding, 8, 8);
        EXPECT_EQ(image.at(2, 0), c.coverage) << c.bottom;
    }
    // A sliver of 0.003 pixel on one sub-scanline accumulates 0.00075, under the threshold.
    auto r = newRasterizer();
    ASSERT_TRUE(accumulateFillEdges(*r, rectPath(1, 0, 0.003f, 0.2f), kIdentityAffine));
    EXPECT_EQ(render(*r, FillRule::winding, 4, 4)->sum(), 0.0);
}

TEST(VectorRasterizer, HorizontalAndNonFiniteEdgesAreDropped) {
    auto r = newRasterizer();
    ASSERT_TRUE(addRasterEdge(*r, {0, 5}, {10, 5}));
    ASSERT_TRUE(addRasterEdge(*r, {0, NAN}, {10, 5}));
    ASSERT_TRUE(addRasterEdge(*r, {INFINITY, 0}, {10, 5}));
    EXPECT_EQ(r->count, 0u);
    ASSERT_TRUE(addRasterEdge(*r, {0, 5}, {1, 0}));
    ASSERT_TRUE(addRasterEdge(*r, {0, 0}, {1, 5}));
    ASSERT_EQ(r->count, 2u);
    EXPECT_EQ(r->edges[0].winding, -1.0f);
    EXPECT_EQ(r->edges[1].winding, 1.0f);
    EXPECT_EQ(r->min.y, 0.0f);
    EXPECT_EQ(r->max.y, 5.0f);

    r->clear();
    const std::vector<PathElement> flat = {PathElement::moveTo({0, 3}), PathElement::lineTo({9, 3}),
                                           PathElement::lineTo({2, 3})};
    ASSERT_TRUE(accumulateFillEdges(*r, flat, kIdentityAffine));
    EXPECT_EQ(r->count, 0u);
    EXPECT_EQ(render(*r, FillRule::winding, 10, 10)->sum(), 0.0);
}

TEST(VectorRasterizer, WindingAndEvenOddRulesOnOverlappingSquares) {
    auto clockwise = rectPath(0, 0, 6, 6);
    const std::vector<PathElement> counter = {PathElement::moveTo({3, 3}), PathElement::lineTo({3, 9}),
                                              PathElement::lineTo({9, 9}), PathElement::lineTo({9, 3}),
                                              PathElement::close()};
    auto same = rectPath(3, 3, 6, 6);
    struct Case {
        const std::vector<PathElement>* second;
        FillRule rule;
        float overlap;
    };
    const Case cases[] = {{&counter, FillRule::winding, 0.0f},
                          {&same, FillRule::winding, 1.0f},
                          {&counter, FillRule::even_odd, 0.0f},
                          {&same, FillRule::even_odd, 0.0f}};
    for (const Case& c : cases) {
        auto r = newRasterizer();
        ASSERT_TRUE(accumulateFillEdges(*r, clockwise, kIdentityAffine));
        ASSERT_TRUE(accumulateFillEdges(*r, *c.second, kIdentityAffine));
        Image image = *render(*r, c.rule, 12, 12);
        EXPECT_EQ(image.at(4, 4), c.overlap);
        EXPECT_EQ(image.at(1, 1), 1.0f);
        EXPECT_EQ(image.at(7, 7), 1.0f);
    }
}

TEST(VectorRasterizer, PolygonsReachTheRasteriserWithOneOrientation) {
    const Point square[] = {{1, 1}, {5, 1}, {5, 4}, {1, 4}};
    const Point reversed[] = {{1, 1}, {1, 4}, {5, 4}, {5, 1}};
    auto a = newRasterizer();
    auto b = newRasterizer();
    ASSERT_TRUE(addPolygon(*a, square));
    ASSERT_TRUE(addPolygon(*b, reversed));
    ASSERT_EQ(a->count, 2u);
    ASSERT_EQ(b->count, 2u);
    EXPECT_EQ(std::memcmp(a->edges.data(), b->edges.data(), 2 * sizeof(RasterEdge)), 0);
    const Point line[] = {{0, 0}, {2, 2}, {4, 4}};
    const Point two[] = {{0, 0}, {2, 5}};
    ASSERT_TRUE(addPolygon(*a, line));
    ASSERT_TRUE(addPolygon(*a, two));
    EXPECT_EQ(a->count, 2u);
}

TEST(VectorRasterizer, CapacitiesEndWithNamedErrors) {
    auto r = newRasterizer();
    for (std::size_t i = 0; i < kRasterEdgeCapacity; ++i) ASSERT_TRUE(addRasterEdge(*r, {0, 0}, {1, 1}));
    auto full = addRasterEdge(*r, {0, 0}, {1, 1});
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error(), Error::VectorPathTooComplex);

    // 129 thin vertical bars give 258 crossings on every sub-scanline.
    r->clear();
    for (int i = 0; i < 129; ++i) ASSERT_TRUE(accumulateFillEdges(*r, rectPath(i * 2.0f, 0, 1, 4), kIdentityAffine));
    auto crowded = render(*r, FillRule::winding, 300, 8);
    ASSERT_FALSE(crowded);
    EXPECT_EQ(crowded.error(), Error::VectorPathTooComplex);
    r->clear();
    for (int i = 0; i < 128; ++i) ASSERT_TRUE(accumulateFillEdges(*r, rectPath(i * 2.0f, 0, 1, 4), kIdentityAffine));
    EXPECT_EQ(render(*r, FillRule::winding, 300, 8)->sum(), 128.0 * 4);

    r->clear();
    ASSERT_TRUE(accumulateFillEdges(*r, rectPath(0, 0, 8193, 2), kIdentityAffine));
    auto wide = render(*r, FillRule::winding, 10, 10, {0, 0, 100000, 10});
    ASSERT_FALSE(wide);
    EXPECT_EQ(wide.error(), Error::VectorRasterTooWide);
    // The clip narrows the swept box; so does a shape of exactly 8,192 pixels.
    EXPECT_TRUE(render(*r, FillRule::winding, 10, 10, {0, 0, 8192, 10}));
    r->clear();
    ASSERT_TRUE(accumulateFillEdges(*r, rectPath(0, 0, 8192, 2), kIdentityAffine));
    EXPECT_TRUE(render(*r, FillRule::winding, 10, 10, {0, 0, 100000, 10}));
}

TEST(VectorRasterizer, ClipAndTargetBoundTheHandedOutPixels) {
    auto r = newRasterizer();
    ASSERT_TRUE(accumulateFillEdges(*r, rectPath(-5, -5, 30, 30), kIdentityAffine));
    Image clipped = *render(*r, FillRule::winding, 20, 20, {2, 3, 6, 8});
    EXPECT_EQ(clipped.sum(), 4.0 * 5);
    EXPECT_EQ(clipped.at(2, 3), 1.0f);
    EXPECT_EQ(clipped.at(1, 3), 0.0f);
    Image whole = *render(*r, FillRule::winding, 20, 20, {-100, -100, 100, 100});
    EXPECT_EQ(whole.sum(), 400.0);
}

TEST(VectorRasterizer, SweepMatchesTheWrittenRulesExactly) {
    std::mt19937 random(7);
    auto coordinate = [&](float lo, float hi, bool snap) {
        float v = std::uniform_real_distribution<float>(lo, hi)(random);
        return snap ? std::round(v * 2) / 2 : v;
    };
    for (int trial = 0; trial < 300; ++trial) {
        bool snap = trial % 3 == 0;  // many equal crossings
        std::vector<PathElement> path;
        int subpaths = 1 + trial % 3;
        for (int s = 0; s < subpaths; ++s) {
            path.push_back(PathElement::moveTo({coordinate(-8, 72, snap), coordinate(-8, 72, snap)}));
            int elements = 2 + static_cast<int>(random() % 8);
            for (int i = 0; i < elements; ++i) {
                Point a{coordinate(-8, 72, snap), coordinate(-8, 72, snap)};
                Point b{coordinate(-8, 72, snap), coordinate(-8, 72, snap)};
                Point c{coordinate(-8, 72, snap), coordinate(-8, 72, snap)};
                const PathElement choices[] = {PathElement::lineTo(a), PathElement::quadTo(a, b),
                                               PathElement::cubicTo(a, b, c), PathElement::close()};
                path.push_back(choices[random() % 4]);
            }
        }
        Affine transform = trial % 2 ? Affine{0.9f, 0.2f, -0.3f, 1.1f, 3.25f, -1.5f} : kIdentityAffine;
        auto r = newRasterizer();
        ASSERT_TRUE(accumulateFillEdges(*r, path, transform));
        for (FillRule rule : {FillRule::winding, FillRule::even_odd}) {
            PixelBox clip = trial % 4 == 1 ? PixelBox{5, 7, 50, 60} : PixelBox{0, 0, 64, 64};
            auto fast = render(*r, rule, 64, 64, clip);
            auto slow = referenceRender(*r, rule, 64, 64, clip);
            ASSERT_TRUE(fast && slow);
            ASSERT_EQ(fast->values, slow->values) << "trial " << trial;
        }
    }

    // Crossings at the same x join or split a span by their order, and a split can round the
    // column they share differently: edges at the same x go in index order. The first column of
    // the box is where that shows; a first sub-scanline that ends inside it sets it up.
    for (bool down_first : {true, false}) {
        auto tied = newRasterizer();
        const Point top_band[] = {{0, 0}, {0.74644172f, 0}, {0.74644172f, 0.25f}, {0, 0.25f}};
        const Point rest[] = {{0, 0.25f}, {8, 0.25f}, {8, 1}, {0, 1}};
        ASSERT_TRUE(addPolygon(*tied, top_band));
        ASSERT_TRUE(addPolygon(*tied, rest));
        const float p = 0.917148054f;
        for (bool down : {down_first, !down_first}) {
            ASSERT_TRUE(down ? addRasterEdge(*tied, {p, 0.25f}, {p, 1}) : addRasterEdge(*tied, {p, 1}, {p, 0.25f}));
        }
        auto fast = render(*tied, FillRule::winding, 12, 4, {0, 0, 12, 4});
        auto slow = referenceRender(*tied, FillRule::winding, 12, 4, {0, 0, 12, 4});
        ASSERT_TRUE(fast && slow);
        EXPECT_EQ(fast->values, slow->values) << down_first;
    }

    // The most crowded row there is: 256 crossings and 128 spans of several columns on every
    // sub-scanline, which fills the row's cover events to the last slot.
    auto crowded = newRasterizer();
    for (int i = 0; i < 128; ++i) {
        ASSERT_TRUE(accumulateFillEdges(*crowded, rectPath(i * 6.0f + 0.5f, 0.5f, 5, 2), kIdentityAffine));
    }
    auto fast = render(*crowded, FillRule::winding, 800, 4, {0, 0, 800, 4});
    auto slow = referenceRender(*crowded, FillRule::winding, 800, 4, {0, 0, 800, 4});
    ASSERT_TRUE(fast && slow);
    EXPECT_EQ(fast->values, slow->values);
    EXPECT_EQ(fast->sum(), 128.0 * 5 * 2);
}

// A closed ring of cubic segments around `centre`, its radius waving `waves` times; `turn` -1 runs
// it the other way.
void addWavyRing(std::vector<PathElement>& path, Point centre, float radius, float wobble, int waves, int segments,
                 float turn, float squash) {
    auto at = [&](float t) {
        float angle = turn * t * 2.0f * static_cast<float>(M_PI);
        float r = radius + wobble * std::sin(t * 2.0f * static_cast<float>(M_PI) * static_cast<float>(waves));
        return Point{centre.x + r * std::cos(angle), centre.y + squash * r * std::sin(angle)};
    };
    path.push_back(PathElement::moveTo(at(0)));
    for (int i = 0; i < segments; ++i) {
        float t0 = static_cast<float>(i) / static_cast<float>(segments);
        float t1 = static_cast<float>(i + 1) / static_cast<float>(segments);
        path.push_back(PathElement::cubicTo(at(t0 + (t1 - t0) / 3), at(t0 + 2 * (t1 - t0) / 3), at(t1)));
    }
    path.push_back(PathElement::close());
}

TEST(VectorRasterizer, SweepMatchesTheWrittenRulesOnSmoothShapes) {
    // Outlines that are smooth at pixel scale: wide and flat, thin rings whose edges share columns,
    // nested and overlapping rings, stacks of bands, under small rotations.
    std::mt19937 random(11);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<PathElement> path;
        int rings = 1 + trial % 4;
        for (int i = 0; i < rings; ++i) {
            float radius = uniform(2, 140);
            addWavyRing(path, {uniform(60, 240), uniform(60, 240)}, radius, uniform(0, radius / 4),
                        static_cast<int>(random() % 12), 8 + static_cast<int>(random() % 60), i % 2 ? -1.0f : 1.0f,
                        trial % 3 == 0 ? uniform(0.02f, 0.3f) : 1.0f);
            if (trial % 5 == 0) {  // a ring a pixel or less wide
                addWavyRing(path, {150, 150}, radius + uniform(0.2f, 1.5f), 0, 0, 24, -1.0f, 1.0f);
                addWavyRing(path, {150, 150}, radius, 0, 0, 24, 1.0f, 1.0f);
            }
        }
        float angle = uniform(-0.2f, 0.2f);
        Affine transform{std::cos(angle), std::sin(angle), -std::sin(angle),
                         std::cos(angle), uniform(-3, 3),  uniform(-3, 3)};
        auto r = newRasterizer();
        ASSERT_TRUE(accumulateFillEdges(*r, path, transform));
        for (FillRule rule : {FillRule::winding, FillRule::even_odd}) {
            auto fast = render(*r, rule, 300, 300, {0, 0, 300, 300});
            auto slow = referenceRender(*r, rule, 300, 300, {0, 0, 300, 300});
            ASSERT_TRUE(fast && slow);
            ASSERT_EQ(fast->values, slow->values) << "trial " << trial;
        }
    }
}

TEST(VectorRasterizer, CoverageAddsUpToTheArea) {
    // A triangle of area 0.5 * 40 * 30 = 600 and a circle of radius 20.
    auto r = newRasterizer();
    const Point triangle[] = {{5, 5}, {45, 5}, {5, 35}};
    ASSERT_TRUE(addPolygon(*r, triangle));
    EXPECT_NEAR(render(*r, FillRule::winding, 64, 64)->sum(), 600.0, 2.0);
    r->clear();
    ASSERT_TRUE(emitDisc(*r, 20, kFlattenTolerance, {32, 32}));
    // Six segments per quarter: the inscribed 24-gon.
    EXPECT_NEAR(render(*r, FillRule::winding, 64, 64)->sum(), polygonArea(24, 20), 1.0);
}

TEST(VectorRasterizer, CurvesAreFlattenedIntoBoundedSegments) {
    const struct {
        float d;
        int n;
    } cases[] = {{0, 1}, {0.25f, 1}, {0.26f, 2}, {1, 2}, {1.01f, 3}, {144, 24}, {1e9f, 48}, {INFINITY, 48}, {NAN, 1}};
    for (const auto& c : cases) EXPECT_EQ(curveSegmentCount(c.d), c.n) << c.d;

    // A quadratic with second difference (0, 40): d = 10, so ceil(sqrt(40)) = 7 segments.
    auto r = newRasterizer();
    const std::vector<PathElement> bump = {PathElement::moveTo({0, 0}), PathElement::quadTo({10, 20}, {20, 0})};
    ASSERT_TRUE(accumulateFillEdges(*r, bump, kIdentityAffine));
    EXPECT_EQ(r->count, 7u);  // the closing edge is horizontal
}

TEST(VectorStroke, ZeroWidthDrawsNothingAndDotsNeedRoundCaps) {
    auto r = newRasterizer();
    const std::vector<PathElement> line = {PathElement::moveTo({2, 2}), PathElement::lineTo({10, 2})};
    ASSERT_TRUE(accumulateStrokeEdges(*r, line, kIdentityAffine, {0, 4, StrokeCap::round, StrokeJoin::round}));
    ASSERT_TRUE(accumulateStrokeEdges(*r, line, kIdentityAffine, {-1, 4, StrokeCap::round, StrokeJoin::round}));
    EXPECT_EQ(r->count, 0u);

    const std::vector<PathElement> dot = {PathElement::moveTo({16, 16})};
    ASSERT_TRUE(accumulateStrokeEdges(*r, dot, kIdentityAffine, {6, 4, StrokeCap::butt, StrokeJoin::round}));
    EXPECT_EQ(r->count, 0u);
    ASSERT_TRUE(accumulateStrokeEdges(*r, dot, kIdentityAffine, {20, 4, StrokeCap::round, StrokeJoin::round}));
    EXPECT_NEAR(render(*r, FillRule::winding, 32, 32)->sum(), polygonArea(16, 10), 1.0);
}

TEST(VectorStroke, ButtCappedSegmentCoversItsRectangle) {
    auto r = newRasterizer();
    const std::vector<PathElement> line = {PathElement::moveTo({2, 5}), PathElement::lineTo({12, 5})};
    ASSERT_TRUE(accumulateStrokeEdges(*r, line, Affine{1, 0, 0, 1, 0, 0}, {2, 4, StrokeCap::butt, StrokeJoin::miter}));
    Image image = *render(*r, FillRule::winding, 16, 16);
    EXPECT_EQ(image.sum(), 20.0);
    EXPECT_EQ(image.at(2, 4), 1.0f);
    EXPECT_EQ(image.at(11, 5), 1.0f);
    EXPECT_EQ(image.at(12, 5), 0.0f);
    // Widths are device pixels: a scaling transform moves the points but keeps the width.
    r->clear();
    ASSERT_TRUE(accumulateStrokeEdges(*r, line, Affine{2, 0, 0, 2, 0, 0}, {2, 4, StrokeCap::butt, StrokeJoin::miter}));
    EXPECT_EQ(render(*r, FillRule::winding, 32, 32)->sum(), 40.0);
}

TEST(VectorStroke, RightAngleIsBevelledUnderMiterLimitOneAndMitredUnderTwo) {
    // Half width 2 around the corner (10, 10): the outer corner square from (10, 8) to (12, 10) is
    // filled whole by the miter and cut along its diagonal by the bevel.
    const std::vector<PathElement> corner = {PathElement::moveTo({2, 10}), PathElement::lineTo({10, 10}),
                                             PathElement::lineTo({10, 18})};
    double sums[2];
    int i = 0;
    for (float limit : {1.0f, 2.0f}) {
        auto r = newRasterizer();
        ASSERT_TRUE(accumulateStrokeEdges(*r, corner, kIdentityAffine, {4, limit, StrokeCap::butt, StrokeJoin::miter}));
        Image image = *render(*r, FillRule::winding, 24, 24);
        sums[i++] = image.sum();
        EXPECT_EQ(image.at(11, 8), limit == 1.0f ? 0.0f : 1.0f) << limit;
        EXPECT_EQ(image.at(10, 8), limit == 1.0f ? 0.5f : 1.0f) << limit;
    }
    EXPECT_EQ(sums[1] - sums[0], 2.0);  // the triangle the bevel leaves out
}

TEST(VectorStroke, RoundJoinsAndCapsStayInsideTheirDiscs) {
    auto r = newRasterizer();
    const std::vector<PathElement> corner = {PathElement::moveTo({8, 8}), PathElement::lineTo({24, 8}),
                                             PathElement::lineTo({24, 24})};
    ASSERT_TRUE(accumulateStrokeEdges(*r, corner, kIdentityAffine, {6, 4, StrokeCap::round, StrokeJoin::round}));
    Image image = *render(*r, FillRule::winding, 32, 32);
    // Two 16 x 6 segments sharing a 3 x 3 square, half a disc beyond each cap and a quarter disc at
    // the outer corner; discs of radius 3 flatten to 12-gons.
    EXPECT_NEAR(image.sum(), 2 * 16 * 6 - 9 + polygonArea(12, 3) * 1.25, 0.5);
    EXPECT_EQ(image.at(27, 5), 0.0f);  // the join is round, not mitred
    EXPECT_EQ(image.at(24, 8), 1.0f);
}

TEST(VectorStroke, ClosedSubpathsJoinAtEveryPoint) {
    auto r = newRasterizer();
    ASSERT_TRUE(
        accumulateStrokeEdges(*r, rectPath(4, 4, 10, 10), kIdentityAffine, {2, 4, StrokeCap::butt, StrokeJoin::miter}));
    Image image = *render(*r, FillRule::winding, 20, 20);
    EXPECT_EQ(image.sum(), 12.0 * 12 - 8.0 * 8);  // a ring with mitred corners
    EXPECT_EQ(image.at(3, 3), 1.0f);
    EXPECT_EQ(image.at(8, 8), 0.0f);
}

TEST(VectorStroke, DiscPointsAndStrokePointLimits) {
    auto r = newRasterizer();
    ASSERT_TRUE(emitDisc(*r, 1, kFlattenTolerance, {5, 5}));
    EXPECT_EQ(r->count, 8u);  // two segments per quarter
    r->clear();
    ASSERT_TRUE(emitDisc(*r, 0, kFlattenTolerance, {5, 5}));
    EXPECT_EQ(r->count, 0u);

    std::vector<PathElement> zigzag = {PathElement::moveTo({0, 0})};
    for (int i = 1; i <= 512; ++i) zigzag.push_back(PathElement::lineTo({static_cast<float>(i), (i % 2) * 3.0f}));
    auto tooMany = accumulateStrokeEdges(*r, zigzag, kIdentityAffine, {1, 4, StrokeCap::butt, StrokeJoin::miter});
    ASSERT_FALSE(tooMany);
    EXPECT_EQ(tooMany.error(), Error::VectorPathTooComplex);
    zigzag.pop_back();
    r->clear();
    EXPECT_TRUE(accumulateStrokeEdges(*r, zigzag, kIdentityAffine, {0.5f, 4, StrokeCap::butt, StrokeJoin::miter}));
}

TEST(VectorPathBuilder, QuarterArcIsTwoCubicsAndHalfCircleFour) {
    const float r = 185;
    PathBuilder<64> quarter;
    ASSERT_TRUE(quarter.moveTo({0, 0}));
    ASSERT_TRUE(quarter.arcTo({r, r}, r, r));
    ASSERT_EQ(quarter.count(), 3u);
    // Turning clockwise on screen from (0, 0) to (r, r) the short way goes round the centre (0, r).
    for (std::size_t i = 1; i < 3; ++i) EXPECT_EQ(quarter.path()[i].verb, PathVerb::cubic_to);
    Point middle = quarter.path()[1].points[2];
    EXPECT_NEAR(middle.x, r * std::sqrt(0.5f), 1e-3);
    EXPECT_NEAR(middle.y, r - r * std::sqrt(0.5f), 1e-3);
    EXPECT_NEAR(quarter.path()[2].points[2].x, r, 1e-3);
    EXPECT_NEAR(quarter.path()[2].points[2].y, r, 1e-3);
    EXPECT_EQ(quarter.cursor.current.x, r);

    // Sample every cubic: the points stay on the circle within a tiny fraction of a pixel.
    PathBuilder<64> half;
    ASSERT_TRUE(half.moveTo({0, 0}));
    ASSERT_TRUE(half.arcTo({2 * r, 0}, r, r));
    ASSERT_EQ(half.count(), 5u);
    Point from{0, 0};
    for (std::size_t i = 1; i < half.count(); ++i) {
        const PathElement& e = half.path()[i];
        for (float t = 0; t <= 1; t += 0.125f) {
            float mt = 1 - t;
            float x = mt * mt * mt * from.x + 3 * mt * mt * t * e.points[0].x + 3 * mt * t * t * e.points[1].x +
                      t * t * t * e.points[2].x;
            float y = mt * mt * mt * from.y + 3 * mt * mt * t * e.points[0].y + 3 * mt * t * t * e.points[1].y +
                      t * t * t * e.points[2].y;
            EXPECT_NEAR(std::hypot(x - r, y), r, 0.02f);
            EXPECT_LE(y, 1e-3f);  // clockwise on screen from the left end: over the top
        }
        from = e.points[2];
    }
}

TEST(VectorPathBuilder, DegenerateArcsAndCapacity) {
    PathBuilder<64> path;
    ASSERT_TRUE(path.arcTo({10, 0}, 0, 5));  // no subpath: a move to (0, 0) first; zero radius: a line
    ASSERT_EQ(path.count(), 2u);
    EXPECT_EQ(path.path()[0].verb, PathVerb::move_to);
    EXPECT_EQ(path.path()[1].verb, PathVerb::line_to);
    ASSERT_TRUE(path.arcTo({10, 0}, 5, 5));  // end equals current: nothing
    EXPECT_EQ(path.count(), 2u);
    ASSERT_TRUE(path.arcTo({20, 0}, 1, 1));  // radii too small grow to reach: a half circle
    EXPECT_EQ(path.count(), 6u);
    EXPECT_NEAR(path.path()[5].points[2].x, 20, 1e-4);

    PathBuilder<64> full;
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(full.lineTo({static_cast<float>(i), 0}));
    auto over = full.lineTo({0, 0});
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error(), Error::VectorPathTooComplex);
    EXPECT_EQ(full.count(), 64u);
    ASSERT_TRUE(full.arcTo({1, 1}, 1, 1) ? false : true);
}

TEST(VectorPathBuilder, RoundedSquareFillsLikeTheIconMask) {
    // The shape of the dock icon's mask at size 64: a square with circular corners.
    const float m = 6.25f, far = m + 51.5f, r = 11.5875f;
    PathBuilder<64> path;
    ASSERT_TRUE(path.moveTo({m + r, m}));
    ASSERT_TRUE(path.lineTo({far - r, m}));
    ASSERT_TRUE(path.arcTo({far, m + r}, r, r));
    ASSERT_TRUE(path.lineTo({far, far - r}));
    ASSERT_TRUE(path.arcTo({far - r, far}, r, r));
    ASSERT_TRUE(path.lineTo({m + r, far}));
    ASSERT_TRUE(path.arcTo({m, far - r}, r, r));
    ASSERT_TRUE(path.lineTo({m, m + r}));
    ASSERT_TRUE(path.arcTo({m + r, m}, r, r));
    ASSERT_TRUE(path.close());
    auto raster = newRasterizer();
    ASSERT_TRUE(accumulateFillEdges(*raster, path.path(), kIdentityAffine));
    Image image = *render(*raster, FillRule::winding, 64, 64);
    double side = far - m;
    // Flattening cuts the corner arcs by at most the tolerance.
    double exact = side * side - (4 - M_PI) * r * r;
    EXPECT_LE(image.sum(), exact);
    EXPECT_GE(image.sum(), exact - 2 * M_PI * r * kFlattenTolerance);
    EXPECT_EQ(image.at(7, 7), 0.0f);
    EXPECT_EQ(image.at(32, 32), 1.0f);
    EXPECT_EQ(image.at(32, 6), 0.75f);
}

}  // namespace
}  // namespace kelvo

namespace kelvo {
namespace {

// The shape swept band by band (tiles of `tile` pixels), each band given only the edges it keeps.
Result<Image> renderInBands(const std::vector<PathElement>& path, const Affine& transform, FillRule rule, int size,
                            PixelBox tile) {
    Image image{size, size, std::vector<float>(static_cast<std::size_t>(size * size), 0.0f)};
    for (int y = 0; y < size; y += tile.y1) {
        for (int x = 0; x < size; x += tile.x1) {
            auto r = newRasterizer();
            r->clear();
            const PixelBox band{x, y, std::min(x + tile.x1, size), std::min(y + tile.y1, size)};
            setRasterBand(*r, band);
            TRY(accumulateFillEdges(*r, path, transform));
            TRY(sweep(*r, band, rule, size, size, [&](std::int32_t px, std::int32_t py, float coverage) {
                EXPECT_TRUE(px >= band.x0 && px < band.x1 && py >= band.y0 && py < band.y1);
                image.values[static_cast<std::size_t>(py * size + px)] = coverage;
            }));
        }
    }
    return image;
}

TEST(VectorRasterizer, BandsCoverExactlyWhatTheWholeSweepCovers) {
    // Edges left of a band only add winding and edges right of it are left out, yet every pixel of
    // every band comes out as the one sweep of the whole shape gives it.
    std::mt19937 random(29);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    for (int trial = 0; trial < 12; ++trial) {
        std::vector<PathElement> path;
        for (int i = 0; i < 1 + trial % 3; ++i) {
            addWavyRing(path, {uniform(60, 140), uniform(60, 140)}, uniform(10, 90), uniform(0, 8),
                        static_cast<int>(random() % 9), 12 + static_cast<int>(random() % 30), i % 2 ? -1.0f : 1.0f,
                        1.0f);
        }
        const Affine transform{};
        auto whole = newRasterizer();
        ASSERT_TRUE(accumulateFillEdges(*whole, path, transform));
        for (FillRule rule : {FillRule::winding, FillRule::even_odd}) {
            auto expected = render(*whole, rule, 200, 200);
            ASSERT_TRUE(expected);
            for (PixelBox tile : {PixelBox{0, 0, 37, 23}, PixelBox{0, 0, 7, 64}, PixelBox{0, 0, 200, 1}}) {
                auto banded = renderInBands(path, transform, rule, 200, tile);
                ASSERT_TRUE(banded);
                for (std::size_t i = 0; i < expected->values.size(); ++i) {
                    ASSERT_NEAR(banded->values[i], expected->values[i], 1e-4f)
                        << "trial " << trial << " pixel " << i << " tile " << tile.x1 << "x" << tile.y1;
                }
            }
        }
    }
}

TEST(VectorRasterizer, CrossingsFitIsJudgedFromOverlappingEdges) {
    // 300 thin squares side by side: 600 edges cross every sub-scanline of their rows; stacked
    // instead, no more than two ever do.
    auto r = newRasterizer();
    std::vector<PathElement> side;
    for (int i = 0; i < 300; ++i) {
        for (const PathElement& e : rectPath(static_cast<float>(i) * 3.0f, 0, 1, 10)) side.push_back(e);
    }
    ASSERT_TRUE(accumulateFillEdges(*r, side, Affine{}));
    EXPECT_FALSE(rasterCrossingsFit(*r));
    EXPECT_EQ(render(*r, FillRule::winding, 900, 10).error(), Error::VectorPathTooComplex);
    r->clear();
    std::vector<PathElement> stacked;
    for (int i = 0; i < 300; ++i) {
        for (const PathElement& e : rectPath(0, static_cast<float>(i) * 3.0f, 10, 1)) stacked.push_back(e);
    }
    ASSERT_TRUE(accumulateFillEdges(*r, stacked, Affine{}));
    EXPECT_TRUE(rasterCrossingsFit(*r));
}

}  // namespace
}  // namespace kelvo
