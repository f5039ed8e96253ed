#pragma once

// The animations a refreshed display list needs: the caret blink of the focused text entry and
// the pulse, turn or fading dots of every loading indicator. Private to runtime/canvas.

#include "runtime/canvas/canvas_slots.hpp"

namespace kelvo {

struct RuntimeView;

// Updates the slot's animation table for the view's tree and interaction state; animations of
// keys the refresh no longer needs are removed, the others keep their start.
void scheduleCanvasWidgetAnimations(CanvasSlot& slot, const RuntimeView& view);

}  // namespace kelvo
