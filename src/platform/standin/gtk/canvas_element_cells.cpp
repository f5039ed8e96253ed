// The value of a canvas view's element (its number within its range, and the number as text) and
// its place in a grid or a list as a table cell: its row (a list item's place in its list) and
// its column, one row and one column wide.

#include "platform/standin/gtk/canvas_element.hpp"

namespace kelvo::standin {

namespace {

// The caller owns the text. The AT-SPI bridge (at-spi2-atk 2.46) asks for it also where it wants only
// the number and then leaves it unfreed: a few bytes each time the value is read.
void valueAndText(AtkValue* object, gdouble* current, gchar** text) {
    const ElementData& d = elementDataOf(object);
    if (current != nullptr) *current = d.value ? d.value->value : 0;
    if (text != nullptr) *text = d.valueText.empty() ? nullptr : g_strdup(d.valueText.c_str());
}

// The caller frees the range. Every element that offers a value has one.
AtkRange* valueRange(AtkValue* object) {
    const ElementData& d = elementDataOf(object);
    const ElementRange range = d.value.value_or(ElementRange{});
    return atk_range_new(range.minimum, range.maximum, nullptr);
}

gboolean cellPosition(AtkTableCell* object, gint* row, gint* column) {
    const ElementData& d = elementDataOf(object);
    if (row != nullptr) *row = static_cast<gint>(d.row.value_or(0));
    if (column != nullptr) *column = static_cast<gint>(d.column.value_or(0));
    return TRUE;
}

gint oneWide(AtkTableCell*) { return 1; }

gboolean cellSpans(AtkTableCell* object, gint* row, gint* column, gint* rowSpan, gint* columnSpan) {
    if (rowSpan != nullptr) *rowSpan = 1;
    if (columnSpan != nullptr) *columnSpan = 1;
    return cellPosition(object, row, column);
}

// The elements are published without their headers.
GPtrArray* noHeaders(AtkTableCell*) { return g_ptr_array_new(); }

}  // namespace

void elementValueInit(AtkValueIface* iface) {
    iface->get_value_and_text = valueAndText;
    iface->get_range = valueRange;
}

void elementTableCellInit(AtkTableCellIface* iface) {
    iface->get_position = cellPosition;
    iface->get_row_column_span = cellSpans;
    iface->get_row_span = oneWide;
    iface->get_column_span = oneWide;
    iface->get_column_header_cells = noHeaders;
    iface->get_row_header_cells = noHeaders;
}

}  // namespace kelvo::standin
