#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "base/io.hpp"
#include "bridge/bridge_config.hpp"
#include "debug/trace.hpp"
#include "platform/types/geometry.hpp"
#include "platform/types/platform.hpp"
#include "platform/types/platform_event.hpp"
#include "platform/types/service_records.hpp"
#include "platform/types/validation.hpp"
#include "platform/types/window_records.hpp"
#include "runtime/bridge/router_state.hpp"
#include "runtime/canvas/canvas_images.hpp"
#include "runtime/canvas/canvas_refresh_batch.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/context_menu_state.hpp"
#include "runtime/flow/automation_hooks.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/extensions.hpp"
#include "runtime/flow/flow_state.hpp"
#include "runtime/flow/frame_profile.hpp"
#include "runtime/persist/session_fingerprint.hpp"
#include "runtime/persist/session_journal.hpp"
#include "runtime/persist/window_state_store.hpp"
#include "runtime/views/view_table.hpp"
#include "runtime/windows/shell_views_table.hpp"
#include "runtime/windows/window_table.hpp"
#include "text/canvas_fonts.hpp"

namespace kelvo {

// The runtime record: the whole state of the runtime in one fixed-size record. It is allocated
// once (`allocateRuntime`: anonymous pages, zero-filled), filled in place by start-up, used on the
// main thread only, and released once. It never grows: every table is inline with a count.
//
// Layout, by group:
//   diagnostics      the trace log: its sink and the count of refused records
//   platform seam    the platform interface record and the security policy handed to it
//   configuration    the application configuration, feature flags, the I/O interface
//   windows          the window table, its id counters, the application source, the shell
//                    descriptions and the last surface metrics of each window
//   views            the view table and the child web view table
//   frame state      the state-dirty flag, the dirty regions of the next frame, what last
//                    changed, the windows to publish, the canvas refresh batch and the frame
//                    profile
//   event flow       frame and change counters, the dispatch error log, extension modules,
//                    automation hooks, the session journal, the window-state store and the
//                    page-event detail buffer
//   bridge           the application's bridge commands, the built-in command policy, and the
//                    router's buffers, deferred-reply slots and re-entry guard
//   text measurement the measurers layout and canvas fonts call
//   canvas images    the images canvas views draw, registered by id
//   canvas slots     the widget trees and display lists of canvas views, page-aligned, built
//                    only when a canvas view claims a slot
//
// Adding state: add the field to the group it belongs to (or a new group at the end) with a
// default member initializer for the value start-up gives it; there is no constructor and no
// other instance. Large buffers belong here, never on the stack. Keep the record trivially
// copyable in parts (no owning pointers): tests copy tables out of it. `sizeof(Runtime)` is
// printed by the runtime tests so growth shows.
struct Runtime {
    // ---- diagnostics ----
    // The trace sink and the count of records it refused.
    TraceLog trace{};

    // ---- platform seam ----
    Platform platform{};
    // Its origins are the trusted origins web views may show.
    SecurityPolicy securityPolicy{};

    // ---- configuration ----
    // Start-up's configuration; its texts and lists live as long as the process.
    AppConfig appConfig{};
    // The I/O interface; the runtime reads its wall clock for timestamps (0 without one).
    Io io{};
    // The commands the page may list; start-up checks them. Borrowed from the application's tables.
    std::span<const RuntimeCommand> commands{};
    bool securityChecks = true;
    // Without the web view layer no window with a source and no child web view can be made.
    bool webViewLayer = true;
    bool canvasEnabled = true;

    // ---- windows ----
    FixedVec<RuntimeWindow, kMaxWindows> windows{};
    // Automatic window ids start here; every reservation raises it past the id it took.
    std::uint64_t nextWindowId = 2;
    // The one id sequence of main web views, views and child web views.
    std::uint64_t nextViewId = 1;
    // The source of every window without one of its own.
    WindowSourceStorage appSource{};
    bool appSourcePresent = false;
    ShellViewsTable shellViews{};
    // The last surface_resized payload of each window.
    FixedVec<SurfaceResizedEvent, kMaxWindows> surfaceMetrics{};

    // ---- views ----
    FixedVec<RuntimeView, kMaxViews> views{};
    FixedVec<RuntimeWebView, kMaxWebViews> webViews{};

    // ---- frame state ----
    // Something visible changed since the last published frame; only frame publication clears it.
    bool stateDirty = true;
    // Frames changed since the last published frame; nothing is added once 8 are held.
    FixedVec<RectF, 8> dirtyRegions{};
    ChangeSource lastChangeSource = ChangeSource::none;
    // Windows whose canvas state changed for automation to publish; each at most once.
    FixedVec<std::uint64_t, 8> windowsToPublish{};
    CanvasRefreshBatch canvasBatch{};
    // Canvas frame stage timings; recorded only while its `enabled` flag is set.
    FrameProfile frameProfile{};

