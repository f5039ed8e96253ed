#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "base/error.hpp"
#include "platform/types/geometry.hpp"
#include "platform/types/gpu_surface_event.hpp"

namespace kelvo {

// Everything a platform backend tells the runtime arrives as one PlatformEvent, handed to the
// run handler by reference for the duration of one call. Texts and lists are owned by the
// backend and valid only during that call: a handler that keeps one copies it.

struct AppStartEvent {
    friend bool operator==(const AppStartEvent&, const AppStartEvent&) = default;
};
struct AppActivatedEvent {
    friend bool operator==(const AppActivatedEvent&, const AppActivatedEvent&) = default;
};
struct AppDeactivatedEvent {
    friend bool operator==(const AppDeactivatedEvent&, const AppDeactivatedEvent&) = default;
};

struct AppearanceChangedEvent {
    bool dark = false;
    bool reduceMotion = false;
    bool increaseContrast = false;
    friend bool operator==(const AppearanceChangedEvent&, const AppearanceChangedEvent&) = default;
};

struct FrameRequestedEvent {
    friend bool operator==(const FrameRequestedEvent&, const FrameRequestedEvent&) = default;
};
struct AppShutdownEvent {
    friend bool operator==(const AppShutdownEvent&, const AppShutdownEvent&) = default;
};

// A window's content area changed size.
struct SurfaceResizedEvent {
    std::uint64_t windowId = 0;
    float width = 0;
    float height = 0;
    float scale = 1.0f;
    EdgeInsets safeArea{};
    EdgeInsets keyboard{};
    friend bool operator==(const SurfaceResizedEvent&, const SurfaceResizedEvent&) = default;
};

// A window moved, resized, opened, closed or became key.
struct WindowFrameChangedEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::string_view title{};
    RectF frame{};
    float scale = 1.0f;
    bool open = true;
    bool focused = false;
    bool maximized = false;
    bool fullScreen = false;
    friend bool operator==(const WindowFrameChangedEvent&, const WindowFrameChangedEvent&) = default;
};

struct WindowFocusedEvent {
    std::uint64_t windowId = 0;
    friend bool operator==(const WindowFocusedEvent&, const WindowFocusedEvent&) = default;
};

// One script message of a web view: the request's JSON text and where it came from.
struct BridgeMessage {
    std::string_view message{};
    std::string_view origin{};
    std::uint64_t windowId = 0;
    std::string_view webViewLabel{};
    friend bool operator==(const BridgeMessage&, const BridgeMessage&) = default;
};

struct TrayActionEvent {
    std::uint32_t itemId = 0;
    friend bool operator==(const TrayActionEvent&, const TrayActionEvent&) = default;
};

// A registered global shortcut fired; its id is also the command name.
struct ShortcutEvent {
    std::string_view id{};
    std::string_view key{};
    std::uint64_t windowId = 0;
    KeyModifiers modifiers{};
    friend bool operator==(const ShortcutEvent&, const ShortcutEvent&) = default;
};

// A native control (toolbar item, button, ...) fired its command.
struct NativeCommandEvent {
    std::string_view command{};
    std::uint64_t windowId = 0;
    std::string_view viewLabel{};
    friend bool operator==(const NativeCommandEvent&, const NativeCommandEvent&) = default;
};

struct MenuCommandEvent {
    std::string_view command{};
    std::uint64_t windowId = 0;
    friend bool operator==(const MenuCommandEvent&, const MenuCommandEvent&) = default;
};

struct TimerEvent {
    std::uint64_t timerId = 0;
    std::uint64_t timestampNs = 0;
    friend bool operator==(const TimerEvent&, const TimerEvent&) = default;
};

struct WakeEvent {
    friend bool operator==(const WakeEvent&, const WakeEvent&) = default;
};

// The most paths one files_dropped event carries; later ones are dropped.
inline constexpr std::size_t kMaxDroppedPaths = 4097;

struct FilesDroppedEvent {
    std::uint64_t windowId = 0;
    std::string_view viewLabel{};  // empty when the drop is not aimed at a view
    std::span<const std::string_view> paths{};
    float x = 0;
    float y = 0;
    bool hasPosition = false;
    friend bool operator==(const FilesDroppedEvent& a, const FilesDroppedEvent& b);
};

// A canvas view's frame or backing scale changed.
struct GpuSurfaceResizedEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    RectF frame{};
    float scale = 1.0f;
    friend bool operator==(const GpuSurfaceResizedEvent&, const GpuSurfaceResizedEvent&) = default;
};

// A native scroll driver of a canvas view moved.
struct GpuSurfaceScrollDriverEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    std::uint64_t timestampNs = 0;
    float offset = 0;
    friend bool operator==(const GpuSurfaceScrollDriverEvent&, const GpuSurfaceScrollDriverEvent&) = default;
};

// A context menu item was chosen, or the menu closed without a choice (item 0).
struct ContextMenuActionEvent {
    std::uint64_t windowId = 0;
    std::string_view viewLabel{};
    std::uint64_t token = 0;
    std::uint32_t item = 0;
    friend bool operator==(const ContextMenuActionEvent&, const ContextMenuActionEvent&) = default;
};

// The 16-byte value some accessibility actions carry: a range (start, end) or a number in the
// first word. A text selection counts UTF-16 units of the widget's text, as assistive technology
// counts them.
struct AccessibilityActionValue {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    friend bool operator==(const AccessibilityActionValue&, const AccessibilityActionValue&) = default;
};

