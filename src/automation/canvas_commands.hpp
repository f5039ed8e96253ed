#pragma once

// The automation commands that act on canvas widgets (widget-action, widget-click, widget-hold,
// widget-context-press, widget-context-menu, widget-drag, widget-wheel, widget-key), the
// provenance request and screenshots of canvas views. The drain parses their arguments first (a
// malformed command is InvalidCommand as for every verb) and records a failure under the verb's
// name like any failed command; a screenshot's failure is traced as
// "automation.screenshot_failed" instead.

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

// "provenance <view> <id>" or "provenance <view> at <x> <y>": asks the application (through an
// automation_provenance event) which markup made the widget. Failures to find the view or the
// widget, and an application that gives no answer, are written as one line to
// "provenance.txt":
//     provenance error view=<label> id=<id> message="<why>"
Status dispatchAutomationProvenance(Runtime& runtime, const AppBinding& binding, const AutomationServer& server,
                                    const AutomationProvenanceTarget& target);

// "screenshot <view label> [scale]": the canvas view's whole frame, planned afresh and painted by
// the reference renderer at `scale` device pixels per point (default 1) over the view's clear
// colour, published as "screenshot-<label>.png" in the automation folder (label bytes other than
// ASCII letters, digits, '-', '.' and '_' become '-'). Written under a temporary name and renamed,
// so the final name never holds part of a file.
Status publishAutomationScreenshot(Runtime& runtime, const AutomationServer& server, std::string_view arguments);

}  // namespace kelvo
