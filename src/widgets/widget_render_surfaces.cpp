#include "widgets/widget_render_surfaces.hpp"

#include "text/text_metrics.hpp"
#include "widgets/vector_icons.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

using namespace render;

namespace {

enum class ShadowTokens : std::uint8_t { none, panel, overlay };

// Where the common chrome puts its commands and which shadow it casts.
struct SurfaceParts {
    unsigned shadow = 1;
    unsigned fill = 2;
    unsigned border = 3;
    ShadowTokens shadow_tokens = ShadowTokens::none;
};

constexpr SurfaceParts kFloatingParts{1, 2, 3, ShadowTokens::overlay};
constexpr SurfaceParts kPanelParts{1, 2, 3, ShadowTokens::panel};
constexpr SurfaceParts kFlatParts{0, 1, 2, ShadowTokens::none};

bool isHovered(const WidgetDescription& widget) { return isSet(widget.hovered) && !isSet(widget.no_hover); }

float surfaceRadius(const WidgetDescription& widget, const ControlVisualTokens& block, float base) {
    return controlCornerRadius(widget, block.corner_radius, base);
}

Color surfaceFill(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    if (widget.fill_override) return *widget.fill_override;
    const Color& control = palette(tokens, PaletteColor::control);
    if (isSet(widget.pressed) || isSet(widget.selected)) {
        return firstOf(block.active_fill, block.hover_fill, block.fill, control);
    }
    if (isHovered(widget)) return firstOf(block.hover_fill, block.fill, control);
    return firstOf(block.fill, control);
}

// Shadow, fill and border of a surface.
Status emitSurfaceChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                         const ControlVisualTokens& block, float baseRadius, const SurfaceParts& parts) {
    const Rect frame = widget.frame;
    const CornerRadii radii = uniformRadii(surfaceRadius(widget, block, baseRadius));
    const Color fill = surfaceFill(widget, tokens, block);
    if (parts.shadow_tokens != ShadowTokens::none) {
        const bool panel = parts.shadow_tokens == ShadowTokens::panel;
        const float dy = panel ? tokens.panel_shadow_offset_y : tokens.overlay_shadow_offset_y;
        const float blur = panel ? tokens.panel_shadow_blur : tokens.overlay_shadow_blur;
        const float spread = panel ? tokens.panel_shadow_spread : tokens.overlay_shadow_spread;
        if ((dy != 0 || blur != 0 || spread != 0) && (!panel || fill.a >= 1)) {
            TRY(out.append(CanvasCommand::shadowOf({widgetCommandId(widget.id, parts.shadow),
                                                    frame,
                                                    palette(tokens, PaletteColor::shadow),
                                                    {0, dy},
                                                    blur,
                                                    spread,
                                                    radii})));
        }
    }
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, parts.fill), frame, radii, fill));
    const Color border = firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border));
    const float width =
        std::max(firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width), 0.0f);
    return appendStrokeRect(out, widgetCommandId(widget.id, parts.border), frame, radii, border, width, tokens);
}

Color surfaceTextColor(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& block) {
    if (isSet(widget.disabled)) return palette(tokens, PaletteColor::text_muted);
    return firstOf(widget.text_color_override, block.foreground, palette(tokens, PaletteColor::text));
}

float surfacePadding(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return sizedInset(tokens.inset_xl, widget, tokens);
}

TextAlign recordAlignment(const WidgetDescription& widget) {
    return maskedTextAlign(static_cast<TextAlign>(widget.text_align));
}

// A wrapped surface text at (x + p, y + p + size) within the padded width.
Status emitSurfaceTitle(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                        const ControlVisualTokens& block, unsigned part, float size) {
    if (widget.text.empty()) return {};
    const Rect frame = normalizeRect(widget.frame);
    const float p = surfacePadding(widget, tokens);
    const TextLayoutBox box{tokens.text_measurer,    std::max(frame.width - 2 * p, 1.0f),
                            widgetLineHeight(size),  TextWrap::word,
                            recordAlignment(widget), true};
    return appendText(out, widgetCommandId(widget.id, part), tokens.default_font, widget.text, size,
                      {frame.x + p, frame.y + p + size}, surfaceTextColor(widget, tokens, block), box, tokens);
}

