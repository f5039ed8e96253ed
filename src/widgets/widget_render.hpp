#pragma once

// The widget renderer: turns a laid-out widget tree into display-list commands. One node is drawn
// with its effects (opacity, transform, backdrop blur), its kind's commands and its children;
// siblings are drawn in stacking order; containers clip and scroll views draw a scrollbar. Every
// command of a widget carries the widget's id x 16 + a part fixed per emitter, so ids stay stable
// from one refresh to the next; repeated families (text runs, selection rectangles, chart elements)
// carry hashed keys instead. Pure: nothing is kept between calls but the per-thread scratch.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "widgets/widget_description.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// The position code of a child among its attached siblings: none, first, last, middle.
inline constexpr int kSiblingAlone = 0;
inline constexpr int kSiblingFirst = 1;
inline constexpr int kSiblingLast = -1;
inline constexpr int kSiblingMiddle = -2;

// The whole tree as a refresh draws it: the per-thread scratch emptied, the scrim viewport set to
// the union of the root rectangles, the roots in stacking order, then every out-of-flow node that
// is visible and not concealed by a closed accordion, in index order (overlays on top), then the
// hovered chart's hover detail.
Status emitWidgetTree(WidgetRenderTarget& out, WidgetLayoutTree tree, const WidgetTokens& tokens,
                      const WidgetRenderState& state);

// One node and its subtree. A hidden node, a node of opacity 0 (or not a number) and a node whose
// transform cannot be inverted (|determinant| at or below 1e-6) draw nothing, children included.
Status emitWidgetLayoutNode(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t index,
                            const WidgetTokens& tokens, const WidgetRenderState& state, int siblingPosition);

// The children of `parent` (none: the roots) in ascending (stacking value, index) order; out-of-flow
// children keep their place in the order but are left for the tree emission to draw on top.
Status emitWidgetLayoutChildren(WidgetRenderTarget& out, WidgetLayoutTree tree, std::optional<std::size_t> parent,
                                const WidgetTokens& tokens, const WidgetRenderState& state);

// The children inside the node's content clip when it clips them.
Status emitWidgetLayoutClippedChildren(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t index,
                                       const WidgetTokens& tokens, const WidgetRenderState& state,
                                       const WidgetDescription& record);

// The children of a scrolling container inside its clip, then its scrollbar unless the platform
// draws it.
Status emitWidgetLayoutScrollableChildren(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t index,
                                          const WidgetTokens& tokens, const WidgetRenderState& state,
                                          const WidgetDescription& record);

// The clip of a node's content (part 9): its frame with the corner radius of its kind.
PushClipCommand widgetContentClip(const WidgetDescription& record, const WidgetTokens& tokens);

// Whether a node below `index` carries the baked focused flag.
bool layoutSubtreeHasBakedFocus(WidgetLayoutTree tree, std::size_t index);
// Whether the first node with the focus-visible id is `index` or lies below it.
bool layoutSubtreeHasFocusVisible(WidgetLayoutTree tree, std::size_t index, std::optional<std::uint64_t> focusVisible);

// The description an emitter draws: the frame set to the snapped laid-out rectangle, hovered,
// pressed and focused taken from the render state (the ring follows the focus-visible widget), the
// sibling position code stored, and for an input group focus within it in place of focused.
WidgetDescription prepareWidgetRenderRecord(WidgetLayoutTree tree, std::size_t index, const WidgetTokens& tokens,
                                            const WidgetRenderState& state, int siblingPosition);

// A vertical scrollbar at the right edge of the viewport: track (part 2) and thumb (part 3).
Status emitScrollViewScrollbar(WidgetRenderTarget& out, Rect viewport, const WidgetScrollSemantics& scroll,
                               const WidgetTokens& tokens, std::uint64_t widgetId);

}  // namespace kelvo
