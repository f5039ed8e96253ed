#include <algorithm>
#include <array>
#include <cmath>

#include "text/text_metrics.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kNone = SIZE_MAX;

bool isDataGrid(WidgetKind kind) { return kind == WidgetKind::data_grid || kind == WidgetKind::data_grid_b; }

bool isOn(const WidgetDescription& widget) { return (widget.selected & 1u) != 0 || widget.value >= 0.5f; }

// The number of children of `index` (of `kind` only, unless `anyKind`).
std::uint64_t countChildren(WidgetLayoutTree tree, std::size_t index, WidgetKind kind, bool anyKind = false) {
    std::uint64_t count = 0;
    const std::size_t end = widgetSubtreeEnd(tree, index);
    for (std::size_t i = index + 1; i < end; ++i) {
        count += widgetParentIndex(tree, i) == index && (anyKind || tree[i].widgetKind() == kind);
    }
    return count;
}

// The largest number of data cells in one row of the grid at `index`.
std::uint64_t gridColumnCount(WidgetLayoutTree tree, std::size_t index) {
    std::uint64_t columns = 0;
    const std::size_t end = widgetSubtreeEnd(tree, index);
    for (std::size_t i = index + 1; i < end; ++i) {
        if (widgetParentIndex(tree, i) == index && tree[i].widgetKind() == WidgetKind::data_row) {
            columns = std::max(columns, countChildren(tree, i, WidgetKind::data_cell));
        }
    }
    return columns;
}

// What a node tells its children about their place: which kind of container it is, the totals
// known when it was visited, and the running counts of the children seen so far.
struct ChildPlace {
    enum class Container : std::uint8_t { other, data_grid, grid_row, virtual_grid, virtual_list };

    std::size_t parent = kNone;
    Container container = Container::other;
    std::uint64_t row_index = 0;
    std::uint64_t row_count = 0;
    std::uint64_t column_count = 0;
    std::uint64_t item_count = 0;
    // Running counts over the children met so far (hidden ones included, so indices agree with
    // the counts).
    std::uint64_t children = 0;
    std::uint64_t rows = 0;
    std::uint64_t cells = 0;
    std::uint64_t items = 0;
};

// A child's ordinals among its siblings, taken as it is met.
struct Ordinals {
    std::uint64_t child = 0;
    std::uint64_t row = 0;
    std::uint64_t cell = 0;
    std::uint64_t item = 0;
};

std::optional<WidgetTextRange> clampedRange(std::string_view text, std::optional<WidgetTextRange> range) {
    if (!range) return std::nullopt;
    std::uint64_t start = textCharStart(text, static_cast<std::size_t>(range->start));
    std::uint64_t end = textCharStart(text, static_cast<std::size_t>(range->end));
    if (end < start) std::swap(start, end);
    return WidgetTextRange{start, end};
}

