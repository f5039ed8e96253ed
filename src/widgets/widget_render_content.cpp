// Icons, images, avatars, badges, status bars, data rows and cells, separators, skeletons, split
// dividers and the row separators of data grids.

#include "widgets/widget_render_content.hpp"

#include "text/text_metrics.hpp"
#include "widgets/vector_icons.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

using namespace render;

namespace {

Color textColorRule(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    if (isSet(widget.disabled)) return palette(tokens, PaletteColor::text_muted);
    return firstOf(widget.text_color_override, block.foreground, palette(tokens, PaletteColor::text));
}

ListItemState stateOf(const WidgetDescription& widget) {
    return {isSet(widget.hovered), isSet(widget.pressed), isSet(widget.selected), isSet(widget.no_hover)};
}

TextAlign alignmentOf(const WidgetDescription& widget) {
    return maskedTextAlign(static_cast<TextAlign>(widget.text_align));
}

// A single line of the text size rule in a box, vertically centred.
Status emitBoxLine(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens, unsigned part,
                   Rect box, Color color) {
    const float size = widgetBodyTextSize(widget, tokens);
    return appendText(out, widgetCommandId(widget.id, part), tokens.default_font, widget.text, size,
                      {box.x, centredBaseline(box.y, box.height, size)}, color,
                      lineLayoutBox(tokens, box.width, size, alignmentOf(widget), !isSet(widget.text_ellipsis)),
                      tokens);
}

bool hasArea(Rect rect) { return rect.width > 0 && rect.height > 0; }

// The widget's image drawn into `dst` with its own opacity, fit and sampling.
Status appendWidgetImage(WidgetRenderTarget& out, const WidgetDescription& widget, unsigned part, Rect dst) {
    return out.append(CanvasCommand::drawImage({widgetCommandId(widget.id, part),
                                                widget.image_id,
                                                widget.image_src,
                                                dst,
                                                widget.image_opacity,
                                                {},
                                                maskedImageFit(widget.image_fit),
                                                maskedImageSampling(widget.image_sampling)}));
}

}  // namespace

Status emitIconWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Color color = textColorRule(widget, tokens, {});
    if (!widget.icon.empty()) {
        return emitVectorIcon(out, widget.id, 1, widget.frame, color, vectorIconOrMissing(widget.icon));
    }
    if (widget.text.empty()) return {};
    if (const VectorIcon* icon = lookupVectorIcon(widget.text)) {
        return emitVectorIcon(out, widget.id, 1, widget.frame, color, *icon);
    }
    const Rect frame = normalizeRect(widget.frame);
    float size = 0;
    if (frame.height > 0) {
        size = 12 * widgetDensityScale(tokens) * controlSizeScale(widget.size);
    } else {
        size = tokens.font_size_label;
        if (isSmallWidgetSize(widget.size)) size -= tokens.font_step_small;
        if (isLargeWidgetSize(widget.size)) size += tokens.font_step_large;
        size = std::max(size, kMinWidgetFontSize);
    }
    const float width = estimateTextWidth(tokens.default_font, widget.text, size);
    const Point origin{frame.x + (frame.width - width) / 2,
                       frame.y + (frame.height - widgetLineHeight(size)) / 2 + size};
    return appendText(out, widgetCommandId(widget.id, 1), tokens.default_font, widget.text, size, origin, color,
                      std::nullopt, tokens);
}

Status emitImageWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens&) {
    const Rect frame = widget.frame;
    if (widget.image_id == 0 || frame.width == 0 || frame.height == 0) return {};
    const bool crops = maskedImageFit(widget.image_fit) == ImageFit::cover;
    if (crops) TRY(appendPushClip(out, widgetCommandId(widget.id, 2), frame, {}));
    TRY(appendWidgetImage(out, widget, 1, frame));
    if (crops) TRY(appendPopClip(out));
    return {};
}

Status emitAvatarWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = componentControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const CornerRadii radii = uniformRadii(std::max(firstOf(widget.radius_override, frame.height / 2), 0.0f));
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame, radii,
                              firstOf(widget.fill_override, block.fill, palette(tokens, PaletteColor::control_hover))));
    if (widget.image_id != 0) {
        TRY(appendPushClip(out, widgetCommandId(widget.id, 2), frame, radii));
        TRY(appendWidgetImage(out, widget, 3, frame));
        TRY(appendPopClip(out));
    } else if (!widget.text.empty()) {
        const float size = controlFontSize(tokens.font_size_caption, widget.size);
        const float width = measureTextWidthForFont(tokens.text_measurer, tokens.default_font, widget.text, size);
        TRY(appendText(out, widgetCommandId(widget.id, 5), tokens.default_font, widget.text, size,
                       {frame.x + (frame.width - width) / 2, centredBaseline(frame.y, frame.height, size)},
                       textColorRule(widget, tokens, block), std::nullopt, tokens));
    }
    return appendStrokeRect(
        out, widgetCommandId(widget.id, 4), frame, radii,
        firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border)),
        std::max(firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width), 0.0f), tokens);
}

