#pragma once

// What user input does to the controls of a canvas view: selecting a selectable widget (and
// deselecting its peers), flipping a boolean control and animating a switch's thumb, moving a
// split divider, resizing a resizable panel and setting a slider from the pointer. Each change
// ends in the commit step (canvas_widget_commit.hpp) and answers the area it repainted.

#include <cstddef>
#include <cstdint>

#include "runtime/canvas/canvas_widget_commit.hpp"

namespace kelvo {

struct Runtime;

// Selects widget `id`: list items, data cells, segmented items, radios and tree rows; a menu item
// only when its group already has a selected item. Selected peers (the same kind in the same
// parent group, or the rows of the same tree) are deselected.
CanvasWidgetDirty setCanvasWidgetSelected(Runtime& runtime, std::size_t viewIndex, std::uint64_t id);

// Expands (or collapses) enabled widget `id` when it has an expanded state and that state differs.
CanvasWidgetDirty setCanvasWidgetExpanded(Runtime& runtime, std::size_t viewIndex, std::uint64_t id, bool expanded);

// Flips an enabled accordion, toggle button, checkbox or switch; an accordion's id is listed for
// its disclosure.
CanvasWidgetDirty toggleCanvasWidgetBooleanControl(Runtime& runtime, std::size_t viewIndex, std::uint64_t id);

// The thumb travel of an enabled switch, read before it flips; `valid` is clear for any other
// widget and for a track too narrow for its thumb.
struct ToggleAnimationRequest {
    std::uint64_t id = 0;
    float travel = 0;
    std::optional<Rect> dirty;
    bool wasOn = false;
    bool valid = false;
};
ToggleAnimationRequest canvasWidgetToggleAnimation(Runtime& runtime, std::size_t viewIndex, std::uint64_t id);

// Puts the thumb animation of `request` into the view's animation table (the thumb starts where
// it was and slides home), or, with an animation duration of 0, removes it.
void scheduleCanvasWidgetToggleAnimation(Runtime& runtime, std::size_t viewIndex,
                                         const ToggleAnimationRequest& request);

// Moves the divider of the split view at `index` to `fraction` of its track, kept between the
// panes' minimum widths; with `notify` the split view is queued for a resize event.
CanvasWidgetDirty applyCanvasWidgetSplitFractionMoved(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                                      float fraction, bool notify);

// Widens (or narrows) resizable panel `id` by `delta`, to no less than max(frame height, 48).
CanvasWidgetDirty applyCanvasWidgetResizableDelta(Runtime& runtime, std::size_t viewIndex, std::uint64_t id,
                                                  float delta);

// Sets slider `id` to where `pointerX` (view coordinates) lies along it (0 to 1); a change that
// repaints queues the slider for a change event.
CanvasWidgetDirty applyCanvasWidgetSliderValue(Runtime& runtime, std::size_t viewIndex, std::uint64_t id,
                                               float pointerX);

// Sets slider `id` to `value` clamped to 0..1 (the keyboard's step); queued like the pointer.
CanvasWidgetDirty setCanvasWidgetSliderValue(Runtime& runtime, std::size_t viewIndex, std::uint64_t id, float value);

}  // namespace kelvo
