#pragma once

// What a view's widgets mean to assistive technology and automation: one semantics node per
// widget with an id and a role, with its name, value, text selection, grid or list position,
// numeric value, scroll state, frame, states and supported actions. Texts are borrowed from the
// tree: a collected list is valid until the tree changes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "widgets/widget_description.hpp"

namespace kelvo {

#define KELVO_WIDGET_ROLES(X) \
    X(none)                   \
    X(group)                  \
    X(text)                   \
    X(link)                   \
    X(image)                  \
    X(button)                 \
    X(textbox)                \
    X(tooltip)                \
    X(dialog)                 \
    X(menu)                   \
    X(menuitem)               \
    X(list)                   \
    X(listitem)               \
    X(row)                    \
    X(grid)                   \
    X(gridcell)               \
    X(tab)                    \
    X(checkbox)               \
    X(radio)                  \
    X(switch_)                \
    X(slider)                 \
    X(progressbar)            \
    X(chart)                  \
    X(tree)                   \
    X(treeitem)               \
    X(separator)

// Stored in 5 bits; 26 to 31 name no role.
enum class WidgetSemanticRole : std::uint8_t {
#define KELVO_WIDGET_ROLE_ENUM(name) name,
    KELVO_WIDGET_ROLES(KELVO_WIDGET_ROLE_ENUM)
#undef KELVO_WIDGET_ROLE_ENUM
};

inline constexpr unsigned kWidgetSemanticRoleCount = 26;
static_assert(static_cast<unsigned>(WidgetSemanticRole::separator) + 1 == kWidgetSemanticRoleCount);
static_assert(static_cast<unsigned>(WidgetSemanticRole::link) == 3 &&
              static_cast<unsigned>(WidgetSemanticRole::treeitem) == 24);

// The role as written ("switch" for the switch); empty for codes past 25.
std::string_view widgetSemanticRoleName(WidgetSemanticRole role);

inline constexpr unsigned kWidgetActionCount = 11;
using WidgetActionFlag = std::uint8_t WidgetActionSet::*;
// The action flags in record order, and the written name of each.
std::span<const WidgetActionFlag> widgetActionFlags();
std::string_view widgetActionName(unsigned index);

inline constexpr std::size_t kMaxWidgetSemanticsNodes = 1024;

struct WidgetListPosition {
    std::uint32_t index = 0;
    std::uint32_t count = 0;
};

struct WidgetSemanticsNode {
    std::uint64_t id = 0;
    std::string_view label;
    std::string_view value_text;
    std::string_view placeholder;
    std::optional<std::uint64_t> row_index;
    std::optional<std::uint64_t> column_index;
    std::optional<std::uint64_t> row_count;
    std::optional<std::uint64_t> column_count;
    std::optional<WidgetTextRange> selection;    // into the value text
    std::optional<WidgetTextRange> composition;  // into the value text
    std::optional<std::uint64_t> parent;         // index into the same list
    std::optional<float> numeric_value;
    std::optional<WidgetListPosition> list_position;
    float scroll_offset = 0;
    float scroll_viewport = 0;
    float scroll_content = 0;
    std::uint8_t scrollable = 0;
    Rect frame;
    WidgetSemanticRole role = WidgetSemanticRole::none;
    WidgetStateBytes state;  // expanded also by kind (popovers and menus open, selects closed)
    std::uint8_t focusable = 0;
    WidgetActionSet actions;
};

struct WidgetScrollSemantics {
    float offset = 0;
    float viewport = 0;
    float content = 0;
    std::uint8_t scrollable = 0;
    std::optional<float> progress;  // offset / maximum offset; 0 when the content fits
    std::uint8_t overflows = 0;     // the content is longer than the viewport
};

// The node's role: its own role byte when set, else its kind's.
WidgetSemanticRole widgetSemanticRole(const WidgetDescription& widget);

// The actions a widget supports by its kind and flags; none while it is disabled.
WidgetActionSet defaultSemanticActions(const WidgetDescription& widget);

// A scroll view always scrolls, a virtual grid, data grid or virtual list when `scrollable` is set,
// and only while its content area has a positive width. Virtual extents are measured with the
// default tokens, so every view publishes the same value for the same tree.
WidgetScrollSemantics widgetScrollSemantics(WidgetLayoutTree tree, std::size_t index);

// A data grid's `row_count`, else the number of its `data_row` children.
std::uint64_t dataGridRowCount(WidgetLayoutTree tree, std::size_t index);

// The selection of a text entry or a `text`: both ends clamped to the text, ordered, and moved
// back to the start of the character each lies in (an end at the text's end stays there).
std::optional<WidgetTextRange> widgetTextSelectionRange(const WidgetDescription& widget);

// Fills `out` (at most 1,024 nodes) from the tree in node order and returns the count.
// WidgetDepthExceeded for a node deeper than 31, WidgetSemanticsListFull when a node does not fit;
// `out` then holds a partial list the caller must not publish.
Result<std::size_t> collectSemantics(WidgetLayoutTree tree, std::span<WidgetSemanticsNode> out);

}  // namespace kelvo
