#pragma once

// Keeping a canvas view's display list in step with its widgets. A state change invalidates a
// rectangle of the view; the runtime records it as a dirty rectangle (window coordinates) and
// refreshes the view: the widget tree is drawn into a staging list, compared with the stored list
// command by command, copied into the view, the animations the new list needs are scheduled, the
// changed areas are recorded and the platform is asked for a frame. Inside a refresh batch the
// refresh waits for the outermost close, so one input event refreshes each view at most once.

#include <cstddef>
#include <cstdint>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

struct Runtime;

// Records `rect` (view coordinates) of the view as a dirty rectangle: normalised, clipped to the
// view's surface and moved into the window; the whole view frame when nothing of it is left. The
// runtime keeps at most 8; later ones are dropped. Always marks the state changed by a canvas
// widget. Nothing for an index past the view table.
void recordCanvasWidgetDirtyRect(Runtime& runtime, std::size_t viewIndex, Rect rect);

// A widget of the view repaints `rect`: recorded at once (for a view of any kind); inside a batch
// the view (index below 32) is marked for refresh and for accessibility, otherwise accessibility
// is published (deferred while the runtime defers) and a view that wants refreshes is refreshed.
// Nothing for an index past the view table.
Status invalidateForCanvasWidgetDirty(Runtime& runtime, std::size_t viewIndex, Rect rect);

// The view's widgets changed without an area to record: inside a batch the view (index below 32)
// is marked for refresh and for accessibility; otherwise a canvas view's accessibility is
// published (deferred while the runtime defers) and, when it wants refreshes, its display list
// refreshed.
Status refreshCanvasWidgetView(Runtime& runtime, std::size_t viewIndex);

// Draws the view's widget tree into a new display list, between the view's leading and trailing
// commands, and replaces the stored list with it. When the lists differ the changed areas are
// recorded and the platform asked for a frame; when nothing changed, neither. ViewNotFound past
// the table, InvalidViewOptions for a view that is not a canvas view; a failure leaves the stored
// list as it was.
Status refreshCanvasWidgetDisplayList(Runtime& runtime, std::size_t viewIndex);

// Asks the platform for a frame of the canvas view at `viewIndex` and marks the view as waiting
// for it. A platform without canvas frames (an empty slot or UnsupportedService) is no error;
// InvalidViewOptions for a label outside 1 to 64 bytes; other platform errors as they are.
// Nothing for an index past the table or a view that is not a canvas view.
Status requestCanvasViewFrame(Runtime& runtime, std::size_t viewIndex);

// Opens a refresh batch: the depth grows by one and the accessibility deferral by `deferrals`
// (at least one). Every opener closes with `endCanvasWidgetDisplayListRefreshBatch` on every way
// out, which takes one deferral back; the opener takes back the rest itself.
void openCanvasWidgetDisplayListRefreshBatch(Runtime& runtime, std::uint64_t deferrals = 1);

// Closes a refresh batch. Closing the outermost one refreshes every marked view once (publishing
// its accessibility first when marked for it), then publishes the deferred accessibility of the
// views that wait for no frame. Nothing when no batch is open. The first error ends the work; the
// deferral count is lowered in any case.
Status endCanvasWidgetDisplayListRefreshBatch(Runtime& runtime);

}  // namespace kelvo
