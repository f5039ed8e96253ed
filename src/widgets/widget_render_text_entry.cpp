// Text fields, search fields and combo boxes, input groups, and the pieces of edited text they
// share: selection highlight, re-coloured selected glyphs, composition underline and caret.

#include <algorithm>
#include <array>
#include <optional>

#include "text/text_caret_geometry.hpp"
#include "text/text_window.hpp"
#include "text/widget_text_input.hpp"
#include "widgets/text_edit_store.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr std::size_t kMaxTextPieceRects = 4;

// A byte range clamped to the text, each end moved back to the start of its character.
struct ClampedRange {
    std::size_t start = 0;
    std::size_t end = 0;
    [[nodiscard]] bool empty() const { return start == end; }
};
ClampedRange clampedRange(std::string_view text, const WidgetTextRange& range) {
    return {textCharStart(text, range.start), textCharStart(text, range.end)};
}

struct EntryFrame {
    ControlVisualTokens block;
    float radius = 0;
};

EntryFrame entryFrameStyle(const WidgetDescription& widget, const WidgetTokens& tokens) {
    EntryFrame style;
    style.block = textEntryControlVisualTokens(widget.widgetKind(), tokens);
    style.radius = controlCornerRadius(widget, style.block.corner_radius, tokens.radius_small);
    return style;
}

Color entryBackground(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    if (isSet(widget.disabled)) return firstOf(block.disabled_fill, palette(tokens, PaletteColor::control_disabled));
    if (widget.fill_override) return *widget.fill_override;
    if (isSet(widget.hovered) && !isSet(widget.no_hover) && block.hover_fill) return *block.hover_fill;
    return firstOf(block.fill, palette(tokens, PaletteColor::control));
}

float entryBorderWidth(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    return std::max(firstOf(widget.stroke_override, block.border_width, tokens.control_border_width), 0.0f);
}

// Background (part 1) and border (part 2) of a text entry or an input group.
Status emitEntryFrame(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                      const EntryFrame& style) {
    const CornerRadii radii = uniformRadii(style.radius);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), widget.frame, radii,
                              entryBackground(widget, tokens, style.block)));
    const Color border =
        firstOf(widget.border_color_override, style.block.border, palette(tokens, PaletteColor::border));
    return appendStrokeRect(out, widgetCommandId(widget.id, 2), widget.frame, radii, border,
                            entryBorderWidth(widget, tokens, style.block), tokens);
}

Color inkColor(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    if (isSet(widget.disabled)) return palette(tokens, PaletteColor::text_muted);
    return firstOf(widget.text_color_override, block.foreground, palette(tokens, PaletteColor::text));
}

// The parts a text entry draws its text pieces under.
struct EntryTextParts {
    unsigned clip = 0;
    unsigned selection = 0;
    unsigned more_selection = 0;
    unsigned text = 0;  // 0: by the text field's rule
    unsigned composition = 0;
    unsigned more_composition = 0;
    unsigned caret = 0;
    std::size_t capacity = 0;
    bool search = false;
};

// The text box a clipped entry draws into: the frame less the text inset at each side and, for a
// multi-line entry, less its top inset above and below (a single line keeps the frame's height so
// that descenders stay visible).
Rect entryTextClip(const WidgetDescription& widget, const TextInputWidget& input, const TextInputTokens& inputTokens,
                   const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    const float inset = widgetTextInputInset(input, inputTokens);
    const float vertical = textInputIsMultiLine(input, inputTokens) ? sizedInset(tokens.inset_s, widget, tokens) : 0;
    return {frame.x + inset, frame.y + vertical, std::max(frame.width - 2 * inset, 0.0f),
            std::max(frame.height - 2 * vertical, 0.0f)};
}

// The part of the shown text that the entry draws: the lines its text box shows (and one more
// on each side) when the text is clipped to the box, else all of it.
TextWindow shownWindow(const TextRun& shown, const TextLayoutBox& box, std::optional<Rect> clip) {
    if (!clip) return {0, shown.text.size(), shown.baseline_y};
    return textWindowForBand(shown, box, clip->y, clip->y + clip->height);
}

// A range of the text within the window, in the window's offsets; empty (at the window's start)
// when the range lies outside it.
ClampedRange windowedRange(ClampedRange range, const TextWindow& window) {
    const auto inside = [&](std::size_t offset) { return std::clamp(offset, window.start, window.end) - window.start; };
    return {inside(std::min(range.start, range.end)), inside(std::max(range.start, range.end))};
}

