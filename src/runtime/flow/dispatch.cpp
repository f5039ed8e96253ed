#include "runtime/flow/dispatch.hpp"

#include "runtime/canvas/canvas_widget_accessibility.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/kind_handlers.hpp"
#include "runtime/persist/session_journal.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

template <class T>
const T& payload(const PlatformEvent& event) {
    return *std::get_if<T>(&event);
}

// Frame events of a runtime where nothing changed are the steady heartbeat of an idle
// application; they are not traced.
bool isQuietFrameEvent(const Runtime& runtime, PlatformEventKind kind) {
    return !runtime.stateDirty &&
           (kind == PlatformEventKind::frame_requested || kind == PlatformEventKind::gpu_surface_frame);
}

Status runKind(Runtime& runtime, const AppBinding& binding, const PlatformEvent& event) {
    switch (platformEventKind(event)) {
        case PlatformEventKind::app_start:
            return handleAppStart(runtime, binding);
        case PlatformEventKind::app_activated:
            return handleAppActivation(runtime, binding, true);
        case PlatformEventKind::app_deactivated:
            return handleAppActivation(runtime, binding, false);
        case PlatformEventKind::appearance_changed:
            return handleAppearanceChanged(runtime, binding, payload<AppearanceChangedEvent>(event));
        case PlatformEventKind::frame_requested:
            return handleFrameRequested(runtime, binding);
        case PlatformEventKind::app_shutdown:
            return handleAppShutdown(runtime, binding);
        case PlatformEventKind::surface_resized:
            return handleSurfaceResized(runtime, payload<SurfaceResizedEvent>(event));
        case PlatformEventKind::window_frame_changed:
            return handleWindowFrameChanged(runtime, binding, payload<WindowFrameChangedEvent>(event));
        case PlatformEventKind::window_focused:
            return handleWindowFocused(runtime, payload<WindowFocusedEvent>(event));
        case PlatformEventKind::bridge_message:
            return handleBridgeMessageEvent(runtime, binding, payload<BridgeMessage>(event));
        case PlatformEventKind::tray_action:
            return handleTrayAction(runtime, binding, payload<TrayActionEvent>(event));
        case PlatformEventKind::shortcut:
            return handleShortcut(runtime, binding, payload<ShortcutEvent>(event));
        case PlatformEventKind::native_command:
            return handleNativeCommand(runtime, binding, payload<NativeCommandEvent>(event));
        case PlatformEventKind::menu_command:
            return handleMenuCommand(runtime, binding, payload<MenuCommandEvent>(event));
        case PlatformEventKind::timer:
            return dispatchEvent(runtime, binding, RuntimeEvent(payload<TimerEvent>(event)));
        case PlatformEventKind::wake:
            return dispatchEvent(runtime, binding, RuntimeEvent(EffectsWakeEvent{}));
        case PlatformEventKind::files_dropped:
            return handleFilesDropped(runtime, binding, payload<FilesDroppedEvent>(event));
        case PlatformEventKind::gpu_surface_frame:
            return handleGpuSurfaceFrame(runtime, binding, payload<GpuSurfaceFrame>(event));
        case PlatformEventKind::gpu_surface_resized:
            return handleGpuSurfaceResized(runtime, binding, payload<GpuSurfaceResizedEvent>(event));
        case PlatformEventKind::gpu_surface_input:
            return handleGpuSurfaceInput(runtime, binding, payload<GpuSurfaceInput>(event));
        case PlatformEventKind::gpu_surface_scroll_driver:
            return handleGpuSurfaceScrollDriver(runtime, binding, payload<GpuSurfaceScrollDriverEvent>(event));
        case PlatformEventKind::context_menu_action:
            return handleContextMenuAction(runtime, binding, payload<ContextMenuActionEvent>(event));
        case PlatformEventKind::widget_accessibility_action:
            return handleWidgetAccessibilityAction(runtime, binding, payload<WidgetAccessibilityActionEvent>(event));
        case PlatformEventKind::audio:
            return dispatchEvent(runtime, binding, RuntimeEvent(payload<AudioEvent>(event)));
    }
    return {};
}

}  // namespace

Status handlePlatformEvent(void* runContext, const PlatformEvent& event) {
    auto* context = static_cast<RunContext*>(runContext);
    const AppBinding binding = context->binding;
    return dispatchPlatformEvent(*context->runtime, binding, event);
}

Status dispatchPlatformEvent(Runtime& runtime, const AppBinding& binding, const PlatformEvent& event) {
    // The journal's end steps run on every way out of this function.
    SessionEventScope journal(runtime.sessionRecorder, event, runtime.frameCounter,
                              sessionFingerprintSource(runtime.sessionSnapshot));
    const PlatformEventKind kind = platformEventKind(event);
    if (!isQuietFrameEvent(runtime, kind)) {
        runtimeTrace(runtime, "platform.event", std::string_view{}, {traceText("event", platformEventKindName(kind))});
    }
    TRY(runKind(runtime, binding, event));
    // Accessibility deferred while the event was handled is published now, unless its view waits
    // for a frame (the frame's tick publishes it) or an enclosing event still defers it.
    if (runtime.canvasBatch.accessibilityDeferral != 0) return {};
    return recordUnlessStopping(runtime, "canvas_widget_accessibility",
                                flushDeferredCanvasWidgetAccessibilityWithoutFrame(runtime));
}

Status dispatchEvent(Runtime& runtime, const AppBinding& binding, const RuntimeEvent& event) {
    const RuntimeEventKind kind = runtimeEventKind(event);
    runtimeTrace(runtime, "runtime.event", std::string_view{}, {traceText("event", runtimeEventTraceName(event))});

    if (binding.eventHandler != nullptr) {
        Status handled = binding.eventHandler(binding.appContext, runtime, event);
        if (!handled) {
            recordDispatchErrorDetail(runtime, runtimeEventErrorScope(kind), handled.error());
            if (runtime.stopOnHandlerError) return handled;
        }
    }

    if (const auto* command = std::get_if<CommandEvent>(&event)) {
        if (runtime.modules != nullptr) {
            Status delivered =
                dispatchCommand(runtime.modules->entries, moduleCallContext(runtime), ModuleCommand{command->name});
            if (!delivered) recordDispatchErrorDetail(runtime, "extension.command", delivered.error());
        }
    }
    if (runtimeEventSetsDirty(kind)) markStateDirty(runtime);
    return {};
}

void traceUnsentPageEvent(Runtime& runtime, std::string_view traceName, Error error,
                          std::initializer_list<TraceField> fields) {
    runtimeTrace(runtime, traceName, errorName(error), fields);
}

Status recordUnlessStopping(Runtime& runtime, std::string_view scope, const Status& status) {
    if (status) return {};
    recordDispatchErrorDetail(runtime, scope, status.error());
    if (runtime.stopOnHandlerError) return status;
    return {};
}

ModuleCallContext moduleCallContext(const Runtime& runtime) { return ModuleCallContext{runtime.platform.name}; }

}  // namespace kelvo
