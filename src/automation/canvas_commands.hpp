#pragma once

// The automation commands that act on canvas widgets (widget-action, widget-click, widget-hold,
// widget-context-press, widget-context-menu, widget-drag, widget-wheel, widget-key), the
// provenance request and screenshots of canvas views.
//
// Not available yet: every one answers UnsupportedService. The drain parses their arguments
// first (a malformed command is InvalidCommand as for every verb) and records this answer under
// the verb's name like any failed command; a screenshot's failure is traced as
// "automation.screenshot_failed" instead. Building these commands means filling in the two
// functions below; nothing else in the drain changes.

#include <string_view>
#include <variant>

#include "automation/automation_server.hpp"
#include "automation/command_parsers.hpp"
#include "automation/command_verbs.hpp"
#include "base/error.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// The parsed arguments of one canvas command; which verb they belong to is passed beside them
// (click, hold and context press share a target).
using AutomationCanvasArguments =
    std::variant<AutomationWidgetAction, AutomationWidgetTarget, AutomationWidgetContextMenuItem,
                 AutomationWidgetPointerDrag, AutomationWidgetWheel, AutomationWidgetKey, AutomationProvenanceTarget>;

Status runAutomationCanvasCommand(Runtime& runtime, const AppBinding& binding, const AutomationServer& server,
                                  AutomationVerb verb, const AutomationCanvasArguments& arguments);

// "screenshot <view label> [scale]": a PNG of the canvas view in the automation folder.
Status publishAutomationScreenshot(Runtime& runtime, const AutomationServer& server, std::string_view arguments);

}  // namespace kelvo
