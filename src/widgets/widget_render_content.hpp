#pragma once

// The emitters of content widgets: plain and rich text with its static selection, icons, images,
// avatars, badges, status bars, data rows and cells, separators, skeletons, spinners, split
// dividers and the row separators of data grids.

#include <cstddef>
#include <cstdint>

#include "widgets/widget_description.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// Hash seeds of the repeated command families of texts: static selection rectangles and, per
// rich-text run, its background, text, underline and strike-through.
inline constexpr std::uint64_t kStaticSelectionSeed = 0x53454c52;
inline constexpr std::uint64_t kSpanBackgroundSeed = 0x5350424b;
inline constexpr std::uint64_t kSpanTextSeed = 0x53505458;
inline constexpr std::uint64_t kSpanUnderlineSeed = 0x5350554c;
inline constexpr std::uint64_t kSpanStrikeSeed = 0x53505354;

// Part of the grid row separators' clip (the grid's own content clip takes part 9).
inline constexpr unsigned kTableRowSeparatorClipPart = 10;

// The content box of a widget: its frame less its insets (sizes at least 0).
Rect widgetContentBox(const WidgetDescription& widget);

Status emitTextWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
// Rich text laid out in the content box: selection, span backgrounds, runs and decorations.
Status emitTextSpansWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitStaticTextSelection(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitIconWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitImageWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitAvatarWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitBadgeWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitStatusBarWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitDataRowWidgetWash(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitDataCellContent(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitSeparatorWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitSkeletonWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitSpinnerWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitSplitDividerWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
// Rules between the visible data rows of the grid at `gridIndex` (not after the last), inside a
// clip to the grid's frame when `clip` is set.
Status emitTableRowSeparatorsLayout(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t gridIndex,
                                    const WidgetTokens& tokens, bool clip, const WidgetDescription& grid);

}  // namespace kelvo
