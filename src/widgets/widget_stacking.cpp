#include "widgets/widget_stacking.hpp"

#include <cstdint>

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
    // Children follow their parent within its subtree (the nodes after it that stand deeper);
    // roots may stand anywhere.
    std::uint64_t parentDepth = 0;
    if (parent_) {
        begin_ = *parent_ + 1;
        if (*parent_ >= tree_.size()) begin_ = tree_.size();
        if (*parent_ < tree_.size()) parentDepth = tree_[*parent_].depth;
    }
    std::optional<std::int32_t> layer;
    std::size_t i = begin_;
    for (; i < tree_.size() && (!parent_ || tree_[i].depth > parentDepth); ++i) {
        if (!isChild(i)) continue;
        const std::int32_t own = widgetStackingLayer(tree_[i], tokens_);
        uniform_ = uniform_ && (!layer || *layer == own);
        layer = own;
        if (buffered_ == buffer_.size() || i > UINT32_MAX) {
            overflowed_ = true;
        } else {
            buffer_[buffered_++] = static_cast<std::uint32_t>(i);
        }
    }
    end_ = i;
    if (!overflowed_) {
        // Ascending (layer, index) by insertion: the children come in index order, so only those
        // of differing layers move. A descending walk reads the buffer backwards.
        for (std::size_t i = 1; i < buffered_; ++i) {
            const std::uint32_t child = buffer_[i];
            const std::int32_t layer = widgetStackingLayer(tree_[child], tokens_);
            std::size_t j = i;
            for (; j > 0 && layer < widgetStackingLayer(tree_[buffer_[j - 1]], tokens_); --j)
                buffer_[j] = buffer_[j - 1];
            buffer_[j] = child;
        }
        at_ = descending_ ? buffered_ : 0;
    } else {
        at_ = descending_ ? end_ : begin_;
    }
}

bool WidgetStackingCursor::isChild(std::size_t index) const {
    const WidgetLayoutNode& node = tree_[index];
    // Only nodes after the parent are looked at, so a matching index is a usable parent link.
    if (!parent_) return (node.has_parent & 1u) == 0;
    return (node.has_parent & 1u) != 0 && node.parent == *parent_;
}

WidgetStackingCursor::Key WidgetStackingCursor::keyOf(std::size_t index) const {
    return {widgetStackingLayer(tree_[index], tokens_), index};
}

bool WidgetStackingCursor::after(const Key& candidate, const Key& than) const {
    if (candidate.layer != than.layer) return descending_ ? candidate.layer < than.layer : candidate.layer > than.layer;
    return descending_ ? candidate.index < than.index : candidate.index > than.index;
}

std::optional<std::size_t> WidgetStackingCursor::next() {
    if (!overflowed_) {
        if (descending_) return at_ > 0 ? std::optional<std::size_t>(buffer_[--at_]) : std::nullopt;
        return at_ < buffered_ ? std::optional<std::size_t>(buffer_[at_++]) : std::nullopt;
    }
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
