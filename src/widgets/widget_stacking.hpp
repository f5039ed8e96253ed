#pragma once

// The order in which siblings are painted and, reversed, hit: by stacking layer (the node's
// `z_index`, else its kind's token layer), then by node index.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// The node's `z_index` when present; else `z_overlay` for popovers and menus, `z_tooltip` for
// tooltips and `z_base` for everything else.
std::int32_t widgetStackingLayer(const WidgetLayoutNode& node, const WidgetTokens& tokens);

// Walks the children of a parent (none: the roots) in ascending or descending (layer, index)
// order. Up to 64 children are sorted once in a small buffer; beyond that, children that share
// one layer are stepped through by index, and otherwise each step scans for the next pair.
class WidgetStackingCursor {
public:
    WidgetStackingCursor(WidgetLayoutTree tree, std::optional<std::size_t> parent, const WidgetTokens& tokens,
                         bool descending);

    // The next child's index, or none when all have been visited.
    std::optional<std::size_t> next();

private:
    struct Key {
        std::int64_t layer = 0;
        std::size_t index = 0;
    };

    bool isChild(std::size_t index) const;
    Key keyOf(std::size_t index) const;
    // Whether `candidate` comes after `than` in the walk's order.
    bool after(const Key& candidate, const Key& than) const;

    WidgetLayoutTree tree_;
    std::optional<std::size_t> parent_;
    const WidgetTokens& tokens_;
    bool descending_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    static constexpr std::size_t kBufferedChildren = 64;
    std::array<std::uint32_t, kBufferedChildren> buffer_;  // [0, buffered_) in use
    std::size_t buffered_ = 0;
    bool overflowed_ = false;
    bool uniform_ = true;
    std::size_t at_ = 0;  // the next buffer slot or, unbuffered and uniform, tree index (descending: one past)
    std::optional<Key> last_;
};

}  // namespace kelvo
