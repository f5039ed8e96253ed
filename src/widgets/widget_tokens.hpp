#pragma once

// A canvas view's design tokens: the record every emitter picks colours, radii, widths, insets,
// font sizes and motion from, with the values of the default record; the per-component visual
// blocks inside it; and the density and control-size scales.

#include <array>
#include <cstdint>
#include <optional>

#include "raster/canvas_geometry.hpp"

namespace kelvo {

// One component's visual overrides; every field may be absent.
struct ControlVisualTokens {
    std::optional<Color> fill;                 // resting background
    std::optional<Color> hover_fill;           // background while hovered
    std::optional<Color> active_fill;          // checked or selected (also the pressed fallback)
    std::optional<Color> pressed_fill;         // background while pressed
    std::optional<Color> disabled_fill;        // replaces the derived disabled background
    std::optional<Color> disabled_foreground;  // replaces the derived disabled text colour
    std::optional<Color> foreground;           // text and ink (scrollbar: thumb)
    std::optional<Color> active_foreground;    // text of a pressed or checked attached button
    std::optional<Color> border;
    std::optional<float> corner_radius;
    std::optional<float> border_width;
};

// The component blocks in record order.
#define KELVO_CONTROL_BLOCKS(X) \
    X(data_cell)                \
    X(text_field_35)            \
    X(button_v2)                \
    X(button_v3)                \
    X(button_v4)                \
    X(button_v5)                \
    X(toggle_button)            \
    X(accordion)                \
    X(alert)                    \
    X(bubble)                   \
    X(card)                     \
    X(dialog)                   \
    X(drawer)                   \
    X(segmented)                \
    X(select)                   \
    X(tabs)                     \
    X(text_field)               \
    X(search_field)             \
    X(search_field_38)          \
    X(text_area)                \
    X(list_item)                \
    X(menu_item)                \
    X(button_v1)                \
    X(button_v0)                \
    X(sheet)                    \
    X(spinner)                  \
    X(button_group)             \
    X(skeleton)                 \
    X(checkbox)                 \
    X(radio)                    \
    X(toggle)                   \
    X(slider)                   \
    X(progress)                 \
    X(scrollbar)                \
    X(surface)                  \
    X(panel)                    \
    X(overlay)                  \
    X(menu)                     \
    X(menu_25)                  \
    X(tooltip)                  \
    X(avatar)                   \
    X(badge)                    \
    X(separator)

enum class ControlBlock : std::uint8_t {
#define KELVO_CONTROL_BLOCK_ENUM(name) name,
    KELVO_CONTROL_BLOCKS(KELVO_CONTROL_BLOCK_ENUM)
#undef KELVO_CONTROL_BLOCK_ENUM
};

inline constexpr unsigned kControlBlockCount = 43;
static_assert(static_cast<unsigned>(ControlBlock::separator) + 1 == kControlBlockCount);

// Palette entries with a name of their own; the others are reached only through colour tokens.
enum class PaletteColor : std::uint8_t {
    background = 0,
    control = 1,
    control_hover = 2,
    control_active = 3,
    text = 4,
    text_muted = 5,
    border = 6,
    accent = 7,
    accent_text = 8,
    tint = 9,
    focus_ring = 17,
    shadow = 18,
    scrim = 19,
    control_disabled = 20,
};

inline constexpr unsigned kPaletteSize = 21;

// A colour given as four 8-bit channels, each stored as the byte divided by 255.
constexpr Color colorFromBytes(int r, int g, int b, int a) {
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f,
            static_cast<float>(a) / 255.0f};
}

struct WidgetSize {
    float width = 0;
    float height = 0;
};

struct TextMeasurer;

