#pragma once

// The scroll physics of a scroll view: where a wheel step takes the offset (with the elastic
// overscroll past either end, resisted and limited), and how momentum carries it on from one
// frame to the next (decelerating inside the range, springing back from outside it).

#include "widgets/widget_tokens.hpp"

namespace kelvo {

// The scroll state of one scroll view: offset and velocity (points per second) along its axis,
// and the viewport and content extents they were computed for.
struct ScrollState {
    float offset = 0;
    float velocity = 0;
    float viewport = 0;
    float content = 0;
    friend bool operator==(const ScrollState&, const ScrollState&) = default;
};

// Whether a scroll view's `overscroll_mode` lets it overscroll: 0 follows the tokens' default,
// 2 does, 1 and 3 do not.
bool scrollViewElastic(std::uint8_t overscrollMode, const WidgetTokens& tokens);

// How far an elastic view may overscroll: the viewport's overscroll fraction, capped by the
// overscroll maximum when that is positive.
float scrollOverscrollLimit(const WidgetTokens& tokens, float viewport);

// One wheel step of `delta` points (before the wheel scale).
ScrollState applyScrollWheel(const ScrollState& state, const WidgetTokens& tokens, float delta, bool elastic);

// Whether momentum has nothing left to do: the velocity is at most the stop threshold and the
// offset lies within the settle distance (at least 0.01) of the content range.
bool scrollMomentumAtRest(const ScrollState& state, const WidgetTokens& tokens);

// One frame of momentum, `seconds` long. `moved` tells whether the offset or the velocity
// changed (a state at rest stays as it is).
struct ScrollMomentumStep {
    ScrollState state;
    bool moved = false;
};
ScrollMomentumStep stepScrollMomentum(const ScrollState& state, const WidgetTokens& tokens, bool elastic,
                                      float seconds);

}  // namespace kelvo
