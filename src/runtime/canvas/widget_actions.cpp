#include "runtime/canvas/widget_actions.hpp"

namespace kelvo {

std::optional<WidgetAction> widgetActionForAccessibilityCode(std::uint32_t code) {
    if (code <= 6) return static_cast<WidgetAction>(code);
    if (code <= kMaxAccessibilityActionCode) return static_cast<WidgetAction>(code + 3);
    return std::nullopt;
}

bool canvasWidgetAccessibilityActionSupported(const AccessibilityActions& actions, WidgetAction action) {
    switch (action) {
        case WidgetAction::focus:
            return actions.focus;
        case WidgetAction::press:
            return actions.press;
        case WidgetAction::toggle:
            return actions.toggle;
        case WidgetAction::increment:
            return actions.increment;
        case WidgetAction::decrement:
            return actions.decrement;
        case WidgetAction::set_text:
        case WidgetAction::set_composition:
        case WidgetAction::commit_composition:
        case WidgetAction::cancel_composition:
            return actions.setText;
        case WidgetAction::set_selection:
            return actions.setSelection;
        case WidgetAction::select:
            return actions.select;
        case WidgetAction::drag:
            return actions.drag;
        case WidgetAction::drop_files:
            return actions.dropFiles;
        case WidgetAction::dismiss:
            return actions.dismiss;
    }
    return false;
}

// The canvas widget runtime owns the widget trees; until a view can hold widgets, no widget
// exists and there is nothing to act on.
std::optional<AccessibilityActions> canvasWidgetActionsForId(const Runtime&, std::size_t, std::uint64_t) {
    return std::nullopt;
}

Status performCanvasWidgetAction(Runtime&, const AppBinding&, std::size_t, std::uint64_t, WidgetAction,
                                 const WidgetActionArgument&) {
    return fail(Error::InvalidCommand);
}

}  // namespace kelvo
