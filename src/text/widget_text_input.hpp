#pragma once

// The geometry of text-entry widgets (text fields, search fields, combo boxes, text areas), shared
// by rendering, pointer hit testing and editing with scroll-into-view: the text size of a control,
// its insets and trailing slot, the text origin after scrolling, the viewport, content extent and
// scroll limits, and the text offset under a view point.

#include <cstdint>
#include <optional>
#include <string_view>

#include "raster/canvas_geometry.hpp"
#include "text/text_layout.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

// The widget kind codes read here.
inline constexpr std::uint8_t kWidgetKindSelect = 34;
inline constexpr std::uint8_t kWidgetKindTextField = 35;
inline constexpr std::uint8_t kWidgetKindTextFieldB = 36;
inline constexpr std::uint8_t kWidgetKindSearchField = 37;
inline constexpr std::uint8_t kWidgetKindComboBox = 38;
inline constexpr std::uint8_t kWidgetKindTextArea = 39;

// A text selection in byte offsets; the focus is where the caret stands.
struct TextSelection {
    std::uint64_t anchor = 0;
    std::uint64_t focus = 0;
};

// The fields of a text-entry widget that its geometry reads.
struct TextInputWidget {
    std::uint8_t kind = kWidgetKindTextField;
    std::uint8_t control_size = 0;  // low 3 bits: 1 small, 2 large, other values regular
    bool disabled = false;
    Rect frame;
    float scroll_offset = 0;  // horizontal for single-line kinds, vertical for a text area
    std::string_view text;
    std::string_view placeholder;
    std::string_view label;
    std::optional<TextSelection> selection;
};

// The design tokens that text-entry geometry reads.
struct TextInputTokens {
    const TextMeasurer* text_measurer = nullptr;
    std::uint64_t default_font = kFontRegular;
    float font_size_body = 14;
    float inset_s = 8;
    float inset_m = 12;
    float control_size_step = 2;
    std::uint8_t density = 1;  // 0 compact, 1 regular, 2 large
    bool snap_text = false;
    float pixel_scale = 1;
};

// Text size of the control: the body size, one less for small controls (at least 8), one more for large.
float textInputTextSize(const TextInputWidget& widget, const TextInputTokens& tokens);
// 1.25 x the text size.
float textInputLineHeight(const TextInputWidget& widget, const TextInputTokens& tokens);
// A text area, or a text_field_b at least 2.25 line heights tall: wrapped, scrolled vertically.
bool textInputIsMultiLine(const TextInputWidget& widget, const TextInputTokens& tokens);

// The inset on each side of the text (search entries: including the leading search icon).
float widgetTextInputInset(const TextInputWidget& widget, const TextInputTokens& tokens);

// The layout box the control's text is laid out with: the text box width, 1.25 x text size, word
// wrap for multi-line controls, no ellipsis.
TextLayoutBox textInputLayoutBox(const TextInputWidget& widget, const TextInputTokens& tokens);

// The text run of the edited text at the text origin.
TextRun textInputRun(const TextInputWidget& widget, const TextInputTokens& tokens, const TextLayoutBox& options);

// Where the text run starts after scrolling (its first baseline).
Point widgetTextInputOrigin(const TextInputWidget& widget, const TextInputTokens& tokens, const TextLayoutBox& options);

// Whether drawing the text needs a clip to the text box.
bool widgetTextInputClipsText(const TextInputWidget& widget, const TextInputTokens& tokens,
                              const TextLayoutBox& options);

// The largest vertical scroll offset for the text laid out with `options`.
float widgetTextInputMaxScrollOffset(const TextInputWidget& widget, const TextInputTokens& tokens,
                                     const TextLayoutBox& options);
float textInputMaxScrollOffsetForWidget(const TextInputWidget& widget, const TextInputTokens& tokens);

// The part of an enabled input's frame that shows text; none for disabled widgets and other kinds.
std::optional<Rect> textInputViewportForWidget(const TextInputWidget& widget, const TextInputTokens& tokens);

// The height of the laid-out text; 0 for other kinds.
float textInputContentExtentForWidget(const TextInputWidget& widget, const TextInputTokens& tokens);

// The caret rectangle of an empty range, else the union of the selection rectangles of [start, end).
std::optional<Rect> textRangeBounds(const TextInputWidget& widget, const TextInputTokens& tokens, std::size_t start,
                                    std::size_t end);

// A horizontal scroll offset clamped to what the text needs (0 for multi-line controls).
float clampedTextInputHorizontalScrollOffsetForWidget(const TextInputWidget& widget, const TextInputTokens& tokens,
                                                      float offset);

// The horizontal scroll offset, nearest to `wanted`, that keeps the caret in view.
float textInputCaretVisibleScrollOffsetForWidget(const TextInputWidget& widget, const TextInputTokens& tokens,
                                                 float wanted);

// The text offset under a view point of an enabled text entry; none otherwise.
std::optional<std::size_t> textOffsetForWidgetPoint(const TextInputWidget& widget, Point point,
                                                    const TextInputTokens& tokens);

}  // namespace kelvo
