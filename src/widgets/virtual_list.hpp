#pragma once

// Which items of a virtualised list are realised for a scroll position, and the scrollable
// content extent of a virtual list, grid or scroll view.

#include <cstddef>
#include <cstdint>

#include "widgets/widget_description.hpp"

namespace kelvo {

struct VirtualListInput {
    std::uint64_t count = 0;
    std::uint64_t overscan = 0;
    float item_extent = 0;
    float gap = 0;
    float viewport = 0;
    float offset = 0;
};

struct VirtualListRange {
    std::uint64_t start = 0;  // first realised item (overscan included)
    std::uint64_t stop = 0;   // one past the last realised item
    std::uint64_t first_visible = 0;
    std::uint64_t last_visible = 0;
    float item = 0;
    float gap = 0;
    float clamped_offset = 0;     // the offset clamped to the scrollable range
    float overscroll_offset = 0;  // the offset clamped to [-viewport, max(content, viewport)]
    float content = 0;            // count items and the gaps between them
    float leading_spacer = 0;     // stride × start
    float trailing_spacer = 0;    // stride × (count − stop)
    std::uint32_t reserved = 0;
};

// All zero when there are no items, or the item extent or the viewport is not positive. An offset
// that is not finite counts as 0.
VirtualListRange virtualListRange(const VirtualListInput& input);

// The content extent a virtual container scrolls over: its explicit content extent, else the
// content of its items (realised children, or the virtual count) measured from its item extent or
// its first child (row of children for a grid). A child without a positive frame height counts
// with its intrinsic height.
float virtualWidgetScrollContentExtentWithTokens(const WidgetDescription& widget, const WidgetTokens& tokens,
                                                 float viewport);

// The extent a scroll container shows: its laid-out height less its top and bottom insets, at
// least 0.
float widgetScrollViewportExtent(const WidgetLayoutNode& node);

// How far the descendants of node `index` reach below its content top (its top plus its top
// inset, within its height), each taken as laid out plus the container's scroll offset; at least
// `viewport`. With `passOverAccordionContent` the content of nested accordions is not read (their
// own rectangles still count).
float widgetDescendantContentExtent(WidgetLayoutTree tree, std::size_t index, float viewport,
                                    bool passOverAccordionContent);

// The content extent of the scroll container at `index`, which bounds its scroll offset: for
// virtualised content (the `scrollable` flag) at least the viewport and the virtual extent above,
// otherwise how far its descendants reach. 0 for an index out of range.
float virtualWidgetScrollContentExtentWithTokens(WidgetLayoutTree tree, const WidgetTokens& tokens, std::size_t index);

}  // namespace kelvo
