#include "text/widget_text_input.hpp"

#include <algorithm>
#include <cmath>

#include "text/text_caret_geometry.hpp"

namespace kelvo {

namespace {

// Whether a search entry's trailing clear-button slot is counted: viewport, hit testing and content
// extent reserve it while the entry holds text; origin, clipping and scroll limits while it is enabled.
enum class SlotRule : std::uint8_t { holds_text, enabled };

constexpr std::uint8_t kSmallControl = 1;
constexpr std::uint8_t kLargeControl = 2;

std::uint8_t sizeCode(const TextInputWidget& widget) { return widget.control_size & 7u; }

bool isTextEntry(std::uint8_t kind) { return kind >= kWidgetKindTextField && kind <= kWidgetKindTextArea; }
bool isSearchEntry(std::uint8_t kind) { return kind == kWidgetKindSearchField || kind == kWidgetKindComboBox; }

// Compact 0.875, regular 1.0, large 1.125; an undefined density reads as regular.
float densityFactor(const TextInputTokens& tokens) {
    switch (tokens.density) {
        case 0:
            return 0.875f;
        case 2:
            return 1.125f;
        default:
            return 1.0f;
    }
}

float sizeAdjusted(const TextInputWidget& widget, const TextInputTokens& tokens, float token) {
    if (sizeCode(widget) == kSmallControl) return std::max(token - tokens.control_size_step, 0.0f);
    if (sizeCode(widget) == kLargeControl) return token + tokens.control_size_step;
    return token;
}

float topInset(const TextInputWidget& widget, const TextInputTokens& tokens) {
    return sizeAdjusted(widget, tokens, tokens.inset_s) * densityFactor(tokens);
}

float centringMargin(const TextInputWidget& widget, const TextInputTokens& tokens) {
    return std::max((normalizeRect(widget.frame).height - textInputLineHeight(widget, tokens)) / 2.0f, 0.0f);
}

float trailingSlot(const TextInputWidget& widget, const TextInputTokens& tokens, SlotRule rule) {
    bool reserved = widget.kind == kWidgetKindComboBox ||
                    (widget.kind == kWidgetKindSearchField &&
                     (rule == SlotRule::holds_text ? !widget.text.empty() : !widget.disabled));
    return reserved ? std::max(textInputTextSize(widget, tokens) - 4.0f, 8.0f) : 0.0f;
}

float textBoxWidth(const TextInputWidget& widget, const TextInputTokens& tokens, SlotRule rule) {
    float width = normalizeRect(widget.frame).width - 2.0f * widgetTextInputInset(widget, tokens) -
                  trailingSlot(widget, tokens, rule);
    return std::max(width, 1.0f);
}

float textWidth(const TextInputWidget& widget, const TextInputTokens& tokens, const TextMeasurer* measurer,
                std::string_view text) {
    return measureTextWidthForFont(measurer, tokens.default_font, text, textInputTextSize(widget, tokens));
}

// The horizontal scroll a single-line text needs.
float horizontalScrollLimit(const TextInputWidget& widget, const TextInputTokens& tokens,
                            const TextMeasurer* measurer) {
    float limit =
        textWidth(widget, tokens, measurer, widget.text) + 1.0f - textBoxWidth(widget, tokens, SlotRule::enabled);
    return std::max(limit, 0.0f);
}

// A scroll offset within [0, limit]; one that is not a number is 0.
float clampScroll(float offset, float limit) {
    if (!std::isfinite(offset)) return 0.0f;
    return std::clamp(offset, 0.0f, std::max(limit, 0.0f));
}

bool wrappedLayout(const TextInputWidget& widget, const TextLayoutBox& options) {
    TextWrap wrap = maskedTextWrap(options.wrap);
    return widget.kind == kWidgetKindTextArea || wrap == TextWrap::word || wrap == TextWrap::character;
}

std::uint64_t lineCount(const TextInputWidget& widget, const TextInputTokens& tokens, const TextLayoutBox& options) {
    TextRun run;
    run.font = tokens.default_font;
    run.text = widget.text;
    run.size = textInputTextSize(widget, tokens);
    TextLineIterator lines(run, options);
    std::uint64_t count = 0;
    while (lines.next()) ++count;
    return count;
}

TextLayoutBox layoutBox(const TextInputWidget& widget, const TextInputTokens& tokens, SlotRule rule) {
    TextLayoutBox box;
    box.measurer = tokens.text_measurer;
    box.max_width = textBoxWidth(widget, tokens, rule);
    box.line_height = textInputLineHeight(widget, tokens);
    box.wrap = textInputIsMultiLine(widget, tokens) ? TextWrap::word : TextWrap::none;
    box.align = TextAlign::start;
    box.no_ellipsis = true;
    return box;
}

}  // namespace

float textInputTextSize(const TextInputWidget& widget, const TextInputTokens& tokens) {
    float base = tokens.font_size_body;
    if (sizeCode(widget) == kSmallControl) return std::max(base - 1.0f, 8.0f);
    if (sizeCode(widget) == kLargeControl) return base + 1.0f;
    return base;
}

float textInputLineHeight(const TextInputWidget& widget, const TextInputTokens& tokens) {
    return textInputTextSize(widget, tokens) * 1.25f;
}

bool textInputIsMultiLine(const TextInputWidget& widget, const TextInputTokens& tokens) {
    return widget.kind == kWidgetKindTextArea ||
           (widget.kind == kWidgetKindTextFieldB &&
            normalizeRect(widget.frame).height >= 2.25f * textInputLineHeight(widget, tokens));
}

float widgetTextInputInset(const TextInputWidget& widget, const TextInputTokens& tokens) {
    float density = densityFactor(tokens);
    float spacing = sizeAdjusted(widget, tokens, tokens.inset_s) * density;
    if (!isSearchEntry(widget.kind)) return spacing;
    static constexpr float kIconBase[] = {7.0f, 8.0f, 9.0f};
    float icon = kIconBase[tokens.density <= 2 ? tokens.density : 1];
    if (sizeCode(widget) == kSmallControl) icon *= 0.875f;
    if (sizeCode(widget) == kLargeControl) icon *= 1.125f;
    float gap = sizeAdjusted(widget, tokens, tokens.inset_m) * density;
    return gap + std::max(icon, textInputTextSize(widget, tokens) - 2.0f) + spacing;
}

TextLayoutBox textInputLayoutBox(const TextInputWidget& widget, const TextInputTokens& tokens) {
    return layoutBox(widget, tokens, SlotRule::enabled);
}

TextRun textInputRun(const TextInputWidget& widget, const TextInputTokens& tokens, const TextLayoutBox& options) {
    Point origin = widgetTextInputOrigin(widget, tokens, options);
    TextRun run;
    run.font = tokens.default_font;
    run.text = widget.text;
    run.layout = options;
    run.has_layout = true;
    run.size = textInputTextSize(widget, tokens);
    run.origin_x = origin.x;
    run.baseline_y = origin.y;
    return run;
}

Point widgetTextInputOrigin(const TextInputWidget& widget, const TextInputTokens& tokens,
                            const TextLayoutBox& options) {
    Rect frame = normalizeRect(widget.frame);
    float size = textInputTextSize(widget, tokens);
    float inset = widgetTextInputInset(widget, tokens);
    Point origin;
    if (!wrappedLayout(widget, options)) {
        float scroll = clampScroll(widget.scroll_offset, horizontalScrollLimit(widget, tokens, options.measurer));
        origin = {frame.x + inset - scroll, frame.y + size + centringMargin(widget, tokens)};
    } else {
        float scroll = clampScroll(widget.scroll_offset, widgetTextInputMaxScrollOffset(widget, tokens, options));
        origin = {frame.x + inset, frame.y + size + topInset(widget, tokens) - scroll};
    }
    float scale = tokens.pixel_scale;
    if (tokens.snap_text && scale > 0.0f && std::isfinite(scale)) origin.x = std::trunc(origin.x * scale) / scale;
    return origin;
}

bool widgetTextInputClipsText(const TextInputWidget& widget, const TextInputTokens& tokens,
                              const TextLayoutBox& options) {
    if (widget.kind == kWidgetKindTextArea) return true;
    std::string_view shown = widget.text;
    if (shown.empty()) shown = widget.placeholder;
    if (shown.empty() && (isSearchEntry(widget.kind) || widget.kind == kWidgetKindSelect)) shown = widget.label;
    return textWidth(widget, tokens, options.measurer, shown) + 1.0f > textBoxWidth(widget, tokens, SlotRule::enabled);
}

float widgetTextInputMaxScrollOffset(const TextInputWidget& widget, const TextInputTokens& tokens,
                                     const TextLayoutBox& options) {
    float margin = wrappedLayout(widget, options) ? topInset(widget, tokens) : centringMargin(widget, tokens);
    float content = textInputLineHeight(widget, tokens) * static_cast<float>(lineCount(widget, tokens, options));
    return std::max(content - (normalizeRect(widget.frame).height - 2.0f * margin), 0.0f);
}

float textInputMaxScrollOffsetForWidget(const TextInputWidget& widget, const TextInputTokens& tokens) {
    return widgetTextInputMaxScrollOffset(widget, tokens, textInputLayoutBox(widget, tokens));
}

std::optional<Rect> textInputViewportForWidget(const TextInputWidget& widget, const TextInputTokens& tokens) {
    if (!isTextEntry(widget.kind) || widget.disabled) return std::nullopt;
    Rect frame = normalizeRect(widget.frame);
    float inset = widgetTextInputInset(widget, tokens);
    float margin = textInputIsMultiLine(widget, tokens) ? topInset(widget, tokens) : centringMargin(widget, tokens);
    return Rect{frame.x + inset, frame.y + margin,
                std::max(frame.width - 2.0f * inset - trailingSlot(widget, tokens, SlotRule::holds_text), 0.0f),
                std::max(frame.height - 2.0f * margin, 0.0f)};
}

float textInputContentExtentForWidget(const TextInputWidget& widget, const TextInputTokens& tokens) {
    if (!isTextEntry(widget.kind)) return 0.0f;
    std::uint64_t lines = 0;
    if (textInputIsMultiLine(widget, tokens)) {
        lines = lineCount(widget, tokens, layoutBox(widget, tokens, SlotRule::holds_text));
    } else {
        lines = 1 + static_cast<std::uint64_t>(std::count(widget.text.begin(), widget.text.end(), '\n'));
    }
    return textInputLineHeight(widget, tokens) * static_cast<float>(lines);
}

std::optional<Rect> textRangeBounds(const TextInputWidget& widget, const TextInputTokens& tokens, std::size_t start,
                                    std::size_t end) {
    TextLayoutBox box = textInputLayoutBox(widget, tokens);
    TextRun run = textInputRun(widget, tokens, box);
    if (textCharStart(widget.text, start) == textCharStart(widget.text, end)) {
        return layoutTextCaretRect(run, box, start);
    }
    // With room for one rectangle, every further line is united into it.
    TextSelectionRect united;
    if (layoutTextSelectionRects(run, box, start, end, {&united, 1}) == 0) return std::nullopt;
    return united.rect;
}

float clampedTextInputHorizontalScrollOffsetForWidget(const TextInputWidget& widget, const TextInputTokens& tokens,
                                                      float offset) {
    if (textInputIsMultiLine(widget, tokens)) return 0.0f;
    return clampScroll(offset, horizontalScrollLimit(widget, tokens, tokens.text_measurer));
}

float textInputCaretVisibleScrollOffsetForWidget(const TextInputWidget& widget, const TextInputTokens& tokens,
                                                 float wanted) {
    float offset = clampedTextInputHorizontalScrollOffsetForWidget(widget, tokens, wanted);
    if (!widget.selection) return offset;
    std::size_t caret = textCharStart(widget.text, widget.selection->focus);
    float before = textWidth(widget, tokens, tokens.text_measurer, widget.text.substr(0, caret));
    float box = textBoxWidth(widget, tokens, SlotRule::enabled);
    float margin = std::min(box * 0.25f, 8.0f);
    if (offset < before + 1.0f + margin - box) offset = before + 1.0f + margin - box;
    if (offset > before - margin) offset = before - margin;
    return clampedTextInputHorizontalScrollOffsetForWidget(widget, tokens, offset);
}

std::optional<std::size_t> textOffsetForWidgetPoint(const TextInputWidget& widget, Point point,
                                                    const TextInputTokens& tokens) {
    if (!isTextEntry(widget.kind) || widget.disabled) return std::nullopt;
    TextLayoutBox box = layoutBox(widget, tokens, SlotRule::holds_text);
    return layoutTextOffsetForPoint(textInputRun(widget, tokens, box), box, point.x, point.y);
}

}  // namespace kelvo
