#include "automation/command_run.hpp"

#include <array>

#include "automation/canvas_commands.hpp"
#include "automation/command_parsers.hpp"
#include "automation/command_verbs.hpp"
#include "automation/command_words.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/reload.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_focus.hpp"

namespace kelvo {

namespace {

using V = AutomationVerb;
constexpr std::string_view kCommand = kAutomationCommandScope;

constexpr std::array<AutomationVerbInfo, 22> kVerbs = {{
    {"reload", V::reload, false, kCommand},
    {"wait", V::wait, false, kCommand},
    {"resize", V::resize, true, kCommand},
    {"screenshot", V::screenshot, true, kCommand},
    {"bridge", V::bridge, true, kCommand},
    {"native-command", V::native_command, true, kCommand},
    {"widget-action", V::widget_action, true, "automation.widget_action"},
    {"widget-click", V::widget_click, true, "automation.widget_click"},
    {"widget-hold", V::widget_hold, true, "automation.widget_hold"},
    {"widget-context-press", V::widget_context_press, true, "automation.widget_context_press"},
    {"widget-context-menu", V::widget_context_menu, true, "automation.widget_context_menu"},
    {"widget-drag", V::widget_drag, true, "automation.widget_drag"},
    {"widget-wheel", V::widget_wheel, true, "automation.widget_wheel"},
    {"widget-key", V::widget_key, true, "automation.widget_key"},
    {"menu-command", V::menu_command, true, kCommand},
    {"shortcut", V::shortcut, true, kCommand},
    {"tray-action", V::tray_action, true, "automation.tray_action"},
    {"focus", V::focus, true, kCommand},
    {"focus-next", V::focus_next, false, kCommand},
    {"focus-previous", V::focus_previous, false, kCommand},
    {"profile", V::profile, true, kCommand},
    {"provenance", V::provenance, true, "automation.provenance"},
}};

// Commands address the application's first window.
constexpr std::uint64_t kCommandWindowId = 1;
constexpr std::string_view kBridgeOrigin = "vexa://inline";

// Marks the command window's content as changed (a command that changes what every view shows).
void addCommandDirtyRegion(Runtime& runtime) {
    RectF region{};
    if (const RuntimeWindow* window = findOpenWindow(runtime, kCommandWindowId)) {
        region = RectF{0, 0, window->frame.width, window->frame.height};
    }
    markDirtyRegion(runtime, region);
}

Status dispatchSynthesised(Runtime& runtime, const AppBinding& binding, const PlatformEvent& event) {
    return dispatchPlatformEvent(runtime, binding, event);
}

// Parses with `parser` and hands the record to the canvas commands.
template <class Parser>
Status runCanvasCommand(Runtime& runtime, const AppBinding& binding, const AutomationServer& server, V verb,
                        std::string_view arguments, Parser parser) {
    auto parsed = TRY(parser(arguments));
    return runAutomationCanvasCommand(runtime, binding, server, verb, AutomationCanvasArguments(parsed));
}

Status runVerb(Runtime& runtime, const AppBinding& binding, const AutomationServer& server, V verb,
               std::string_view arguments) {
    switch (verb) {
        case V::reload: {
            addCommandDirtyRegion(runtime);
            ++runtime.changeCounter;
            Status reloaded = reloadWindows(runtime, binding);
            markStateDirty(runtime);
            return reloaded;
        }
        case V::wait:
            return {};
        case V::resize: {
            const AutomationResizeCommand size = TRY(parseAutomationResizeCommand(arguments));
            SurfaceResizedEvent event;
            event.windowId = kCommandWindowId;
            event.width = size.width;
            event.height = size.height;
            event.scale = size.scale;
            return dispatchSynthesised(runtime, binding, event);
        }
        case V::screenshot:
            // A screenshot that fails is traced, not recorded.
            if (Status published = publishAutomationScreenshot(runtime, server, arguments); !published) {
                runtimeTrace(runtime, "automation.screenshot_failed", errorName(published.error()));
            }
            return {};
        case V::bridge:
            return handleAutomationBridgeMessage(runtime, binding,
                                                 BridgeMessage{arguments, kBridgeOrigin, kCommandWindowId, "main"});
        case V::native_command: {
            const AutomationNativeCommand command = TRY(parseAutomationNativeCommand(arguments));
            return dispatchSynthesised(runtime, binding,
                                       NativeCommandEvent{command.name, kCommandWindowId, command.payload});
        }
        case V::widget_action:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationWidgetAction);
        case V::widget_click:
        case V::widget_hold:
        case V::widget_context_press:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationWidgetTarget);
        case V::widget_context_menu:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationWidgetContextMenuItem);
        case V::widget_drag:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationWidgetPointerDrag);
        case V::widget_wheel:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationWidgetWheel);
        case V::widget_key:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationWidgetKey);
        case V::provenance:
            return runCanvasCommand(runtime, binding, server, verb, arguments, parseAutomationProvenanceTarget);
        case V::menu_command: {
            const std::string_view name = TRY(parseAutomationCommandName(arguments));
            return dispatchSynthesised(runtime, binding, MenuCommandEvent{name, kCommandWindowId});
        }
        case V::shortcut: {
            const std::string_view name = TRY(parseAutomationCommandName(arguments));
            return dispatchSynthesised(runtime, binding, ShortcutEvent{name, {}, kCommandWindowId, {}});
        }
        case V::tray_action:
            TRY(parseAutomationTrayItemId(arguments));
            // The runtime keeps no status-bar item, so no item has the id.
            return fail(Error::InvalidCommand);
        case V::focus:
            return focusView(runtime, kCommandWindowId, TRY(parseAutomationViewLabel(arguments)));
        case V::focus_next:
        case V::focus_previous: {
            Result<std::optional<ViewInfo>> focused =
                focusAdjacentView(runtime, kCommandWindowId, verb == V::focus_previous);
            if (!focused) return fail(focused.error());
            return {};
        }
        case V::profile: {
            const bool on = arguments == "on";
            addCommandDirtyRegion(runtime);
            FrameProfile& profile = runtime.frameProfile;
            // Turning it on afresh starts new statistics; "on" while on keeps the ones gathered.
            if (on && !profile.enabled) profile.clearSamples();
            profile.enabled = on;
            markStateDirty(runtime);
            return {};
        }
    }
    return fail(Error::InvalidCommand);
}

}  // namespace

std::optional<AutomationVerbInfo> findAutomationVerb(std::string_view word) {
    for (const AutomationVerbInfo& info : kVerbs) {
        if (info.word == word) return info;
    }
    return std::nullopt;
}

void runAutomationCommandText(Runtime& runtime, const AppBinding& binding, const AutomationServer& server,
                              std::string_view text) {
    text = trimCommandSpace(text);
    if (text.empty()) return;
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    const std::string_view arguments =
        space == std::string_view::npos ? std::string_view{} : trimCommandSpace(text.substr(space + 1));

    std::optional<AutomationVerbInfo> verb = findAutomationVerb(word);
    const bool refused = !verb || (verb->needsArguments && arguments.empty()) ||
                         (verb->verb == V::profile && arguments != "on" && arguments != "off");
    if (refused) {
        recordDispatchErrorDetail(runtime, kAutomationCommandScope, Error::InvalidCommand);
        return;
    }
    if (Status ran = runVerb(runtime, binding, server, verb->verb, arguments); !ran) {
        recordDispatchErrorDetail(runtime, verb->errorScope, ran.error(), arguments);
    }
}

}  // namespace kelvo
