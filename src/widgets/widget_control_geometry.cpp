#include "widgets/widget_control_geometry.hpp"

#include <algorithm>
#include <cmath>

#include "widgets/widget_metrics.hpp"

namespace kelvo {

namespace {

float densityAndSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return widgetDensityScale(tokens) * controlSizeScale(widget.size);
}

// A rectangle of `width` by `height` at the frame's left edge, centred vertically.
Rect leftCentred(const Rect& frame, float width, float height) {
    return {frame.x, frame.y + (frame.height - height) / 2, width, height};
}

}  // namespace

Rect checkboxIndicatorRect(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    const float s = controlSizeScale(widget.size);
    const float side = std::min(std::max(densityIndicatorMin(tokens.density) * s, frame.height * 0.55f),
                                densityIndicatorMax(tokens.density) * s);
    return snapWidgetRect(leftCentred(frame, side, side), tokens);
}

Rect toggleWidgetTrackRect(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    const float ds = densityAndSize(widget, tokens);
    const float width = std::min(frame.width, std::max(44 * ds, frame.height * 1.75f));
    const float height = std::min(frame.height, 24 * ds);
    return snapWidgetRect(leftCentred(frame, width, height), tokens);
}

Rect sliderWidgetKnobRect(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    const float ds = densityAndSize(widget, tokens);
    const float width = std::min(frame.width, tokens.slider_knob_size.width * ds);
    const float height = std::min(frame.height, tokens.slider_knob_size.height * ds);
    const float v = std::isnan(widget.value) ? 0.0f : std::clamp(widget.value, 0.0f, 1.0f);
    const float left = std::max(
        frame.x, std::min(frame.x + v * frame.width - width / 2, frame.x + std::max(frame.width - width, 0.0f)));
    return snapWidgetRect({left, frame.y + (frame.height - height) / 2, width, height}, tokens);
}

}  // namespace kelvo
