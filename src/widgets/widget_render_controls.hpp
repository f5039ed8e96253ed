#pragma once

// The emitters of the interactive controls: text entries and their text pieces (selection,
// selected glyphs, composition underline, caret), focus rings, vector icons, buttons, selection
// controls (checkbox, radio, switch, slider, progress bar, segmented control), selects, list and
// menu items, tooltips and the chrome of data cells. Each takes the record the renderer prepared
// (frame = the snapped laid-out rectangle; hovered, pressed and focused from the render state) and
// appends commands under the widget's command ids.

#include <cstddef>
#include <cstdint>

#include "text/text_layout.hpp"
#include "widgets/vector_icons.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// Command-id parts of the text entries beyond the common ones (background 1, border 2).
namespace text_field_parts {
inline constexpr unsigned kSelection = 3;      // first rectangle; the text when no range is carried
inline constexpr unsigned kTextWithRange = 4;  // the text when a selection or composition is carried
inline constexpr unsigned kComposition = 5;    // first underline; further ones 10, 11, 12
inline constexpr unsigned kCaret = 6;
inline constexpr unsigned kFocusRing = 7;
inline constexpr unsigned kTextClip = 8;
inline constexpr unsigned kMoreSelection = 13;  // 13, 14, 15
inline constexpr unsigned kMoreComposition = 10;
}  // namespace text_field_parts

namespace search_field_parts {
inline constexpr unsigned kSearchIconBase = 3;  // its stroke takes part 4
inline constexpr unsigned kClearIconBase = 5;   // its stroke takes part 6
inline constexpr unsigned kTextClip = 7;
inline constexpr unsigned kSelection = 8;
inline constexpr unsigned kText = 9;
inline constexpr unsigned kComposition = 10;
inline constexpr unsigned kCaret = 11;
inline constexpr unsigned kChevronBase = 12;  // its stroke takes part 13
inline constexpr unsigned kFocusRing = 14;
}  // namespace search_field_parts

// Text entries and input groups.
Status emitTextFieldWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitSearchFieldWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
// `widget.focused` means focus within the group.
Status emitInputGroupWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);

// A focus ring of `focus_ring_width` around `rect` grown by `focus_ring_offset` (radii grown alike).
Status emitWidgetFocusRingForRect(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                                  unsigned part, Rect rect, CornerRadii radii);

// Draws `icon` centred and uniformly scaled into `rect` between a transform and its inverse. Path
// i fills under part base + 2i and strokes under base + 2i + 1; a built-in icon is one stroked path
// and so takes only part base + 1. Nothing for an empty rectangle.
Status emitVectorIcon(WidgetRenderTarget& out, std::uint64_t widgetId, unsigned partBase, Rect rect, Color color,
                      const VectorIcon& icon);

// The pieces of edited text, over the run and layout box the control draws its text with.
struct WidgetTextPieces {
    std::uint64_t widget_id = 0;
    TextRun run;
    TextLayoutBox options;
};
Status emitWidgetTextSelectionRects(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTextPieces& text, std::size_t anchor, std::size_t focus,
                                    unsigned firstPart, unsigned morePart, std::size_t capacity,
                                    const WidgetTokens& tokens);
Status emitWidgetTextSelectedGlyphs(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTextPieces& text, std::size_t anchor, std::size_t focus,
                                    std::size_t capacity, const WidgetTokens& tokens);
Status emitWidgetTextCompositionLines(WidgetRenderTarget& out, const WidgetDescription& widget,
                                      const WidgetTextPieces& text, std::size_t start, std::size_t end,
                                      unsigned firstPart, unsigned morePart, std::size_t capacity,
                                      const WidgetTokens& tokens);
Status emitWidgetTextCaret(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTextPieces& text,
                           std::size_t offset, unsigned part, const WidgetTokens& tokens);

// Hash seeds of the selected-glyph families: the clip (seed 0, over the widget id and the
// rectangle's index) and the text drawn inside it.
inline constexpr std::uint64_t kSelectedGlyphClipSeed = 0;
inline constexpr std::uint64_t kSelectedGlyphTextSeed = 0x53454c54;

// Buttons and selection controls.
Status emitButtonWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitIconButtonWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitButtonBorder(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                        CornerRadii radii);
Status emitCheckboxWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitRadioWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitToggleWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitControlLabelWithColor(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                                 unsigned part, Color color, float left);
Status emitSliderWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitProgressWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitSegmentedControlWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);

// Selects, items, tooltips and data cells.
Status emitSelectWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitListItemWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitMenuItemWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitTooltipWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitDataCellWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);

}  // namespace kelvo
