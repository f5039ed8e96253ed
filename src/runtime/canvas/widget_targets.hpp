#pragma once

// Aiming at a canvas widget the way a person would: whether a pointer can reach it at all, and
// the point a finger would touch (the indicator of a checkbox or radio, the track of a switch,
// else the middle of the widget). Automation's pointer commands and the drag and file-drop
// actions all aim through here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

struct Runtime;

// Why a widget cannot be aimed at: no such widget (id 0, or no node has it); hidden, cut off by
// scrolling or clipping, disabled or not taking the pointer; or a frame without area.
enum class WidgetTargetRefusal : std::uint8_t { unknown, not_interactive, empty_bounds };

struct CanvasWidgetTarget {
    std::size_t index = 0;  // of the first node with the id, in layout order
    Rect frame;             // its laid-out frame, negative sides folded
};

// The pointer checks of widget `widgetId` in `tree`, in order: it exists; neither it nor an
// ancestor is hidden, it is enabled and it takes the pointer; its frame has area; its frame can
// be seen through the scrolling and clipping above it.
tl::expected<CanvasWidgetTarget, WidgetTargetRefusal> canvasWidgetPointerTarget(WidgetLayoutTree tree,
                                                                                std::uint64_t widgetId);
// The same as an error: InvalidCommand for every refusal.
Result<CanvasWidgetTarget> canvasWidgetPointerTargetChecked(WidgetLayoutTree tree, std::uint64_t widgetId);

// Where a pointer aims inside `node` (its frame folded into `frame`): the indicator square of a
// checkbox or radio, the track of a switch (both at the frame's left edge, centred vertically,
// sized by the density and the widget's size class, snapped to device pixels when the tokens
// snap geometry), else the whole frame.
Rect canvasWidgetAimRect(const WidgetLayoutNode& node, Rect frame, const WidgetTokens& tokens);
Point canvasWidgetAimPoint(const WidgetLayoutNode& node, Rect frame, const WidgetTokens& tokens);

// The index of the first open GPU canvas view labelled exactly `label` whose window is open.
// InvalidViewOptions for an empty label, ViewLabelTooLarge past 64 bytes, ViewNotFound for none
// (a web view's label included).
Result<std::size_t> canvasViewIndexByLabel(const Runtime& runtime, std::string_view label);

}  // namespace kelvo
