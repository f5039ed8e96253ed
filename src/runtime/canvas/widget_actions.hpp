#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/canvas_records.hpp"
#include "platform/types/platform_event.hpp"

namespace kelvo {

// The direct actions on a canvas widget, in the order of the automation vocabulary (codes 0 to
// 13). Accessibility actions and the automation verb "widget-action" both perform them.
enum class WidgetAction : std::uint8_t {
    focus = 0,
    press = 1,
    toggle = 2,
    increment = 3,
    decrement = 4,
    set_text = 5,
    set_selection = 6,
    set_composition = 7,
    commit_composition = 8,
    cancel_composition = 9,
    select = 10,
    drag = 11,
    drop_files = 12,
    dismiss = 13,
};

// The widget action an accessibility action code (0 to 10) performs: 0 to 6 keep their number,
// 7 to 10 become select, drag, drop files and dismiss. None for any other code.
std::optional<WidgetAction> widgetActionForAccessibilityCode(std::uint32_t code);

// Whether a widget's published action set allows the action. The composition actions ride on
// the set-text permission.
bool canvasWidgetAccessibilityActionSupported(const AccessibilityActions& actions, WidgetAction action);

struct Runtime;
struct AppBinding;

// The action set of the widget `widgetId` in the view at `viewIndex`, or none when the view has
// no such widget. A view without canvas widgets has none.
std::optional<AccessibilityActions> canvasWidgetActionsForId(const Runtime& runtime, std::size_t viewIndex,
                                                             std::uint64_t widgetId);

// What an action carries besides its target: the text of the text actions and the optional
// 16-byte value (a selection range) of an accessibility action.
struct WidgetActionArgument {
    std::string_view text;
    std::optional<AccessibilityActionValue> value;
};

// Performs an action on a widget the caller has checked with `canvasWidgetActionsForId`.
Status performCanvasWidgetAction(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                 std::uint64_t widgetId, WidgetAction action, const WidgetActionArgument& argument);

}  // namespace kelvo
