#include "widgets/widget_semantics.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "text/text_metrics.hpp"
#include "widgets/virtual_list.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

constexpr std::string_view writtenName(std::string_view name) {
    return name.ends_with('_') ? name.substr(0, name.size() - 1) : name;
}

constexpr std::array<std::string_view, kWidgetSemanticRoleCount> kRoleNames = {
#define KELVO_WIDGET_ROLE_NAME(name) writtenName(#name),
    KELVO_WIDGET_ROLES(KELVO_WIDGET_ROLE_NAME)
#undef KELVO_WIDGET_ROLE_NAME
};

constexpr std::array<WidgetActionFlag, kWidgetActionCount> kActionFlags = {
    &WidgetActionSet::focus,         &WidgetActionSet::press,     &WidgetActionSet::toggle,
    &WidgetActionSet::increment,     &WidgetActionSet::decrement, &WidgetActionSet::set_text,
    &WidgetActionSet::set_selection, &WidgetActionSet::select,    &WidgetActionSet::drag,
    &WidgetActionSet::drop_files,    &WidgetActionSet::dismiss,
};

constexpr std::array<std::string_view, kWidgetActionCount> kActionNames = {
    "focus",         "press",  "toggle", "increment",  "decrement", "set_text",
    "set_selection", "select", "drag",   "drop_files", "dismiss",
};

bool isTreeItem(const WidgetDescription& widget) {
    return (widget.role & 0x1Fu) == static_cast<unsigned>(WidgetSemanticRole::treeitem);
}

bool canScroll(const WidgetLayoutNode& node) {
    switch (node.widgetKind()) {
        case WidgetKind::scroll_view:
            return true;
        case WidgetKind::virtual_grid:
        case WidgetKind::data_grid:
        case WidgetKind::data_grid_b:
        case WidgetKind::virtual_list:
            return (node.scrollable & 1u) != 0;
        default:
            return false;
    }
}

WidgetSemanticRole roleOfKind(WidgetKind kind) {
    using K = WidgetKind;
    using R = WidgetSemanticRole;
    switch (kind) {
        case K::data_grid:
        case K::data_grid_b:
            return R::grid;
        case K::virtual_list:
            return R::list;
        case K::dialog:
        case K::drawer:
        case K::sheet:
        case K::popover:
            return R::dialog;
        case K::menu:
        case K::menu_b:
            return R::menu;
        case K::text:
        case K::badge:
        case K::status_bar:
            return R::text;
        case K::icon:
        case K::image:
        case K::avatar:
            return R::image;
        case K::button:
        case K::toggle_button:
        case K::icon_button:
        case K::select:
        case K::toggle_button_b:
            return R::button;
        case K::text_field:
        case K::text_field_b:
        case K::search_field:
        case K::combo_box:
        case K::text_area:
            return R::textbox;
        case K::tooltip:
            return R::tooltip;
        case K::menu_item:
            return R::menuitem;
        case K::list_item:
            return R::listitem;
        case K::data_row:
            return R::row;
        case K::data_cell:
            return R::gridcell;
        case K::segmented_control:
            return R::tab;
        case K::checkbox:
            return R::checkbox;
        case K::radio:
            return R::radio;
        case K::switch_:
            return R::switch_;
        case K::slider:
            return R::slider;
        case K::progress_bar:
        case K::spinner:
            return R::progressbar;
        case K::chart:
            return R::chart;
        case K::tree:
            return R::tree;
        case K::split_divider:
            return R::separator;
        case K::separator:
        case K::skeleton:
            return R::none;
        default:
            return R::group;
    }
}

}  // namespace

std::string_view widgetSemanticRoleName(WidgetSemanticRole role) {
    const auto code = static_cast<unsigned>(role);
    return code < kWidgetSemanticRoleCount ? kRoleNames[code] : std::string_view{};
}

std::span<const WidgetActionFlag> widgetActionFlags() { return kActionFlags; }

std::string_view widgetActionName(unsigned index) {
    return index < kWidgetActionCount ? kActionNames[index] : std::string_view{};
}