Status emitBadgeWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = componentControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const CornerRadii radii = uniformRadii(std::max(firstOf(widget.radius_override, frame.height / 2), 0.0f));
    const Color& tint = palette(tokens, PaletteColor::tint);
    Color fill;
    if (isSet(widget.disabled)) {
        fill = palette(tokens, PaletteColor::control_disabled);
    } else if (widget.variant == 0) {
        fill = palette(tokens, PaletteColor::control_hover);
    } else if (widget.variant == 1) {
        fill = firstOf(widget.accent_override, palette(tokens, PaletteColor::accent));
    } else if (widget.variant == 5) {
        fill = withAlpha(tint, tokens.badge_tint_alpha);
    } else {
        fill = firstOf(block.fill, palette(tokens, PaletteColor::control_hover));
    }
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame, radii, firstOf(widget.fill_override, fill)));
    Color border = widget.variant == 1   ? firstOf(widget.accent_override, palette(tokens, PaletteColor::accent))
                   : widget.variant == 5 ? tint
                                         : firstOf(block.border, palette(tokens, PaletteColor::border));
    TRY(appendStrokeRect(
        out, widgetCommandId(widget.id, 2), frame, radii, firstOf(widget.border_color_override, border),
        std::max(firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width), 0.0f), tokens));

    const float size = controlFontSize(std::max(tokens.font_size_caption - 1, kMinWidgetFontSize), widget.size);
    const float side = controlFontSize(tokens.font_size_caption, widget.size) + tokens.icon_extra_size;
    const float gap = sizedInset(tokens.inset_s, widget, tokens);
    const Color color = widget.variant == 1   ? palette(tokens, PaletteColor::accent_text)
                        : widget.variant == 5 ? tint
                                              : textColorRule(widget, tokens, block);
    const float textWidth = measureTextWidthForFont(tokens.text_measurer, tokens.default_font, widget.text, size);
    const bool icon = !widget.icon.empty();
    const float content = (icon ? side : 0) + (icon && !widget.text.empty() ? gap : 0) + textWidth;
    float x = frame.x + (frame.width - content) / 2;
    if (icon) {
        TRY(emitVectorIcon(out, widget.id, 4, {x, frame.y + (frame.height - side) / 2, side, side}, color,
                           vectorIconOrMissing(widget.icon)));
        x += side + gap;
    }
    if (widget.text.empty()) return {};
    const float padding = std::max(isSmallWidgetSize(widget.size)   ? tokens.inset_s - tokens.control_size_step
                                   : isLargeWidgetSize(widget.size) ? tokens.inset_s + tokens.control_size_step
                                                                    : tokens.inset_s,
                                   0.0f);
    return appendText(out, widgetCommandId(widget.id, 3), tokens.default_font, widget.text, size,
                      {x, centredBaseline(frame.y, frame.height, size)}, color,
                      lineLayoutBox(tokens, frame.x + frame.width - padding - x, size, TextAlign::start, false),
                      tokens);
}

Status emitStatusBarWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    if (!hasArea(frame)) return {};
    TRY(appendFillRect(out, widgetCommandId(widget.id, 1), frame,
                       firstOf(widget.fill_override, palette(tokens, PaletteColor::control))));
    const float rule = firstOf(widget.stroke_override, tokens.surface_border_width);
    TRY(appendFillRect(out, widgetCommandId(widget.id, 2), {frame.x, frame.y, frame.width, rule},
                       firstOf(widget.border_color_override, palette(tokens, PaletteColor::border))));
    WidgetInsets in = widget.insets;
    if (in.top == 0 && in.right == 0 && in.bottom == 0 && in.left == 0) in = {7, 14, 7, 14};
    const float width = frame.width - in.left - in.right;
    if (widget.text.empty() || !(width > 0)) return {};
    const Rect box{frame.x + in.left, frame.y + in.top, width, frame.height - in.top - in.bottom};
    return emitBoxLine(out, widget, tokens, 3, box, textColorRule(widget, tokens, {}));
}

