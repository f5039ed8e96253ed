#pragma once

// The automation command vocabulary: one verb per command file, in the order of its codes.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo {

enum class AutomationVerb : std::uint8_t {
    reload = 0,
    wait = 1,
    resize = 2,
    screenshot = 3,
    bridge = 4,
    native_command = 5,
    widget_action = 6,
    widget_click = 7,
    widget_hold = 8,
    widget_context_press = 9,
    widget_context_menu = 10,
    widget_drag = 11,
    widget_wheel = 12,
    widget_key = 13,
    menu_command = 14,
    shortcut = 15,
    tray_action = 16,
    focus = 17,
    focus_next = 18,
    focus_previous = 19,
    profile = 20,
    provenance = 21,
};

// What a verb is written as, whether it needs arguments, and the name its failures are recorded
// under ("automation.widget_click", ...; "automation.command" for most).
struct AutomationVerbInfo {
    std::string_view word;
    AutomationVerb verb;
    bool needsArguments;
    std::string_view errorScope;
};

// The verb written exactly as `word` (case-sensitive), or none.
std::optional<AutomationVerbInfo> findAutomationVerb(std::string_view word);

// The name file-level command errors are recorded under.
inline constexpr std::string_view kAutomationCommandScope = "automation.command";

}  // namespace kelvo
