#pragma once

// The order in which siblings are painted and, reversed, hit: by stacking layer (the node's
// `z_index`, else its kind's token layer), then by node index.

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
// order without a sort buffer: when the children share one layer it steps through them by index,
// otherwise each step scans for the next pair.
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
    bool uniform_ = true;
    std::size_t at_ = 0;  // uniform walks: the next index to look at (descending: one past it)
    std::optional<Key> last_;
};

}  // namespace kelvo
