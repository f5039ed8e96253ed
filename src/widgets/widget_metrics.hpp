#pragma once

// The derived lengths that sizing and drawing share: font sizes and insets adjusted for a widget's
// control size, control heights, line heights and the snapping of lengths and rectangles to
// device pixels. Density and control-size scales come from the tokens (widget_tokens.hpp).

#include <cstdint>

#include "raster/canvas_geometry.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

inline constexpr float kMinWidgetFontSize = 8.0f;

// The control size code as stored (low 3 bits).
inline std::uint8_t widgetSizeCode(std::uint8_t size) { return size & 7u; }
inline bool isSmallWidgetSize(std::uint8_t size) { return widgetSizeCode(size) == 1; }
inline bool isLargeWidgetSize(std::uint8_t size) { return widgetSizeCode(size) == 2; }

inline float widgetDensityScale(const WidgetTokens& tokens) { return densityScale(tokens.density); }

// A font size for a control size: small max(F - 1, 8), large F + 1, other sizes F.
float sizeAdjustedFontSize(float fontSize, std::uint8_t size);

// An inset for a control size (small max(I - step, 0), large I + step) times the density scale.
float sizeAdjustedInset(float inset, std::uint8_t size, const WidgetTokens& tokens);

// The small, large or default control height of the tokens times the density scale.
float widgetControlHeight(std::uint8_t size, const WidgetTokens& tokens);

// The body font size adjusted for the widget's size; a `text` of size 4 or 5 takes the heading
// sizes unadjusted.
float widgetBodyTextSize(const WidgetDescription& widget, const WidgetTokens& tokens);

// The side of an icon in a row: the body text size plus the icon extra.
float widgetRowIconExtent(const WidgetDescription& widget, const WidgetTokens& tokens);

inline float widgetLineHeight(float fontSize) { return fontSize * 1.25f; }

// Snapping applies when the tokens ask for it and the pixel scale is finite and positive.
bool widgetSnappingActive(const WidgetTokens& tokens);

// A length rounded up to whole device pixels, ceil(L x scale) / scale, when snapping applies
// (within 1/1024 of a pixel counts as on it).
float snapWidgetLength(float length, const WidgetTokens& tokens);

// A rectangle folded and put on device pixels when snapping applies: origin and far edge rounded
// to the nearest pixel (halves away from 0), size the distance between them and at least 0.
// Without snapping it is returned folded.
Rect snapWidgetRect(Rect rect, const WidgetTokens& tokens);

}  // namespace kelvo
