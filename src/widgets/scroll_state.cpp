#include "widgets/scroll_state.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

float maxOffset(float viewport, float content) {
    return std::max(std::max(content, 0.0f) - std::max(viewport, 0.0f), 0.0f);
}

}  // namespace

bool scrollViewElastic(std::uint8_t overscrollMode, const WidgetTokens& tokens) {
    switch (overscrollMode & 3u) {
        case 0:
            return tokens.elastic_scroll;
        case 2:
            return true;
        default:
            return false;
    }
}

float scrollOverscrollLimit(const WidgetTokens& tokens, float viewport) {
    float limit = viewport * std::max(tokens.overscroll_fraction, 0.0f);
    if (tokens.overscroll_max > 0) limit = std::min(limit, tokens.overscroll_max);
    return limit;
}

ScrollState applyScrollWheel(const ScrollState& state, const WidgetTokens& tokens, float delta, bool elastic) {
    const float d = delta * tokens.scroll_wheel_scale;
    const float viewport = std::max(state.viewport, 0.0f), content = std::max(state.content, 0.0f);
    const float maximum = std::max(content - viewport, 0.0f);
    float applied = d;
    if (elastic && d != 0 && ((state.offset <= 0 && d < 0) || (state.offset >= maximum && d > 0))) {
        applied = d * std::clamp(tokens.overscroll_resistance, 0.0f, 1.0f);
    }
    const float velocity = d * tokens.scroll_velocity_factor;
    if (elastic && viewport > 0) {
        const float limit = scrollOverscrollLimit(tokens, viewport);
        if (limit > 0) {
            return {std::clamp(state.offset + applied, -limit, maximum + limit), velocity, state.viewport,
                    state.content};
        }
    }
    const float offset = std::clamp(state.offset + applied, 0.0f, maximum);
    return {offset, offset == state.offset + applied ? velocity : 0.0f, state.viewport, state.content};
}

bool scrollMomentumAtRest(const ScrollState& state, const WidgetTokens& tokens) {
    const float clamped = std::clamp(state.offset, 0.0f, maxOffset(state.viewport, state.content));
    return std::fabs(state.velocity) <= tokens.scroll_stop_velocity &&
           std::fabs(state.offset - clamped) <= std::max(tokens.scroll_settle_distance, 0.01f);
}

ScrollMomentumStep stepScrollMomentum(const ScrollState& state, const WidgetTokens& tokens, bool elastic,
                                      float seconds) {
    const float maximum = maxOffset(state.viewport, state.content);
    const float stop = tokens.scroll_stop_velocity;
    ScrollState next = state;
    float clamped = std::clamp(next.offset, 0.0f, maximum);
    if (scrollMomentumAtRest(state, tokens)) {
        next.velocity = 0;
        return {next, next.velocity != state.velocity};
    }
    if (std::fabs(next.offset - clamped) <= 0.01f) {
        if (std::fabs(next.velocity) > stop) {
            next.offset += seconds * next.velocity;
            next.velocity *= std::pow(std::clamp(tokens.scroll_deceleration, 0.0f, 1.0f), seconds);
            if (std::fabs(next.velocity) <= stop) next.velocity = 0;
        }
    } else {
        next.offset -= std::clamp(seconds * tokens.overscroll_spring_rate, 0.0f, 1.0f) * (next.offset - clamped);
        next.velocity *= std::pow(std::clamp(tokens.overscroll_velocity_decay, 0.0f, 1.0f), seconds);
        clamped = std::clamp(next.offset, 0.0f, maximum);
        if (std::fabs(next.offset - clamped) <= tokens.scroll_settle_distance && std::fabs(next.velocity) <= 4 * stop) {
            next.offset = clamped;
            next.velocity = 0;
        }
    }
    const float limit = elastic ? scrollOverscrollLimit(tokens, std::max(state.viewport, 0.0f)) : 0.0f;
    if (limit > 0) {
        next.offset = std::clamp(next.offset, -limit, maximum + limit);
    } else {
        const float inRange = std::clamp(next.offset, 0.0f, maximum);
        if (inRange != next.offset) next.velocity = 0;
        next.offset = inRange;
    }
    return {next, next.offset != state.offset || next.velocity != state.velocity};
}

}  // namespace kelvo
