// Checkbox, radio, switch, slider, progress bar and segmented control.

#include "text/text_metrics.hpp"
#include "widgets/widget_control_geometry.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr Point kCheckMark[3] = {{0.26f, 0.54f}, {0.43f, 0.70f}, {0.76f, 0.32f}};
constexpr float kCheckMarkWidth = 2;

bool isOn(const WidgetDescription& widget) { return isSet(widget.selected) || widget.value >= 0.5f; }
bool isHovered(const WidgetDescription& widget) { return isSet(widget.hovered) && !isSet(widget.no_hover); }

// A value of 0..1; one that is not a number counts as 0.
float unitValue(float value) { return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f); }

float densitySize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return widgetDensityScale(tokens) * controlSizeScale(widget.size);
}

// A colour of a disabled control is dimmed unless the block gives a disabled colour of its own.
Color disabledOr(const WidgetDescription& widget, Color color, const std::optional<Color>& blockDisabled,
                 const WidgetTokens& tokens) {
    if (!isSet(widget.disabled)) return color;
    return blockDisabled ? *blockDisabled : dimmed(color, tokens);
}

float controlBorderWidth(const WidgetDescription& widget, const WidgetTokens& tokens,
                         const ControlVisualTokens& block) {
    return std::max(firstOf(widget.stroke_override, block.border_width, tokens.control_border_width), 0.0f);
}

Color labelColorFor(const ControlVisualTokens& block, const WidgetTokens& tokens) {
    return firstOf(block.foreground, palette(tokens, PaletteColor::text));
}

float indicatorGap(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return sizedInset(tokens.inset_s, widget, tokens);
}

}  // namespace

Status emitControlLabelWithColor(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                                 unsigned part, Color color, float left) {
    if (widget.text.empty()) return {};
    const Rect frame = normalizeRect(widget.frame);
    const float f = controlFontSize(tokens.font_size_caption, widget.size);
    if (isSet(widget.disabled)) {
        color = palette(tokens, PaletteColor::text_muted);
    } else if (widget.text_color_override) {
        color = *widget.text_color_override;
    }
    return appendText(
        out, widgetCommandId(widget.id, part), tokens.default_font, widget.text, f,
        {left, centredBaseline(frame.y, frame.height, f)}, color,
        lineLayoutBox(tokens, frame.x + frame.width - left, f, TextAlign::start, isSet(widget.label_no_ellipsis)),
        tokens);
}

Status emitCheckboxWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = selectionControlVisualTokens(widget.widgetKind(), tokens);
    const bool checked = isOn(widget);
    const Rect box = checkboxIndicatorRect(widget, tokens);
    const CornerRadii radii = uniformRadii(controlCornerRadius(widget, block.corner_radius, 4));
    const Color& control = palette(tokens, PaletteColor::control);
    const Color& accent = palette(tokens, PaletteColor::accent);

    Color fill = checked             ? firstOf(widget.active_fill_override, block.active_fill, accent)
                 : isHovered(widget) ? firstOf(widget.fill_override, block.hover_fill, block.fill, control)
                                     : firstOf(widget.fill_override, block.fill, control);
    Color border = checked ? firstOf(widget.active_fill_override, block.border, block.active_fill, accent)
                           : firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border));
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), box, radii,
                              disabledOr(widget, fill, block.disabled_fill, tokens)));
    TRY(appendStrokeRect(out, widgetCommandId(widget.id, 2), box, radii, disabledOr(widget, border, {}, tokens),
                         controlBorderWidth(widget, tokens, block), tokens));
    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 3, box, radii));
    if (checked) {
        const std::span<PathElement> mark = TRY(takeWidgetPathElements(3));
        for (int i = 0; i < 3; ++i) {
            const Point p =
                snapGeometryPoint({box.x + kCheckMark[i].x * box.width, box.y + kCheckMark[i].y * box.height}, tokens);
            mark[static_cast<std::size_t>(i)] = i == 0 ? PathElement::moveTo(p) : PathElement::lineTo(p);
        }
        const Color ink =
            firstOf(widget.active_text_color_override, block.foreground, palette(tokens, PaletteColor::accent_text));
        TRY(out.append(CanvasCommand::strokePath(
            {widgetCommandId(widget.id, 4), mark,
             Stroke{Paint::solid(disabledOr(widget, ink, block.disabled_foreground, tokens)), kCheckMarkWidth},
             LineCap::round})));
    }
    return emitControlLabelWithColor(out, widget, tokens, 6, labelColorFor(block, tokens),
                                     box.x + box.width + indicatorGap(widget, tokens));
}

