#pragma once

// Where the state-dependent parts of the selection controls lie in their frame: the checkbox and
// radio indicator box, the switch track and the slider knob. Drawing and repaint bounds both
// take them from here. Each rectangle is put on device pixels when the tokens snap geometry.

#include "raster/canvas_geometry.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// A square of side min(max(16 x d x s, 0.55 x frame height), 20 x d x s) at the frame's left
// edge, centred vertically.
Rect checkboxIndicatorRect(const WidgetDescription& widget, const WidgetTokens& tokens);

// Width min(frame width, max(44 x d x s, 1.75 x frame height)), height min(frame height,
// 24 x d x s), at the frame's left edge, centred vertically.
Rect toggleWidgetTrackRect(const WidgetDescription& widget, const WidgetTokens& tokens);

// The knob size (scaled, at most the frame) placed along the frame by the value clamped to 0..1,
// kept inside the frame, centred vertically.
Rect sliderWidgetKnobRect(const WidgetDescription& widget, const WidgetTokens& tokens);

}  // namespace kelvo
