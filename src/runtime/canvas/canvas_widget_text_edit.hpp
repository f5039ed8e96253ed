#pragma once

// Editing the text entries of a canvas view: one edit request applied to one widget's text state
// inside the view's widget tree, with the view's text store, the caret's scroll position and the
// view's semantics kept in step.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/text_edit.hpp"

namespace kelvo {

struct Runtime;
struct WidgetTreeStorage;

// The index of the node with widget id `widgetId` (not 0) in the view's tree, or none.
std::optional<std::size_t> canvasWidgetNodeIndex(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId);

// Applies `request` to the enabled text entry `widgetId` of the view and answers the area to
// repaint (the widget's dirty bounds before and after, united), or none when the widget is not
// an enabled text entry or the edit changes nothing. A failure changes nothing: the edit's own
// errors (TextEditBufferTooSmall, InvalidTextEncoding), WidgetTextTooLarge when the view's texts
// together would pass the store, and a failed semantics collection (the text state is put back).
Result<std::optional<Rect>> applyCanvasWidgetTextEdit(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                                      const TextEditRequest& request);

// Moves the scroll offset of text entry `nodeIndex` so that its caret shows (see
// textInputCaretScrollOffset); stored only when it changes. Whether it changed.
bool scrollCanvasTextInputCaretIntoView(WidgetTreeStorage& tree, std::size_t nodeIndex);

}  // namespace kelvo
