#include "widgets/widget_render_style.hpp"

#include <algorithm>
#include <cmath>

#include "widgets/widget_render_draw.hpp"

namespace kelvo {

namespace {

using Block = ControlBlock;
using render::firstOf;
using render::kTransparent;
using render::scaledAlpha;
using render::withAlpha;

ControlVisualTokens over(const WidgetTokens& tokens, Block primary, Block fallback) {
    return controlVisualTokensWithFallback(tokens.block(primary), tokens.block(fallback));
}

// Variants 6 and 7 are drawn as variant 5.
unsigned effectiveVariant(const WidgetDescription& widget) { return std::min<unsigned>(widget.variant, 5u); }

bool isToggleButton(WidgetKind kind) {
    return kind == WidgetKind::toggle_button || kind == WidgetKind::toggle_button_b;
}

bool isAttached(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return (widget.attach_position & 3u) != 0 && tokens.attached_groups;
}

struct ButtonState {
    bool pressed = false;
    bool checked = false;
    bool hovered = false;
};

ButtonState buttonState(const WidgetDescription& widget) {
    return {(widget.pressed & 1u) != 0, (widget.selected & 1u) != 0,
            (widget.hovered & 1u) != 0 && (widget.no_hover & 1u) == 0};
}

Color enabledButtonFill(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& b) {
    const ButtonState s = buttonState(widget);
    const Color& accent = tokens.color(PaletteColor::accent);
    const Color& controlActive = tokens.color(PaletteColor::control_active);
    const Color& controlHover = tokens.color(PaletteColor::control_hover);
    const std::optional<Color>& explicitFill = widget.fill_override;
    const std::optional<Color>& explicitActive = widget.active_fill_override;

    if (isAttached(widget, tokens)) {
        if (s.pressed) return firstOf(explicitActive, b.pressed_fill, b.active_fill, controlActive);
        if (s.checked) return firstOf(explicitActive, b.active_fill, controlActive);
        if (s.hovered) return firstOf(explicitFill, b.hover_fill, b.fill, controlHover);
        return firstOf(explicitFill, b.fill, controlHover);
    }
    switch (effectiveVariant(widget)) {
        case 0:
            if (s.pressed || s.checked) return firstOf(explicitActive, b.active_fill, controlActive);
            if (s.hovered) return firstOf(explicitFill, b.hover_fill, controlHover);
            return firstOf(explicitFill, b.fill, tokens.color(PaletteColor::control));
        case 1: {
            if (explicitActive) return *explicitActive;
            if (s.pressed) {
                return firstOf(b.pressed_fill, b.active_fill, b.hover_fill, b.fill,
                               scaledAlpha(accent, tokens.accent_pressed_alpha));
            }
            if (s.checked) return firstOf(b.active_fill, b.hover_fill, b.fill, accent);
            if (s.hovered) return firstOf(b.hover_fill, b.fill, scaledAlpha(accent, tokens.accent_hover_alpha));
            return firstOf(b.fill, accent);
        }
        case 2:
            if (explicitFill) return *explicitFill;
            if (s.pressed || s.checked) return firstOf(b.active_fill, b.hover_fill, b.fill, controlActive);
            if (s.hovered) return firstOf(b.hover_fill, b.fill, scaledAlpha(controlHover, tokens.control_hover_alpha));
            return firstOf(b.fill, controlHover);
        case 3:
        case 4:
            if (explicitFill) return *explicitFill;
            if (s.pressed) return firstOf(b.pressed_fill, b.active_fill, b.hover_fill, controlActive);
            if (s.checked && isToggleButton(widget.widgetKind())) {
                return firstOf(b.active_fill, b.hover_fill, controlHover);
            }
            if (s.hovered) return firstOf(b.hover_fill, controlHover);
            return firstOf(b.fill, kTransparent);
        default: {
            if (explicitActive) return *explicitActive;
            const Color& tint = tokens.color(PaletteColor::tint);
            if (s.pressed) {
                return firstOf(b.pressed_fill, b.active_fill,
                               withAlpha(tint, std::min(tokens.tint_pressed_alpha, 1.0f)));
            }
            if (s.hovered) return firstOf(b.hover_fill, withAlpha(tint, std::min(tokens.tint_hover_alpha, 1.0f)));
            return firstOf(b.fill, withAlpha(tint, std::min(tokens.tint_alpha, 1.0f)));
        }
    }
}

Color enabledButtonText(const WidgetDescription& widget, const WidgetTokens& tokens, const ControlVisualTokens& b) {
    const ButtonState s = buttonState(widget);
    const bool active = s.pressed || s.checked;
    const Color& text = tokens.color(PaletteColor::text);
    const Color& accentText = tokens.color(PaletteColor::accent_text);
    const std::optional<Color>& explicitText = widget.text_color_override;
    const std::optional<Color>& explicitActive = widget.active_text_color_override;

    if (isAttached(widget, tokens)) {
        return active ? firstOf(explicitActive, b.active_foreground, accentText)
                      : firstOf(explicitText, b.foreground, text);
    }
    switch (effectiveVariant(widget)) {
        case 0:
            return active ? firstOf(explicitActive, b.foreground, accentText)
                          : firstOf(explicitText, b.foreground, text);
        case 1:
            return firstOf(explicitActive, b.foreground, accentText);
        case 2:
        case 3:
        case 4:
            return firstOf(explicitText, b.foreground, text);
        default:
            return firstOf(explicitActive, b.foreground, tokens.color(PaletteColor::tint));
    }
}

// The same widget with its interaction flags cleared: what a disabled widget derives from.
WidgetDescription restingCopy(const WidgetDescription& widget) {
    WidgetDescription resting = widget;
    resting.hovered = resting.pressed = resting.focused = resting.disabled = 0;
    return resting;
}

}  // namespace

StrokeRectCommand snapHairlineStrokeRect(const StrokeRectCommand& payload, bool snapGeometry, float pixelScale) {
    const float s = pixelScale;
    if (!snapGeometry || !std::isfinite(s) || !(s > 0)) return payload;
    const float w = std::max(payload.stroke.width, 0.0f);
    const float deviceWidth = std::round(s * w);
    if (!(deviceWidth >= 1 && deviceWidth <= 2)) return payload;
    const Rect frame = normalizeRect(payload.rect);
    if (rectIsEmpty(frame)) return payload;

    const float d = std::max(std::floor(s * w), 1.0f);
    const float h = d / 2;
    const float left = (std::round(frame.x * s) + h) / s;
    const float top = (std::round(frame.y * s) + h) / s;
    const float right = (std::round((frame.x + frame.width) * s) - h) / s;
    const float bottom = (std::round((frame.y + frame.height) * s) - h) / s;
    const Rect snapped{left, top, right - left, bottom - top};
    if (rectIsEmpty(snapped)) return payload;

    StrokeRectCommand result = payload;
    result.stroke.width = d / s;
    result.rect = snapped;
    const float inset = h / s;
    for (float* radius :
         {&result.radii.top_left, &result.radii.top_right, &result.radii.bottom_right, &result.radii.bottom_left}) {
        *radius = std::max(*radius - inset, 0.0f);
    }
    return result;
}

ControlVisualTokens controlVisualTokensWithFallback(const ControlVisualTokens& primary,
                                                    const ControlVisualTokens& fallback) {
    ControlVisualTokens merged;
    merged.fill = primary.fill ? primary.fill : fallback.fill;
    merged.hover_fill = primary.hover_fill ? primary.hover_fill : fallback.hover_fill;
    merged.active_fill = primary.active_fill ? primary.active_fill : fallback.active_fill;
    merged.pressed_fill = primary.pressed_fill ? primary.pressed_fill : fallback.pressed_fill;
    merged.disabled_fill = primary.disabled_fill ? primary.disabled_fill : fallback.disabled_fill;
    merged.disabled_foreground =
        primary.disabled_foreground ? primary.disabled_foreground : fallback.disabled_foreground;
    merged.foreground = primary.foreground ? primary.foreground : fallback.foreground;
    merged.border = primary.border ? primary.border : fallback.border;
    merged.corner_radius = primary.corner_radius ? primary.corner_radius : fallback.corner_radius;
    merged.border_width = primary.border_width ? primary.border_width : fallback.border_width;
    return merged;
}

ControlVisualTokens componentControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens) {
    switch (kind) {
        case WidgetKind::avatar:
            return tokens.block(Block::avatar);
        case WidgetKind::badge:
            return tokens.block(Block::badge);
        case WidgetKind::separator:
            return tokens.block(Block::separator);
        case WidgetKind::skeleton:
            return tokens.block(Block::skeleton);
        case WidgetKind::spinner:
            return tokens.block(Block::spinner);
        default:
            return {};
    }
}

