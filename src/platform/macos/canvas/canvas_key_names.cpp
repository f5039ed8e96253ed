// Key names and editing keys of canvas input, from X keysyms (the values GDK's key values share).

#include <array>

#include "base/utf8.hpp"
#include "platform/macos/canvas/canvas_input.hpp"

namespace kelvo {

namespace {

struct NamedKey {
    std::uint32_t keysym;
    std::string_view name;
};

// Keys that type nothing printable, or whose name is not what they type. The keypad's keys
// share the names of their main-block twins.
constexpr std::array kNamedKeys{
    NamedKey{0xff09, "tab"},        NamedKey{0xfe20, "tab"},       NamedKey{0xff89, "tab"},
    NamedKey{0xff0d, "enter"},      NamedKey{0xff8d, "enter"},     NamedKey{0xff1b, "escape"},
    NamedKey{0x0020, "space"},      NamedKey{0xff80, "space"},     NamedKey{0xff08, "backspace"},
    NamedKey{0xffff, "delete"},     NamedKey{0xff9f, "delete"},    NamedKey{0xff52, "arrowup"},
    NamedKey{0xff97, "arrowup"},    NamedKey{0xff54, "arrowdown"}, NamedKey{0xff99, "arrowdown"},
    NamedKey{0xff51, "arrowleft"},  NamedKey{0xff96, "arrowleft"}, NamedKey{0xff53, "arrowright"},
    NamedKey{0xff98, "arrowright"}, NamedKey{0xff50, "home"},      NamedKey{0xff95, "home"},
    NamedKey{0xff57, "end"},        NamedKey{0xff9c, "end"},       NamedKey{0xff55, "pageup"},
    NamedKey{0xff9a, "pageup"},     NamedKey{0xff56, "pagedown"},  NamedKey{0xff9b, "pagedown"},
};

// Digits and punctuation as typed with Shift on a US keyboard, and the key that types them.
constexpr std::string_view kShifted = "!@#$%^&*()_+{}|:\"<>?~";
constexpr std::string_view kUnshifted = "1234567890-=[]\\;',./`";

// Latin letters, Latin-1, Greek and Cyrillic capitals to small; other characters as they are.
std::uint32_t lowerCase(std::uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xc0 && c <= 0xde && c != 0xd7)) return c + 0x20;
    if ((c >= 0x391 && c <= 0x3a9 && c != 0x3a2) || (c >= 0x410 && c <= 0x42f)) return c + 0x20;
    if (c >= 0x400 && c <= 0x40f) return c + 0x50;
    return c;
}

bool isTextCharacter(std::uint32_t c) {
    return c > 0x20 && c != 0x7f && !(c >= 0x80 && c < 0xa0) && !(c >= 0xd800 && c < 0xe000) && c <= 0x10ffff;
}

}  // namespace

std::string canvasKeyName(std::uint32_t keysym, std::uint32_t character) {
    for (const NamedKey& named : kNamedKeys) {
        if (named.keysym == keysym) return std::string(named.name);
    }
    std::string name;
    if (!isTextCharacter(character)) return name;
    if (character < 0x80) {
        const std::size_t shifted = kShifted.find(static_cast<char>(character));
        if (shifted != std::string_view::npos) character = static_cast<unsigned char>(kUnshifted[shifted]);
    }
    appendUtf8(name, lowerCase(character));
    return name;
}

std::optional<CanvasEditingKey> canvasEditingKey(std::uint32_t keysym, std::uint32_t modifiers) {
    const bool plain = modifiers == 0;
    const bool shifted = modifiers == kInputModifierShift;
    if (!plain && !shifted) {
        // Select All is the one editing command with the Command key.
        if (modifiers == kInputCommandKey && (keysym == 'a' || keysym == 'A'))
            return CanvasEditingKey{"a", kInputCommandKey};
        return std::nullopt;
    }
    const std::uint32_t selecting = shifted ? kInputModifierShift : 0;
    switch (keysym) {
        case 0xff08:
            return plain ? std::optional(CanvasEditingKey{"backspace", 0}) : std::nullopt;
        case 0xffff:
        case 0xff9f:
            return plain ? std::optional(CanvasEditingKey{"delete", 0}) : std::nullopt;
        case 0xff51:
        case 0xff96:
            return CanvasEditingKey{"arrowleft", selecting};
        case 0xff53:
        case 0xff98:
            return CanvasEditingKey{"arrowright", selecting};
        case 0xff52:
        case 0xff97:
            return CanvasEditingKey{"arrowup", selecting};
        case 0xff54:
        case 0xff99:
            return CanvasEditingKey{"arrowdown", selecting};
        case 0xff50:
        case 0xff95:
            return CanvasEditingKey{"home", selecting};
        case 0xff57:
        case 0xff9c:
            return CanvasEditingKey{"end", selecting};
        case 0xff0d:
        case 0xff8d:
            return plain ? std::optional(CanvasEditingKey{"enter", 0}) : std::nullopt;
        case 0xff09:
            return CanvasEditingKey{"tab", selecting};
        case 0xfe20:
            return CanvasEditingKey{"tab", kInputModifierShift};
        case 0xff1b:
            return plain ? std::optional(CanvasEditingKey{"escape", 0}) : std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace kelvo
