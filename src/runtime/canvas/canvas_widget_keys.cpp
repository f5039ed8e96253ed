#include "runtime/canvas/canvas_widget_keys.hpp"

#include <algorithm>

#include "base/ascii_case.hpp"

namespace kelvo {

namespace {

bool keyIs(std::string_view key, std::string_view name) { return equalsAsciiCaseless(key, name); }

float keyStep(const GpuSurfaceInput& input) { return input.modifiers.shift ? 0.1f : 0.05f; }

}  // namespace

bool isWidgetActivationKey(std::string_view key) { return keyIs(key, "space") || keyIs(key, "enter"); }

bool isWidgetMenuOpenArrowKey(std::string_view key) { return keyIs(key, "arrowup") || keyIs(key, "arrowdown"); }

bool isPlainWidgetKeyPress(const GpuSurfaceInput& input) {
    const KeyModifiers& m = input.modifiers;
    return input.kind == GpuSurfaceInputKind::key_down && !m.control && !m.option && !m.command && !m.primary;
}

std::optional<float> widgetSliderKeyboardValue(const GpuSurfaceInput& input, float value) {
    if (!isPlainWidgetKeyPress(input)) return std::nullopt;
    const std::string_view key = input.key;
    if (keyIs(key, "arrowup") || keyIs(key, "arrowright")) return value + keyStep(input);
    if (keyIs(key, "arrowdown") || keyIs(key, "arrowleft")) return value - keyStep(input);
    if (keyIs(key, "home")) return 0.0f;
    if (keyIs(key, "end")) return 1.0f;
    return std::nullopt;
}

std::optional<float> widgetSplitDividerKeyboardValue(const GpuSurfaceInput& input, float fraction) {
    if (!isPlainWidgetKeyPress(input)) return std::nullopt;
    const std::string_view key = input.key;
    if (keyIs(key, "arrowright")) return fraction + keyStep(input);
    if (keyIs(key, "arrowleft")) return fraction - keyStep(input);
    if (keyIs(key, "home")) return 0.0f;
    if (keyIs(key, "end")) return 1.0f;
    return std::nullopt;
}

WidgetScrollIntent widgetScrollKeyboardIntent(const WidgetDescription& widget, const GpuSurfaceInput& input) {
    if (!isPlainWidgetKeyPress(input) || (widget.disabled & 1u) != 0) return {};
    const std::string_view key = input.key;
    if (keyIs(key, "home")) return {0, WidgetScrollIntentKind::to_start, false, true, true};
    if (keyIs(key, "end")) return {0, WidgetScrollIntentKind::to_end, true, false, true};
    const float viewport = std::max(widget.frame.height - widget.insets.top - widget.insets.bottom, 0.0f);
    const float line = std::max(0.35f * viewport, 24.0f);
    const float page = std::max(line, 0.85f * viewport);
    float distance = 0;
    if (keyIs(key, "arrowdown") || keyIs(key, "arrowright")) {
        distance = line;
    } else if (keyIs(key, "arrowup") || keyIs(key, "arrowleft")) {
        distance = -line;
    } else if (keyIs(key, "pagedown")) {
        distance = page;
    } else if (keyIs(key, "pageup")) {
        distance = -page;
    } else {
        return {};
    }
    return {distance, WidgetScrollIntentKind::by, distance > 0, distance < 0, true};
}

std::optional<WidgetFocusDirection> canvasWidgetSpatialFocusDirection(const GpuSurfaceInput& input) {
    if (input.kind != GpuSurfaceInputKind::key_down) return std::nullopt;
    const std::string_view key = input.key;
    if (keyIs(key, "arrowleft")) return WidgetFocusDirection::left;
    if (keyIs(key, "arrowright")) return WidgetFocusDirection::right;
    if (keyIs(key, "arrowup")) return WidgetFocusDirection::up;
    if (keyIs(key, "arrowdown")) return WidgetFocusDirection::down;
    return std::nullopt;
}

}  // namespace kelvo
