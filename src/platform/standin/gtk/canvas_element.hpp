#pragma once

// Private to the GTK accessibility of canvas views: what one element of a canvas view holds, and
// the interfaces an element implements beside its component and its actions (text, editable text,
// value, table cell), each in a file of its own. Texts are UTF-8; text offsets here count
// characters, as assistive technology counts them over the accessibility bus.

#include <atk/atk.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct GtkState;

struct ElementData {
    GtkState* state = nullptr;
    std::uint64_t viewNumber = 0;
    std::uint64_t widgetId = 0;
    RectD frame{};
    std::vector<std::pair<const char*, ElementActionKind>> actions;
    bool enabled = true;
    bool focused = false;
    bool selected = false;
    std::optional<bool> expanded;
    bool required = false;
    bool canFocus = false;
    bool valueSettable = false;
    bool selectionSettable = false;
    int index = 0;
    // The value assistive technology reads (only widgets whose number is a value have one), and
    // that value as text.
    std::optional<ElementRange> value;
    std::string valueText;
    // Text.
    std::string text;
    std::uint64_t characters = 0;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> selection;  // start, end
    std::optional<std::uint64_t> caret;
    std::string placeholder;
    // Place in a grid or a list.
    std::optional<std::uint64_t> row;
    std::optional<std::uint64_t> column;
};

ElementData& elementDataOf(gpointer element);

// Hands the action to the view's element sink from a main-loop task, unless the view is gone by
// then. The action's text is copied.
void deliverElementAction(const ElementData& data, const ElementAction& action);

// Where the canvas view's top-left corner lies in `coords` (the view is the element's parent).
void canvasOriginOf(AtkObject* element, AtkCoordType coords, gint* x, gint* y);

void elementTextInit(AtkTextIface* iface);
void elementEditableTextInit(AtkEditableTextIface* iface);
void elementValueInit(AtkValueIface* iface);
void elementTableCellInit(AtkTableCellIface* iface);

}  // namespace kelvo::standin