bool inWindow(std::size_t offset, const TextWindow& window) { return offset >= window.start && offset <= window.end; }

// Steps 6 to 12 of a text entry: clip, selection, text, selected glyphs, composition, caret. A
// clipped text is drawn from the lines its box shows: the text, the pieces on it and the caret
// lie where the whole text puts them, and a text of any length costs the frame only those lines.
Status emitEntryText(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                     const EntryFrame& style, const EntryTextParts& parts) {
    const TextInputWidget input = textInputWidgetOf(widget);
    const TextInputTokens inputTokens = textInputTokensOf(tokens);
    const TextLayoutBox box = textInputLayoutBox(input, inputTokens);
    const float size = textInputTextSize(input, inputTokens);
    const Point origin = snapTextOrigin(widgetTextInputOrigin(input, inputTokens, box), tokens);

    std::string_view shown = widget.text;
    const bool edited = !shown.empty();
    if (!edited) shown = widget.placeholder;
    if (shown.empty() && parts.search) shown = widget.label;

    TextRun shownRun;
    shownRun.font = tokens.default_font;
    shownRun.text = shown;
    shownRun.layout = box;
    shownRun.has_layout = true;
    shownRun.size = size;
    shownRun.origin_x = origin.x;
    shownRun.baseline_y = origin.y;

    std::optional<Rect> clip;
    if (widgetTextInputClipsText(input, inputTokens, box)) clip = entryTextClip(widget, input, inputTokens, tokens);
    const TextWindow window = shownWindow(shownRun, box, clip);
    shownRun.text = shown.substr(window.start, window.end - window.start);
    shownRun.baseline_y = window.baseline;

    // The pieces belong to the edited text: windowed with it, or the empty text at the origin.
    WidgetTextPieces pieces;
    pieces.widget_id = widget.id;
    pieces.run = shownRun;
    pieces.options = box;
    const TextWindow editedWindow = edited ? window : TextWindow{0, 0, origin.y};
    if (!edited) {
        pieces.run.text = widget.text;
        pieces.run.baseline_y = origin.y;
    }

    if (clip) TRY(appendPushClip(out, widgetCommandId(widget.id, parts.clip), *clip, uniformRadii(style.radius)));
    std::optional<ClampedRange> selection;
    std::optional<ClampedRange> shownSelection;
    if (widget.selection) {
        selection = clampedRange(widget.text, *widget.selection);
        shownSelection = windowedRange(*selection, editedWindow);
    }
    if (selection && !selection->empty() && !shownSelection->empty()) {
        TRY(emitWidgetTextSelectionRects(out, widget, pieces, shownSelection->start, shownSelection->end,
                                         parts.selection, parts.more_selection, parts.capacity, tokens));
    }

    if (!shown.empty()) {
        unsigned part = parts.text;
        if (part == 0) {
            part = widget.selection || widget.composition ? text_field_parts::kTextWithRange
                                                          : text_field_parts::kSelection;
        }
        Color color = inkColor(widget, tokens, style.block);
        if (!edited) {
            if (isSet(widget.disabled)) {
                color = palette(tokens, PaletteColor::text_muted);
            } else if (parts.search) {
                color = firstOf(widget.text_color_override, style.block.foreground,
                                palette(tokens, PaletteColor::text_muted));
            } else {
                color = firstOf(widget.text_color_override, palette(tokens, PaletteColor::text_muted));
            }
        }
        // The origin is snapped already; a window's first baseline lies a whole number of lines
        // below it and must stay exactly there.
        DrawTextCommand text;
        text.id = widgetCommandId(widget.id, part);
        text.font = tokens.default_font;
        text.text = shownRun.text;
        text.layout = box;
        text.size = size;
        text.origin = {shownRun.origin_x, shownRun.baseline_y};
        text.color = color;
        TRY(out.append(CanvasCommand::drawText(text)));
    }

    if (selection && !selection->empty() && !shownSelection->empty()) {
        TRY(emitWidgetTextSelectedGlyphs(out, widget, pieces, shownSelection->start, shownSelection->end,
                                         parts.capacity, tokens));
    }
    if (widget.composition) {
        const ClampedRange composition = clampedRange(widget.text, *widget.composition);
        const ClampedRange shownComposition = windowedRange(composition, editedWindow);
        if (!composition.empty() && !shownComposition.empty()) {
            TRY(emitWidgetTextCompositionLines(out, widget, pieces, shownComposition.start, shownComposition.end,
                                               parts.composition, parts.more_composition, parts.capacity, tokens));
        }
    }
    if (selection && selection->empty() && isSet(widget.focused) && inWindow(selection->start, editedWindow)) {
        TRY(emitWidgetTextCaret(out, widget, pieces, selection->start - editedWindow.start, parts.caret, tokens));
    }
    if (clip) TRY(appendPopClip(out));
    return {};
}

