#pragma once

// The tree text format that tests, goldens and the canvas lab share. One thing a line; blank lines
// and lines starting with '#' are skipped:
//
//   tokens density=0 palette.accent=#2563ebff block.button_v1.corner_radius=4
//   column id=1 rect=0,0,320,200
//     button id=2 rect=8,8,120,32 text="Save" variant=1
//     chart id=3 rect=8,48,300,140 chart_grid_count=4
//       @series kind=0 color=7 name="Sales" values=1,2,3.5
//       @category text="Jan"
//       @menu_item label="Copy" enabled=1 separator=0
//     text id=4 rect=8,192,300,20
//       @span text="Bold " weight=bold scale=1.25 color=7
//       @span text="code" monospace=1 underline=1
//
// A node line is a kind (its name, or its code 0 to 63) and fields, indented two spaces per depth
// level below the node before it at most one level deeper. Record lines (@series, @category,
// @menu_item, @span) belong to the node just above them, one level in, before that node's children.
// Token lines name a token field, `palette.<entry>` or `block.<block>.<field>`. Values: numbers
// (nan, inf and -inf included), comma-separated lists without spaces, texts in double quotes with
// the escapes \" \\ \n \t \r \xHH, colours as #rrggbb, #rrggbbaa or r,g,b,a, and action sets as
// comma-separated names. Fields left out keep their defaults; a node's frame defaults to its rect.

#include <cstdint>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/error.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

// Parses tree text into `out`, which serves as the builder (nodes, texts, records and tokens; the
// child description arrays stay empty until the tree is installed). InvalidWidgetTreeText for text
// that does not follow the format, or the capacity errors of the tree storage; `errorLine`
// receives the 1-based line of the failure.
Status parseWidgetTreeText(std::string_view text, WidgetTreeStorage& out, std::uint32_t* errorLine = nullptr);

// Writes a tree and the tokens that differ from the defaults; false when the output did not fit.
bool writeWidgetTreeText(BoundedWriter& out, WidgetLayoutTree tree, const WidgetTokens& tokens);

// Applies one token assignment ("name=value").
Status applyWidgetTokenAssignment(std::string_view assignment, WidgetTokens& tokens);

// Writes one "tokens name=value" line per token field: every field, or only those that differ
// from the default record.
void writeWidgetTokenLines(BoundedWriter& out, const WidgetTokens& tokens, bool everyField);

}  // namespace kelvo
