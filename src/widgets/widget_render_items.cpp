// Selects, list items, menu items, tooltips and the chrome of data cells.

#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

namespace {

bool isHovered(const WidgetDescription& widget) { return isSet(widget.hovered) && !isSet(widget.no_hover); }

ListItemState itemState(const WidgetDescription& widget) {
    return {isSet(widget.hovered), isSet(widget.pressed), isSet(widget.selected), isSet(widget.no_hover)};
}

// The text colour of rows: muted when disabled, else the explicit text colour, the block's or the
// palette's text colour.
Color rowContentColor(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    if (isSet(widget.disabled)) return palette(tokens, PaletteColor::text_muted);
    return firstOf(widget.text_color_override, block.foreground, palette(tokens, PaletteColor::text));
}

// The focus-ring radius of list items and data cells: the explicit radius as it is, else the small
// radius with the size step.
float rowFocusRadius(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (widget.radius_override) return std::max(*widget.radius_override, 0.0f);
    return std::max(radiusSizeStep(tokens.radius_small, widget.size), 0.0f);
}

// A row's leading icon (part base 4) and its text (part 3); `available` is the width left for the
// text before the icon takes its share.
Status emitRowContent(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                      const ControlVisualTokens& block, float available) {
    const Rect frame = normalizeRect(widget.frame);
    const float f = controlFontSize(tokens.font_size_body, widget.size);
    const float inset = sizedInset(tokens.inset_m, widget, tokens);
    const float side = f + tokens.icon_extra_size;
    const float gap = sizedInset(tokens.inset_s, widget, tokens);
    const Color color = rowContentColor(widget, tokens, block);
    float start = frame.x;
    if (!widget.icon.empty()) {
        TRY(emitVectorIcon(out, widget.id, 4, {frame.x + inset, frame.y + (frame.height - side) / 2, side, side}, color,
                           vectorIconOrMissing(widget.icon)));
        start = frame.x + side + gap;
        available = std::max(available - side - gap, 1.0f);
    }
    return appendText(
        out, widgetCommandId(widget.id, 3), tokens.default_font, widget.text, f,
        {start + inset, centredBaseline(frame.y, frame.height, f)}, color,
        lineLayoutBox(tokens, available - 2 * inset, f, TextAlign::start, isSet(widget.label_no_ellipsis)), tokens);
}

}  // namespace

Status emitSelectWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block =
        controlVisualTokensWithFallback(tokens.block(ControlBlock::select), tokens.block(ControlBlock::button_v3));
    const Rect frame = normalizeRect(widget.frame);
    const CornerRadii radii = uniformRadii(controlCornerRadius(widget, block.corner_radius, tokens.radius_small));
    const float f = controlFontSize(tokens.font_size_body, widget.size);
    const float inset = sizedInset(tokens.inset_m, widget, tokens);
    const float chevron = f + tokens.icon_extra_size;
    const Color& control = palette(tokens, PaletteColor::control);

    const Color fill = widget.fill_override    ? *widget.fill_override
                       : isSet(widget.pressed) ? firstOf(block.active_fill, block.hover_fill, block.fill, control)
                       : isHovered(widget)     ? firstOf(block.hover_fill, block.fill, control)
                                               : firstOf(block.fill, control);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame, radii, fill));
    TRY(appendStrokeRect(
        out, widgetCommandId(widget.id, 2), frame, radii,
        firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border)),
        std::max(firstOf(widget.stroke_override, block.border_width, tokens.control_border_width), 0.0f), tokens));
    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 6, frame, radii));

    const Color& muted = palette(tokens, PaletteColor::text_muted);
    std::string_view shown = widget.text;
    Color color = rowContentColor(widget, tokens, block);
    if (shown.empty()) {
        shown = widget.placeholder.empty() ? widget.label : widget.placeholder;
        color = isSet(widget.disabled) ? muted : firstOf(widget.text_color_override, muted);
    }
    if (!shown.empty()) {
        TRY(appendText(out, widgetCommandId(widget.id, 3), tokens.default_font, shown, f,
                       {frame.x + inset, centredBaseline(frame.y, frame.height, f)}, color,
                       lineLayoutBox(tokens, frame.width - 3 * inset - chevron, f, TextAlign::start,
                                     isSet(widget.label_no_ellipsis)),
                       tokens));
    }
    const VectorIcon* icon = lookupVectorIcon("chevron-down");
    if (icon == nullptr) return {};
    const Color iconColor =
        isSet(widget.disabled) ? muted : firstOf(widget.text_color_override, block.foreground, muted);
    return emitVectorIcon(
        out, widget.id, 4,
        {frame.x + frame.width - inset - chevron, frame.y + (frame.height - chevron) / 2, chevron, chevron}, iconColor,
        *icon);
}

