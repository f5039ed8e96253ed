// The wheel rule and frame-by-frame momentum of scroll views, as trajectories.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/golden.hpp"
#include "widgets/scroll_state.hpp"

namespace kelvo {
namespace {

std::string line(const char* what, const ScrollState& s) {
    char text[128];
    std::snprintf(text, sizeof text, "%s offset=%.3f velocity=%.3f\n", what, s.offset, s.velocity);
    return text;
}

// Wheel steps, then 60 Hz frames until the state rests (at most 120).
std::string trajectory(ScrollState state, const WidgetTokens& tokens, bool elastic,
                       std::initializer_list<float> wheel) {
    std::string out;
    for (float delta : wheel) {
        state = applyScrollWheel(state, tokens, delta, elastic);
        out += line("wheel", state);
    }
    for (int frame = 0; frame < 120; ++frame) {
        const ScrollMomentumStep step = stepScrollMomentum(state, tokens, elastic, 1.0f / 60);
        if (!step.moved) break;
        state = step.state;
        out += line("frame", state);
    }
    return out;
}

TEST(ScrollMomentum, TrajectoriesMatchTheGolden) {
    WidgetTokens tokens;
    tokens.overscroll_velocity_decay = 0.02f;
    std::string out = "# flick inside the content, decelerating to rest\n";
    out += trajectory({100, 0, 200, 1000}, tokens, false, {20});
    out += "# flick past the end, not elastic: clamped, no momentum\n";
    out += trajectory({790, 0, 200, 1000}, tokens, false, {20});
    out += "# flick past the end, elastic: resisted overscroll, then the spring back\n";
    out += trajectory({790, 0, 200, 1000}, tokens, true, {20, 20});
    out += "# pulled above the start with a capped overscroll\n";
    tokens.overscroll_max = 10;
    out += trajectory({0, 0, 200, 1000}, tokens, true, {-40, -40});
    testing::expectGolden("widgets/scroll_momentum.golden.txt", out);
}

TEST(ScrollMomentum, TheWheelRuleKeepsOrDropsTheVelocity) {
    WidgetTokens tokens;
    // Elastic: past the end stops at maximum + limit (200 x 0.35 = 70), the velocity stays.
    ScrollState elastic = applyScrollWheel({800, 0, 200, 1000}, tokens, 500, true);
    EXPECT_EQ(elastic.offset, 870);
    EXPECT_EQ(elastic.velocity, 500 * tokens.scroll_velocity_factor);
    // Not elastic: clamped at the maximum and the velocity is dropped.
    ScrollState plain = applyScrollWheel({790, 0, 200, 1000}, tokens, 20, false);
    EXPECT_EQ(plain.offset, 800);
    EXPECT_EQ(plain.velocity, 0);
    // A velocity of exactly the stop threshold inside the range is at rest.
    const ScrollMomentumStep rest =
        stepScrollMomentum({100, tokens.scroll_stop_velocity, 200, 1000}, tokens, false, 0.016f);
    EXPECT_EQ(rest.state.offset, 100);
    EXPECT_EQ(rest.state.velocity, 0);
}

}  // namespace
}  // namespace kelvo
