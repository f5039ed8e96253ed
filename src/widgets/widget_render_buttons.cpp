// Push, toggle and icon buttons and the border every button-like control shares.

#include "text/text_metrics.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr unsigned kButtonIconBase = 5;  // its stroke takes part 6
constexpr unsigned kIconButtonGlyphPart = 3;
constexpr unsigned kIconButtonFocusRing = 15;

bool usesGroupBlock(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return (widget.attach_position & 3u) != 0 && tokens.attached_groups;
}

// The button's corner radius (no size step) applied to the corners its place in a group rounds.
CornerRadii buttonRadii(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = buttonControlVisualTokens(widget, tokens);
    const float fallback = isSmallWidgetSize(widget.size) ? tokens.radius_small : tokens.radius_medium;
    const float r = std::max(firstOf(widget.radius_override, block.corner_radius, fallback), 0.0f);
    if (usesGroupBlock(widget, tokens)) return uniformRadii(r);
    switch (widget.attach_position & 3u) {
        case 1:
            return {r, 0, 0, r};
        case 2:
            return {};
        case 3:
            return {0, r, r, 0};
        default:
            return uniformRadii(r);
    }
}

float buttonFontSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    float size = tokens.font_size_label;
    if (isSmallWidgetSize(widget.size)) size -= tokens.font_step_small;
    if (isLargeWidgetSize(widget.size)) size += tokens.font_step_large;
    return std::max(size, kMinWidgetFontSize);
}

float buttonInset(const WidgetDescription& widget, const WidgetTokens& tokens) {
    float inset = tokens.button_inset_medium;
    switch (widgetSizeCode(widget.size)) {
        case 1:
            inset = tokens.button_inset_small;
            break;
        case 2:
            inset = tokens.button_inset_large;
            break;
        case 3:
            inset = 0;
            break;
        default:
            break;
    }
    return inset * widgetDensityScale(tokens);
}

std::uint64_t buttonLabelFont(const WidgetTokens& tokens) {
    const std::uint64_t font = tokens.label_font.value_or(tokens.default_font);
    return font == kFontRegular ? kFontMedium : font;
}

// The border colour of a button-like control, or none.
std::optional<Color> buttonBorderColor(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (widget.border_color_override) return widget.border_color_override;
    const ControlVisualTokens block = buttonControlVisualTokens(widget, tokens);
    if (usesGroupBlock(widget, tokens)) return block.border;
    switch (std::min<unsigned>(widget.variant, 5u)) {
        case 1:
            return firstOf(widget.active_fill_override, block.border, palette(tokens, PaletteColor::accent));
        case 4:
            return block.border;
        case 5:
            if (widget.active_fill_override) return widget.active_fill_override;
            return block.border;
        default:
            return firstOf(block.border, palette(tokens, PaletteColor::border));
    }
}

}  // namespace

Status emitButtonBorder(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                        CornerRadii radii) {
    std::optional<Color> color = buttonBorderColor(widget, tokens);
    const float width = buttonStrokeWidth(widget, tokens);
    if (!color || !(width > 0)) return {};
    if (isSet(widget.disabled)) color = dimmed(*color, tokens);

    const StrokeRectCommand payload = snapHairlineStrokeRect(
        {widgetCommandId(widget.id, 2), Stroke{Paint::solid(*color), width}, widget.frame, radii}, tokens.snap_geometry,
        tokens.pixel_scale);
    const unsigned position = widget.attach_position & 3u;
    const bool sharesLeftEdge = (position == 2 || position == 3) && !tokens.attached_groups;
    if (!sharesLeftEdge) return out.append(CanvasCommand::strokeRect(payload));

    // Neighbours share one line: the stroke is clipped from half a stroke right of its left edge.
    const Rect frame = normalizeRect(widget.frame);
    const float clipX = payload.rect.x + payload.stroke.width / 2;
    const Rect clip{clipX, frame.y - width, std::max(frame.x + frame.width + width - clipX, 0.0f),
                    frame.height + 2 * width};
    TRY(appendPushClip(out, widgetCommandId(widget.id, 0), clip, {}));
    TRY(out.append(CanvasCommand::strokeRect(payload)));
    return appendPopClip(out);
}