// The snapped rectangles of a range, at most `capacity` (further lines merge into the last).
std::size_t rangeRects(const WidgetTextPieces& text, std::size_t start, std::size_t end, std::size_t capacity,
                       std::array<TextSelectionRect, kMaxTextPieceRects>& rects, const WidgetTokens& tokens) {
    capacity = std::min(capacity, rects.size());
    const std::size_t count = layoutTextSelectionRects(text.run, text.options, start, end, {rects.data(), capacity});
    for (std::size_t i = 0; i < count; ++i) rects[i].rect = snapWidgetRect(rects[i].rect, tokens);
    return count;
}

unsigned pieceRectPart(std::size_t index, unsigned firstPart, unsigned morePart) {
    return index == 0 ? firstPart : morePart + static_cast<unsigned>(index) - 1;
}

// Draws a vector icon from the table by name; a name the table lacks draws nothing.
Status emitTableIcon(WidgetRenderTarget& out, const WidgetDescription& widget, std::string_view name, unsigned base,
                     Rect rect, Color color) {
    const VectorIcon* icon = lookupVectorIcon(name);
    if (icon == nullptr) return {};
    return emitVectorIcon(out, widget.id, base, rect, color, *icon);
}

}  // namespace

Status emitWidgetFocusRingForRect(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                                  unsigned part, Rect rect, CornerRadii radii) {
    const float o = std::max(tokens.focus_ring_offset, 0.0f);
    rect = normalizeRect(rect);
    rect = {rect.x - o, rect.y - o, rect.width + 2 * o, rect.height + 2 * o};
    radii = {radii.top_left + o, radii.top_right + o, radii.bottom_right + o, radii.bottom_left + o};
    const Color color = firstOf(widget.focus_ring_color_override, palette(tokens, PaletteColor::focus_ring));
    return appendStrokeRect(out, widgetCommandId(widget.id, part), rect, radii, color, tokens.focus_ring_width, tokens);
}

Status emitWidgetTextSelectionRects(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTextPieces& text, std::size_t anchor, std::size_t focus,
                                    unsigned firstPart, unsigned morePart, std::size_t capacity,
                                    const WidgetTokens& tokens) {
    std::array<TextSelectionRect, kMaxTextPieceRects> rects;
    const std::size_t count = rangeRects(text, anchor, focus, capacity, rects, tokens);
    const Color color = firstOf(widget.active_fill_override, palette(tokens, PaletteColor::accent));
    for (std::size_t i = 0; i < count; ++i) {
        TRY(appendFillRect(out, widgetCommandId(text.widget_id, pieceRectPart(i, firstPart, morePart)), rects[i].rect,
                           color));
    }
    return {};
}

Status emitWidgetTextSelectedGlyphs(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTextPieces& text, std::size_t anchor, std::size_t focus,
                                    std::size_t capacity, const WidgetTokens& tokens) {
    std::array<TextSelectionRect, kMaxTextPieceRects> rects;
    const std::size_t count = rangeRects(text, anchor, focus, capacity, rects, tokens);
    const Color color = firstOf(widget.active_text_color_override, palette(tokens, PaletteColor::accent_text));
    for (std::size_t i = 0; i < count; ++i) {
        TRY(appendPushClip(out, widgetHashedCommandId(kSelectedGlyphClipSeed, {text.widget_id, i}), rects[i].rect, {}));
        DrawTextCommand run;
        run.id = widgetHashedCommandId(kSelectedGlyphTextSeed, {text.widget_id, i});
        run.font = text.run.font;
        run.text = text.run.text;
        run.layout = text.options;
        run.size = text.run.size;
        run.origin = {text.run.origin_x, text.run.baseline_y};
        run.color = color;
        TRY(out.append(CanvasCommand::drawText(run)));
        TRY(appendPopClip(out));
    }
    return {};
}