ControlVisualTokens surfaceControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens) {
    switch (kind) {
        case WidgetKind::accordion:
            return over(tokens, Block::accordion, Block::surface);
        case WidgetKind::bubble:
            return over(tokens, Block::bubble, Block::surface);
        case WidgetKind::resizable_panel:
            return over(tokens, Block::panel, Block::surface);
        case WidgetKind::alert:
            return over(tokens, Block::alert, Block::surface);
        case WidgetKind::card:
            return over(tokens, Block::card, Block::surface);
        case WidgetKind::dialog:
            return over(tokens, Block::dialog, Block::overlay);
        case WidgetKind::drawer:
            return over(tokens, Block::drawer, Block::overlay);
        case WidgetKind::sheet:
            return over(tokens, Block::sheet, Block::overlay);
        case WidgetKind::panel:
            return tokens.block(Block::surface);
        case WidgetKind::popover:
            return tokens.block(Block::overlay);
        case WidgetKind::menu:
            return tokens.block(Block::menu);
        case WidgetKind::menu_b:
            return over(tokens, Block::menu_25, Block::menu);
        case WidgetKind::tooltip:
            return tokens.block(Block::tooltip);
        default:
            return {};
    }
}

ControlVisualTokens selectionControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens) {
    switch (kind) {
        case WidgetKind::segmented_control:
            return tokens.block(Block::segmented);
        case WidgetKind::checkbox:
            return tokens.block(Block::checkbox);
        case WidgetKind::radio:
            return tokens.block(Block::radio);
        case WidgetKind::switch_:
            return tokens.block(Block::toggle);
        case WidgetKind::slider:
            return tokens.block(Block::slider);
        case WidgetKind::progress_bar:
            return tokens.block(Block::progress);
        default:
            return {};
    }
}

