#pragma once

#include <cstdint>

namespace kelvo {

// Geometry as it crosses the platform seam: points (logical pixels), top-left origin, f32.

struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    friend bool operator==(const RectF&, const RectF&) = default;
};

struct SizeF {
    float width = 0;
    float height = 0;
    friend bool operator==(const SizeF&, const SizeF&) = default;
};

// Insets in the order the events carry them: top, right, bottom, left.
struct EdgeInsets {
    float top = 0;
    float right = 0;
    float bottom = 0;
    float left = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// The five modifier keys, in the order every record lists them. The Command key sets both
// `primary` and `command`.
struct KeyModifiers {
    bool primary = false;
    bool command = false;
    bool control = false;
    bool option = false;
    bool shift = false;
    friend bool operator==(const KeyModifiers&, const KeyModifiers&) = default;

    [[nodiscard]] bool any() const { return primary || command || control || option || shift; }
};

// The packed form: bit 0 primary, 1 command, 2 control, 3 option, 4 shift.
inline std::uint8_t modifierBits(KeyModifiers modifiers) {
    return static_cast<std::uint8_t>((modifiers.primary ? 1u : 0u) | (modifiers.command ? 2u : 0u) |
                                     (modifiers.control ? 4u : 0u) | (modifiers.option ? 8u : 0u) |
                                     (modifiers.shift ? 16u : 0u));
}

inline KeyModifiers modifiersFromBits(std::uint32_t bits) {
    return {(bits & 1u) != 0, (bits & 2u) != 0, (bits & 4u) != 0, (bits & 8u) != 0, (bits & 16u) != 0};
}

}  // namespace kelvo
