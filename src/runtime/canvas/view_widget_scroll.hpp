#pragma once

// Scrolling the scroll views and text areas of a canvas view by wheel, keyboard or programme,
// and putting the view's interaction state right after the content moved under the pointer.

#include <cstddef>
#include <cstdint>

#include "runtime/canvas/canvas_widget_commit.hpp"
#include "widgets/scroll_state.hpp"

namespace kelvo {

struct Runtime;

// A scroll view that can scroll: a `scroll_view`, and a virtual list only when it has items.
bool isCanvasScrollView(const WidgetLayoutNode& node);

// The scroll geometry of the scroll view at `index`: its viewport (height less its top and bottom
// insets), its content extent and the greatest offset. None for anything but a scroll view whose
// viewport is positive both ways.
struct ScrollGeometry {
    float viewport = 0;
    float content = 0;
    float maximum = 0;
};
std::optional<ScrollGeometry> canvasWidgetScrollGeometry(const WidgetTreeStorage& storage, std::size_t index);

// Puts the scroll view at `index` into scroll state `next` as it is (overscrolled or not): the
// state is kept, and when the offset moved the content moves with it and a scroll event is queued.
CanvasWidgetDirty moveCanvasWidgetScrollView(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                             const ScrollState& next);

// Scrolls node `index` (a scroll view or a text area) by `delta` points. A wheel delta is scaled
// by the wheel scale; a wheel step on a scroll view that `elasticAllowed` and its own setting let
// overscroll goes through the elastic wheel rule, any other step is clamped to the content. A
// scroll view keeps the new scroll state (even when its offset stays), moves its descendants and
// queues its id for a scroll event; a text area only moves its text. Answers the repaint area,
// none when the offset stayed (or the node cannot scroll).
CanvasWidgetDirty applyCanvasWidgetScroll(Runtime& runtime, std::size_t viewIndex, std::size_t index, float delta,
                                          bool fromWheel, bool elasticAllowed);

// Scrolls the scroll view at `index` to its start or, with `toEnd`, its end (velocity 0).
CanvasWidgetDirty applyCanvasWidgetScrollKeyboardTarget(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                                        bool toEnd);

// Moves the descendants of node `index` down by `dy` (or right by `dx`); rect and frame alike.
void translateCanvasWidgetScrollDescendants(CanvasWidgetChange& change, std::size_t index, float dy);
void translateCanvasWidgetDescendantsX(CanvasWidgetChange& change, std::size_t index, float dx);

// After content moved: drops the focus from a widget that is no longer a focus target, keeps the
// focus-visible widget only on the focused one, takes the hovered widget (and cursor) from what
// lies under the pointer now (or, with the pointer unknown, keeps it only while it still could be
// hovered), and keeps the pressed widget only while it still could be.
void reconcileCanvasWidgetRenderStateAfterScroll(Runtime& runtime, std::size_t viewIndex, float pointerX,
                                                 float pointerY, bool pointerKnown);

// The reconciliation after a scroll at the pointer's last known place in the view (while the
// pointer is in it); the platform's cursor is set again when the cursor changed.
Status rehoverCanvasWidgetsAfterScroll(Runtime& runtime, std::size_t viewIndex);

}  // namespace kelvo
