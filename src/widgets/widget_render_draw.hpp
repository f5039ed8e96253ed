#pragma once

// Private to src/widgets: the small steps every emitter repeats: picking the first present colour,
// scaling alphas, the corner-radius rule with its size step, snapping to device pixels, and
// appending the common commands.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "widgets/widget_description.hpp"
#include "widgets/widget_metrics.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_render_style.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo::render {

inline constexpr Color kTransparent{0, 0, 0, 0};
inline constexpr Color kOpaqueWhite{1, 1, 1, 1};

inline bool isSet(std::uint8_t byte) { return (byte & 1u) != 0; }

template <class T>
T firstOf(const std::optional<T>& a, const T& otherwise) {
    return a ? *a : otherwise;
}
template <class T, class... Rest>
T firstOf(const std::optional<T>& a, const std::optional<T>& b, const Rest&... rest) {
    return a ? *a : firstOf(b, rest...);
}

inline Color withAlpha(Color color, float alpha) {
    color.a = std::clamp(alpha, 0.0f, 1.0f);
    return color;
}
inline Color scaledAlpha(Color color, float factor) { return withAlpha(color, color.a * factor); }
// A disabled control's colour: its alpha times the disabled opacity (clamped to 0..1).
inline Color dimmed(Color color, const WidgetTokens& tokens) {
    return scaledAlpha(color, std::clamp(tokens.disabled_opacity, 0.0f, 1.0f));
}

inline const Color& palette(const WidgetTokens& tokens, PaletteColor entry) { return tokens.color(entry); }

inline CornerRadii uniformRadii(float radius) { return {radius, radius, radius, radius}; }

// The size step of corner radii: small -2 (at least 0), large +2.
inline float radiusSizeStep(float radius, std::uint8_t size) {
    if (isSmallWidgetSize(size)) return std::max(radius - 2.0f, 0.0f);
    if (isLargeWidgetSize(size)) return radius + 2.0f;
    return radius;
}

// The corner radius of most controls: the explicit radius as it is; else the block's radius, else
// the control's default, with the size step; never below 0.
inline float controlCornerRadius(const WidgetDescription& widget, const std::optional<float>& blockRadius,
                                 float fallback) {
    if (widget.radius_override) return std::max(*widget.radius_override, 0.0f);
    return std::max(radiusSizeStep(blockRadius.value_or(fallback), widget.size), 0.0f);
}

// A font size for the control size with the minimum of 8 (the same as sizeAdjustedFontSize).
inline float controlFontSize(float base, std::uint8_t size) { return sizeAdjustedFontSize(base, size); }

// One coordinate on whole device pixels when snapping is on for rectangles (or for text).
inline float snapCoordinate(float value, bool snap, float pixelScale) {
    if (!snap || !std::isfinite(pixelScale) || !(pixelScale > 0)) return value;
    return std::round(value * pixelScale) / pixelScale;
}
inline Point snapTextOrigin(Point origin, const WidgetTokens& tokens) {
    return {snapCoordinate(origin.x, tokens.snap_text, tokens.pixel_scale),
            snapCoordinate(origin.y, tokens.snap_text, tokens.pixel_scale)};
}
inline Point snapGeometryPoint(Point point, const WidgetTokens& tokens) {
    return {snapCoordinate(point.x, tokens.snap_geometry, tokens.pixel_scale),
            snapCoordinate(point.y, tokens.snap_geometry, tokens.pixel_scale)};
}
// Each coordinate and size rounded on its own (the scrollbar's rule).
inline Rect snapRectFields(Rect rect, const WidgetTokens& tokens) {
    const auto s = [&](float v) { return snapCoordinate(v, tokens.snap_geometry, tokens.pixel_scale); };
    return {s(rect.x), s(rect.y), s(rect.width), s(rect.height)};
}

// The first baseline of a single line of size f centred in a box of the given top and height.
inline float centredBaseline(float top, float height, float f) {
    return top + std::max(f, f + (height - widgetLineHeight(f)) / 2);
}

// A single-line layout box.
inline TextLayoutBox lineLayoutBox(const WidgetTokens& tokens, float maxWidth, float fontSize, TextAlign align,
                                   bool noEllipsis) {
    return {
        tokens.text_measurer, std::max(maxWidth, 1.0f), widgetLineHeight(fontSize), TextWrap::none, align, noEllipsis};
}

// Label inset steps (inset_s, inset_m) adjusted for the control size and scaled by the density.
inline float sizedInset(float inset, const WidgetDescription& widget, const WidgetTokens& tokens) {
    return sizeAdjustedInset(inset, widget.size, tokens);
}

Status appendFillRect(WidgetRenderTarget& out, std::uint64_t id, Rect rect, Color color);
Status appendFillRoundedRect(WidgetRenderTarget& out, std::uint64_t id, Rect rect, CornerRadii radii, Color color);
// A border through hairline snapping; emitted whatever its width.
Status appendStrokeRect(WidgetRenderTarget& out, std::uint64_t id, Rect rect, CornerRadii radii, Color color,
                        float width, const WidgetTokens& tokens);
Status appendDrawLine(WidgetRenderTarget& out, std::uint64_t id, Point from, Point to, Color color, float width);
Status appendPushClip(WidgetRenderTarget& out, std::uint64_t id, Rect rect, CornerRadii radii);
Status appendPopClip(WidgetRenderTarget& out);
// One text run without glyphs, its origin snapped when text snapping is on.
Status appendText(WidgetRenderTarget& out, std::uint64_t id, std::uint64_t font, std::string_view text, float size,
                  Point origin, Color color, const std::optional<TextLayoutBox>& layout, const WidgetTokens& tokens);

}  // namespace kelvo::render
