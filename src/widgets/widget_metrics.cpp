#include "widgets/widget_metrics.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

float sizeAdjustedFontSize(float fontSize, std::uint8_t size) {
    if (isSmallWidgetSize(size)) return std::max(fontSize - 1.0f, kMinWidgetFontSize);
    if (isLargeWidgetSize(size)) return fontSize + 1.0f;
    return fontSize;
}

float sizeAdjustedInset(float inset, std::uint8_t size, const WidgetTokens& tokens) {
    if (isSmallWidgetSize(size)) inset = std::max(inset - tokens.control_size_step, 0.0f);
    if (isLargeWidgetSize(size)) inset += tokens.control_size_step;
    return inset * widgetDensityScale(tokens);
}

float widgetControlHeight(std::uint8_t size, const WidgetTokens& tokens) {
    float height = isSmallWidgetSize(size)   ? tokens.control_height_small
                   : isLargeWidgetSize(size) ? tokens.control_height_large
                                             : tokens.control_height_medium;
    return height * widgetDensityScale(tokens);
}

float widgetBodyTextSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (widget.widgetKind() == WidgetKind::text) {
        if (widgetSizeCode(widget.size) == 4) return tokens.font_size_heading_1;
        if (widgetSizeCode(widget.size) == 5) return tokens.font_size_heading_2;
    }
    return sizeAdjustedFontSize(tokens.font_size_body, widget.size);
}

float widgetRowIconExtent(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return widgetBodyTextSize(widget, tokens) + tokens.icon_extra_size;
}

bool widgetSnappingActive(const WidgetTokens& tokens) {
    return tokens.snap_geometry && std::isfinite(tokens.pixel_scale) && tokens.pixel_scale > 0;
}

float snapWidgetLength(float length, const WidgetTokens& tokens) {
    if (!widgetSnappingActive(tokens)) return length;
    // A length that already lies on whole pixels but for float rounding (a snapped length plus a
    // whole number, say) keeps its pixel count instead of gaining one.
    constexpr float kWholePixelTolerance = 1.0f / 1024.0f;
    return std::ceil(length * tokens.pixel_scale - kWholePixelTolerance) / tokens.pixel_scale;
}

Rect snapWidgetRect(Rect rect, const WidgetTokens& tokens) {
    rect = normalizeRect(rect);
    if (!widgetSnappingActive(tokens)) return rect;
    const float s = tokens.pixel_scale;
    const float left = std::round(rect.x * s) / s;
    const float top = std::round(rect.y * s) / s;
    const float right = std::round((rect.x + rect.width) * s) / s;
    const float bottom = std::round((rect.y + rect.height) * s) / s;
    return {left, top, std::max(right - left, 0.0f), std::max(bottom - top, 0.0f)};
}

}  // namespace kelvo