Status emitButtonWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const CornerRadii radii = buttonRadii(widget, tokens);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), widget.frame, radii,
                              buttonFillColor(widget, tokens)));
    TRY(emitButtonBorder(out, widget, tokens, radii));
    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 3, widget.frame, radii));

    const Rect frame = normalizeRect(widget.frame);
    const float f = buttonFontSize(widget, tokens);
    const float inset = buttonInset(widget, tokens);
    const Color color = buttonTextColorForWidget(widget, tokens);
    const std::uint64_t font = buttonLabelFont(tokens);
    const float baseline = centredBaseline(frame.y, frame.height, f);
    const bool noEllipsis = isSet(widget.label_no_ellipsis);
    const std::uint64_t labelId = widgetCommandId(widget.id, 4);

    if (widget.icon.empty()) {
        if (widget.text.empty()) return {};
        return appendText(out, labelId, font, widget.text, f, {frame.x + inset, baseline}, color,
                          lineLayoutBox(tokens, frame.width - 2 * inset, f, TextAlign::center, noEllipsis), tokens);
    }
    const VectorIcon& icon = vectorIconOrMissing(widget.icon);
    const float side = f + tokens.icon_extra_size;
    const float iconY = frame.y + (frame.height - side) / 2;
    if (widget.text.empty()) {
        return emitVectorIcon(out, widget.id, kButtonIconBase, {frame.x + (frame.width - side) / 2, iconY, side, side},
                              color, icon);
    }
    const float gap = tokens.icon_label_gap * widgetDensityScale(tokens);
    const float labelWidth = measureTextWidthForFont(tokens.text_measurer, font, widget.text, f);
    const float available = std::max(frame.width - 2 * inset, 0.0f);
    const float row = std::min(available, labelWidth + side + gap);
    const float start = frame.x + inset + std::max((available - row) / 2, 0.0f);
    float iconX = start;
    float labelX = start + side + gap;
    float labelRight = frame.x + frame.width - inset;
    if (isSet(widget.icon_trailing)) {
        iconX = start + row - side;
        labelX = start;
        labelRight = iconX - gap;
    }
    TRY(emitVectorIcon(out, widget.id, kButtonIconBase, {iconX, iconY, side, side}, color, icon));
    return appendText(out, labelId, font, widget.text, f, {labelX, baseline}, color,
                      lineLayoutBox(tokens, labelRight - labelX, f, TextAlign::start, noEllipsis), tokens);
}

Status emitIconButtonWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const CornerRadii radii = buttonRadii(widget, tokens);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), widget.frame, radii,
                              buttonFillColor(widget, tokens)));
    TRY(emitButtonBorder(out, widget, tokens, radii));
    if (isSet(widget.focused)) {
        TRY(emitWidgetFocusRingForRect(out, widget, tokens, kIconButtonFocusRing, widget.frame, radii));
    }

    const Rect frame = normalizeRect(widget.frame);
    const float h = frame.height;
    float glyph = 0;
    if (h > 0) {
        const float m = 12 * widgetDensityScale(tokens) * controlSizeScale(widget.size);
        const float k = isSmallWidgetSize(widget.size) ? 0.44f : isLargeWidgetSize(widget.size) ? 0.52f : 0.48f;
        const float title = controlFontSize(tokens.font_size_title, widget.size);
        glyph = std::min(std::max(m, h * k), std::max(m, title));
    } else {
        glyph = tokens.font_size_label;
        if (isSmallWidgetSize(widget.size)) glyph = std::max(glyph - tokens.font_step_small, kMinWidgetFontSize);
        if (isLargeWidgetSize(widget.size)) glyph = std::max(glyph + tokens.font_step_large, kMinWidgetFontSize);
    }
    const Color color = buttonTextColorForWidget(widget, tokens);
    const Rect square{frame.x + (frame.width - glyph) / 2, frame.y + (h - glyph) / 2, glyph, glyph};

    if (!widget.icon.empty()) {
        return emitVectorIcon(out, widget.id, kIconButtonGlyphPart, square, color, vectorIconOrMissing(widget.icon));
    }
    if (widget.text.empty()) return {};
    if (const VectorIcon* icon = lookupVectorIcon(widget.text)) {
        return emitVectorIcon(out, widget.id, kIconButtonGlyphPart, square, color, *icon);
    }
    const float width = measureTextWidthForFont(tokens.text_measurer, tokens.default_font, widget.text, glyph);
    const Point origin{frame.x + std::max((std::max(frame.width, 0.0f) - width) / 2, 0.0f),
                       frame.y + std::max(glyph, glyph + (h - widgetLineHeight(glyph)) / 2)};
    return appendText(out, widgetCommandId(widget.id, kIconButtonGlyphPart), tokens.default_font, widget.text, glyph,
                      origin, color, std::nullopt, tokens);
}

}  // namespace kelvo
