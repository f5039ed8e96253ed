// Commands from trays, shortcuts, native controls and menus; dropped files; bridge messages.

#include "runtime/bridge/routing.hpp"
#include "runtime/canvas/canvas_events.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/kind_handlers.hpp"
#include "runtime/flow/page_events.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"
#include "security/command_name.hpp"

namespace kelvo {

namespace {

// Parent steps a native command's source check follows before it gives up.
constexpr unsigned kMaxCommandSourceDepth = 30;

// The command a tray item stands for. The runtime keeps no tray items of its own, so every tray
// selection is the command "tray.action".
constexpr std::string_view kTrayActionCommand = "tray.action";

Status sendCommand(Runtime& runtime, const AppBinding& binding, const CommandEvent& command) {
    return dispatchEvent(runtime, binding, RuntimeEvent(command));
}

// A command name from a backend that the runtime's rule refuses is one malformed event: it is
// recorded under the event's kind and the run goes on.
bool acceptCommandName(Runtime& runtime, std::string_view name, std::string_view kind) {
    Status valid = validateCommandName(name);
    if (!valid) recordDispatchErrorDetail(runtime, kind, valid.error());
    return valid.has_value();
}

// Toolbar when the view or one of its ancestors is a toolbar; native control otherwise, also for
// a view that does not exist.
CommandSource nativeCommandSource(const Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    std::optional<std::size_t> index = findViewIndex(runtime, windowId, label);
    for (unsigned step = 0; index && step <= kMaxCommandSourceDepth; ++step) {
        const RuntimeView& view = runtime.views[*index];
        if (view.kind == ViewKind::toolbar) return CommandSource::toolbar;
        std::optional<std::string_view> parent = view.parent.get();
        if (!parent) break;
        index = findViewIndex(runtime, windowId, *parent);
    }
    return CommandSource::native_control;
}

// A drop aimed at a canvas view goes first to the widget under the drop position that takes
// files.
Status offerDropToCanvasWidget(Runtime& runtime, const AppBinding& binding, const FilesDroppedEvent& event) {
    if (findOpenWindow(runtime, event.windowId) == nullptr || event.viewLabel.empty() || !event.hasPosition ||
        event.paths.empty()) {
        return {};
    }
    if (event.viewLabel.size() > kMaxViewLabel) {
        recordDispatchErrorDetail(runtime, "files_dropped", Error::ViewLabelTooLarge);
        return {};
    }
    std::optional<std::size_t> index = findViewIndex(runtime, event.windowId, event.viewLabel);
    if (!index || runtime.views[*index].kind != ViewKind::gpu_surface) return {};
    std::optional<std::uint64_t> widget = canvasWidgetFileDropTarget(runtime, *index, event.x, event.y);
    if (!widget) return {};
    return dispatchEvent(runtime, binding,
                         RuntimeEvent(CanvasWidgetFileDropEvent{event.windowId, event.viewLabel, *widget, event.paths,
                                                                event.x, event.y}));
}

}  // namespace

Status handleBridgeMessageEvent(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message) {
    const BridgeMessage copy = message;
    // The only failure left to the router is a reply that could not be delivered (the page that
    // asked is gone); that ends nothing but this request.
    if (Status handled = handleBridgeMessage(runtime, binding, copy); !handled) {
        recordDispatchErrorDetail(runtime, "bridge_message", handled.error());
    }
    return {};
}

Status handleTrayAction(Runtime& runtime, const AppBinding& binding, const TrayActionEvent& event) {
    runtimeTrace(runtime, "tray.action", "tray item selected", {traceU64("item_id", event.itemId)});
    if (!acceptCommandName(runtime, kTrayActionCommand, "tray_action")) return {};
    return sendCommand(runtime, binding, CommandEvent{kTrayActionCommand, 0, {}, event.itemId, CommandSource::tray});
}

Status handleShortcut(Runtime& runtime, const AppBinding& binding, const ShortcutEvent& event) {
    if (!acceptCommandName(runtime, event.id, "shortcut")) return {};
    TRY(sendCommand(runtime, binding, CommandEvent{event.id, event.windowId, {}, 0, CommandSource::shortcut}));
    TRY(dispatchEvent(runtime, binding, RuntimeEvent(event)));

    BoundedWriter detail = pageEventDetailWriter(runtime);
    writeShortcutDetail(detail, event);
    if (Status sent = sendWrittenPageEvent(runtime, event.windowId, kPageEventShortcut, detail); !sent) {
        traceUnsentPageEvent(runtime, "shortcut.emit_failed", sent.error(), {traceText("id", event.id)});
    }
    markStateDirty(runtime);
    return {};
}

Status handleNativeCommand(Runtime& runtime, const AppBinding& binding, const NativeCommandEvent& event) {
    const CommandSource source = nativeCommandSource(runtime, event.windowId, event.viewLabel);
    if (!acceptCommandName(runtime, event.command, "native_command")) return {};
    return sendCommand(runtime, binding, CommandEvent{event.command, event.windowId, event.viewLabel, 0, source});
}

Status handleMenuCommand(Runtime& runtime, const AppBinding& binding, const MenuCommandEvent& event) {
    if (!acceptCommandName(runtime, event.command, "menu_command")) return {};
    return sendCommand(runtime, binding, CommandEvent{event.command, event.windowId, {}, 0, CommandSource::menu});
}

Status handleFilesDropped(Runtime& runtime, const AppBinding& binding, const FilesDroppedEvent& event) {
    TRY(offerDropToCanvasWidget(runtime, binding, event));
    TRY(dispatchEvent(runtime, binding, RuntimeEvent(event)));

    BoundedWriter detail = pageEventDetailWriter(runtime);
    writeDropFilesDetail(detail, event);
    if (Status sent = sendWrittenPageEvent(runtime, event.windowId, kPageEventDropFiles, detail); !sent) {
        traceUnsentPageEvent(runtime, "drop.files.emit_failed", sent.error(), {traceU64("window_id", event.windowId)});
    }
    return {};
}

}  // namespace kelvo
