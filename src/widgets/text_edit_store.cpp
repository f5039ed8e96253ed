#include "widgets/text_edit_store.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kelvo {

namespace {

constexpr float kCaretScrollMargin = 2.0f;

// Every text record of the storage.
template <class Visit>
void forEachStoredText(WidgetTreeStorage& storage, Visit&& visit) {
    auto visitWidget = [&](WidgetDescription& widget) {
        for (std::string_view* text :
             {&widget.label, &widget.text, &widget.placeholder, &widget.icon, &widget.action}) {
            visit(*text);
        }
    };
    for (std::size_t i = 0; i < storage.node_count; ++i) visitWidget(storage.nodes[i]);
    for (std::size_t i = 0; i < storage.node_count; ++i) visitWidget(storage.child_descriptions[i]);
    for (std::size_t i = 0; i < storage.chart_series_count; ++i) visit(storage.chart_series[i].name);
    for (std::size_t i = 0; i < storage.chart_label_count; ++i) visit(storage.chart_labels[i]);
    for (std::size_t i = 0; i < storage.context_menu_item_count; ++i) visit(storage.context_menu_items[i].label);
    for (std::size_t i = 0; i < storage.text_span_count; ++i) visit(storage.text_spans[i].text);
}

// Where node `index`'s text lies in the store, [start, end). Installed texts all lie in the store;
// one that does not is treated as empty at its end.
std::pair<std::size_t, std::size_t> storedTextSpan(const WidgetTreeStorage& storage, std::size_t index) {
    const char* const store = storage.text.data();
    const std::size_t length = storage.text_length;
    const std::string_view text = storage.nodes[index].text;
    if (text.data() >= store && text.data() + text.size() <= store + length) {
        const auto start = static_cast<std::size_t>(text.data() - store);
        return {start, start + text.size()};
    }
    return {length, length};
}

}  // namespace

TextInputWidget textInputWidgetOf(const WidgetDescription& widget) {
    TextInputWidget input;
    input.kind = static_cast<std::uint8_t>(widget.widgetKind());
    input.control_size = widget.size;
    input.disabled = (widget.disabled & 1u) != 0;
    input.frame = widget.frame;
    input.scroll_offset = widget.value;
    input.text = widget.text;
    input.placeholder = widget.placeholder;
    input.label = widget.label;
    if (widget.selection) input.selection = TextSelection{widget.selection->start, widget.selection->end};
    return input;
}

TextInputTokens textInputTokensOf(const WidgetTokens& tokens) {
    TextInputTokens input;
    input.text_measurer = tokens.text_measurer;
    input.default_font = tokens.default_font;
    input.font_size_body = tokens.font_size_body;
    input.inset_s = tokens.inset_s;
    input.inset_m = tokens.inset_m;
    input.control_size_step = tokens.control_size_step;
    input.density = tokens.density;
    input.snap_text = tokens.snap_text;
    input.pixel_scale = tokens.pixel_scale;
    return input;
}

bool widgetNodeTextFits(const WidgetTreeStorage& storage, std::size_t index, std::size_t size) {
    const auto [start, end] = storedTextSpan(storage, index);
    return storage.text_length - (end - start) + size <= storage.text.size();
}

Status replaceWidgetNodeText(WidgetTreeStorage& storage, std::size_t index, std::string_view text) {
    char* const store = storage.text.data();
    const std::size_t length = storage.text_length;
    WidgetLayoutNode& node = storage.nodes[index];
    // Plain names, not bindings: the lambda below captures them, and clang 14 captures no binding.
    const std::pair<std::size_t, std::size_t> span = storedTextSpan(storage, index);
    const std::size_t oldStart = span.first;
    const std::size_t oldEnd = span.second;
    const std::size_t newLength = length - (oldEnd - oldStart) + text.size();
    if (newLength > storage.text.size()) return fail(Error::WidgetTextTooLarge);

    const std::size_t newEnd = oldStart + text.size();
    if (oldEnd < length) std::memmove(store + newEnd, store + oldEnd, length - oldEnd);
    if (!text.empty()) std::memcpy(store + oldStart, text.data(), text.size());
    // Records at or after the old end move with the bytes they point at; the ones before stay.
    forEachStoredText(storage, [&](std::string_view& record) {
        if (&record == &node.text) return;
        if (record.data() >= store + oldEnd && record.data() <= store + length) {
            record = std::string_view(store + newEnd + (record.data() - (store + oldEnd)), record.size());
        }
    });
    node.text = std::string_view(store + oldStart, text.size());
    storage.text_length = static_cast<std::uint32_t>(newLength);
    syncWidgetChildDescription(storage, index);
    return {};
}

void syncWidgetChildDescription(WidgetTreeStorage& storage, std::size_t index) {
    const WidgetLayoutNode& node = storage.nodes[index];
    if ((node.has_parent & 1u) == 0 || node.parent >= index) return;
    std::size_t rank = 0;
    for (std::size_t i = node.parent + 1; i < index; ++i) {
        if ((storage.nodes[i].has_parent & 1u) != 0 && storage.nodes[i].parent == node.parent) ++rank;
    }
    const WidgetLayoutNode& parent = storage.nodes[node.parent];
    if (parent.children == nullptr || rank >= parent.child_count) return;
    auto& copy =
        storage
            .child_descriptions[static_cast<std::size_t>(parent.children - storage.child_descriptions.data()) + rank];
    copy.text = node.text;
    copy.selection = node.selection;
    copy.composition = node.composition;
    copy.value = node.value;
}

float textInputCaretScrollOffset(const TextInputWidget& widget, const TextInputTokens& tokens) {
    if (!widget.selection) return widget.scroll_offset;
    if (!textInputIsMultiLine(widget, tokens)) {
        return textInputCaretVisibleScrollOffsetForWidget(widget, tokens, widget.scroll_offset);
    }
    const std::optional<Rect> viewport = textInputViewportForWidget(widget, tokens);
    const std::size_t caret = textCharStart(widget.text, widget.selection->focus);
    const std::optional<Rect> caretRect = textRangeBounds(widget, tokens, caret, caret);
    if (!viewport || !caretRect) return widget.scroll_offset;
    const float maximum = textInputMaxScrollOffsetForWidget(widget, tokens);
    float offset = std::clamp(widget.scroll_offset, 0.0f, maximum);
    const Rect caretBox = normalizeRect(*caretRect);
    if (caretBox.y < viewport->y) {
        offset -= viewport->y + kCaretScrollMargin - caretBox.y;
    } else if (caretBox.y + caretBox.height > viewport->y + viewport->height) {
        offset += caretBox.y + caretBox.height - (viewport->y + viewport->height) + kCaretScrollMargin;
    }
    return std::clamp(offset, 0.0f, maximum);
}

}  // namespace kelvo
