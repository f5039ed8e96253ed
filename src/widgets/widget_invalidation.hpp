#pragma once

// What a change of a widget's interaction state (focus, focus-visible, hover, press) can repaint:
// the rectangle of its state-dependent part, its frame stroke, its focus ring, the rings of the
// input groups around it, and a dirty rectangle clipped by the widget's ancestors. Records are
// prepared as the renderer prepares them (frame snapped, focused from the focus-visible widget).

#include <cstddef>
#include <cstdint>
#include <optional>

#include "raster/canvas_geometry.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// The width of the frame stroke the widget draws now (a focused control's is as wide as its focus
// ring); 0 when it draws none.
float widgetFrameStrokeWidth(const WidgetDescription& record, const WidgetTokens& tokens);

// The state rectangle grown by half the frame stroke; none without a stroke.
std::optional<Rect> widgetFrameStrokeBounds(const WidgetDescription& record, const WidgetTokens& tokens);

// The area of the focus ring a focused widget draws; none when it is not focused, draws no ring,
// or the ring has no width.
std::optional<Rect> widgetFocusPaintBounds(const WidgetDescription& record, const WidgetTokens& tokens);

// The state rectangle: the indicator box of checkboxes and radios, the track of switches, the
// knob of sliders, the frame of everything else.
Rect widgetInteractiveStatePaintBounds(const WidgetDescription& record, const WidgetTokens& tokens);

// `dirty` clipped by the scroll views and clipping nodes above node `index`, up to (and not past)
// the nearest out-of-flow node; none when the node or an ancestor is hidden, the index or a parent
// index is out of range, or nothing is left.
std::optional<Rect> widgetClippedDirtyBounds(WidgetLayoutTree tree, std::size_t index, std::optional<Rect> dirty);

// The union of the focus rings of every input group around the widget with `focusId`, each
// clipped like a dirty rectangle; the widget's own ring is not counted.
std::optional<Rect> inputGroupFocusWithinBounds(WidgetLayoutTree tree, std::optional<std::uint64_t> focusId,
                                                const WidgetTokens& tokens);

// What a change of the render state from `before` to `after` can repaint of node `index`: its
// frame stroke before and after when the stroke width changed, its focus rings and its state
// rectangles before and after, clipped as a dirty rectangle.
std::optional<Rect> widgetStateChangePaintBounds(WidgetLayoutTree tree, std::size_t index, const WidgetTokens& tokens,
                                                 const WidgetRenderState& before, const WidgetRenderState& after);

// What the change can repaint around the widgets it touches: the focus-within rings of the input
// groups around the focused widget and the hovered chart's hover detail, before and after.
std::optional<Rect> renderStateSurroundingsPaintBounds(WidgetLayoutTree tree, const WidgetTokens& tokens,
                                                       const WidgetRenderState& before, const WidgetRenderState& after);

}  // namespace kelvo
