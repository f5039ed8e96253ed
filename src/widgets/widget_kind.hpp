#pragma once

// The 61 widget kinds (a 6-bit code) and the sets of kinds that take keyboard focus, receive the
// pointer, show hover and draw a focus ring. Codes 61 to 63 name no kind: read as plain
// containers, they belong to no set.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo {

#define KELVO_WIDGET_KINDS(X)   \
    X(stack, 0)                 \
    X(row, 0)                   \
    X(column, 0)                \
    X(virtual_grid, 0)          \
    X(data_grid, 0)             \
    X(data_grid_b, 0)           \
    X(scroll_view, kFPH)        \
    X(virtual_list, 0)          \
    X(row_a, 0)                 \
    X(spaced_row, 0)            \
    X(row_b, 0)                 \
    X(row_c, 0)                 \
    X(tab_list, 0)              \
    X(row_d, 0)                 \
    X(accordion, kFPH)          \
    X(bubble, kP)               \
    X(resizable_panel, kP | kH) \
    X(alert, kP)                \
    X(card, kP)                 \
    X(dialog, kP | kH)          \
    X(drawer, kP | kH)          \
    X(sheet, kP | kH)           \
    X(panel, kP)                \
    X(popover, kP | kH)         \
    X(menu, kP | kH)            \
    X(menu_b, kP | kH)          \
    X(text, kP)                 \
    X(icon, 0)                  \
    X(image, 0)                 \
    X(avatar, 0)                \
    X(badge, 0)                 \
    X(button, kFPHR)            \
    X(toggle_button, kFPHR)     \
    X(icon_button, kFPHR)       \
    X(select, kFPHR)            \
    X(text_field, kFPHR)        \
    X(text_field_b, kFPHR)      \
    X(search_field, kFPHR)      \
    X(combo_box, kFPHR)         \
    X(text_area, kFPHR)         \
    X(tooltip, 0)               \
    X(menu_item, kFPHR)         \
    X(list_item, kFPHR)         \
    X(data_row, 0)              \
    X(data_cell, kFPHR)         \
    X(status_bar, kP)           \
    X(segmented_control, kFPHR) \
    X(checkbox, kFPHR)          \
    X(radio, kFPHR)             \
    X(switch_, kFPHR)           \
    X(toggle_button_b, kFPHR)   \
    X(slider, kFPHR)            \
    X(progress_bar, kP)         \
    X(separator, 0)             \
    X(skeleton, 0)              \
    X(spinner, 0)               \
    X(chart, 0)                 \
    X(split_view, 0)            \
    X(split_divider, kFPH)      \
    X(tree, 0)                  \
    X(input_group, kR)

enum class WidgetKind : std::uint8_t {
#define KELVO_WIDGET_KIND_ENUM(name, flags) name,
    KELVO_WIDGET_KINDS(KELVO_WIDGET_KIND_ENUM)
#undef KELVO_WIDGET_KIND_ENUM
};

inline constexpr unsigned kWidgetKindCount = 61;
static_assert(static_cast<unsigned>(WidgetKind::input_group) + 1 == kWidgetKindCount);
static_assert(static_cast<unsigned>(WidgetKind::button) == 31 && static_cast<unsigned>(WidgetKind::switch_) == 49);

// The kind as stored: the low 6 bits of the byte.
inline WidgetKind widgetKindFromBits(std::uint8_t bits) { return static_cast<WidgetKind>(bits & 0x3Fu); }
inline bool widgetKindDefined(WidgetKind kind) { return static_cast<unsigned>(kind) < kWidgetKindCount; }

// The text entries: text_field, text_field_b, search_field, combo_box and text_area.
inline bool isTextEntryKind(WidgetKind kind) { return kind >= WidgetKind::text_field && kind <= WidgetKind::text_area; }

bool isKeyboardFocusKind(WidgetKind kind);  // F: takes keyboard focus
bool isPointerTargetKind(WidgetKind kind);  // P: hit by the pointer (a chart only when interactive)
bool isHoverTargetKind(WidgetKind kind);    // H: shows hover
bool drawsFocusRing(WidgetKind kind);       // R: draws a focus ring

// The kind's name as written in tree files ("switch" for the switch); empty past 60.
std::string_view widgetKindName(WidgetKind kind);
std::optional<WidgetKind> widgetKindFromName(std::string_view name);

}  // namespace kelvo
