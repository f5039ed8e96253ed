#pragma once

// The accessibility elements of a canvas view. The runtime publishes a flat list of node records
// (at most 64), one per widget; each becomes an element with its system role, texts, numbers,
// states and the actions assistive technology may perform. What assistive technology does to an
// element comes back here and leaves as a widget_accessibility_action event, followed by a frame
// request to the view. Every update replaces the whole list.
//
// Main thread only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

struct SurfaceView;

inline constexpr std::size_t kMaxAccessibilityElements = 64;

// Action codes of widget_accessibility_action events.
enum class WidgetAccessibilityActionCode : std::int32_t {
    focus = 0,
    press = 1,
    press_alternate = 2,
    increment = 3,
    decrement = 4,
    set_text = 5,
    set_selection = 6,
    press_default = 7,
    cancel = 10,
};

// Bits of a node record's action flags.
namespace widget_action_flag {
inline constexpr std::uint32_t focusable = 1u << 0;
inline constexpr std::uint32_t press = 1u << 1;
inline constexpr std::uint32_t press_alternate = 1u << 2;
inline constexpr std::uint32_t increment = 1u << 3;
inline constexpr std::uint32_t decrement = 1u << 4;
inline constexpr std::uint32_t value_settable = 1u << 5;
inline constexpr std::uint32_t selection_settable = 1u << 6;
inline constexpr std::uint32_t press_default = 1u << 7;
inline constexpr std::uint32_t cancel = 1u << 10;
}  // namespace widget_action_flag

// One element with its texts; `shape.*` text views point into the strings beside it.
struct WidgetAccessibilityElement {
    standin::AccessibleElement shape;
    std::uint32_t actionFlags = 0;
    std::string identifier;
    std::string label;
    std::string value;
    std::string placeholder;
    std::string valueDescription;
    std::string selectedText;
    std::string text;
};

struct WidgetAccessibilityModel {
    std::array<WidgetAccessibilityElement, kMaxAccessibilityElements> elements{};
    std::size_t count = 0;
};

// Rebuilds the elements from the records (the first kMaxAccessibilityElements).
void buildWidgetAccessibility(WidgetAccessibilityModel& model,
                              std::span<const KelvoWidgetAccessibilityNodeRecord> records);
// The elements as the stand-in takes them; valid until the next build.
std::size_t accessibleElements(const WidgetAccessibilityModel& model,
                               std::span<standin::AccessibleElement, kMaxAccessibilityElements> out);

standin::ElementRole elementRoleOf(std::int32_t roleCode);
// The action a press sends for these flags; none when the element cannot be pressed.
std::optional<WidgetAccessibilityActionCode> pressActionOf(std::uint32_t actionFlags);

// Assistive technology acted on the element of `widgetId`: sends the event when the element
// exists, is enabled and allows the action. True when an event was sent.
bool performWidgetAccessibilityAction(const WidgetAccessibilityModel& model, SurfaceView& view, std::uint64_t widgetId,
                                      const standin::ElementAction& action);
// Sends one action event (needs a bound view with a label and a widget id other than 0) and asks
// the view for a frame. A selection is (start, length), its end saturating.
bool emitWidgetAccessibilityAction(SurfaceView& view, std::uint64_t widgetId, WidgetAccessibilityActionCode action,
                                   std::string_view text = {},
                                   std::optional<std::pair<std::uint64_t, std::uint64_t>> selection = {});

}  // namespace kelvo
