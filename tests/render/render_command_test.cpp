#include "render/render_command.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace kelvo {
namespace {

void expectRect(const Rect& actual, const Rect& expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.y, expected.y);
    EXPECT_FLOAT_EQ(actual.width, expected.width);
    EXPECT_FLOAT_EQ(actual.height, expected.height);
}

CanvasCommand fill(std::uint64_t id, Rect rect) {
    return CanvasCommand::fillRect({id, Paint::solid({0, 0, 0, 1}), rect});
}

TEST(RenderLayerWalk, ClipsOpacitiesAndTransformsResolveIntoEachCommand) {
    const std::vector<CanvasCommand> list = {
        CanvasCommand::transformBy({2, 0, 0, 2, 10, 0}),
        CanvasCommand::pushClip({1, {0, 20, 20, -20}, {}}),  // normalised: 0, 0, 20, 20
        CanvasCommand::pushOpacity(0.5f),
        fill(16, {5, 5, 20, 20}),
        CanvasCommand::pushClip({2, {15, 0, 10, 10}, {}}),
        CanvasCommand::pushOpacity(2.0f),  // counts as 1
        fill(32, {0, 0, 30, 30}),
        CanvasCommand::popOpacity(),
        CanvasCommand::popClip(),
        CanvasCommand::pushClip({3, {40, 40, 5, 5}, {}}),  // outside the clip above: nothing survives
        fill(48, {0, 0, 100, 100}),
        CanvasCommand::popClip(),
        CanvasCommand::popOpacity(),
        CanvasCommand::popClip(),
        fill(64, {0, 0, 4, 4}),  // the transform outlives the clips
        CanvasCommand::pushOpacity(0.0f),
        fill(80, {0, 0, 4, 4}),
        CanvasCommand::popOpacity(),
    };
    std::vector<RenderCommand> out(8);
    auto count = buildRenderCommands(list, kIdentityAffine, out);
    ASSERT_TRUE(count);
    ASSERT_EQ(*count, 3u);

    EXPECT_EQ(out[0].id, 16u);
    EXPECT_FLOAT_EQ(out[0].opacity, 0.5f);
    ASSERT_TRUE(out[0].has_clip);
    expectRect(out[0].clip, {10, 0, 40, 40});
    expectRect(out[0].geometry, {5, 5, 20, 20});
    expectRect(out[0].bounds, {20, 10, 30, 30});

    EXPECT_FLOAT_EQ(out[1].opacity, 0.5f);
    expectRect(out[1].clip, {40, 0, 10, 20});
    expectRect(out[1].bounds, {40, 0, 10, 20});

    EXPECT_EQ(out[2].id, 64u);
    EXPECT_FALSE(out[2].has_clip);
    EXPECT_FLOAT_EQ(out[2].opacity, 1.0f);
    expectRect(out[2].bounds, {10, 0, 8, 8});

    // A base transform applies under everything: device pixels at scale 2.
    ASSERT_TRUE(buildRenderCommands(list, {2, 0, 0, 2, 0, 0}, out));
    expectRect(out[2].bounds, {20, 0, 16, 16});
}

TEST(RenderLayerWalk, StackLimitsAndTheListCapacityAreNamedErrors) {
    auto run = [](std::vector<CanvasCommand> list, std::size_t capacity) {
        std::vector<RenderCommand> out(capacity);
        return buildRenderCommands(list, kIdentityAffine, out);
    };
    std::vector<CanvasCommand> clips(32, CanvasCommand::pushClip({1, {0, 0, 10, 10}, {}}));
    EXPECT_TRUE(run(clips, 1));
    clips.push_back(CanvasCommand::pushClip({1, {0, 0, 10, 10}, {}}));
    EXPECT_EQ(run(clips, 1).error(), Error::RenderStackOverflow);
    std::vector<CanvasCommand> opacities(33, CanvasCommand::pushOpacity(1));
    EXPECT_EQ(run(opacities, 1).error(), Error::RenderStackOverflow);
    EXPECT_EQ(run({CanvasCommand::popClip()}, 1).error(), Error::RenderStackUnderflow);
    EXPECT_EQ(run({CanvasCommand::pushClip({1, {0, 0, 1, 1}, {}}), CanvasCommand::popOpacity()}, 1).error(),
              Error::RenderStackUnderflow);
    EXPECT_EQ(run({fill(1, {0, 0, 1, 1}), fill(2, {0, 0, 1, 1})}, 1).error(), Error::RenderListFull);
    EXPECT_EQ(*run({fill(1, {0, 0, 1, 1}), fill(2, {0, 0, 0, 1})}, 1), 1u);  // no area: not listed
}

}  // namespace
}  // namespace kelvo