Status emitRadioWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = selectionControlVisualTokens(widget.widgetKind(), tokens);
    const Rect box = checkboxIndicatorRect(widget, tokens);
    const CornerRadii radii = uniformRadii(controlCornerRadius(widget, block.corner_radius, box.width / 2));
    const Color& control = palette(tokens, PaletteColor::control);
    const Color fill = isHovered(widget) ? firstOf(widget.fill_override, block.hover_fill, block.fill, control)
                                         : firstOf(widget.fill_override, block.fill, control);
    const Color border = firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border));
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), box, radii,
                              disabledOr(widget, fill, block.disabled_fill, tokens)));
    TRY(appendStrokeRect(out, widgetCommandId(widget.id, 2), box, radii, disabledOr(widget, border, {}, tokens),
                         controlBorderWidth(widget, tokens, block), tokens));
    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 3, box, radii));
    if (isOn(widget)) {
        const float d = box.width * 0.5f;
        const Rect dot = snapWidgetRect({box.x + (box.width - d) / 2, box.y + (box.height - d) / 2, d, d}, tokens);
        const Color ink =
            firstOf(widget.active_fill_override, block.active_fill, palette(tokens, PaletteColor::accent));
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 4), dot, uniformRadii(d / 2),
                                  disabledOr(widget, ink, block.disabled_foreground, tokens)));
    }
    return emitControlLabelWithColor(out, widget, tokens, 5, labelColorFor(block, tokens),
                                     box.x + box.width + indicatorGap(widget, tokens));
}

Status emitToggleWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = selectionControlVisualTokens(widget.widgetKind(), tokens);
    const bool on = isOn(widget);
    const Rect track = toggleWidgetTrackRect(widget, tokens);
    const CornerRadii trackRadii = uniformRadii(controlCornerRadius(widget, block.corner_radius, track.height / 2));

    Color fill = on ? firstOf(widget.active_fill_override, block.active_fill, palette(tokens, PaletteColor::accent))
                 : widget.fill_override ? *widget.fill_override
                 : isHovered(widget) && block.hover_fill
                     ? *block.hover_fill
                     : firstOf(block.fill, palette(tokens, PaletteColor::control_active));
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), track, trackRadii,
                              disabledOr(widget, fill, block.disabled_fill, tokens)));

    const std::optional<Color> borderColor = widget.border_color_override ? widget.border_color_override : block.border;
    float borderWidth = 0;
    if (widget.stroke_override) {
        borderWidth = *widget.stroke_override;
    } else if (block.border_width) {
        borderWidth = *block.border_width;
    } else if (borderColor) {
        borderWidth = tokens.control_border_width;
    }
    if (borderWidth > 0) {
        const Color border = borderColor.value_or(palette(tokens, PaletteColor::border));
        TRY(appendStrokeRect(out, widgetCommandId(widget.id, 2), track, trackRadii,
                             disabledOr(widget, border, {}, tokens), borderWidth, tokens));
    }

    const float m = 2 * densitySize(widget, tokens);
    const float k = std::max(track.height - 2 * m, 0.0f);
    const float left = on ? track.x + track.width - k - m : track.x + m;
    const Rect knob = snapWidgetRect({left, track.y + m, k, k}, tokens);
    const Color& accentText = palette(tokens, PaletteColor::accent_text);
    Color knobColor = on ? firstOf(widget.active_text_color_override, block.foreground, accentText)
                         : firstOf(widget.fill_override, block.foreground, accentText);
    if (isSet(widget.disabled)) knobColor = dimmed(knobColor, tokens);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 3), knob,
                              uniformRadii(controlCornerRadius(widget, block.corner_radius, k / 2)), knobColor));

    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 4, track, trackRadii));
    return emitControlLabelWithColor(out, widget, tokens, 5, labelColorFor(block, tokens),
                                     track.x + track.width + indicatorGap(widget, tokens));
}

Status emitSliderWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = selectionControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const float v = unitValue(widget.value);
    const bool disabled = isSet(widget.disabled);
    const bool dimsTrack = disabled && !block.disabled_fill && !block.disabled_foreground;

    const float t = std::min(frame.height, tokens.slider_track_thickness * densitySize(widget, tokens));
    const Rect track = snapWidgetRect({frame.x, frame.y + (frame.height - t) / 2, frame.width, t}, tokens);
    const Rect filled = snapWidgetRect({track.x, track.y, v * track.width, track.height}, tokens);
    const CornerRadii trackRadii = uniformRadii(track.height / 2);

    Color trackColor = firstOf(widget.fill_override, block.fill, palette(tokens, PaletteColor::control_hover));
    if (dimsTrack) trackColor = dimmed(trackColor, tokens);
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), track, trackRadii, trackColor));
    if (v > 0) {
        Color fill = firstOf(widget.active_fill_override, block.active_fill, palette(tokens, PaletteColor::accent));
        if (disabled) fill = block.disabled_fill ? *block.disabled_fill : dimmed(fill, tokens);
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 2), filled, trackRadii, fill));
    }

    const Rect knob = sliderWidgetKnobRect(widget, tokens);
    const CornerRadii knobRadii =
        uniformRadii(controlCornerRadius(widget, block.corner_radius, std::min(knob.width, knob.height) / 2));
    Color knobColor = firstOf(widget.fill_override, block.foreground, kOpaqueWhite);
    if (disabled) {
        if (block.disabled_foreground) {
            knobColor = *block.disabled_foreground;
        } else if (!block.disabled_fill) {
            knobColor = dimmed(knobColor, tokens);
        }
    }
    TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 3), knob, knobRadii, knobColor));

    Color border = firstOf(block.border, palette(tokens, PaletteColor::focus_ring));
    if (dimsTrack) border = dimmed(border, tokens);
    if (widget.border_color_override) border = *widget.border_color_override;
    TRY(appendStrokeRect(out, widgetCommandId(widget.id, 4), knob, knobRadii, border,
                         controlBorderWidth(widget, tokens, block), tokens));
    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 5, knob, knobRadii));
    return {};
}