Status emitModalChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                       float baseRadius) {
    return emitModalSurfaceWidgetChrome(out, widget, tokens, surfaceControlVisualTokens(widget.widgetKind(), tokens),
                                        baseRadius);
}

// The icon side of alerts and accordions: 14, 16 or 18 by density, scaled by the control size.
float surfaceIconSide(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return 16 * widgetDensityScale(tokens) * controlSizeScale(widget.size);
}

Status emitResizeGrip(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                      const ControlVisualTokens& block) {
    const Rect frame = normalizeRect(widget.frame);
    if (!(frame.width > 0) || !(frame.height > 0)) return {};
    const float d = widgetDensityScale(tokens);
    const float s = controlSizeScale(widget.size);
    const float inset = 6 * d * s;
    const float length = std::min(std::max(10 * d * s, 0.48f * frame.height), std::max(frame.height - 2 * inset, 0.0f));
    if (!(length > 0)) return {};
    const float outer = std::max(frame.x + inset, frame.x + frame.width - inset);
    const float inner = std::max(frame.x + inset, outer - 4 * d * s);
    const float top = frame.y + (frame.height - length) / 2;
    const float width = firstOf(widget.stroke_override, block.border_width, tokens.control_border_width);
    Color color = firstOf(block.foreground, block.border, palette(tokens, PaletteColor::text_muted));
    if (isSet(widget.disabled)) {
        color = palette(tokens, PaletteColor::text_muted);
    } else if (widget.text_color_override) {
        color = *widget.text_color_override;
    }
    const auto line = [&](unsigned part, float x) {
        return appendDrawLine(out, widgetCommandId(widget.id, part), snapGeometryPoint({x, top}, tokens),
                              snapGeometryPoint({x, top + length}, tokens), color, width);
    };
    TRY(line(4, inner));
    return line(5, outer);
}

}  // namespace

Status emitMenuSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                   const WidgetTokens& tokens) {
    return emitSurfaceChrome(out, widget, tokens, surfaceControlVisualTokens(widget.widgetKind(), tokens),
                             tokens.radius_medium, kFloatingParts);
}

Status emitPopoverWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    return emitSurfaceChrome(out, widget, tokens, surfaceControlVisualTokens(widget.widgetKind(), tokens),
                             tokens.radius_large, kFloatingParts);
}

Status emitPanelWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = surfaceControlVisualTokens(widget.widgetKind(), tokens);
    TRY(emitSurfaceChrome(out, widget, tokens, block, tokens.radius_medium, kPanelParts));
    if (widget.widgetKind() != WidgetKind::resizable_panel) return {};
    return emitResizeGrip(out, widget, tokens, block);
}

Status emitModalSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTokens& tokens, const ControlVisualTokens& block, float baseRadius) {
    TRY(emitSurfaceChrome(out, widget, tokens, block, baseRadius, kFloatingParts));
    return emitSurfaceTitle(out, widget, tokens, block, 4, controlFontSize(tokens.font_size_title, widget.size));
}

Status emitDialogSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                     const WidgetTokens& tokens) {
    return emitModalChrome(out, widget, tokens, tokens.radius_large);
}

Status emitDrawerSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                     const WidgetTokens& tokens) {
    return emitModalChrome(out, widget, tokens, tokens.radius_large);
}

Status emitSheetSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTokens& tokens) {
    return emitModalChrome(out, widget, tokens, tokens.radius_medium);
}

Status emitCardWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = surfaceControlVisualTokens(widget.widgetKind(), tokens);
    TRY(emitSurfaceChrome(out, widget, tokens, block, tokens.radius_medium, kFlatParts));
    return emitSurfaceTitle(out, widget, tokens, block, 3, controlFontSize(tokens.font_size_body + 1, widget.size));
}