Status emitDataRowWidgetWash(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Color wash = listItemFillColor(WidgetKind::data_row, tokens, stateOf(widget));
    if (!(wash.a > 0)) return {};
    return appendFillRect(out, widgetCommandId(widget.id, 1), widget.frame, wash);
}

Status emitDataCellContent(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    TRY(emitDataCellWidgetChrome(out, widget, tokens));
    if (!widget.textSpans().empty()) return emitTextSpansWidget(out, widget, tokens);
    if (widget.text.empty()) return {};
    return emitBoxLine(out, widget, tokens, 4, widgetContentBox(widget), textColorRule(widget, tokens, {}));
}

Status emitSeparatorWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = componentControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    if (!hasArea(frame)) return {};
    const float t = firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width);
    const Rect rule = frame.height <= frame.width ? Rect{frame.x, frame.y + (frame.height - t) / 2, frame.width, t}
                                                  : Rect{frame.x + (frame.width - t) / 2, frame.y, t, frame.height};
    return appendFillRect(
        out, widgetCommandId(widget.id, 1), snapWidgetRect(rule, tokens),
        firstOf(widget.fill_override, block.fill, block.border, palette(tokens, PaletteColor::border)));
}

Status emitSkeletonWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = componentControlVisualTokens(widget.widgetKind(), tokens);
    float radius = 0;
    if (widget.radius_override) {
        radius = *widget.radius_override;
    } else if (block.corner_radius) {
        radius = *block.corner_radius;
    } else {
        radius = radiusSizeStep(tokens.radius_small, widget.size);
    }
    return appendFillRoundedRect(
        out, widgetCommandId(widget.id, 1), widget.frame, uniformRadii(std::max(radius, 0.0f)),
        firstOf(widget.fill_override, block.fill, palette(tokens, PaletteColor::control_hover)));
}

Status emitSplitDividerWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    if (!hasArea(frame)) return {};
    const float width = firstOf(widget.stroke_override, tokens.surface_border_width);
    const bool active = isSet(widget.hovered) || isSet(widget.pressed);
    const float t = active ? std::max(width, 2.0f) : std::max(width, 0.0f);
    const Color color = active ? firstOf(widget.accent_override, palette(tokens, PaletteColor::accent))
                               : firstOf(widget.border_color_override, palette(tokens, PaletteColor::border));
    TRY(appendFillRect(out, widgetCommandId(widget.id, 1),
                       snapWidgetRect({frame.x + (frame.width - t) / 2, frame.y, t, frame.height}, tokens), color));
    if (!isSet(widget.focused)) return {};
    return appendStrokeRect(out, widgetCommandId(widget.id, 2), frame, uniformRadii(tokens.radius_xsmall),
                            firstOf(widget.focus_ring_color_override, palette(tokens, PaletteColor::focus_ring)),
                            tokens.focus_ring_width, tokens);
}

Status emitTableRowSeparatorsLayout(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t gridIndex,
                                    const WidgetTokens& tokens, bool clip, const WidgetDescription& grid) {
    if (gridIndex >= tree.size()) return {};
    const std::size_t end = widgetSubtreeEnd(tree, gridIndex);
    const auto isRow = [&](std::size_t i) {
        const WidgetLayoutNode& node = tree[i];
        return node.has_parent && node.parent == gridIndex && node.widgetKind() == WidgetKind::data_row &&
               !isSet(node.hidden);
    };
    std::optional<std::size_t> last;
    for (std::size_t i = gridIndex + 1; i < end; ++i) {
        if (isRow(i)) last = i;
    }
    if (clip) TRY(appendPushClip(out, widgetCommandId(grid.id, kTableRowSeparatorClipPart), grid.frame, {}));
    for (std::size_t i = gridIndex + 1; last && i < *last; ++i) {
        if (!isRow(i)) continue;
        const Rect row = normalizeRect(tree[i].rect);
        if (!hasArea(row)) continue;
        const float bottom = row.y + row.height;
        TRY(appendDrawLine(out, widgetCommandId(tree[i].id, 2), snapGeometryPoint({row.x, bottom}, tokens),
                           snapGeometryPoint({row.x + row.width, bottom}, tokens),
                           palette(tokens, PaletteColor::border), tokens.surface_border_width));
    }
    if (clip) TRY(appendPopClip(out));
    return {};
}

}  // namespace kelvo