Status emitWidgetTextCompositionLines(WidgetRenderTarget& out, const WidgetDescription& widget,
                                      const WidgetTextPieces& text, std::size_t start, std::size_t end,
                                      unsigned firstPart, unsigned morePart, std::size_t capacity,
                                      const WidgetTokens& tokens) {
    std::array<TextSelectionRect, kMaxTextPieceRects> rects;
    const std::size_t count = rangeRects(text, start, end, capacity, rects, tokens);
    const float thickness = std::fabs(tokens.control_border_width);
    const Color color = textEditingInkColor(widget, tokens);
    for (std::size_t i = 0; i < count; ++i) {
        const Rect r = rects[i].rect;
        const Rect line = snapWidgetRect({r.x, r.y + r.height - thickness, r.width, thickness}, tokens);
        TRY(appendFillRect(out, widgetCommandId(text.widget_id, pieceRectPart(i, firstPart, morePart)), line, color));
    }
    return {};
}

Status emitWidgetTextCaret(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTextPieces& text,
                           std::size_t offset, unsigned part, const WidgetTokens& tokens) {
    const std::optional<Rect> caret = layoutTextCaretRect(text.run, text.options, offset);
    if (!caret) return {};
    return appendFillRect(out, widgetCommandId(text.widget_id, part), snapWidgetRect(*caret, tokens),
                          textEditingInkColor(widget, tokens));
}

Status emitTextFieldWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const EntryFrame style = entryFrameStyle(widget, tokens);
    TRY(emitEntryFrame(out, widget, tokens, style));
    if (isSet(widget.focused)) {
        TRY(emitWidgetFocusRingForRect(out, widget, tokens, text_field_parts::kFocusRing, widget.frame,
                                       uniformRadii(style.radius)));
    }
    EntryTextParts parts;
    parts.clip = text_field_parts::kTextClip;
    parts.selection = text_field_parts::kSelection;
    parts.more_selection = text_field_parts::kMoreSelection;
    parts.composition = text_field_parts::kComposition;
    parts.more_composition = text_field_parts::kMoreComposition;
    parts.caret = text_field_parts::kCaret;
    parts.capacity = kMaxTextPieceRects;
    return emitEntryText(out, widget, tokens, style, parts);
}

Status emitSearchFieldWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    namespace parts_of = search_field_parts;
    const EntryFrame style = entryFrameStyle(widget, tokens);
    TRY(emitEntryFrame(out, widget, tokens, style));
    if (isSet(widget.focused)) {
        TRY(emitWidgetFocusRingForRect(out, widget, tokens, parts_of::kFocusRing, widget.frame,
                                       uniformRadii(style.radius)));
    }
    const float f = textInputTextSize(textInputWidgetOf(widget), textInputTokensOf(tokens));
    const float inset = sizedInset(tokens.inset_m, widget, tokens);
    const Rect frame = normalizeRect(widget.frame);
    const Color iconColor = isSet(widget.disabled) ? palette(tokens, PaletteColor::text_muted)
                                                   : firstOf(widget.text_color_override, style.block.foreground,
                                                             palette(tokens, PaletteColor::text_muted));

    const float side = std::max(f - 2, 8.0f);
    TRY(emitTableIcon(out, widget, "search", parts_of::kSearchIconBase,
                      {frame.x + inset, frame.y + std::max((frame.height - side) / 2, 0.0f), side, side}, iconColor));

    EntryTextParts parts;
    parts.clip = parts_of::kTextClip;
    parts.selection = parts.more_selection = parts_of::kSelection;
    parts.text = parts_of::kText;
    parts.composition = parts.more_composition = parts_of::kComposition;
    parts.caret = parts_of::kCaret;
    parts.capacity = 1;
    parts.search = true;
    TRY(emitEntryText(out, widget, tokens, style, parts));

    if (widget.widgetKind() == WidgetKind::combo_box) {
        const float c = f + tokens.icon_extra_size;
        return emitTableIcon(out, widget, "chevron-down", parts_of::kChevronBase,
                             {frame.x + frame.width - inset - c, frame.y + (frame.height - c) / 2, c, c}, iconColor);
    }
    if (!widget.text.empty() && !isSet(widget.disabled)) {
        const float s = std::max(f - 4, 8.0f);
        const Color clear =
            firstOf(widget.text_color_override, style.block.foreground, palette(tokens, PaletteColor::text_muted));
        return emitTableIcon(
            out, widget, "x", parts_of::kClearIconBase,
            {frame.x + frame.width - inset - s, frame.y + std::max((frame.height - s) / 2, 0.0f), s, s}, clear);
    }
    return {};
}

Status emitInputGroupWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const EntryFrame style = entryFrameStyle(widget, tokens);
    TRY(emitEntryFrame(out, widget, tokens, style));
    if (!isSet(widget.focused)) return {};
    return emitWidgetFocusRingForRect(out, widget, tokens, 3, widget.frame, uniformRadii(style.radius));
}

}  // namespace kelvo
