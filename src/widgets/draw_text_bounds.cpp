#include "widgets/draw_text_bounds.hpp"

#include <algorithm>

#include "widgets/commands.hpp"

namespace kelvo {

namespace {

// Widens for ink that overhangs the advance box: the left and right edges and the bottom move out.
Rect withInkOverhang(Rect box, float size) {
    float p = std::max(size, 0.0f);
    return {box.x - 0.1f * p, box.y, box.width + 0.45f * p, box.height + 0.1f * p};
}

}  // namespace

std::optional<Rect> drawTextBounds(const DrawTextCommand& run) {
    if (run.text.empty() && run.glyphs.empty()) return std::nullopt;
    const float size = run.size;
    const float baseline = run.origin.y;
    if (!run.glyphs.empty()) {
        float left = 0, top = 0, right = 0, bottom = 0;
        bool first = true;
        for (const PositionedGlyph& glyph : run.glyphs) {
            float x0 = run.origin.x + glyph.x;
            float x1 = x0 + std::max({glyph.advance, size * 0.25f, 0.0f});
            float y0 = baseline + glyph.y - size;
            float y1 = y0 + std::max(size * 1.25f, 0.0f);
            if (first) {
                left = x0, top = y0, right = x1, bottom = y1;
                first = false;
            } else {
                left = std::min(left, x0), top = std::min(top, y0);
                right = std::max(right, x1), bottom = std::max(bottom, y1);
            }
        }
        return withInkOverhang({left, top, right - left, bottom - top}, size);
    }
    std::size_t characters = 0;
    for (char byte : run.text) characters += (static_cast<unsigned char>(byte) & 0xC0u) != 0x80u;
    float width = 0.6f * size * static_cast<float>(characters);
    Rect box{run.origin.x, baseline - size, std::max(width, size * 0.25f), size * 1.25f};
    return withInkOverhang(box, size);
}

}  // namespace kelvo
