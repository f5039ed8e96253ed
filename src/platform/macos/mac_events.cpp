// Host events to platform events, and their delivery to the runtime's handler.

#include <array>
#include <cstring>
#include <memory>

#include "base/stderr.hpp"
#include "platform/macos/mac_slots.hpp"
#include "platform/types/event_rules.hpp"

namespace kelvo {

namespace {

// The dropped paths of the event being delivered; too large for the stack.
std::span<std::string_view> droppedPathScratch() {
    thread_local std::unique_ptr<std::array<std::string_view, kMaxDroppedPaths>> scratch;
    if (!scratch) scratch = std::make_unique<std::array<std::string_view, kMaxDroppedPaths>>();
    return *scratch;
}

float narrow(double value) { return static_cast<float>(value); }

std::string_view createdTitle(const MacPlatform& mac, std::uint64_t windowId) {
    for (const CreatedWindowTitle& entry : mac.createdTitles) {
        if (entry.windowId == windowId) return entry.title.view();
    }
    return {};
}

// A window's frame or state changed. The event carries the window's own title: the one it was
// created with through the adapter, else its configured one; a window the adapter knows nothing
// of gets an empty title, and the runtime keeps the title it has.
std::optional<PlatformEvent> windowFrameChanged(const MacPlatform& mac, const KelvoHostEvent& host) {
    WindowFrameChangedEvent event;
    event.windowId = host.windowId;
    WindowDescription described = windowById(mac, host.windowId);
    if (host.windowLabel.length == 0) {
        event.label = described.label;
        event.title = described.title.empty() ? mac.app.appName : described.title;
    } else {
        event.label = host.windowLabel.view();
        event.title = createdTitle(mac, host.windowId);
        if (event.title.empty() && described.configured) event.title = described.title;
    }
    event.frame = RectF{narrow(host.x), narrow(host.y), narrow(host.width), narrow(host.height)};
    event.scale = narrow(host.scale);
    event.open = host.open != 0;
    event.focused = host.focused != 0;
    event.maximized = false;
    event.fullScreen = false;
    return PlatformEvent(event);
}

std::optional<PlatformEvent> convert(RunState& state, const KelvoHostEvent& host) {
    switch (static_cast<HostEventKind>(host.kind)) {
        case HostEventKind::app_start:
            return PlatformEvent(AppStartEvent{});
        case HostEventKind::frame_requested:
            return PlatformEvent(FrameRequestedEvent{});
        case HostEventKind::app_shutdown:
            return PlatformEvent(AppShutdownEvent{});
        case HostEventKind::app_activated:
            return PlatformEvent(AppActivatedEvent{});
        case HostEventKind::app_deactivated:
            return PlatformEvent(AppDeactivatedEvent{});
        case HostEventKind::wake:
            return PlatformEvent(WakeEvent{});
        case HostEventKind::surface_resized: {
            SurfaceResizedEvent event{host.windowId, narrow(host.width), narrow(host.height), narrow(host.scale)};
            if (state.platform != nullptr) {
                state.platform->lastSurfaceSize = SurfaceSize{event.windowId, event.width, event.height, event.scale};
            }
            return PlatformEvent(event);
        }
        case HostEventKind::window_frame_changed:
            if (state.platform == nullptr) return std::nullopt;
            return windowFrameChanged(*state.platform, host);
        case HostEventKind::shortcut:
            return PlatformEvent(ShortcutEvent{host.shortcutId.view(), host.shortcutKey.view(), host.windowId,
                                               modifiersFromBits(host.modifiers)});
        case HostEventKind::native_command:
            return PlatformEvent(NativeCommandEvent{host.command.view(), host.windowId, host.viewLabel.view()});
        case HostEventKind::menu_command:
            return PlatformEvent(MenuCommandEvent{host.command.view(), host.windowId});
        case HostEventKind::files_dropped: {
            std::span<std::string_view> paths = droppedPathScratch();
            std::size_t count = splitDroppedPaths(host.paths.view(), paths);
            return PlatformEvent(FilesDroppedEvent{host.windowId, {}, paths.first(count), 0, 0, false});
        }
        case HostEventKind::gpu_surface_frame: {
            GpuSurfaceFrame frame;
            frame.windowId = host.windowId;
            frame.label = host.viewLabel.view();
            frame.width = narrow(host.width);
            frame.height = narrow(host.height);
            frame.scale = narrow(host.scale);
            frame.frameIndex = host.frameIndex;
            frame.timestampNs = host.timestampNs;
            frame.frameIntervalNs = host.frameIntervalNs;
            frame.nonblank = host.nonblank != 0;
            frame.sampleColor = host.sampleColor;
            frame.packetDecodeNs = host.packetDecodeNs;
            frame.packetDrawNs = host.packetDrawNs;
            frame.occluded = host.occluded != 0;
            return PlatformEvent(frame);
        }
        case HostEventKind::gpu_surface_resized:
            return PlatformEvent(GpuSurfaceResizedEvent{
                host.windowId, host.viewLabel.view(),
                RectF{narrow(host.x), narrow(host.y), narrow(host.width), narrow(host.height)}, narrow(host.scale)});
        case HostEventKind::gpu_surface_input: {
            GpuSurfaceInput input;
            input.windowId = host.windowId;
            input.label = host.viewLabel.view();
            input.kind = gpuSurfaceInputKindFromHost(host.inputKind);
            input.timestampNs = host.timestampNs;
            input.x = narrow(host.x);
            input.y = narrow(host.y);
            input.button = static_cast<std::uint32_t>(host.button);
            input.dx = narrow(host.deltaX);
            input.dy = narrow(host.deltaY);
            input.key = host.keyText.view();
            input.text = host.inputText.view();
            if (host.hasCompositionCursor != 0) input.replacementRange = host.compositionCursor;
            input.modifiers = modifiersFromBits(host.modifiers);
            return PlatformEvent(input);
        }
        case HostEventKind::widget_accessibility_action: {
            std::optional<std::uint32_t> action = accessibilityActionFromHost(host.action);
            if (!action) return std::nullopt;
            WidgetAccessibilityActionEvent event;
            event.windowId = host.windowId;
            event.label = host.viewLabel.view();
            event.widgetId = host.targetId;
            event.text = host.actionText.view();
            if (host.hasSelection != 0) event.value = AccessibilityActionValue{host.selectionStart, host.selectionEnd};
            event.action = *action;
            return PlatformEvent(event);
        }
        case HostEventKind::appearance_changed:
            return PlatformEvent(
                AppearanceChangedEvent{host.darkAppearance == 1, host.reduceMotion != 0, host.increaseContrast != 0});
        case HostEventKind::timer:
            return PlatformEvent(TimerEvent{host.timerId, host.timestampNs});
        case HostEventKind::scroll_driver:
            return PlatformEvent(GpuSurfaceScrollDriverEvent{host.windowId, host.viewLabel.view(), host.targetId,
                                                             host.timestampNs, narrow(host.scrollOffsetY)});
        case HostEventKind::context_menu_action:
            return PlatformEvent(
                ContextMenuActionEvent{host.windowId, host.viewLabel.view(), host.targetId, host.menuItemId});
        case HostEventKind::audio: {
            AudioEvent event;
            event.positionMs = host.audioPositionMs;
            event.durationMs = host.audioDurationMs;
            event.kind = audioEventKindFromHost(host.audioEvent);
            event.playing = host.audioPlaying != 0;
            event.buffering = host.audioBuffering != 0;
            std::memcpy(event.bands.data(), host.spectrumBands, event.bands.size());
            return PlatformEvent(event);
        }
    }
    // A kind the host never sends.
    return std::nullopt;
}

}  // namespace

void emitPlatformEvent(RunState& state, const PlatformEvent& event) {
    if (state.handler == nullptr || state.handlerContext == nullptr) return;
    Status handled = state.handler(state.handlerContext, event);
    if (handled) return;
    {
        std::lock_guard guard(stderrLock());
        writeStderrLocked("platform callback failed: ");
        writeStderrLocked(errorName(handled.error()));
        writeStderrLocked(" (event ");
        writeStderrLocked(platformEventName(event));
        writeStderrLocked(")\n");
    }
    state.failed = true;
    if (state.platform != nullptr) state.platform->appkit->stop(state.platform->host);
}

void appkitCallback(void* runState, const KelvoHostEvent* event) {
    RunState& state = *static_cast<RunState*>(runState);
    if (std::optional<PlatformEvent> converted = convert(state, *event)) emitPlatformEvent(state, *converted);
}

void appkitBridgeCallback(void* runState, std::uint64_t windowId, const char* label, std::uint64_t labelLength,
                          const char* message, std::uint64_t messageLength, const char* origin,
                          std::uint64_t originLength) {
    auto text = [](const char* bytes, std::uint64_t length) {
        return bytes == nullptr ? std::string_view{} : std::string_view(bytes, static_cast<std::size_t>(length));
    };
    BridgeMessage bridge{text(message, messageLength), text(origin, originLength), windowId, text(label, labelLength)};
    emitPlatformEvent(*static_cast<RunState*>(runState), PlatformEvent(bridge));
}

void appkitTrayCallback(void* runState, std::uint32_t itemId) {
    emitPlatformEvent(*static_cast<RunState*>(runState), PlatformEvent(TrayActionEvent{itemId}));
}

}  // namespace kelvo
