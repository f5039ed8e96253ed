#pragma once

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
#include "platform/types/platform_event.hpp"

namespace kelvo {

// What the runtime tells the application's event handler and its extension modules. Like
// platform events, texts and lists are valid only during the delivery.

enum class LifecycleStep : std::uint8_t { start = 0, activate = 1, deactivate = 2, frame = 3, stop = 4 };

struct LifecycleEvent {
    LifecycleStep step = LifecycleStep::start;
    friend bool operator==(const LifecycleEvent&, const LifecycleEvent&) = default;
};

// Where a command came from.
enum class CommandSource : std::uint8_t {
    none = 0,
    menu = 1,
    shortcut = 2,
    toolbar = 3,
    tray = 4,
    native_control = 5,
    bridge = 6,
};

struct CommandEvent {
    std::string_view name{};
    std::uint64_t windowId = 0;
    std::string_view sourceLabel{};  // the view label of a native command, else empty
    std::uint32_t trayItemId = 0;
    CommandSource source = CommandSource::none;
    friend bool operator==(const CommandEvent&, const CommandEvent&) = default;
};

struct EffectsWakeEvent {
    friend bool operator==(const EffectsWakeEvent&, const EffectsWakeEvent&) = default;
};

// The canvas widget events. Their records belong to the canvas widget runtime; these carry
// what it hands to the application.

enum class PointerPhase : std::uint8_t { move = 0, down = 1, drag = 2, up = 3, leave = 4, wheel = 5 };

// The laid-out node an event concerns.
struct CanvasWidgetNodeInfo {
    std::uint32_t nodeIndex = 0;
    std::uint8_t kind = 0;  // widget kind code
    std::uint8_t role = 0;  // semantic role code
    std::uint32_t depth = 0;
    RectF rect{};
    bool press = false;   // the press flag of its actions
    bool toggle = false;  // the toggle flag of its actions
    bool disabled = false;
    friend bool operator==(const CanvasWidgetNodeInfo&, const CanvasWidgetNodeInfo&) = default;
};

// A pointer event routed to a widget.
struct CanvasWidgetPointerEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    float x = 0;
    float y = 0;
    float dx = 0;
    float dy = 0;
    PointerPhase phase = PointerPhase::move;
    std::uint32_t button = 0;
    KeyModifiers modifiers{};
    std::uint32_t clickCount = 0;
    std::uint64_t targetWidgetId = 0;  // 0 when none
    CanvasWidgetNodeInfo target{};
    bool hit = false;                       // the pointer is over a widget
    std::span<const std::uint64_t> path{};  // widget ids, target first, then its ancestors
    friend bool operator==(const CanvasWidgetPointerEvent& a, const CanvasWidgetPointerEvent& b);
};

struct CanvasWidgetKeyboardEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;  // 0: no widget consumed the key
    std::string_view key{};
    std::string_view text{};
    bool shift = false;
    bool control = false;
    bool option = false;
    bool primaryOrCommand = false;
    friend bool operator==(const CanvasWidgetKeyboardEvent&, const CanvasWidgetKeyboardEvent&) = default;
};

struct CanvasWidgetScrollEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    float offset = 0;
    float viewportExtent = 0;
    float contentExtent = 0;
    friend bool operator==(const CanvasWidgetScrollEvent&, const CanvasWidgetScrollEvent&) = default;
};

struct CanvasWidgetFileDropEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    std::span<const std::string_view> paths{};
    float x = 0;
    float y = 0;
    friend bool operator==(const CanvasWidgetFileDropEvent& a, const CanvasWidgetFileDropEvent& b);
};

struct CanvasWidgetDragEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    CanvasWidgetNodeInfo node{};
    float x = 0;
    float y = 0;
    float dx = 0;
    float dy = 0;
    std::uint32_t button = 0;
    KeyModifiers modifiers{};
    std::span<const std::uint64_t> path{};  // widget ids, from the dragged widget up
    friend bool operator==(const CanvasWidgetDragEvent& a, const CanvasWidgetDragEvent& b);
};

struct CanvasWidgetContextMenuEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t token = 0;
    std::uint64_t itemIndex = 0;  // the chosen item, counted from 0
    friend bool operator==(const CanvasWidgetContextMenuEvent&, const CanvasWidgetContextMenuEvent&) = default;
};

struct CanvasWidgetContextMenuRequestEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    friend bool operator==(const CanvasWidgetContextMenuRequestEvent&,
                           const CanvasWidgetContextMenuRequestEvent&) = default;
};

struct CanvasWidgetDismissEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    friend bool operator==(const CanvasWidgetDismissEvent&, const CanvasWidgetDismissEvent&) = default;
};

// A secondary press that no widget menu took.
struct CanvasWidgetContextPressEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t targetWidgetId = 0;  // 0 when the press hit no widget
    float x = 0;
    float y = 0;
    friend bool operator==(const CanvasWidgetContextPressEvent&, const CanvasWidgetContextPressEvent&) = default;
};

struct CanvasWidgetResizeEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    float size = 0;
    friend bool operator==(const CanvasWidgetResizeEvent&, const CanvasWidgetResizeEvent&) = default;
};

struct CanvasWidgetChangeEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    float value = 0;
    friend bool operator==(const CanvasWidgetChangeEvent&, const CanvasWidgetChangeEvent&) = default;
};

struct WindowClosedEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    friend bool operator==(const WindowClosedEvent&, const WindowClosedEvent&) = default;
};

// Automation asks the application where a widget came from.
struct AutomationProvenanceEvent {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::uint64_t widgetId = 0;
    friend bool operator==(const AutomationProvenanceEvent&, const AutomationProvenanceEvent&) = default;
};

// Kind, trace name, handler-error scope and whether delivering it sets the runtime's
// state-dirty flag, in tag order. A lifecycle event is traced under its step's name and a
// command under its own name; the names below are for every other kind.
#define KELVO_RUNTIME_EVENTS(X)                                                                                        \
    X(lifecycle, LifecycleEvent, "lifecycle", "lifecycle", false)                                                      \
    X(appearance_changed, AppearanceChangedEvent, "appearance_changed", "appearance_changed", true)                    \
    X(command, CommandEvent, "command", "command", true)                                                               \
    X(shortcut, ShortcutEvent, "shortcut", "shortcut", true)                                                           \
    X(timer, TimerEvent, "timer", "timer", false)                                                                      \
    X(effects_wake, EffectsWakeEvent, "effects_wake", "effects_wake", false)                                           \
    X(audio, AudioEvent, "audio", "audio", false)                                                                      \
    X(files_dropped, FilesDroppedEvent, "files_dropped", "files_dropped", false)                                       \
    X(gpu_surface_frame, GpuSurfaceFrame, "gpu_surface_frame", "gpu_surface_frame", false)                             \
    X(gpu_surface_resized, GpuSurfaceResizedEvent, "gpu_surface_resized", "gpu_surface_resized", false)                \
    X(gpu_surface_input, GpuSurfaceInput, "gpu_surface_input", "gpu_surface_input", false)                             \
    X(canvas_widget_pointer, CanvasWidgetPointerEvent, "canvas_widget_pointer", "canvas_widget_pointer", false)        \
    X(canvas_widget_keyboard, CanvasWidgetKeyboardEvent, "canvas_widget_keyboard", "canvas_widget_keyboard", false)    \
    X(canvas_widget_scroll, CanvasWidgetScrollEvent, "canvas_widget_scroll", "canvas_widget_scroll", false)            \
    X(canvas_widget_file_drop, CanvasWidgetFileDropEvent, "canvas_widget_file_drop", "canvas_widget_file_drop", false) \
    X(canvas_widget_drag, CanvasWidgetDragEvent, "canvas_widget_drag", "canvas_widget_drag", false)                    \
    X(canvas_widget_context_menu, CanvasWidgetContextMenuEvent, "canvas_widget_context_menu",                          \
      "canvas_widget_context_menu", true)                                                                              \
    X(canvas_widget_context_menu_request, CanvasWidgetContextMenuRequestEvent, "canvas_widget_context_menu_request",   \
      "canvas_widget_context_menu_request", true)                                                                      \
    X(canvas_widget_dismiss, CanvasWidgetDismissEvent, "canvas_widget_dismiss", "canvas_widget_dismiss", false)        \
    X(canvas_widget_context_press, CanvasWidgetContextPressEvent, "canvas_widget_context_press",                       \
      "canvas_widget_context_press", false)                                                                            \
    X(canvas_widget_resize, CanvasWidgetResizeEvent, "canvas_widget_resize", "canvas_widget_resize", false)            \
    X(canvas_widget_change, CanvasWidgetChangeEvent, "canvas_widget_change", "canvas_widget_change", false)            \
    X(window_closed, WindowClosedEvent, "window_closed", "window_closed", true)                                        \
    X(automation_provenance, AutomationProvenanceEvent, "automation_provenance", "automation_provenance", false)