Status emitListItemWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = listItemControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const Color fill = listItemFillColor(widget.widgetKind(), tokens, itemState(widget));
    if (fill.a > 0) {
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame,
                                  uniformRadii(controlCornerRadius(widget, block.corner_radius, tokens.radius_small)),
                                  firstOf(widget.fill_override, fill)));
    }
    if (isSet(widget.focused)) {
        TRY(emitWidgetFocusRingForRect(out, widget, tokens, 2, frame, uniformRadii(rowFocusRadius(widget, tokens))));
    }
    return emitRowContent(out, widget, tokens, block, frame.width);
}

Status emitMenuItemWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = listItemControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    Color background = kTransparent;
    if (isSet(widget.pressed)) {
        background = firstOf(block.pressed_fill, block.active_fill, block.hover_fill, block.fill,
                             palette(tokens, PaletteColor::control_active));
    } else if (isSet(widget.focused) || isHovered(widget)) {
        background = firstOf(block.hover_fill, block.fill, palette(tokens, PaletteColor::control_hover));
    }
    if (background.a > 0) {
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame,
                                  uniformRadii(controlCornerRadius(widget, block.corner_radius, tokens.radius_xsmall)),
                                  firstOf(widget.fill_override, background)));
    }
    const float f = controlFontSize(tokens.font_size_body, widget.size);
    const float side = f + tokens.icon_extra_size;
    const float gap = sizedInset(tokens.inset_s, widget, tokens);
    TRY(emitRowContent(out, widget, tokens, block, std::max(frame.width - side - gap, 1.0f)));
    if (!isSet(widget.selected)) return {};
    const VectorIcon* check = lookupVectorIcon("check");
    if (check == nullptr) return {};
    const float inset = sizedInset(tokens.inset_m, widget, tokens);
    return emitVectorIcon(out, widget.id, 12,
                          {frame.x + frame.width - inset - side, frame.y + (frame.height - side) / 2, side, side},
                          rowContentColor(widget, tokens, block), *check);
}

Status emitTooltipWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = surfaceControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const CornerRadii radii = uniformRadii(controlCornerRadius(widget, block.corner_radius, tokens.radius_small));
    if (tokens.panel_shadow_offset_y != 0 || tokens.panel_shadow_blur != 0 || tokens.panel_shadow_spread != 0) {
        TRY(out.append(CanvasCommand::shadowOf({widgetCommandId(widget.id, 1),
                                                frame,
                                                palette(tokens, PaletteColor::shadow),
                                                {0, tokens.panel_shadow_offset_y},
                                                tokens.panel_shadow_blur,
                                                tokens.panel_shadow_spread,
                                                radii})));
    }
    const Color& accent = palette(tokens, PaletteColor::accent);
    Color fill = isSet(widget.pressed) || isSet(widget.selected)
                     ? firstOf(block.active_fill, block.hover_fill, block.fill, accent)
                 : isHovered(widget) ? firstOf(block.hover_fill, block.fill, accent)
                                     : firstOf(block.fill, accent);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 2), frame, radii,
                              firstOf(widget.active_fill_override, fill)));
    if (widget.text.empty()) return {};
    const float f = controlFontSize(tokens.font_size_caption, widget.size);
    const float pad = sizedInset(tokens.inset_s, widget, tokens);
    const Color color = isSet(widget.disabled) ? palette(tokens, PaletteColor::text_muted)
                                               : firstOf(widget.active_text_color_override, block.foreground,
                                                         palette(tokens, PaletteColor::accent_text));
    return appendText(
        out, widgetCommandId(widget.id, 3), tokens.default_font, widget.text, f,
        {frame.x + pad, centredBaseline(frame.y, frame.height, f)}, color,
        lineLayoutBox(tokens, frame.width - 2 * pad, f, TextAlign::start, isSet(widget.label_no_ellipsis)), tokens);
}

Status emitDataCellWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = listItemControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const Color fill = listItemFillColor(widget.widgetKind(), tokens, itemState(widget));
    if (fill.a > 0) TRY(appendFillRect(out, widgetCommandId(widget.id, 1), frame, firstOf(widget.fill_override, fill)));
    if (widget.border_color_override || widget.stroke_override || block.border || block.border_width) {
        TRY(appendStrokeRect(
            out, widgetCommandId(widget.id, 2), frame, {},
            firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border)),
            std::max(firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width), 0.0f), tokens));
    }
    if (!isSet(widget.focused)) return {};
    return emitWidgetFocusRingForRect(out, widget, tokens, 3, frame, uniformRadii(rowFocusRadius(widget, tokens)));
}

}  // namespace kelvo
