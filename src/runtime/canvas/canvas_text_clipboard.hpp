#pragma once

// The selected text of canvas text widgets as the clipboard sees it: selection slices, the text a
// copy takes, and pasted text cut to what an entry can take.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "widgets/widget_description.hpp"

namespace kelvo {

struct Runtime;

// The selected text of widget `widgetId` of the view: empty for a disabled widget, one without a
// selection, or one that is not a text entry (nor, unless `editableOnly`, a static text).
std::string_view canvasWidgetSelectionSliceById(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                                bool editableOnly);

// The selected text of a text entry of the view.
std::string_view editableSelectionText(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId);

// What a copy on the view takes: the focused entry's selection when it is not empty, else the
// selection of the static text that owns the view's selection, else nothing.
std::string_view canvasWidgetCopyText(const Runtime& runtime, std::size_t viewIndex);

struct ClampedPasteText {
    std::string_view text;
    bool cut = false;
};

// `pasted` cut to the room the widget has left under the edit limit once its composition (else
// its selection) is replaced, ending on a whole character.
ClampedPasteText clampCanvasWidgetPasteText(const WidgetDescription& widget, std::size_t currentLength,
                                            std::string_view pasted);

}  // namespace kelvo