enum class RuntimeEventKind : std::uint8_t {
#define KELVO_RUNTIME_EVENT_ENUMERATOR(name, type, trace, scope, dirty) name,
    KELVO_RUNTIME_EVENTS(KELVO_RUNTIME_EVENT_ENUMERATOR)
#undef KELVO_RUNTIME_EVENT_ENUMERATOR
};

// The alternatives stand in tag order, so `event.index()` is the event's tag.
using RuntimeEvent =
    std::variant<LifecycleEvent, AppearanceChangedEvent, CommandEvent, ShortcutEvent, TimerEvent, EffectsWakeEvent,
                 AudioEvent, FilesDroppedEvent, GpuSurfaceFrame, GpuSurfaceResizedEvent, GpuSurfaceInput,
                 CanvasWidgetPointerEvent, CanvasWidgetKeyboardEvent, CanvasWidgetScrollEvent,
                 CanvasWidgetFileDropEvent, CanvasWidgetDragEvent, CanvasWidgetContextMenuEvent,
                 CanvasWidgetContextMenuRequestEvent, CanvasWidgetDismissEvent, CanvasWidgetContextPressEvent,
                 CanvasWidgetResizeEvent, CanvasWidgetChangeEvent, WindowClosedEvent, AutomationProvenanceEvent>;

inline constexpr std::size_t kRuntimeEventKindCount = std::variant_size_v<RuntimeEvent>;
static_assert(kRuntimeEventKindCount == 24);

#define KELVO_RUNTIME_EVENT_POSITION(name, type, trace, scope, dirty)                                              \
    static_assert(                                                                                                 \
        std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(RuntimeEventKind::name), RuntimeEvent>, \
                       type>,                                                                                      \
        "runtime event " #name " is out of place");
KELVO_RUNTIME_EVENTS(KELVO_RUNTIME_EVENT_POSITION)
#undef KELVO_RUNTIME_EVENT_POSITION

[[nodiscard]] inline RuntimeEventKind runtimeEventKind(const RuntimeEvent& event) {
    return static_cast<RuntimeEventKind>(event.index());
}

// The kind's own name ("canvas_widget_drag"); empty outside the 24 kinds.
std::string_view runtimeEventKindName(RuntimeEventKind kind);

// The name the "runtime.event" trace record gives this event: the step's name for a lifecycle
// event ("start", "activate", "deactivate", "frame", "stop"), the command's own name for a
// command, the kind's name otherwise.
std::string_view runtimeEventTraceName(const RuntimeEvent& event);

// The scope under which an error of the application's handler is recorded for this kind.
std::string_view runtimeEventErrorScope(RuntimeEventKind kind);

// Whether delivering this kind sets the runtime's state-dirty flag (for a command, after the
// extension modules have run).
bool runtimeEventSetsDirty(RuntimeEventKind kind);

std::string_view lifecycleStepName(LifecycleStep step);

Result<RuntimeEventKind> runtimeEventKindFromTag(std::uint64_t tag);

}  // namespace kelvo