    // ---- event flow ----
    // Frames published so far; the session journal pairs its checkpoints with this number.
    std::uint64_t frameCounter = 0;
    // Bridge requests, automation reloads and provenance requests since the last published frame.
    std::uint64_t changeCounter = 0;
    LastFrameRecord lastFrame{};
    Appearance appearance{};
    // When set, an application-handler or canvas error ends the dispatch instead of being recorded.
    bool stopOnHandlerError = false;
    DispatchErrorLog dispatchErrors{};
    // Extension modules, when an application attaches a registry (it must outlive the run).
    const ModuleRegistry* modules = nullptr;
    // The context menu a canvas view has open, and the value of the last accessibility action.
    PendingContextMenu pendingContextMenu{};
    std::optional<AccessibilityActionValue> accessibilityActionValue{};
    // Cleared before automation asks where a widget came from; an application handler that
    // answers the automation_provenance event sets it (and writes its answer itself).
    bool provenanceAnswered = false;
    // Frame-time automation; empty when no automation server is configured.
    AutomationHooks automation{};
    // The session journal, when one is attached, and what its checkpoints fingerprint.
    SessionRecorder* sessionRecorder = nullptr;
    SessionSnapshotSource sessionSnapshot{};
    // Where window frames are saved; disabled until start-up configures it.
    WindowStateStore windowStateStore{};
    // Monotonic time when the runtime started (start-up sets it); uptime is measured from here.
    std::uint64_t startMonotonicNs = 0;
    // The detail text of the page event being sent.
    std::array<char, kPageEventDetailBytes> pageEventDetail{};

    // ---- bridge ----
    // The application's commands and their policy; the default refuses every application command.
    BridgeConfig bridgeConfig{};
    // While enabled, it alone decides who may call the built-in "kelvo." families; otherwise the
    // security policy and `securityChecks` do.
    Policy builtinPolicy{};
    // Without braces: its 1 MiB buffers stay untouched until the bridge uses them.
    BridgeRouterState bridgeRouter;

    // ---- text measurement ----
    // The platform's text measurer once start-up bound it (else the built-in estimate), and the
    // canvas font measure binding, unbound until a canvas font is.
    TextMeasurerBinding textMeasurer{};
    CanvasFontMeasureBinding canvasFontMeasure{};

    // ---- canvas images ----
    // The images canvas views draw; see canvas_images.hpp. Without braces: the pixel store's pages
    // stay untouched until an image is registered.
    CanvasImageTable canvasImages;

    // ---- canvas slots ----
    // The widget trees and display lists of canvas views, one slot per view record; see
    // canvas_slots.hpp. No initializer: untouched slot pages cost nothing.
    CanvasSlotTable canvasSlots;
};

// The platform's service slots and the context every slot takes first.
inline const PlatformSlots& platformSlots(const Runtime& runtime) { return runtime.platform.slots; }
inline void* platformServices(const Runtime& runtime) { return runtime.platform.services; }

// Allocates and default-fills the runtime record; OutOfMemory when the pages are not available.
Result<Runtime*> allocateRuntime();
void releaseRuntime(Runtime* runtime);

// Binds the platform's `measureText` and `measureTextAdvances` slots as the runtime's text
// measurer (the platform record must stay where it is). Without a `measureText` slot the
// measurer stays on the built-in estimate.
void bindPlatformTextMeasurer(Runtime& runtime);

// Sets the state-dirty flag.
inline void markStateDirty(Runtime& runtime) { runtime.stateDirty = true; }
// Sets the state-dirty flag and records a changed frame while fewer than 8 are held.
void markDirtyRegion(Runtime& runtime, const RectF& frame);
// Adds a window to the windows to publish unless it is there already or 8 are held.
void noteWindowToPublish(Runtime& runtime, std::uint64_t windowId);

// Wall-clock nanoseconds of the runtime's I/O interface; 0 without one.
std::int64_t runtimeWallClockNs(const Runtime& runtime);
// Monotonic nanoseconds of the runtime's I/O interface; 0 without one.
std::uint64_t runtimeMonotonicNs(const Runtime& runtime);

// Remembers a surface_resized payload as its window's latest surface metrics.
void recordSurfaceMetrics(Runtime& runtime, const SurfaceResizedEvent& metrics);
// The latest surface metrics of a window, or null.
const SurfaceResizedEvent* surfaceMetricsFor(const Runtime& runtime, std::uint64_t windowId);

}  // namespace kelvo
