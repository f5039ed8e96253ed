#pragma once

#include <cstddef>
#include <optional>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

// What the view tables ask of the canvas widget runtime, and the view-level queries of a canvas
// view's widgets. A view without a canvas slot has no widgets: every query answers for an empty
// tree.

struct Runtime;
struct RuntimeView;

// Puts a new view's canvas state in its empty initial state.
void resetCanvasViewState(RuntimeView& view);

// The canvas part of a view's public state.
CanvasViewInfo canvasViewInfo(const RuntimeView& view);

// The interaction snapshot the view's widgets are drawn in: the focused widget while the view has
// keyboard focus, the focus-visible widget when it is that widget, the hovered widget, the pressed
// widget (raised to the nearest enabled ancestor that reacts to presses), the short id list while
// active, and the chart hover pointer while a widget is hovered. Its id list points into the view record.
CanvasWidgetRenderState canvasWidgetRenderState(const Runtime& runtime, const RuntimeView& view);

// When an animation a view's widgets start now begins: the later of the view's last frame and
// its last input (both in the platform's clock).
std::uint64_t canvasAnimationStartNs(const RuntimeView& view);

// Whether two snapshots draw the same (ids compared by content).
bool sameCanvasWidgetRenderState(const CanvasWidgetRenderState& a, const CanvasWidgetRenderState& b);

// Marks the widgets whose interaction state changed between `before` and `after` for redrawing.
Status invalidateForCanvasWidgetRenderStateChange(Runtime& runtime, std::size_t viewIndex,
                                                  const CanvasWidgetRenderState& before,
                                                  const CanvasWidgetRenderState& after);

// `rect` (view coordinates) clipped as node `nodeIndex` is drawn: by the scroll views and clipping
// nodes above it, up to the nearest out-of-flow node. None for an index past the tree, a node
// hidden by itself or an ancestor, a rectangle without area or nothing left after clipping.
std::optional<Rect> canvasWidgetDirtyBounds(const Runtime& runtime, const RuntimeView& view, std::size_t nodeIndex,
                                            Rect rect);

// Collects the semantics of the view's widgets again. On failure the view keeps the semantics it
// had; UnsupportedViewKind for a view without widgets.
Status refreshCanvasWidgetSemantics(Runtime& runtime, RuntimeView& view);

// Re-binds the derived canvas state of a view record copied to another slot of the view table,
// so that it behaves exactly as before the move.
void rebindMovedCanvasView(Runtime& runtime, std::size_t newIndex);

}  // namespace kelvo