std::optional<float> kindNumericValue(const WidgetLayoutNode& node) {
    using K = WidgetKind;
    switch (node.widgetKind()) {
        case K::accordion:
        case K::toggle_button:
        case K::menu_item:
        case K::list_item:
        case K::data_cell:
        case K::segmented_control:
        case K::checkbox:
        case K::radio:
        case K::switch_:
        case K::toggle_button_b:
            return isOn(node) ? 1.0f : 0.0f;
        case K::slider:
        case K::progress_bar:
        case K::split_divider:
            return std::isnan(node.value) ? 0.0f : std::clamp(node.value, 0.0f, 1.0f);
        case K::chart:
            if (!node.chart.series.empty() && !node.chart.series[0].values.empty()) {
                return node.chart.series[0].values.back();
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

void setExpanded(WidgetSemanticsNode& out, const WidgetLayoutNode& node) {
    std::optional<bool> expanded = node.expanded;
    if (!expanded) {
        switch (node.widgetKind()) {
            case WidgetKind::popover:
            case WidgetKind::menu:
            case WidgetKind::menu_b:
                expanded = true;
                break;
            case WidgetKind::accordion:
                expanded = isOn(node);
                break;
            case WidgetKind::select:
            case WidgetKind::combo_box:
                expanded = false;
                break;
            default:
                break;
        }
    }
    out.state.expanded = expanded.value_or(false);
    out.state.expanded_present = expanded.has_value();
}

void setActions(WidgetSemanticsNode& out, const WidgetLayoutNode& node, const WidgetScrollSemantics& scroll) {
    if (node.disabled & 1u) return;
    const WidgetActionSet defaults = defaultSemanticActions(node);
    for (WidgetActionFlag flag : widgetActionFlags()) out.actions.*flag = (node.actions.*flag & 1u) | defaults.*flag;
    if (node.read_only & 1u) out.actions.set_text = 0;
    if (scroll.overflows) out.actions.focus = out.actions.increment = out.actions.decrement = 1;
}

class SemanticsCollector {
public:
    SemanticsCollector(WidgetLayoutTree tree, std::span<WidgetSemanticsNode> out)
        : tree_(tree), out_(out.first(std::min(out.size(), kMaxWidgetSemanticsNodes))) {
        stack_.fill(kNone);
    }

    Result<std::size_t> run() {
        std::size_t skipEnd = 0;
        for (std::size_t i = 0; i < tree_.size(); ++i) {
            const WidgetLayoutNode& node = tree_[i];
            if (node.depth > kMaxWidgetDepth) return fail(Error::WidgetDepthExceeded);
            const std::size_t depth = static_cast<std::size_t>(node.depth);
            const std::optional<std::size_t> parent = widgetParentIndex(tree_, i);
            ChildPlace* place = depth > 0 && parent && places_[depth].parent == *parent ? &places_[depth] : nullptr;
            const Ordinals ordinals = countSibling(place, node);
            if (i < skipEnd) continue;
            if (node.hidden & 1u) {
                skipEnd = widgetSubtreeEnd(tree_, i);
                continue;
            }
            for (std::size_t d = depth; d < stack_.size(); ++d) stack_[d] = kNone;
            places_[depth + 1] = placeFor(i, place, ordinals);
            TRY(publish(i, depth, place, ordinals));
            if (node.widgetKind() == WidgetKind::accordion && widgetAccordionConcealsContent(tree_, i)) {
                skipEnd = widgetSubtreeEnd(tree_, i);
            }
        }
        return count_;
    }

private:
    static Ordinals countSibling(ChildPlace* place, const WidgetLayoutNode& node) {
        if (place == nullptr) return {};
        Ordinals ordinals{place->children++, place->rows, place->cells, place->items};
        switch (node.widgetKind()) {
            case WidgetKind::data_row:
                ++place->rows;
                break;
            case WidgetKind::data_cell:
                ++place->cells;
                break;
            case WidgetKind::list_item:
                ++place->items;
                break;
            default:
                break;
        }
        return ordinals;
    }

    // What node `index` tells its children.
    ChildPlace placeFor(std::size_t index, const ChildPlace* own, const Ordinals& ordinals) const {
        using C = ChildPlace::Container;
        const WidgetLayoutNode& node = tree_[index];
        ChildPlace place;
        place.parent = index;
        const WidgetKind kind = node.widgetKind();
        if (isDataGrid(kind)) {
            place.container = C::data_grid;
            place.row_count = dataGridRowCount(tree_, index);
            place.column_count = gridColumnCount(tree_, index);
        } else if (kind == WidgetKind::data_row && own != nullptr && own->container == C::data_grid) {
            place.container = C::grid_row;
            place.row_index = node.position ? *node.position : ordinals.row;
            place.row_count = own->row_count;
            place.column_count = countChildren(tree_, index, WidgetKind::data_cell);
        } else if (kind == WidgetKind::virtual_grid && widgetSemanticRole(node) == WidgetSemanticRole::grid) {
            place.container = C::virtual_grid;
            const std::uint64_t children = countChildren(tree_, index, kind, true);
            place.column_count = node.columns == 0 || node.columns > children ? children : node.columns;
            place.row_count = node.row_count            ? *node.row_count
                              : place.column_count == 0 ? 0
                                                        : (children + place.column_count - 1) / place.column_count;
        } else if (kind == WidgetKind::virtual_list) {
            place.container = C::virtual_list;
            place.item_count = countChildren(tree_, index, WidgetKind::list_item);
        }
        return place;
    }

    static void setGridPosition(WidgetSemanticsNode& out, const WidgetLayoutNode& node, const ChildPlace* own,
                                const ChildPlace& mine, const Ordinals& ordinals) {
        using C = ChildPlace::Container;
        if (mine.container == C::data_grid || mine.container == C::virtual_grid) {
            out.row_count = mine.row_count;
            out.column_count = mine.column_count;
        }
        if (mine.container == C::grid_row) {
            out.row_index = mine.row_index;
            out.row_count = mine.row_count;
            out.column_count = mine.column_count;
        }
        if (own == nullptr) return;
        if (own->container == C::grid_row && node.widgetKind() == WidgetKind::data_cell) {
            out.row_index = own->row_index;
            out.column_index = ordinals.cell;
            out.row_count = own->row_count;
            out.column_count = own->column_count;
        }
        if (own->container == C::virtual_grid && own->column_count > 0) {
            const std::uint64_t position = node.position ? *node.position : ordinals.child;
            out.row_index = position / own->column_count;
            out.column_index = position % own->column_count;
            out.row_count = own->row_count;
            out.column_count = own->column_count;
        }
        if (own->container == C::virtual_list) {
            if (node.position && node.row_count) {
                out.list_position = WidgetListPosition{*node.position, *node.row_count};
            } else if (node.widgetKind() == WidgetKind::list_item) {
                out.list_position = WidgetListPosition{static_cast<std::uint32_t>(ordinals.item),
                                                       static_cast<std::uint32_t>(own->item_count)};
            }
        }
    }

    Status publish(std::size_t index, std::size_t depth, const ChildPlace* own, const Ordinals& ordinals) {
        const WidgetLayoutNode& node = tree_[index];
        const WidgetSemanticRole role = widgetSemanticRole(node);
        if (role == WidgetSemanticRole::none || node.id == 0) return {};
        if (count_ >= kMaxWidgetSemanticsNodes || count_ >= out_.size()) return fail(Error::WidgetSemanticsListFull);

        WidgetSemanticsNode& out = out_[count_];
        out = WidgetSemanticsNode{};
        out.id = node.id;
        out.role = role;
        out.frame = node.rect;
        for (std::size_t d = depth; d-- > 0;) {
            if (stack_[d] != kNone) {
                out.parent = stack_[d];
                break;
            }
        }
        const WidgetKind kind = node.widgetKind();
        const bool textEntry = isTextEntryKind(kind);
        out.label = node.label.empty() ? node.text : node.label;
        if (textEntry) out.value_text = node.text;
        if (textEntry || kind == WidgetKind::select) out.placeholder = node.placeholder;
        out.selection = widgetTextSelectionRange(node);
        if (textEntry) out.composition = clampedRange(node.text, node.composition);
        setGridPosition(out, node, own, places_[depth + 1], ordinals);

        const WidgetScrollSemantics scroll = widgetScrollSemantics(tree_, index);
        out.scroll_offset = scroll.offset;
        out.scroll_viewport = scroll.viewport;
        out.scroll_content = scroll.content;
        out.scrollable = scroll.scrollable;
        if (scroll.scrollable) {
            out.numeric_value = scroll.progress;
        } else if (node.semantic_value) {
            out.numeric_value = node.semantic_value;
        } else {
            out.numeric_value = kindNumericValue(node);
        }
        out.state = widgetStateBytes(node);
        setExpanded(out, node);
        setActions(out, node, scroll);
        out.focusable =
            !out.state.disabled && (role == WidgetSemanticRole::treeitem || (node.focusable & 1u) ||
                                    (node.actions.focus & 1u) || out.actions.focus || isKeyboardFocusKind(kind));
        stack_[depth] = count_++;
        return {};
    }

    WidgetLayoutTree tree_;
    std::span<WidgetSemanticsNode> out_;
    std::size_t count_ = 0;
    // The semantics node of the nearest published node at each depth on the current path.
    std::array<std::size_t, kMaxWidgetDepth + 1> stack_{};
    // places_[d]: what the node at depth d - 1 on the current path tells its children.
    std::array<ChildPlace, kMaxWidgetDepth + 2> places_{};
};

}  // namespace

Result<std::size_t> collectSemantics(WidgetLayoutTree tree, std::span<WidgetSemanticsNode> out) {
    return SemanticsCollector(tree, out).run();
}

}  // namespace kelvo
