// The text of a canvas view's element, as assistive technology reads and edits it: the whole text,
// its characters, words and lines at, before and after an offset, the caret and the one
// selection, the character under a point and where a character stands (the characters taken as
// spread evenly over the element). Setting the text or the selection goes to the view's sink as
// the element's set_value and set_selection actions (ranges there count UTF-16 units); the runtime
// edits the widget and publishes the element anew.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "base/utf16_offsets.hpp"
#include "base/utf8.hpp"
#include "platform/standin/element_text.hpp"
#include "platform/standin/element_text_units.hpp"
#include "platform/standin/gtk/canvas_element.hpp"

namespace kelvo::standin {

namespace {

// Offsets as assistive technology gives them: below 0 or past the end stand for the end.
std::uint64_t clampedOffset(const ElementData& d, gint offset) {
    return offset < 0 ? d.characters : std::min<std::uint64_t>(static_cast<std::uint64_t>(offset), d.characters);
}

std::string_view slice(const ElementData& d, std::uint64_t start, std::uint64_t end) {
    const std::size_t from = byteOffsetOfCharacter(d.text, start);
    const std::size_t to = byteOffsetOfCharacter(d.text, end);
    return std::string_view(d.text).substr(from, to - from);
}

gchar* copied(std::string_view text) { return g_strndup(text.data(), text.size()); }

bool hasSelection(const ElementData& d) { return d.selection && d.selection->first != d.selection->second; }

// Characters [start, end) become the element's selection.
gboolean selectCharacters(const ElementData& d, std::uint64_t start, std::uint64_t end) {
    if (!d.enabled || !d.selectionSettable) return FALSE;
    if (start > end) std::swap(start, end);
    ElementAction action{ElementActionKind::set_selection};
    action.location = utf16LengthOfPrefix(d.text, start);
    action.length = utf16LengthOfPrefix(d.text, end) - action.location;
    deliverElementAction(d, action);
    return TRUE;
}

gboolean replaceText(const ElementData& d, std::string_view text) {
    if (!d.enabled || !d.valueSettable) return FALSE;
    ElementAction action{ElementActionKind::set_value};
    action.text = text;
    deliverElementAction(d, action);
    return TRUE;
}

gchar* getText(AtkText* object, gint start, gint end) {
    const ElementData& d = elementDataOf(object);
    const std::uint64_t from = std::max<gint>(start, 0);
    const std::uint64_t to = clampedOffset(d, end);
    return copied(from < to ? slice(d, from, to) : std::string_view{});
}

gint countCharacters(AtkText* object) { return static_cast<gint>(elementDataOf(object).characters); }

gunichar characterAt(AtkText* object, gint offset) {
    const ElementData& d = elementDataOf(object);
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= d.characters) return 0;
    return utf8CodePointAt(d.text, byteOffsetOfCharacter(d.text, static_cast<std::uint64_t>(offset))).value;
}

// The stretch of `unit` at, before or after `offset`, with its place; none for an offset outside
// the text.
gchar* stretchText(AtkText* object, std::optional<ElementTextUnit> unit, ElementTextPlace place, gint offset,
                   gint* start, gint* end) {
    const ElementData& d = elementDataOf(object);
    *start = *end = 0;
    if (!unit || offset < 0 || static_cast<std::uint64_t>(offset) > d.characters) return nullptr;
    const ElementTextStretch stretch = elementTextStretch(d.text, *unit, place, static_cast<std::uint64_t>(offset));
    *start = static_cast<gint>(stretch.start);
    *end = static_cast<gint>(stretch.end);
    return copied(slice(d, stretch.start, stretch.end));
}

// Sentences are not known here.
std::optional<ElementTextUnit> unitOf(AtkTextBoundary boundary) {
    switch (boundary) {
        case ATK_TEXT_BOUNDARY_CHAR:
            return ElementTextUnit::character;
        case ATK_TEXT_BOUNDARY_WORD_START:
            return ElementTextUnit::word_start;
        case ATK_TEXT_BOUNDARY_WORD_END:
            return ElementTextUnit::word_end;
        case ATK_TEXT_BOUNDARY_LINE_START:
            return ElementTextUnit::line_start;
        case ATK_TEXT_BOUNDARY_LINE_END:
            return ElementTextUnit::line_end;
        default:
            return std::nullopt;
    }
}

// A word runs to the start of the next, a line or a paragraph (the same here) to the start of the
// next line.
std::optional<ElementTextUnit> unitOf(AtkTextGranularity granularity) {
    switch (granularity) {
        case ATK_TEXT_GRANULARITY_CHAR:
            return ElementTextUnit::character;
        case ATK_TEXT_GRANULARITY_WORD:
            return ElementTextUnit::word_start;
        case ATK_TEXT_GRANULARITY_LINE:
        case ATK_TEXT_GRANULARITY_PARAGRAPH:
            return ElementTextUnit::line_start;
        default:
            return std::nullopt;
    }
}

gchar* stringAt(AtkText* object, gint offset, AtkTextGranularity granularity, gint* start, gint* end) {
    return stretchText(object, unitOf(granularity), ElementTextPlace::at, offset, start, end);
}

gchar* textAt(AtkText* object, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
    return stretchText(object, unitOf(boundary), ElementTextPlace::at, offset, start, end);
}

gchar* textBefore(AtkText* object, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
    return stretchText(object, unitOf(boundary), ElementTextPlace::before, offset, start, end);
}

gchar* textAfter(AtkText* object, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
    return stretchText(object, unitOf(boundary), ElementTextPlace::after, offset, start, end);
}

gint caretOffset(AtkText* object) {
    const ElementData& d = elementDataOf(object);
    return d.caret ? static_cast<gint>(*d.caret) : -1;
}

gboolean setCaretOffset(AtkText* object, gint offset) {
    const ElementData& d = elementDataOf(object);
    const std::uint64_t at = clampedOffset(d, offset);
    return selectCharacters(d, at, at);
}

gint selectionCount(AtkText* object) { return hasSelection(elementDataOf(object)) ? 1 : 0; }

gchar* getSelection(AtkText* object, gint n, gint* start, gint* end) {
    const ElementData& d = elementDataOf(object);
    *start = *end = 0;
    if (n != 0 || !hasSelection(d)) return nullptr;
    *start = static_cast<gint>(d.selection->first);
    *end = static_cast<gint>(d.selection->second);
    return copied(slice(d, d.selection->first, d.selection->second));
}

gboolean setSelection(AtkText* object, gint n, gint start, gint end) {
    const ElementData& d = elementDataOf(object);
    if (n != 0) return FALSE;
    return selectCharacters(d, clampedOffset(d, std::max<gint>(start, 0)), clampedOffset(d, end));
}

// There is one selection at most: adding one where there is none sets it.
gboolean addSelection(AtkText* object, gint start, gint end) {
    if (hasSelection(elementDataOf(object))) return FALSE;
    return setSelection(object, 0, start, end);
}

// The selection goes, the caret stays where it ends.
gboolean removeSelection(AtkText* object, gint n) {
    const ElementData& d = elementDataOf(object);
    if (n != 0 || !hasSelection(d)) return FALSE;
    const std::uint64_t at = d.caret.value_or(d.selection->second);
    return selectCharacters(d, at, at);
}

gint offsetAtPoint(AtkText* object, gint x, gint y, AtkCoordType coords) {
    const ElementData& d = elementDataOf(object);
    gint originX = 0;
    gint originY = 0;
    canvasOriginOf(ATK_OBJECT(object), coords, &originX, &originY);
    const double viewX = static_cast<double>(x) - originX;
    const double viewY = static_cast<double>(y) - originY;
    const RectD& f = d.frame;
    if (viewX < f.x || viewX >= f.x + f.width || viewY < f.y || viewY >= f.y + f.height) return -1;
    return static_cast<gint>(elementCharacterIndexAt(f, d.characters, viewX));
}

void characterExtents(AtkText* object, gint offset, gint* x, gint* y, gint* width, gint* height, AtkCoordType coords) {
    const ElementData& d = elementDataOf(object);
    gint originX = 0;
    gint originY = 0;
    canvasOriginOf(ATK_OBJECT(object), coords, &originX, &originY);
    const std::uint64_t at = clampedOffset(d, std::max<gint>(offset, 0));
    const RectD r = elementCharacterRangeRect(d.frame, d.characters, at, 1);
    if (x != nullptr) *x = originX + static_cast<gint>(r.x);
    if (y != nullptr) *y = originY + static_cast<gint>(r.y);
    if (width != nullptr) *width = static_cast<gint>(r.width);
    if (height != nullptr) *height = static_cast<gint>(r.height);
}

void setTextContents(AtkEditableText* object, const gchar* text) {
    replaceText(elementDataOf(object), text != nullptr ? std::string_view(text) : std::string_view{});
}

// A refused insertion leaves `position` alone; an accepted one moves it past the inserted text,
// where that went in (an offset past the end inserts at the end).
void insertText(AtkEditableText* object, const gchar* text, gint length, gint* position) {
    const ElementData& d = elementDataOf(object);
    if (text == nullptr || position == nullptr) return;
    const std::string_view inserted(
        text, length < 0 ? std::char_traits<char>::length(text) : static_cast<std::size_t>(length));
    if (!isValidUtf8(inserted)) return;
    const std::uint64_t at = clampedOffset(d, std::max<gint>(*position, 0));
    const std::size_t byte = byteOffsetOfCharacter(d.text, at);
    const std::string result = d.text.substr(0, byte) + std::string(inserted) + d.text.substr(byte);
    if (!replaceText(d, result)) return;
    *position = static_cast<gint>(std::min<std::uint64_t>(at + characterCount(inserted), G_MAXINT));
}

void deleteText(AtkEditableText* object, gint start, gint end) {
    const ElementData& d = elementDataOf(object);
    const std::uint64_t from = clampedOffset(d, std::max<gint>(start, 0));
    const std::uint64_t to = clampedOffset(d, end);
    if (from >= to) return;
    const std::size_t a = byteOffsetOfCharacter(d.text, from);
    const std::size_t b = byteOffsetOfCharacter(d.text, to);
    replaceText(d, d.text.substr(0, a) + d.text.substr(b));
}

}  // namespace

void elementTextInit(AtkTextIface* iface) {
    iface->get_text = getText;
    iface->get_character_count = countCharacters;
    iface->get_character_at_offset = characterAt;
    iface->get_string_at_offset = stringAt;
    iface->get_text_at_offset = textAt;
    iface->get_text_before_offset = textBefore;
    iface->get_text_after_offset = textAfter;
    iface->get_caret_offset = caretOffset;
    iface->set_caret_offset = setCaretOffset;
    iface->get_n_selections = selectionCount;
    iface->get_selection = getSelection;
    iface->set_selection = setSelection;
    iface->add_selection = addSelection;
    iface->remove_selection = removeSelection;
    iface->get_offset_at_point = offsetAtPoint;
    iface->get_character_extents = characterExtents;
}

void elementEditableTextInit(AtkEditableTextIface* iface) {
    iface->set_text_contents = setTextContents;
    iface->insert_text = insertText;
    iface->delete_text = deleteText;
}

}  // namespace kelvo::standin
