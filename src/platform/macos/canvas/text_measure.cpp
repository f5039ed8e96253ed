#include "platform/macos/canvas/text_measure.hpp"

#include <algorithm>
#include <cmath>

#include "base/utf8.hpp"

namespace kelvo {

namespace {

constexpr double kDefaultTextSize = 12;

}  // namespace

float canvasTextSize(double size) {
    if (!std::isfinite(size)) return static_cast<float>(kDefaultTextSize);
    return static_cast<float>(std::clamp(size, 1.0, 3.0e38));
}

double measureCanvasText(FontRegistry& registry, std::uint64_t id, std::string_view text, double size) {
    if (text.empty()) return 0;
    if (!isValidUtf8(text)) return -1;
    const float pixels = canvasTextSize(size);
    float width = 0;
    if (findCachedTextWidth(registry, id, pixels, text, width)) return width;
    const CanvasFont font = canvasFontForId(registry, id);
    for (std::size_t at = 0; at < text.size();) {
        Utf8CodePoint c = utf8CodePointAt(text, at);
        width += canvasFontAdvance(font, c.value, pixels);
        at += c.length;
    }
    if (!std::isfinite(width)) return -1;
    cacheTextWidth(registry, font, id, pixels, text, width);
    return width;
}

bool measureCanvasTextAdvances(FontRegistry& registry, std::uint64_t id, std::string_view text, double size,
                               std::span<float> advances) {
    if (text.empty() || advances.size() < text.size() || !isValidUtf8(text)) return false;
    const float pixels = canvasTextSize(size);
    const CanvasFont font = canvasFontForId(registry, id);
    for (std::size_t at = 0; at < text.size();) {
        Utf8CodePoint c = utf8CodePointAt(text, at);
        advances[at] = canvasFontAdvance(font, c.value, pixels);
        std::fill_n(advances.begin() + static_cast<std::ptrdiff_t>(at + 1), c.length - 1, 0.0f);
        at += c.length;
    }
    return true;
}

}  // namespace kelvo
