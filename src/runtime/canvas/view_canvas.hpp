#pragma once

#include <cstddef>

#include "base/error.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

// What the view tables ask of the canvas widget runtime. A view without canvas widgets needs
// none of it: these are the answers for that case.

struct Runtime;
struct RuntimeView;

// Puts a new view's canvas state in its empty initial state.
void resetCanvasViewState(RuntimeView& view);

// The canvas part of a view's public state.
CanvasViewInfo canvasViewInfo(const RuntimeView& view);

// The render state of a view's canvas widgets (which widget is focused, hovered, pressed, ...).
CanvasWidgetRenderState canvasWidgetRenderState(const RuntimeView& view);

// Marks the widgets whose interaction state changed between `before` and `after` for redrawing.
Status invalidateForCanvasWidgetRenderStateChange(Runtime& runtime, std::size_t viewIndex,
                                                  const CanvasWidgetRenderState& before,
                                                  const CanvasWidgetRenderState& after);

// Re-binds the derived canvas state of a view record copied to another slot of the view table,
// so that it behaves exactly as before the move.
void rebindMovedCanvasView(Runtime& runtime, std::size_t newIndex);

}  // namespace kelvo