inline constexpr std::uint32_t kMaxAccessibilityActionCode = 10;

// An assistive technology performed an action (code 0..10) on a canvas widget.
struct WidgetAccessibilityActionEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    std::string_view text{};  // used by the text-setting actions
    std::optional<AccessibilityActionValue> value{};
    std::uint32_t action = 0;
    friend bool operator==(const WidgetAccessibilityActionEvent&, const WidgetAccessibilityActionEvent&) = default;
};

enum class AudioEventKind : std::uint8_t { loaded = 0, state = 1, ended = 2, failed = 3, spectrum = 4 };

inline constexpr std::size_t kAudioSpectrumBands = 32;

struct AudioEvent {
    std::uint64_t positionMs = 0;
    std::uint64_t durationMs = 0;
    AudioEventKind kind = AudioEventKind::loaded;
    bool playing = false;
    bool buffering = false;
    std::array<std::uint8_t, kAudioSpectrumBands> bands{};
    friend bool operator==(const AudioEvent&, const AudioEvent&) = default;
};

// Kind, name and payload of every platform event, in tag order.
#define KELVO_PLATFORM_EVENTS(X)                                   \
    X(app_start, AppStartEvent)                                    \
    X(app_activated, AppActivatedEvent)                            \
    X(app_deactivated, AppDeactivatedEvent)                        \
    X(appearance_changed, AppearanceChangedEvent)                  \
    X(frame_requested, FrameRequestedEvent)                        \
    X(app_shutdown, AppShutdownEvent)                              \
    X(surface_resized, SurfaceResizedEvent)                        \
    X(window_frame_changed, WindowFrameChangedEvent)               \
    X(window_focused, WindowFocusedEvent)                          \
    X(bridge_message, BridgeMessage)                               \
    X(tray_action, TrayActionEvent)                                \
    X(shortcut, ShortcutEvent)                                     \
    X(native_command, NativeCommandEvent)                          \
    X(menu_command, MenuCommandEvent)                              \
    X(timer, TimerEvent)                                           \
    X(wake, WakeEvent)                                             \
    X(files_dropped, FilesDroppedEvent)                            \
    X(gpu_surface_frame, GpuSurfaceFrame)                          \
    X(gpu_surface_resized, GpuSurfaceResizedEvent)                 \
    X(gpu_surface_input, GpuSurfaceInput)                          \
    X(gpu_surface_scroll_driver, GpuSurfaceScrollDriverEvent)      \
    X(context_menu_action, ContextMenuActionEvent)                 \
    X(widget_accessibility_action, WidgetAccessibilityActionEvent) \
    X(audio, AudioEvent)

enum class PlatformEventKind : std::uint8_t {
#define KELVO_PLATFORM_EVENT_ENUMERATOR(name, type) name,
    KELVO_PLATFORM_EVENTS(KELVO_PLATFORM_EVENT_ENUMERATOR)
#undef KELVO_PLATFORM_EVENT_ENUMERATOR
};

// The alternatives stand in tag order, so `event.index()` is the event's tag.
using PlatformEvent =
    std::variant<AppStartEvent, AppActivatedEvent, AppDeactivatedEvent, AppearanceChangedEvent, FrameRequestedEvent,
                 AppShutdownEvent, SurfaceResizedEvent, WindowFrameChangedEvent, WindowFocusedEvent, BridgeMessage,
                 TrayActionEvent, ShortcutEvent, NativeCommandEvent, MenuCommandEvent, TimerEvent, WakeEvent,
                 FilesDroppedEvent, GpuSurfaceFrame, GpuSurfaceResizedEvent, GpuSurfaceInput,
                 GpuSurfaceScrollDriverEvent, ContextMenuActionEvent, WidgetAccessibilityActionEvent, AudioEvent>;

inline constexpr std::size_t kPlatformEventKindCount = std::variant_size_v<PlatformEvent>;
static_assert(kPlatformEventKindCount == 24);

#define KELVO_PLATFORM_EVENT_POSITION(name, type)                                                                    \
    static_assert(                                                                                                   \
        std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(PlatformEventKind::name), PlatformEvent>, \
                       type>,                                                                                        \
        "platform event " #name " is out of place");
KELVO_PLATFORM_EVENTS(KELVO_PLATFORM_EVENT_POSITION)
#undef KELVO_PLATFORM_EVENT_POSITION

// The handler a backend's `run` delivers every event to.
using PlatformEventHandler = Status (*)(void* handlerContext, const PlatformEvent& event);

[[nodiscard]] inline PlatformEventKind platformEventKind(const PlatformEvent& event) {
    return static_cast<PlatformEventKind>(event.index());
}

// The kind's name as the runtime prints it ("gpu_surface_frame"); empty outside the 24 kinds.
std::string_view platformEventKindName(PlatformEventKind kind);
inline std::string_view platformEventName(const PlatformEvent& event) {
    return platformEventKindName(platformEventKind(event));
}

// The kind with this tag; InvalidEventKind for a tag outside 0..23 (a raw decoder's guard).
Result<PlatformEventKind> platformEventKindFromTag(std::uint64_t tag);
std::optional<PlatformEventKind> platformEventKindFromName(std::string_view name);

}  // namespace kelvo
