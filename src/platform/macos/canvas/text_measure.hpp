#pragma once

// Text measuring with the canvas fonts, as packet text is drawn: one line, each character's
// advance added up (the TrueType reader has no kerning).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/macos/canvas/font_registry.hpp"

namespace kelvo {

// The size measuring and drawing use: a non-finite size is 12, any other at least 1.
float canvasTextSize(double size);

// The width of one line in pixels at `size`; 0 for empty text, -1 for invalid UTF-8 or a width
// that does not fit a float. Widths are remembered per (id, size to 3 decimals, text).
double measureCanvasText(FontRegistry& registry, std::uint64_t id, std::string_view text, double size);

// One advance per byte of `text`: a character's whole advance on its first byte, 0 on the others.
// False for empty or invalid UTF-8 text or fewer slots than bytes.
bool measureCanvasTextAdvances(FontRegistry& registry, std::uint64_t id, std::string_view text, double size,
                               std::span<float> advances);

}  // namespace kelvo
