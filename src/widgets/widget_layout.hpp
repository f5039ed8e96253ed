#pragma once

// Intrinsic sizing: how large a widget wants to be under the view's tokens, from its description
// and, recursively, its child descriptions. Pure: it reads the description and the tokens and
// measures text through the tokens' text measurer. Every rule is fixed per widget kind.

#include <cstdint>

#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// Children are measured only below this depth; at it a container answers as if it had none.
inline constexpr std::uint64_t kIntrinsicSizeDepthLimit = 32;

// The size a widget wants at `depth` (0 at the top).
WidgetSize intrinsicWidgetSizeDepth(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth);

// The text of a widget at `fontSize`: rich-text spans (at most 32) for a `text` or `data_cell`
// that has them, else `text` in the default font; the height is one line.
WidgetSize intrinsicTextWidgetSize(float fontSize, const WidgetDescription& widget, const WidgetTokens& tokens);

// The per-kind rules; each takes the widget, the tokens and its depth like the function above.
// Containers lay their in-flow children along an axis (0 horizontal, 1 vertical), over each
// other, or in a grid.
WidgetSize intrinsicAxisChildrenSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth,
                                     int axis);
WidgetSize intrinsicOverlayChildrenSize(const WidgetDescription& widget, const WidgetTokens& tokens,
                                        std::uint64_t depth);
WidgetSize intrinsicGridChildrenSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth);
WidgetSize intrinsicAccordionWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens,
                                        std::uint64_t depth);
WidgetSize intrinsicCardWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth);
WidgetSize intrinsicAlertWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth);
// Dialogs, drawers and sheets.
WidgetSize intrinsicModalSurfaceSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth);

WidgetSize intrinsicButtonWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens);
WidgetSize intrinsicToggleWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens);
WidgetSize intrinsicCheckboxWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens);
WidgetSize intrinsicSegmentedControlSize(const WidgetDescription& widget, const WidgetTokens& tokens);
WidgetSize intrinsicStatusBarWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens);
WidgetSize intrinsicBadgeWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens);
// Items: their text at the body size between two M insets, with room for an icon.
WidgetSize intrinsicRowTextWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens);
// A text at `fontSize` between two horizontal insets, at least a control high (tooltips).
WidgetSize intrinsicPaddedTextWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens, float fontSize,
                                         float horizontalInset);

// The size a parent counts for one child: its intrinsic size one level deeper, raised to its
// frame, lowered to its maximum where that is positive and raised to its minimum.
WidgetSize clampedChildWidgetSize(const WidgetDescription& child, const WidgetTokens& tokens, std::uint64_t depth);

}  // namespace kelvo
