#pragma once

// The argument grammars of the automation commands. Each parser takes a command's argument text
// and returns a small record whose texts are slices of that same text (so the text must outlive
// the record); every refusal is InvalidCommand. Parsers allocate nothing and touch no state.
//
// Words are separated by space, TAB, LF or CR. Integers are decimal with an optional '+', '_'
// between digits (never first or last), and "-0" style zeros; widget and tray item ids are never
// 0. Numbers are 32-bit floats and must be finite. Text after the last expected word is refused
// unless a grammar takes a rest.

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "runtime/canvas/widget_actions.hpp"

namespace kelvo {

// The widget-action codes are the runtime's widget actions (0 focus ... 13 dismiss).
using AutomationWidgetActionKind = WidgetAction;

struct AutomationResizeCommand {
    float width = 0;
    float height = 0;
    float scale = 1.0f;
};

struct AutomationNativeCommand {
    std::string_view name;
    std::string_view payload;
};

// The canvas view (by label) and widget (by id) a widget command aims at.
struct AutomationWidgetTarget {
    std::string_view view;
    std::uint64_t widgetId = 0;
};

struct AutomationWidgetAction : AutomationWidgetTarget {
    std::string_view argument;
    AutomationWidgetActionKind action = AutomationWidgetActionKind::focus;
};

struct AutomationWidgetContextMenuItem : AutomationWidgetTarget {
    std::uint64_t itemIndex = 0;  // 0 is the first item
};

// Fractions of the widget's laid-out frame: 0 its left (top) edge, 1 its right (bottom) edge.
struct AutomationWidgetPointerDrag : AutomationWidgetTarget {
    float startX = 0;
    float endX = 0;
    float startY = 0.5f;
    float endY = 0.5f;
};

struct AutomationWidgetWheel : AutomationWidgetTarget {
    float delta = 0;
};

struct AutomationWidgetKey {
    std::string_view view;
    std::string_view key;  // as written, case kept
    std::string_view text;
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool super = false;
    bool meta = false;
};

struct AutomationProvenanceTarget {
    std::string_view view;
    std::uint64_t widgetId = 0;  // 0 when a point is given
    float x = 0;
    float y = 0;
    bool pointGiven = false;
};

// menu-command, shortcut: the first word; anything after it is ignored.
Result<std::string_view> parseAutomationCommandName(std::string_view text);
// focus: the whole trimmed text, inner whitespace kept.
Result<std::string_view> parseAutomationViewLabel(std::string_view text);
// tray-action: one u32 integer word, not 0.
Result<std::uint32_t> parseAutomationTrayItemId(std::string_view text);
// resize: width height [scale], each a number above 0; the scale defaults to 1.
Result<AutomationResizeCommand> parseAutomationResizeCommand(std::string_view text);
// native-command: name [payload]; the payload is the rest, any text.
Result<AutomationNativeCommand> parseAutomationNativeCommand(std::string_view text);
// widget-click, widget-hold, widget-context-press: view id.
Result<AutomationWidgetTarget> parseAutomationWidgetTarget(std::string_view text);
// widget-action: view id action [argument]; the action word is matched without regard to ASCII
// case, and its argument is required, refused or optional by action.
Result<AutomationWidgetAction> parseAutomationWidgetAction(std::string_view text);
// widget-context-menu: view id index.
Result<AutomationWidgetContextMenuItem> parseAutomationWidgetContextMenuItem(std::string_view text);
// widget-drag: view id startX endX [startY endY].
Result<AutomationWidgetPointerDrag> parseAutomationWidgetPointerDrag(std::string_view text);
// widget-wheel: view id delta.
Result<AutomationWidgetWheel> parseAutomationWidgetWheel(std::string_view text);
// widget-key: view keys [text]; keys is "+"-joined modifiers and a key name ("ctrl+shift+tab").
Result<AutomationWidgetKey> parseAutomationWidgetKey(std::string_view text);
// provenance: view id, or view "at" x y.
Result<AutomationProvenanceTarget> parseAutomationProvenanceTarget(std::string_view text);

}  // namespace kelvo