Status emitAlertWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = surfaceControlVisualTokens(widget.widgetKind(), tokens);
    TRY(emitSurfaceChrome(out, widget, tokens, block, tokens.radius_medium, kFlatParts));

    const Rect frame = normalizeRect(widget.frame);
    const float f = controlFontSize(tokens.font_size_body, widget.size);
    const float p = surfacePadding(widget, tokens);
    const float side = surfaceIconSide(widget, tokens);
    const bool warning = widget.variant == 5;
    Color color = firstOf(block.foreground, palette(tokens, warning ? PaletteColor::tint : PaletteColor::text));
    if (isSet(widget.disabled)) {
        color = palette(tokens, PaletteColor::text_muted);
    } else if (widget.text_color_override) {
        color = *widget.text_color_override;
    }
    const Rect icon{
        snapCoordinate(frame.x + p, tokens.snap_geometry, tokens.pixel_scale),
        snapCoordinate(frame.y + p + (widgetLineHeight(f) - side) / 2, tokens.snap_geometry, tokens.pixel_scale), side,
        side};
    if (const VectorIcon* drawing = lookupVectorIcon(warning ? "alert" : "info"); drawing && !rectIsEmpty(icon)) {
        TRY(emitVectorIcon(out, widget.id, 3, icon, color, *drawing));
    }
    if (widget.text.empty()) return {};
    const float gap = sizedInset(tokens.inset_m, widget, tokens);
    const TextLayoutBox box{tokens.text_measurer,    std::max(frame.width - 2 * p - side - gap, 1.0f),
                            widgetLineHeight(f),     TextWrap::word,
                            recordAlignment(widget), true};
    return appendText(out, widgetCommandId(widget.id, 10), tokens.default_font, widget.text, f,
                      {frame.x + p + side + gap, frame.y + p + (widgetLineHeight(f) + 0.7f * f) / 2}, color, box,
                      tokens);
}

Status emitBubbleWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = surfaceControlVisualTokens(widget.widgetKind(), tokens);
    const float radius = firstOf(widget.radius_override, std::max(tokens.radius_medium, 0.0f) + 12);
    const CornerRadii radii = uniformRadii(radius);
    const unsigned variant = widget.variant & 7u;
    std::optional<Color> fill;
    switch (variant) {
        case 1:
            fill = firstOf(widget.accent_override, palette(tokens, PaletteColor::accent));
            break;
        case 3:
            fill = palette(tokens, PaletteColor::background);
            break;
        case 4:
            break;
        case 0:
        case 2:
            fill = firstOf(block.fill, palette(tokens, PaletteColor::control_hover));
            break;
        default:
            fill = firstOf(tokens.block(ControlBlock::button_v5).fill,
                           withAlpha(palette(tokens, PaletteColor::tint), 0.1f));
            break;
    }
    if (widget.fill_override) fill = widget.fill_override;
    if (fill) TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 2), widget.frame, radii, *fill));
    if (!widget.border_color_override && variant != 3) return {};
    const Color border = firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border));
    return appendStrokeRect(
        out, widgetCommandId(widget.id, 3), widget.frame, radii, border,
        std::max(firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width), 0.0f), tokens);
}

WidgetTokens bubbleContentTokens(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = surfaceControlVisualTokens(WidgetKind::bubble, tokens);
    WidgetTokens content = tokens;
    std::optional<Color> text;
    switch (widget.variant & 7u) {
        case 1:
            text = firstOf(widget.accent_text_override, block.foreground, palette(tokens, PaletteColor::accent_text));
            break;
        case 0:
        case 2:
            text = block.foreground;
            break;
        case 3:
        case 4:
            break;
        default:
            text = palette(tokens, PaletteColor::tint);
            break;
    }
    if (text) {
        content.palette[static_cast<unsigned>(PaletteColor::text)] = *text;
        content.palette[static_cast<unsigned>(PaletteColor::text_muted)] = withAlpha(*text, 0.7f);
    }
    return content;
}

