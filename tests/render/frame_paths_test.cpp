#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "render/frame_animation.hpp"
#include "render/render_paths.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

TEST(WidgetAnimations, ProgressAndEasingFollowTheTable) {
    for (const auto& row : testing::readTable("render/animation_samples.txt")) {
        ASSERT_EQ(row.size(), 7u);
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2] + " " + row[3] + " " + row[4]);
        WidgetAnimation animation;
        animation.repeat = static_cast<AnimationRepeat>(std::stoi(row[0]));
        animation.easing = static_cast<AnimationEasing>(std::stoi(row[1]) & 3);
        animation.duration_ms = static_cast<std::uint32_t>(std::stoul(row[2]));
        animation.start_ns = std::stoull(row[3]);
        const float t = animationProgress(animation, std::stoull(row[4]));
        EXPECT_NEAR(t, std::stof(row[5]), 1e-6);
        EXPECT_NEAR(animationEased(animation, t), std::stof(row[6]), 1e-5);
    }
}

TEST(WidgetAnimations, OverridesNeedBothEndsAndRotateBeforeTheyMove) {
    WidgetAnimation animation;
    animation.key = 32;
    animation.duration_ms = 100;
    animation.from_opacity = 0.0f;
    EXPECT_FALSE(sampleAnimation(animation, 50'000'000));  // one end only
    animation.to_opacity = 1.0f;
    animation.from_angle = 0.0f;
    animation.to_angle = 180.0f;
    animation.pivot_x = 10;
    animation.from_transform = Affine{1, 0, 0, 1, 0, 0};
    animation.to_transform = Affine{1, 0, 0, 1, 100, 0};
    std::optional<RenderOverride> half = sampleAnimation(animation, 50'000'000);
    ASSERT_TRUE(half);
    EXPECT_FLOAT_EQ(half->opacity, 0.5f);
    ASSERT_TRUE(half->has_transform);
    // A quarter turn about (10, 0), then a move by 50: the origin goes to (10, -10) + (50, 0).
    const Point origin = applyAffine(half->transform, {0, 0});
    EXPECT_NEAR(origin.x, 60, 1e-4);
    EXPECT_NEAR(origin.y, -10, 1e-4);

    // Requested overrides replace the sampled one with their key and are appended otherwise.
    std::vector<RenderOverride> out(2);
    const RenderOverride requested[] = {{32, 0.25f, true, {}, false}, {48, 1, true, {}, false}};
    Result<std::size_t> count = sampleRenderOverrides(std::span(&animation, 1), requested, 50'000'000, out);
    ASSERT_EQ(count, 2u);
    EXPECT_FLOAT_EQ(out[0].opacity, 0.25f);
    EXPECT_FALSE(out[0].has_transform);
    EXPECT_EQ(out[1].key, 48u);
    EXPECT_EQ(sampleRenderOverrides(std::span(&animation, 1), requested, 0, std::span(out).first(1)).error(),
              Error::RenderOverrideListFull);
}

TEST(RenderPathGeometry, CountsFollowTheTable) {
    for (const auto& row : testing::readTable("render/path_counts.txt")) {
        std::vector<PathElement> elements;
        std::size_t at = 0;
        for (; row[at] != "fill" && row[at] != "stroke"; ++at) {
            const char verb = row[at][0];
            PathElement element = PathElement::lineTo({float(at), 1});
            if (verb == 'M') element.verb = PathVerb::move_to;
            if (verb == 'Q') element.verb = PathVerb::quad_to;
            if (verb == 'C') element.verb = PathVerb::cubic_to;
            if (verb == 'Z') element.verb = PathVerb::close;
            if (verb == 'X') element.verb = static_cast<PathVerb>(6);
            elements.push_back(element);
        }
        std::string line;
        for (const auto& cell : row) line += cell + " ";
        SCOPED_TRACE(line);
        std::vector<PathGeometry> out(1);
        RenderPathGeometryPlanner planner{out};
        RenderCommand command;
        command.id = 5;
        ASSERT_TRUE(planner.consumePath(row[at] == "stroke", command, 9, elements, 2));
        if (row[at + 1] == "-") {
            EXPECT_EQ(planner.count, 0u);
            continue;
        }
        ASSERT_EQ(planner.count, 1u);
        const PathGeometry& path = out[0];
        const std::uint64_t counts[] = {path.subpaths,     path.line_segments,      path.quadratic_curves,
                                        path.cubic_curves, path.flattened_segments, path.vertices,
                                        path.indices};
        for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(counts[i], std::stoull(row[at + 1 + i])) << "column " << i;
        EXPECT_EQ(path.command_index, 9u);
        EXPECT_EQ(planner.consumePath(row[at] == "stroke", command, 9, elements, 2).error(),
                  Error::PathGeometryListFull);
    }
}

TEST(RenderPathGeometry, KeysTellFillsStrokesTransformsAndWidthsApart) {
    const PathElement triangle[] = {PathElement::moveTo({0, 0}), PathElement::lineTo({4, 0}),
                                    PathElement::lineTo({0, 4})};
    std::vector<PathGeometry> out(6);
    RenderPathGeometryPlanner planner{out};
    RenderCommand command;
    ASSERT_TRUE(planner.consumePath(false, command, 0, triangle, 0));
    ASSERT_TRUE(planner.consumePath(true, command, 0, triangle, 0));
    ASSERT_TRUE(planner.consumePath(true, command, 0, triangle, 1));
    command.transform.tx = 1;
    ASSERT_TRUE(planner.consumePath(true, command, 0, triangle, 1));
    command.id = 0;  // a present id, even 0, differs from none
    ASSERT_TRUE(planner.consumePath(true, command, 0, triangle, 1));
    ASSERT_TRUE(planner.consumePath(true, command, 7, triangle, 1));
    for (std::size_t i = 0; i + 1 < 5; ++i) EXPECT_NE(out[i].key, out[i + 1].key) << i;
    EXPECT_EQ(out[4].key, out[5].key);  // the command's place does not matter
}

}  // namespace
}  // namespace kelvo
