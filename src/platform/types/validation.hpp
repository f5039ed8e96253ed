#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Checks on names and keys that reach the operating system or the front-end.

// A key a shortcut or menu item may use: one ASCII letter or digit, one of the punctuation
// bytes ' , - . / ; = [ \ ] `, or one of the named keys escape, enter, tab, space, backspace,
// arrowleft, arrowright, arrowup, arrowdown (ASCII case-insensitive). 1 to 32 bytes.
bool isValidShortcutKey(std::string_view key);

// Whether a key may only be used together with a modifier: every one-byte key, and tab,
// space, enter and backspace. Escape and the arrow keys may stand alone.
bool shortcutRequiresModifier(std::string_view key);

inline constexpr std::size_t kMaxRuntimeCommands = 256;
inline constexpr std::size_t kMaxRuntimeCommandName = 128;
inline constexpr std::size_t kMaxRuntimeCommandTitle = 128;

// One entry of the runtime's command list. Texts are borrowed from the application's tables.
struct RuntimeCommand {
    std::string_view name{};
    std::string_view title{};   // may be empty
    std::string_view source{};  // "runtime", "menu", "tray", "native_view" or "bridge"
    bool enabled = true;
    bool checked = false;
};

// Accepts the runtime's command list as it is, or names the first fault in list order:
// more than 256 entries, an empty name or one over 128 bytes, or a name holding a tab, line
// feed or carriage return give InvalidCommand; the names "." and "..", a name holding a NUL,
// "/" or "\", and a title over 128 bytes or holding a NUL give InvalidName; a name equal to an
// earlier entry's gives DuplicateCommand.
Status validateCommandList(std::span<const RuntimeCommand> commands);

}  // namespace kelvo
