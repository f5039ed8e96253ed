#pragma once

// Keeping an edited text entry in its view's widget tree: its text spliced into the tree's one
// text store, its state mirrored into the nested description intrinsic sizing reads, and the
// scroll offset that keeps its caret in view.

#include <cstddef>
#include <string_view>

#include "base/error.hpp"
#include "text/widget_text_input.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

// The text-entry geometry's view of a widget (its scroll offset is the widget's value) and of
// the tree's tokens.
TextInputWidget textInputWidgetOf(const WidgetDescription& widget);
TextInputTokens textInputTokensOf(const WidgetTokens& tokens);

// Replaces the text of node `index` by `text`, which must not lie in the storage: the texts after
// it move and every text record pointing at them follows. WidgetTextTooLarge, with nothing
// changed, when the store's texts would pass its capacity.
Status replaceWidgetNodeText(WidgetTreeStorage& storage, std::size_t index, std::string_view text);

// Whether node `index` may hold a text of `size` bytes: the store's texts would stay within its
// capacity.
bool widgetNodeTextFits(const WidgetTreeStorage& storage, std::size_t index, std::size_t size);

// Copies the text, selection, composition and value of node `index` into the nested description
// that stands for it under its parent (a root has none).
void syncWidgetChildDescription(WidgetTreeStorage& storage, std::size_t index);

// The scroll offset that brings the caret (the selection's focus) of a text entry into view:
// single-line entries scroll sideways as the entry geometry keeps the caret visible; multi-line
// ones scroll up or down until the caret stands 2 points inside the viewport, within
// [0, the largest offset]. The current offset when there is no caret.
float textInputCaretScrollOffset(const TextInputWidget& widget, const TextInputTokens& tokens);

}  // namespace kelvo