ControlVisualTokens listItemControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens) {
    switch (kind) {
        case WidgetKind::menu_item:
            return over(tokens, Block::menu_item, Block::list_item);
        case WidgetKind::list_item:
            return tokens.block(Block::list_item);
        case WidgetKind::data_cell:
            return over(tokens, Block::data_cell, Block::list_item);
        default:
            return {};
    }
}

ControlVisualTokens textEntryControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens) {
    switch (kind) {
        case WidgetKind::text_field:
            return over(tokens, Block::text_field_35, Block::text_field);
        case WidgetKind::search_field:
            return tokens.block(Block::search_field);
        case WidgetKind::combo_box:
            return over(tokens, Block::search_field_38, Block::search_field);
        case WidgetKind::text_area:
        case WidgetKind::input_group:
            return tokens.block(Block::text_area);
        default:
            return tokens.block(Block::text_field);
    }
}

ControlVisualTokens buttonControlVisualTokens(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (isAttached(widget, tokens)) return tokens.block(Block::button_group);
    static constexpr Block kVariantBlocks[6] = {Block::button_v0, Block::button_v1, Block::button_v2,
                                                Block::button_v3, Block::button_v4, Block::button_v5};
    const ControlVisualTokens& variant = tokens.block(kVariantBlocks[effectiveVariant(widget)]);
    if (isToggleButton(widget.widgetKind())) {
        return controlVisualTokensWithFallback(tokens.block(Block::toggle_button), variant);
    }
    return variant;
}

Color buttonFillColor(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens b = buttonControlVisualTokens(widget, tokens);
    if ((widget.disabled & 1u) == 0) return enabledButtonFill(widget, tokens, b);
    if (b.disabled_fill) return *b.disabled_fill;
    return scaledAlpha(enabledButtonFill(restingCopy(widget), tokens, b), tokens.disabled_opacity);
}

Color buttonTextColorForWidget(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const ControlVisualTokens b = buttonControlVisualTokens(widget, tokens);
    if ((widget.disabled & 1u) == 0) return enabledButtonText(widget, tokens, b);
    if (b.disabled_foreground) return *b.disabled_foreground;
    return scaledAlpha(enabledButtonText(restingCopy(widget), tokens, b), tokens.disabled_opacity);
}

float buttonStrokeWidth(const WidgetDescription& widget, const WidgetTokens& tokens) {
    float width = tokens.control_border_width;
    if (widget.stroke_override) {
        width = *widget.stroke_override;
    } else if (const ControlVisualTokens b = buttonControlVisualTokens(widget, tokens); b.border_width) {
        width = *b.border_width;
    } else if (effectiveVariant(widget) >= 4 || isAttached(widget, tokens)) {
        width = 0;
    }
    return std::max(width, 0.0f);
}

Color textEditingInkColor(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (widget.disabled & 1u) return tokens.color(PaletteColor::text_muted);
    if (widget.text_color_override) return *widget.text_color_override;
    return firstOf(textEntryControlVisualTokens(widget.widgetKind(), tokens).foreground,
                   tokens.color(PaletteColor::text));
}

Color listItemFillColor(WidgetKind kind, const WidgetTokens& tokens, const ListItemState& state) {
    const ControlVisualTokens b = listItemControlVisualTokens(kind, tokens);
    if (state.selected || state.pressed) {
        if (state.pressed && b.pressed_fill) return *b.pressed_fill;
        return firstOf(b.active_fill, b.hover_fill, b.fill, tokens.color(PaletteColor::control_active));
    }
    if (state.hovered && !state.no_hover) {
        return firstOf(b.hover_fill, b.fill, tokens.color(PaletteColor::control_hover));
    }
    return firstOf(b.fill, kTransparent);
}

}  // namespace kelvo
