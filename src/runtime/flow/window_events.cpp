// Window events: surface resizes, frame changes (moves, resizes, opening and closing) and focus.

#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/kind_handlers.hpp"
#include "runtime/flow/page_events.hpp"
#include "runtime/persist/window_state_store.hpp"
#include "runtime/runtime.hpp"
#include "runtime/windows/shell_views.hpp"
#include "runtime/windows/window_close.hpp"

namespace kelvo {

Status handleSurfaceResized(Runtime& runtime, const SurfaceResizedEvent& event) {
    // The metrics are kept before the shell is laid out again: the layout reads them.
    recordSurfaceMetrics(runtime, event);
    if (std::optional<std::size_t> index = findWindowIndexById(runtime, event.windowId)) {
        RuntimeWindow& window = runtime.windows[*index];
        window.frame.width = event.width;
        window.frame.height = event.height;
        window.scale = event.scale;
    }
    relayoutShellViewsOrTrace(runtime, event.windowId);

    BoundedWriter detail = pageEventDetailWriter(runtime);
    writeResizeDetail(detail, event);
    if (Status sent = sendWrittenPageEvent(runtime, event.windowId, kPageEventResize, detail); !sent) {
        traceUnsentPageEvent(runtime, "window.resize.emit_failed", sent.error());
    }

    markDirtyRegion(runtime, RectF{0, 0, event.width, event.height});
    runtimeTrace(runtime, "surface.resize", "surface updated",
                 {traceF64("width", event.width), traceF64("height", event.height), traceF64("scale", event.scale)});
    return {};
}

Status handleWindowFrameChanged(Runtime& runtime, const AppBinding& binding, const WindowFrameChangedEvent& event) {
    std::optional<std::size_t> known = findWindowIndexById(runtime, event.windowId);
    const bool wasOpen = known && runtime.windows[*known].open;

    Result<std::size_t> reserved = findOrReserveWindow(runtime, event.windowId, event.label, event.title);
    if (!reserved) {
        runtimeTrace(runtime, "window.state.update_failed", errorName(reserved.error()),
                     {traceText("label", event.label)});
    } else {
        RuntimeWindow& window = runtime.windows[*reserved];
        window.frame = event.frame;
        window.scale = event.scale;
        window.open = event.open;
        window.focused = event.focused;
        if (!window.mainWebViewFrameSet) {
            window.mainWebViewFrame = RectF{0, 0, event.frame.width, event.frame.height};
        }
        if (event.focused) setOnlyFocusedWindow(runtime, *reserved);
        if (!event.open) removeWindowRuntimeViews(runtime, event.windowId);
    }
    relayoutShellViewsOrTrace(runtime, event.windowId);

    // The file keeps the table's label and title for a window the table holds.
    std::optional<std::size_t> index = findWindowIndexById(runtime, event.windowId);
    const std::string_view label = index ? runtime.windows[*index].label.view() : event.label;
    const std::string_view title = index ? runtime.windows[*index].title.view() : event.title;
    Status saved =
        saveWindowState(runtime.windowStateStore, windowStateFromEvent(event, label, title), windowStateScratch());
    if (!saved) {
        runtimeTrace(runtime, "window.state.save_failed", errorName(saved.error()), {traceText("label", event.label)});
    }

    runtimeTrace(runtime, "window.frame", "window frame updated",
                 {traceText("label", event.label), traceF64("x", event.frame.x), traceF64("y", event.frame.y),
                  traceF64("width", event.frame.width), traceF64("height", event.frame.height)});

    if (!event.open && wasOpen) {
        return dispatchEvent(runtime, binding, RuntimeEvent(WindowClosedEvent{event.windowId, label}));
    }
    return {};
}

Status handleWindowFocused(Runtime& runtime, const WindowFocusedEvent& event) {
    if (std::optional<std::size_t> index = findWindowIndexById(runtime, event.windowId)) {
        setOnlyFocusedWindow(runtime, *index);
    }
    markStateDirty(runtime);
    return {};
}

}  // namespace kelvo
