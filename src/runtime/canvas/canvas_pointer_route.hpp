#pragma once

// Pointer routing of a canvas view: which widget a pointer event concerns (the pressed widget
// while it captures the pointer, else the first interactive widget under the pointer), the path
// of widget ids the event travels, and the pointer-driven interaction state kept in step with
// it: hover, press, cursor, the chart hover point and the focus a press gives.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "platform/types/runtime_event.hpp"
#include "widgets/widget_routing.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

inline constexpr std::size_t kMaxPointerPathEntries = 32;

// A routed pointer event. `event` is what canvas_widget_pointer carries; its path is set by
// `pointerEvent`, since the ids live in this record.
struct CanvasPointerRoute {
    CanvasWidgetPointerEvent event;
    std::array<std::uint64_t, kMaxPointerPathEntries> path{};
    std::size_t pathCount = 0;
    std::optional<std::size_t> viewIndex;
    std::optional<std::size_t> targetIndex;  // the target's node index
    std::optional<std::size_t> hitIndex;     // the node under the pointer (none while captured)
    bool routed = false;

    [[nodiscard]] bool hasTarget() const { return targetIndex.has_value(); }
    // The runtime event, its path pointing into this record.
    [[nodiscard]] CanvasWidgetPointerEvent pointerEvent() const;
};

// What pointer and drag events carry of the node at `index`.
CanvasWidgetNodeInfo canvasWidgetNodeInfo(const WidgetLayoutNode& node, std::size_t index);

// The ids of the node at `index` and its ancestors, target first, into `out` (at most its size);
// their count. WidgetDepthExceeded for a node too deep to route.
Result<std::size_t> canvasWidgetEventPathIds(WidgetLayoutTree tree, std::size_t index,
                                             std::span<std::uint64_t, kMaxPointerPathEntries> out);

// The routed phase of a pointer or wheel input kind; none for key and text kinds.
std::optional<PointerPhase> pointerPhaseForInput(GpuSurfaceInputKind kind);

// Routes `input`: WindowNotFound for a window that is not open, InvalidViewOptions for an empty
// label or a view that is not a GPU canvas view, ViewLabelTooLarge over 64 bytes, ViewNotFound
// for no such view. Key and text input gives an empty record (not routed). Drag, up and leave
// stay with the pressed widget while it can still take the pointer (enabled, shown, not
// concealed, visible and a pointer target), and have no target when it cannot; everything else
// is hit-tested, the target being the first enabled interactive widget from the hit upwards.
Result<CanvasPointerRoute> routeCanvasWidgetPointerInput(const Runtime& runtime, const GpuSurfaceInput& input);

// The cursor a hover or press target asks for: arrow for none or a disabled one, link for the
// link role, text over text entries, resize over resizable panels and split dividers.
CursorKind canvasWidgetCursorForTarget(const WidgetHit& target);

// The hover, press, cursor and chart hover rules for a routed event of the view: stores the new
// state, sets the platform cursor when its code changed and repaints what the change touched.
Status applyCanvasWidgetPointerHover(Runtime& runtime, std::size_t viewIndex, const CanvasPointerRoute& route);

// A routed press focuses its target when that is a focus target (visibly so for a text entry),
// and clears the focus otherwise.
Status updateCanvasWidgetFocusFromPointer(Runtime& runtime, const CanvasPointerRoute& route);

// Sends the command of widget `widgetId` (its `action`) as a command event from a native
// control. Nothing for an anonymous or unknown widget, a kind that carries no command or an
// empty name; ViewNotFound past the view table; the command name's own error. Whether a command
// event went out.
Result<bool> activateCanvasWidgetCommand(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                         std::uint64_t widgetId);
Status dispatchCanvasWidgetCommandForId(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                        std::uint64_t widgetId);

// Whether a release at (x, y) lies in the pressed node's laid-out rectangle, or in the release
// node's when that is another widget. Rectangles are normalised; edges are half-open and NaN is
// outside.
bool canvasWidgetPressReleaseInBounds(const WidgetLayoutNode& pressed, const WidgetLayoutNode* release, float x,
                                      float y);

// The chart point index under `x` of the interactive chart `widgetId`; none otherwise.
std::optional<std::uint64_t> canvasChartHoverIndexForId(const Runtime& runtime, std::size_t viewIndex,
                                                        std::uint64_t widgetId, float x);

// Tells the platform the view's cursor; nothing for a view that is not a canvas view or a
// platform without cursors.
Status syncCanvasWidgetCursorForView(Runtime& runtime, std::size_t viewIndex);

}  // namespace kelvo
