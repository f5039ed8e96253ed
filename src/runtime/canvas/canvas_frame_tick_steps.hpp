#pragma once

// Private to src/runtime/canvas: the steps of the frame tick that move widgets, and the scroll
// driver sync. Each takes the index of an existing canvas view.

#include <cstddef>
#include <cstdint>

#include "base/error.hpp"
#include "runtime/canvas/canvas_frame_tick_state.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

struct Runtime;

// The eased progress of an animation at `frameNs`; a start of 0 or after the frame is moved to
// the frame first. `finished` tells whether the animation has reached its end.
struct CanvasAnimationSample {
    float eased = 0;
    bool finished = false;
};
CanvasAnimationSample sampleCanvasAnimation(CanvasAnimationTiming& timing, std::uint64_t frameNs);

// After scrolled content moved under the pointer: hover, press and focus follow what lies there
// now, and the widgets whose interaction state changed are repainted (`before` is the state from
// before the scroll).
Status followScrolledContent(Runtime& runtime, std::size_t viewIndex, const CanvasWidgetRenderState& before);

// One frame of momentum (and of the overscroll spring) for every scroll view the platform does
// not drive. While an input waits for its frame nothing moves and the next frame is requested.
Status advanceCanvasScrollMomentum(Runtime& runtime, std::size_t viewIndex, std::uint64_t intervalNs);

// Moves every gliding split divider; a divider at its target leaves the list.
Status advanceCanvasSplitAnimations(Runtime& runtime, std::size_t viewIndex, std::uint64_t frameNs);

// Moves the widgets of the view's toggle animation; the animation resets at its end.
Status advanceCanvasToggleAnimation(Runtime& runtime, std::size_t viewIndex, std::uint64_t frameNs);

// Removes the thumb animations of switches that reached their end by `frameNs`: a thumb at home
// draws as it would without one, and an ended animation must not stay in the table for good.
void retireFinishedToggleThumbAnimations(Runtime& runtime, std::size_t viewIndex, std::uint64_t frameNs);

// Hands the view's scroll views to the platform's scroll drivers, when the view asks for them and
// the platform has them. A refusal is logged and otherwise ignored.
void syncCanvasScrollDrivers(Runtime& runtime, std::size_t viewIndex);

}  // namespace kelvo