Status emitProgressWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens block = selectionControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const float v = unitValue(widget.value);
    const CornerRadii radii =
        uniformRadii(controlCornerRadius(widget, block.corner_radius, std::min(tokens.radius_small, frame.height / 2)));
    if (v < 1) {
        TRY(appendFillRoundedRect(
            out, widgetCommandId(widget.id, 1), frame, radii,
            firstOf(widget.fill_override, block.fill, palette(tokens, PaletteColor::control_hover))));
    }
    if (v == 0) return {};
    const Rect indicator = snapWidgetRect({frame.x, frame.y, v * frame.width, frame.height}, tokens);
    return appendFillRoundedRect(
        out, widgetCommandId(widget.id, 2), indicator, radii,
        firstOf(widget.active_fill_override, block.active_fill, palette(tokens, PaletteColor::accent)));
}

Status emitSegmentedControlWidget(WidgetRenderTarget& out, const WidgetDescription& widget,
                                  const WidgetTokens& tokens) {
    const ControlVisualTokens block = selectionControlVisualTokens(widget.widgetKind(), tokens);
    const Rect frame = normalizeRect(widget.frame);
    const bool selected = isOn(widget);
    const bool underline = tokens.tabs_underline;

    float radius = 0;
    if (widget.radius_override) {
        radius = *widget.radius_override;
    } else if (block.corner_radius) {
        radius = radiusSizeStep(*block.corner_radius, widget.size);
    } else {
        const float tabs = firstOf(tokens.block(ControlBlock::tabs).corner_radius, tokens.radius_medium);
        radius = radiusSizeStep(tabs, widget.size) - 3;
    }
    const CornerRadii radii = uniformRadii(std::max(radius, 0.0f));
    const float f = controlFontSize(tokens.font_size_caption, widget.size);
    const float inset = sizedInset(tokens.inset_m, widget, tokens);

    if (!underline && selected) {
        TRY(appendFillRoundedRect(
            out, widgetCommandId(widget.id, 1), frame, radii,
            firstOf(widget.active_fill_override, block.active_fill, palette(tokens, PaletteColor::control))));
        TRY(appendStrokeRect(
            out, widgetCommandId(widget.id, 2), frame, radii,
            firstOf(widget.border_color_override, block.border, palette(tokens, PaletteColor::border)),
            std::max(firstOf(widget.stroke_override, block.border_width, tokens.control_border_width), 0.0f), tokens));
    } else if (widget.fill_override || block.fill) {
        const Color fill = widget.fill_override                    ? *widget.fill_override
                           : isHovered(widget) && block.hover_fill ? *block.hover_fill
                                                                   : *block.fill;
        TRY(appendFillRoundedRect(out, widgetCommandId(widget.id, 1), frame, radii, fill));
    }

    if (underline && selected && frame.width > 0 && frame.height > 0) {
        float scale = widgetDensityScale(tokens);
        if (isSmallWidgetSize(widget.size)) scale *= 0.875f;
        if (isLargeWidgetSize(widget.size)) scale *= 1.125f;
        const float t = std::min(frame.height, tokens.segmented_indicator_thickness * scale);
        const float w = measureTextWidthForFont(tokens.text_measurer, tokens.default_font, widget.text, f);
        const float u = w > 0 ? std::min(frame.width, w + 4) : frame.width;
        const Rect indicator =
            snapWidgetRect({frame.x + (frame.width - u) / 2, frame.y + frame.height + 3 - t, u, t}, tokens);
        TRY(appendFillRect(
            out, widgetCommandId(widget.id, 2), indicator,
            firstOf(widget.active_fill_override, block.active_fill, palette(tokens, PaletteColor::text))));
    }

    if (isSet(widget.focused)) TRY(emitWidgetFocusRingForRect(out, widget, tokens, 4, frame, radii));

    Color label = palette(tokens, PaletteColor::text_muted);
    if (isSet(widget.disabled)) {
        label = palette(tokens, PaletteColor::text_muted);
    } else if (widget.text_color_override) {
        label = *widget.text_color_override;
    } else if (block.foreground) {
        label = *block.foreground;
    } else if (selected || (underline && isSet(widget.hovered))) {
        label = palette(tokens, PaletteColor::text);
    }
    return appendText(
        out, widgetCommandId(widget.id, 3), tokens.default_font, widget.text, f,
        {frame.x + inset, centredBaseline(frame.y, frame.height, f)}, label,
        lineLayoutBox(tokens, frame.width - 2 * inset, f, TextAlign::center, isSet(widget.label_no_ellipsis)), tokens);
}

}  // namespace kelvo
