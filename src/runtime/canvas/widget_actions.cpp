#include "runtime/canvas/widget_actions.hpp"

#include <array>

#include "base/number_text.hpp"
#include "base/utf16_offsets.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/widget_action_ops.hpp"
#include "runtime/runtime.hpp"

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

namespace {

AccessibilityActions accessibilityActions(const WidgetActionSet& set) {
    const auto on = [](std::uint8_t byte) { return (byte & 1u) != 0; };
    return {on(set.focus),     on(set.press),      on(set.toggle),        on(set.increment),
            on(set.decrement), on(set.set_text),   on(set.set_selection), on(set.select),
            on(set.drag),      on(set.drop_files), on(set.dismiss)};
}

// Scrolling containers step by pages, everything else by one.
bool stepsByPages(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId) {
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
    if (!index) return false;
    const unsigned kind = static_cast<unsigned>(
        canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex])->tree.nodes[*index].widgetKind());
    return kind >= static_cast<unsigned>(WidgetKind::virtual_grid) &&
           kind <= static_cast<unsigned>(WidgetKind::virtual_list);
}

// "start end": two unsigned decimal integers counting bytes; or the range an accessibility action
// carries, which counts UTF-16 units of the widget's text.
std::optional<AccessibilityActionValue> selectionRange(const Runtime& runtime, std::size_t viewIndex,
                                                       std::uint64_t widgetId, const WidgetActionArgument& argument) {
    if (argument.value) {
        const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
        if (!index) return std::nullopt;
        const std::string_view text =
            canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex])->tree.nodes[*index].text;
        return AccessibilityActionValue{byteOffsetOfUtf16(text, argument.value->first),
                                        byteOffsetOfUtf16(text, argument.value->second)};
    }
    std::array<std::string_view, 2> words;
    if (canvasActionArgumentWords(argument.text, words) != 2) return std::nullopt;
    std::array<std::uint64_t, 2> values{};
    for (std::size_t i = 0; i < 2; ++i) {
        // Digits only: no sign and no other number forms.
        if (words[i].find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
        std::optional<std::uint64_t> parsed = parseU64(words[i]);
        if (!parsed) return std::nullopt;
        values[i] = *parsed;
    }
    return AccessibilityActionValue{values[0], values[1]};
}

TextEditRequest textEdit(TextEditKind kind, std::string_view text = {}, std::uint64_t first = 0,
                         std::uint64_t second = 0) {
    return {text, first, second, false, kind};
}

}  // namespace

std::optional<AccessibilityActions> canvasWidgetActionsForId(const Runtime& runtime, std::size_t viewIndex,
                                                             std::uint64_t widgetId) {
    if (viewIndex >= runtime.views.size() || widgetId == 0) return std::nullopt;
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
    if (slot == nullptr) return std::nullopt;
    for (const WidgetSemanticsNode& node : slot->semantics.nodes()) {
        if (node.id == widgetId) return accessibilityActions(node.actions);
    }
    return std::nullopt;
}

Status performCanvasWidgetAction(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                 std::uint64_t widgetId, WidgetAction action, const WidgetActionArgument& argument) {
    switch (action) {
        case WidgetAction::focus:
            return focusAutomationCanvasWidget(runtime, viewIndex, widgetId);
        case WidgetAction::press:
            return dispatchAutomationWidgetKey(runtime, binding, viewIndex, widgetId, "enter");
        case WidgetAction::toggle:
            return dispatchAutomationWidgetKey(runtime, binding, viewIndex, widgetId, "space");
        case WidgetAction::increment:
        case WidgetAction::decrement: {
            const bool up = action == WidgetAction::increment;
            const std::string_view key = stepsByPages(runtime, viewIndex, widgetId) ? (up ? "pagedown" : "pageup")
                                                                                    : (up ? "arrowright" : "arrowleft");
            return dispatchAutomationWidgetKey(runtime, binding, viewIndex, widgetId, key);
        }
        case WidgetAction::set_text:
            return setAutomationCanvasWidgetText(runtime, binding, viewIndex, widgetId, argument.text);
        case WidgetAction::set_selection: {
            const std::optional<AccessibilityActionValue> range =
                selectionRange(runtime, viewIndex, widgetId, argument);
            if (!range) return fail(Error::InvalidCommand);
            return editAutomationCanvasWidgetText(
                runtime, viewIndex, widgetId, textEdit(TextEditKind::set_selection, {}, range->first, range->second));
        }
        case WidgetAction::set_composition:
            return editAutomationCanvasWidgetText(runtime, viewIndex, widgetId,
                                                  textEdit(TextEditKind::set_composition, argument.text));
        case WidgetAction::commit_composition:
            return editAutomationCanvasWidgetText(runtime, viewIndex, widgetId,
                                                  textEdit(TextEditKind::commit_composition));
        case WidgetAction::cancel_composition:
            return editAutomationCanvasWidgetText(runtime, viewIndex, widgetId,
                                                  textEdit(TextEditKind::cancel_composition));
        case WidgetAction::select:
            return selectAutomationCanvasWidget(runtime, viewIndex, widgetId);
        case WidgetAction::drag:
            return dispatchAutomationCanvasWidgetDrag(runtime, binding, viewIndex, widgetId, argument.text);
        case WidgetAction::drop_files:
            return dispatchAutomationCanvasWidgetFileDrop(runtime, binding, viewIndex, widgetId, argument.text);
        case WidgetAction::dismiss:
            return dismissAutomationCanvasWidget(runtime, binding, viewIndex, widgetId);
    }
    return fail(Error::InvalidCommand);
}

}  // namespace kelvo