WidgetSemanticRole widgetSemanticRole(const WidgetDescription& widget) {
    const unsigned role = widget.role & 0x1Fu;
    return role != 0 ? static_cast<WidgetSemanticRole>(role) : roleOfKind(widget.widgetKind());
}

WidgetActionSet defaultSemanticActions(const WidgetDescription& widget) {
    WidgetActionSet actions;
    if (widget.disabled & 1u) return actions;
    const WidgetKind kind = widget.widgetKind();
    actions.focus = (widget.focusable & 1u) != 0 || isTreeItem(widget) || isKeyboardFocusKind(kind);
    const bool hasAction = !widget.action.empty();
    using K = WidgetKind;
    switch (kind) {
        case K::accordion:
        case K::toggle_button:
        case K::checkbox:
        case K::switch_:
        case K::toggle_button_b:
            actions.toggle = 1;
            break;
        case K::resizable_panel:
            actions.drag = 1;
            break;
        case K::dialog:
        case K::drawer:
        case K::sheet:
        case K::popover:
        case K::menu:
        case K::menu_b:
        case K::tooltip:
            actions.dismiss = 1;
            break;
        case K::button:
        case K::icon_button:
        case K::select:
            actions.press = 1;
            break;
        case K::text_field:
        case K::text_field_b:
        case K::search_field:
        case K::text_area:
            actions.set_text = actions.set_selection = 1;
            break;
        case K::combo_box:
            actions.press = actions.set_text = actions.set_selection = 1;
            break;
        case K::menu_item:
            actions.press = actions.select = 1;
            break;
        case K::list_item:
        case K::data_cell:
        case K::segmented_control:
        case K::radio:
            actions.select = 1;
            actions.press |= hasAction;
            break;
        case K::slider:
            actions.increment = actions.decrement = 1;
            break;
        case K::split_divider:
            actions.drag = actions.increment = actions.decrement = 1;
            break;
        default:
            break;
    }
    if (isTreeItem(widget)) {
        actions.select = 1;
        actions.press |= hasAction;
    }
    return actions;
}

WidgetScrollSemantics widgetScrollSemantics(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size() || !canScroll(tree[index])) return {};
    const WidgetLayoutNode& node = tree[index];
    const Rect rect = normalizeRect(node.rect);
    if (!(rect.width - node.insets.left - node.insets.right > 0)) return {};
    const float viewport = widgetScrollViewportExtent(node);
    float content = 0;
    if (node.scrollable & 1u) {
        content = std::max(viewport, virtualWidgetScrollContentExtentWithTokens(node, defaultWidgetTokens(), viewport));
    } else {
        content = widgetDescendantContentExtent(tree, index, viewport, true);
    }
    const float maxOffset = std::max(content - viewport, 0.0f);
    WidgetScrollSemantics semantics;
    semantics.offset = std::clamp(std::isnan(node.value) ? 0.0f : node.value, 0.0f, maxOffset);
    semantics.viewport = viewport;
    semantics.content = content;
    semantics.scrollable = 1;
    semantics.progress = maxOffset > 0 ? semantics.offset / maxOffset : 0.0f;
    semantics.overflows = maxOffset > 0;
    return semantics;
}

std::uint64_t dataGridRowCount(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return 0;
    if (tree[index].row_count) return *tree[index].row_count;
    std::uint64_t rows = 0;
    const std::size_t end = widgetSubtreeEnd(tree, index);
    for (std::size_t i = index + 1; i < end; ++i) {
        rows += widgetParentIndex(tree, i) == index && tree[i].widgetKind() == WidgetKind::data_row;
    }
    return rows;
}

std::optional<WidgetTextRange> widgetTextSelectionRange(const WidgetDescription& widget) {
    const WidgetKind kind = widget.widgetKind();
    if (!widget.selection || !(isTextEntryKind(kind) || kind == WidgetKind::text)) return std::nullopt;
    std::uint64_t start = textCharStart(widget.text, std::min<std::uint64_t>(widget.selection->start, SIZE_MAX));
    std::uint64_t end = textCharStart(widget.text, std::min<std::uint64_t>(widget.selection->end, SIZE_MAX));
    if (end < start) std::swap(start, end);
    return WidgetTextRange{start, end};
}

}  // namespace kelvo