Status emitBubbleWidgetReactions(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    if (widget.text.empty() || !(frame.width > 0) || !(frame.height > 0)) return {};
    const float f = controlFontSize(tokens.font_size_caption, widget.size);
    const float h = widgetLineHeight(f) + 4;
    const float measured = measureTextWidthForFont(tokens.text_measurer, tokens.default_font, widget.text, f);
    const float w = std::max(h, std::ceil(measured) + 12);
    float x = frame.x + 12;
    if (recordAlignment(widget) == TextAlign::center) x = frame.x + (frame.width - w) / 2;
    if (recordAlignment(widget) == TextAlign::end) x = frame.x + frame.width - 12 - w;
    const Rect pill = snapWidgetRect({x, frame.y + frame.height - 0.25f * h, w, h}, tokens);
    const Rect ring{pill.x - 3, pill.y - 3, pill.width + 6, pill.height + 6};
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 4), ring, uniformRadii(ring.height / 2),
                              palette(tokens, PaletteColor::background)));
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 5), pill, uniformRadii(pill.height / 2),
                              palette(tokens, PaletteColor::control_hover)));
    return appendText(out, widgetCommandId(widget.id, 6), tokens.default_font, widget.text, f,
                      {pill.x + 6, centredBaseline(pill.y, pill.height, f)}, palette(tokens, PaletteColor::text),
                      std::nullopt, tokens);
}

Status emitAccordionWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    if (!(frame.width > 0) || !(frame.height > 0)) return {};
    const ControlVisualTokens block = surfaceControlVisualTokens(widget.widgetKind(), tokens);
    if (widget.fill_override || block.fill) {
        // An accordion has no block radius of its own: the explicit radius, else the size step of 0.
        const float radius = widget.radius_override ? std::max(*widget.radius_override, 0.0f)
                                                    : std::max(radiusSizeStep(0.0f, widget.size), 0.0f);
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame, uniformRadii(radius),
                                  firstOf(widget.fill_override, block.fill, kTransparent)));
    }
    const float bottom = frame.y + frame.height;
    TRY(appendDrawLine(out, widgetCommandId(widget.id, 2), snapGeometryPoint({frame.x, bottom}, tokens),
                       snapGeometryPoint({frame.x + frame.width, bottom}, tokens),
                       firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border)),
                       firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width)));

    const float s = controlFontSize(tokens.font_size_body, widget.size);
    const float p = surfacePadding(widget, tokens);
    const float rowHeight = std::max(widgetControlHeight(widget.size, tokens), widgetLineHeight(s) + 2 * p);
    const float left = std::min(widget.insets.left, frame.width);
    const float rowTop = frame.y + std::min(widget.insets.top, frame.height);
    const float contentWidth = std::max(frame.width - widget.insets.left - widget.insets.right, 0.0f);
    const float side = surfaceIconSide(widget, tokens);
    const Color& muted = palette(tokens, PaletteColor::text_muted);

    if (!widget.text.empty()) {
        const TextLayoutBox box =
            lineLayoutBox(tokens, contentWidth - side - sizedInset(tokens.inset_m, widget, tokens), s,
                          recordAlignment(widget), !isSet(widget.text_ellipsis));
        TRY(appendText(out, widgetCommandId(widget.id, 6), tokens.default_font, widget.text, s,
                       {frame.x + left, rowTop + (0.7f * s + rowHeight) / 2}, surfaceTextColor(widget, tokens, block),
                       box, tokens));
    }
    if (const VectorIcon* chevron = lookupVectorIcon("chevron-down")) {
        const Rect icon =
            snapWidgetRect({frame.x + left + contentWidth - side, rowTop + (rowHeight - side) / 2, side, side}, tokens);
        const Color color = !isSet(widget.disabled) && widget.text_color_override ? *widget.text_color_override : muted;
        const bool open = isSet(widget.selected) || widget.value >= 0.5f;
        const Affine halfTurn{-1, 0, 0, -1, 2 * icon.x + icon.width, 2 * icon.y + icon.height};
        if (open) TRY(out.append(CanvasCommand::transformBy(halfTurn)));
        TRY(emitVectorIcon(out, widget.id, 4, icon, color, *chevron));
        if (open) TRY(out.append(CanvasCommand::transformBy(halfTurn)));
    }
    if (!isSet(widget.focused)) return {};
    const float o = tokens.focus_ring_offset;
    const float radius =
        (widget.radius_override ? *widget.radius_override : radiusSizeStep(tokens.radius_small, widget.size)) + o;
    const Rect ring{frame.x - o, frame.y - o, frame.width + 2 * o, frame.height + 2 * o};
    return appendStrokeRect(out, widgetCommandId(widget.id, 7), ring, uniformRadii(radius),
                            firstOf(widget.focus_ring_color_override, palette(tokens, PaletteColor::focus_ring)),
                            tokens.focus_ring_width, tokens);
}