// Copied whole where it is used and never written field by field while in use.
struct WidgetTokens {
    std::uint64_t default_font = 1;
    std::uint64_t monospace_font = 2;
    std::optional<std::uint64_t> label_font;
    float font_size_body = 14;
    float font_size_caption = 13;
    float font_size_title = 20;
    float font_size_label = 14;
    float font_size_heading_1 = 28;
    float font_size_heading_2 = 48;
    const TextMeasurer* text_measurer = nullptr;
    std::array<Color, kPaletteSize> palette = {
        colorFromBytes(255, 255, 255, 255), colorFromBytes(255, 255, 255, 255), colorFromBytes(245, 245, 245, 255),
        colorFromBytes(229, 229, 229, 255), colorFromBytes(10, 10, 10, 255),    colorFromBytes(115, 115, 115, 255),
        colorFromBytes(229, 229, 229, 255), colorFromBytes(23, 23, 23, 255),    colorFromBytes(250, 250, 250, 255),
        colorFromBytes(231, 0, 11, 255),    colorFromBytes(250, 250, 250, 255), colorFromBytes(22, 163, 74, 255),
        colorFromBytes(250, 250, 250, 255), colorFromBytes(217, 119, 6, 255),   colorFromBytes(250, 250, 250, 255),
        colorFromBytes(124, 58, 237, 255),  colorFromBytes(250, 250, 250, 255), colorFromBytes(161, 161, 161, 255),
        colorFromBytes(0, 0, 0, 26),        colorFromBytes(0, 0, 0, 26),        colorFromBytes(245, 245, 245, 255),
    };
    float inset_xs = 4;
    float inset_s = 8;
    float inset_m = 12;
    float inset_l = 16;
    float inset_xl = 24;
    float radius_xsmall = 6;
    float radius_small = 8;
    float radius_medium = 10;
    float radius_large = 14;
    float surface_border_width = 1;
    float control_border_width = 1;
    float focus_ring_width = 2;
    float focus_ring_offset = 2;
    float accent_hover_alpha = 0.9f;
    float accent_pressed_alpha = 0.8f;
    float disabled_opacity = 0.5f;
    float selection_alpha = 0.3f;
    float tint_alpha = 0.1f;
    float tint_hover_alpha = 0.15f;
    float tint_pressed_alpha = 0.2f;
    float badge_tint_alpha = 0.12f;
    float control_hover_alpha = 0.8f;
    float slider_track_thickness = 4;
    float control_height_medium = 32;
    float control_height_large = 36;
    float button_inset_small = 10;
    float button_inset_medium = 10;
    float button_inset_large = 10;
    float font_step_small = 1.2f;
    float font_step_large = 0;
    float icon_label_gap = 6;
    float icon_extra_size = 2;
    float row_height = 28;
    float control_size_step = 2;
    float control_height_small = 28;
    WidgetSize slider_knob_size{12, 12};
    float segmented_indicator_thickness = 2;
    float tab_list_gap = 0;
    float spaced_row_gap = 0;
    std::uint32_t spinner_dot_count = 12;
    float spinner_ring = 0.25f;
    float spinner_dot = 0.1f;
    float spinner_radius = 0.365f;
    float spinner_min_alpha = 0.15f;
    std::uint32_t spinner_period = 1000;
    std::uint8_t spinner_style = 0;
    float panel_shadow_offset_y = 2;
    float panel_shadow_blur = 8;
    float panel_shadow_spread = -4;
    float overlay_shadow_offset_y = 8;
    float overlay_shadow_blur = 24;
    float overlay_shadow_spread = -12;
    float blur_small = 0;
    float blur_medium = 8;
    float blur_large = 16;
    float scrim_blur = 4;
    std::uint32_t duration_short = 120;
    std::uint32_t duration_medium = 180;
    std::uint32_t duration_long = 260;
    float spring_mass = 1;
    float spring_stiffness = 220;
    float spring_damping = 28;
    std::uint8_t motion_easing = 1;  // 2 bits
    float scroll_wheel_scale = 1;
    float scroll_velocity_factor = 60;
    float scroll_deceleration = 0.86f;
    float scroll_stop_velocity = 5;
    float overscroll_fraction = 0.35f;
    float overscroll_max = 0;
    float overscroll_resistance = 0.38f;
    float overscroll_spring_rate = 18;
    float overscroll_velocity_decay = 0;
    float scroll_settle_distance = 0.5f;
    bool elastic_scroll = false;
    std::int32_t z_base = 0;
    std::int32_t z_tooltip = 100;
    std::int32_t z_overlay = 200;
    float pixel_scale = 1;
    bool snap_geometry = false;
    bool snap_text = false;
    std::array<ControlVisualTokens, kControlBlockCount> blocks{};
    bool attached_groups = false;
    bool tabs_underline = false;
    std::uint8_t density = 1;  // 2 bits: 0 compact, 1 regular, 2 large

    [[nodiscard]] const Color& color(PaletteColor entry) const { return palette[static_cast<unsigned>(entry)]; }
    [[nodiscard]] const ControlVisualTokens& block(ControlBlock which) const {
        return blocks[static_cast<unsigned>(which)];
    }
    ControlVisualTokens& block(ControlBlock which) { return blocks[static_cast<unsigned>(which)]; }
};

// The record the system carries; semantics use it as is.
const WidgetTokens& defaultWidgetTokens();

// Scale of a density: compact 0.875, regular 1.0, large 1.125. The undefined code 3 scales by 1.0.
float densityScale(std::uint8_t density);
// The scrollbar's minimum thumb length and the checkbox and radio indicator limits, per density.
float densityScrollbarMinThumb(std::uint8_t density);
float densityIndicatorMin(std::uint8_t density);
float densityIndicatorMax(std::uint8_t density);

// Scale of a control size (low 3 bits): 1 small 0.875, 2 large 1.125, every other code 1.0.
float controlSizeScale(std::uint8_t size);

// Whether a density or a control size code has a meaning (3 and 6, 7 have none).
inline bool densityDefined(std::uint8_t density) { return (density & 3u) != 3u; }
inline bool controlSizeDefined(std::uint8_t size) { return (size & 7u) <= 5u; }

}  // namespace kelvo
