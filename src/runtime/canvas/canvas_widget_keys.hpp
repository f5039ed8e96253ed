#pragma once

// What a key of a canvas view asks of its widgets, before any widget state changes: activation
// and menu keys, the new value of a slider or split divider, the scroll of a scroll container,
// and the direction of a spatial focus move. Key names compare without regard to ASCII case.

#include <cstdint>
#include <optional>

#include "platform/types/gpu_surface_event.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_routing.hpp"

namespace kelvo {

// "space" and "enter".
bool isWidgetActivationKey(std::string_view key);
// "arrowup" and "arrowdown".
bool isWidgetMenuOpenArrowKey(std::string_view key);

// A key-down without control, option or command (shift allowed).
bool isPlainWidgetKeyPress(const GpuSurfaceInput& input);

// The value a plain key press gives a slider at `value` (arrows step by 0.05, or 0.1 with shift;
// home 0, end 1) or a split divider at `fraction` (left and right only). Not clamped.
std::optional<float> widgetSliderKeyboardValue(const GpuSurfaceInput& input, float value);
std::optional<float> widgetSplitDividerKeyboardValue(const GpuSurfaceInput& input, float fraction);

enum class WidgetScrollIntentKind : std::uint32_t { by = 4, to_start = 5, to_end = 6 };

struct WidgetScrollIntent {
    float distance = 0;
    WidgetScrollIntentKind kind = WidgetScrollIntentKind::by;
    bool forward = false;
    bool backward = false;
    bool present = false;
};

// The scroll a plain key press asks of an enabled scroll container: home and end jump, arrows
// move a line (35% of the viewport, at least 24), page keys a page (85%, at least a line).
WidgetScrollIntent widgetScrollKeyboardIntent(const WidgetDescription& widget, const GpuSurfaceInput& input);

// The direction of a key-down arrow key.
std::optional<WidgetFocusDirection> canvasWidgetSpatialFocusDirection(const GpuSurfaceInput& input);

}  // namespace kelvo