Status emitTabsListWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    const ControlVisualTokens& block = tokens.block(ControlBlock::tabs);
    const CornerRadii radii = uniformRadii(controlCornerRadius(widget, block.corner_radius, tokens.radius_medium));
    const float width = firstOf(widget.stroke_override, block.border_width, tokens.surface_border_width);
    if (!tokens.tabs_underline) {
        TRY(appendFillRoundedRect(
            out, widgetCommandId(widget.id, 1), frame, radii,
            firstOf(widget.fill_override, block.fill, palette(tokens, PaletteColor::control_hover))));
        if (!widget.border_color_override && !block.border) return {};
        return appendStrokeRect(out, widgetCommandId(widget.id, 2), frame, radii,
                                firstOf(widget.border_color_override, *block.border), width, tokens);
    }
    if (widget.fill_override || block.fill) {
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame, radii,
                                  firstOf(widget.fill_override, block.fill, kTransparent)));
    }
    const float t = std::min(frame.height, width);
    if (!(t > 0)) return {};
    return appendFillRect(out, widgetCommandId(widget.id, 2),
                          snapWidgetRect({frame.x, frame.y + frame.height - t, frame.width, t}, tokens),
                          firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border)));
}

bool isOpenModalSurface(const WidgetDescription& widget) {
    const WidgetKind kind = widget.widgetKind();
    const bool modal = kind == WidgetKind::dialog || kind == WidgetKind::drawer || kind == WidgetKind::sheet;
    return modal && widget.expanded.value_or(false);
}

Status emitModalSurfaceScrim(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (!isOpenModalSurface(widget)) return {};
    const float blur = std::max(tokens.scrim_blur, 0.0f);
    const Color& scrim = palette(tokens, PaletteColor::scrim);
    if (!(scrim.a > 0) && !(blur > 0)) return {};
    const Rect area = normalizeRect(widgetRenderScratch().scrim_viewport.value_or(widget.frame));
    if (!(area.width > 0) || !(area.height > 0)) return {};
    if (blur > 0) TRY(out.append(CanvasCommand::blurOf({widgetCommandId(widget.id, 13), area, blur})));
    if (scrim.a > 0) TRY(appendFillRect(out, widgetCommandId(widget.id, 14), area, scrim));
    return {};
}

AccordionDisclosure accordionLayoutDisclosure(WidgetLayoutTree tree, std::size_t index, const WidgetDescription& widget,
                                              const WidgetRenderState& state) {
    const bool open = isSet(widget.selected) || widget.value >= 0.5f;
    if (!open) {
        if (widget.id == 0) return AccordionDisclosure::collapsed;
        for (std::uint64_t id : state.ids) {
            if (id == widget.id) return AccordionDisclosure::clipped;
        }
        return AccordionDisclosure::collapsed;
    }
    if (index >= tree.size()) return AccordionDisclosure::open;
    const WidgetLayoutNode& node = tree[index];
    const float ownBottom = node.rect.y + std::fabs(node.rect.height);
    const std::size_t end = widgetSubtreeEnd(tree, index);
    for (std::size_t i = index + 1; i < end; ++i) {
        const WidgetLayoutNode& child = tree[i];
        if (isSet(child.out_of_flow)) continue;
        if (child.rect.y + std::fabs(child.rect.height) > ownBottom + 0.5f) return AccordionDisclosure::clipped;
    }
    return AccordionDisclosure::open;
}

}  // namespace kelvo
