#include "widgets/widget_stacking.hpp"

#include "widgets/widget_tree.hpp"

namespace kelvo {

std::int32_t widgetStackingLayer(const WidgetLayoutNode& node, const WidgetTokens& tokens) {
    if (node.z_index) return *node.z_index;
    switch (node.widgetKind()) {
        case WidgetKind::popover:
        case WidgetKind::menu:
        case WidgetKind::menu_b:
            return tokens.z_overlay;
        case WidgetKind::tooltip:
            return tokens.z_tooltip;
        default:
            return tokens.z_base;
    }
}

WidgetStackingCursor::WidgetStackingCursor(WidgetLayoutTree tree, std::optional<std::size_t> parent,
                                           const WidgetTokens& tokens, bool descending)
    : tree_(tree), parent_(parent), tokens_(tokens), descending_(descending) {
    // Children follow their parent within its subtree; roots may stand anywhere.
    if (parent_) {
        begin_ = *parent_ + 1;
        end_ = *parent_ < tree_.size() ? widgetSubtreeEnd(tree_, *parent_) : begin_;
    } else {
        end_ = tree_.size();
    }
    std::optional<std::int32_t> layer;
    for (std::size_t i = begin_; i < end_ && uniform_; ++i) {
        if (!isChild(i)) continue;
        const std::int32_t own = widgetStackingLayer(tree_[i], tokens_);
        uniform_ = !layer || *layer == own;
        layer = own;
    }
    at_ = descending_ ? end_ : begin_;
}

bool WidgetStackingCursor::isChild(std::size_t index) const {
    if (!parent_) return (tree_[index].has_parent & 1u) == 0;
    return widgetParentIndex(tree_, index) == parent_;
}

WidgetStackingCursor::Key WidgetStackingCursor::keyOf(std::size_t index) const {
    return {widgetStackingLayer(tree_[index], tokens_), index};
}

bool WidgetStackingCursor::after(const Key& candidate, const Key& than) const {
    if (candidate.layer != than.layer) return descending_ ? candidate.layer < than.layer : candidate.layer > than.layer;
    return descending_ ? candidate.index < than.index : candidate.index > than.index;
}

std::optional<std::size_t> WidgetStackingCursor::next() {
    if (uniform_) {
        if (descending_) {
            while (at_ > begin_) {
                if (isChild(--at_)) return at_;
            }
        } else {
            while (at_ < end_) {
                if (isChild(at_++)) return at_ - 1;
            }
        }
        return std::nullopt;
    }
    // The first pair after the last one visited, in the walk's order.
    std::optional<Key> best;
    for (std::size_t i = begin_; i < end_; ++i) {
        if (!isChild(i)) continue;
        const Key key = keyOf(i);
        if (last_ && !after(key, *last_)) continue;
        if (!best || after(*best, key)) best = key;
    }
    if (!best) return std::nullopt;
    last_ = best;
    return best->index;
}

}  // namespace kelvo
