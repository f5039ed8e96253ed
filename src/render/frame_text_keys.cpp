#include "render/frame_text_keys.hpp"

#include <bit>
#include <cmath>
#include <cstring>

namespace kelvo {

namespace {

constexpr std::size_t kGlyphIndexFrom = 64;

// The quarter of a pixel a coordinate falls in: its positive fraction in four buckets.
std::uint8_t subpixelBucket(float v) {
    const float bucket = std::floor((v - std::floor(v)) * 4.0f);
    if (!(bucket > 0.0f)) return 0;
    return bucket >= 3.0f ? 3 : static_cast<std::uint8_t>(bucket);
}

bool sameGlyph(const FrameGlyph& a, const FrameGlyph& b) {
    return a.font == b.font && a.glyph == b.glyph &&
           std::bit_cast<std::uint32_t>(a.size) == std::bit_cast<std::uint32_t>(b.size) && a.bx == b.bx && a.by == b.by;
}

std::uint64_t glyphHash(const FrameGlyph& glyph) {
    std::uint64_t hash = splitMix64Finalize(glyph.font ^ (static_cast<std::uint64_t>(glyph.glyph) << 32));
    hash = foldHash(hash, std::bit_cast<std::uint32_t>(glyph.size));
    return foldHash(hash, static_cast<std::uint64_t>(glyph.by) * 256u + glyph.bx);
}

FrameGlyph glyphAt(const DrawTextCommand& text, std::size_t command_index, std::uint64_t font, std::uint32_t id,
                   float x, float y, std::size_t n) {
    return FrameGlyph{font,
                      id,
                      text.size,
                      subpixelBucket(x),
                      subpixelBucket(y),
                      static_cast<std::uint32_t>(command_index),
                      static_cast<std::uint32_t>(n)};
}

}  // namespace

FrameGlyph textFrameGlyph(const DrawTextCommand& text, std::size_t command_index, std::uint32_t code_point,
                          std::size_t n) {
    const float x = text.origin.x + text.size * static_cast<float>(n) * 0.5f;
    return glyphAt(text, command_index, text.font, code_point, x, text.origin.y, n);
}

FrameGlyph positionedFrameGlyph(const DrawTextCommand& text, std::size_t command_index, std::size_t n) {
    const PositionedGlyph& glyph = text.glyphs[n];
    return glyphAt(text, command_index, glyph.font != 0 ? glyph.font : text.font, glyph.glyph, text.origin.x + glyph.x,
                   text.origin.y + glyph.y, n);
}

void GlyphLister::begin(std::size_t estimate) {
    indexed = estimate >= kGlyphIndexFrom && out.size() * 2 <= index.slots.size();
    if (indexed) index.clear();
}

bool GlyphLister::contains(const FrameGlyph& glyph) const {
    if (indexed) {
        return index.find(glyphHash(glyph), [&](std::uint32_t at) { return sameGlyph(out[at], glyph); }).has_value();
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (sameGlyph(out[i], glyph)) return true;
    }
    return false;
}

Status GlyphLister::add(const FrameGlyph& glyph) {
    if (count == out.size()) return fail(Error::GlyphAtlasListFull);
    if (indexed) index.insert(glyphHash(glyph), static_cast<std::uint32_t>(count));
    out[count++] = glyph;
    return {};
}

bool laysOutAsBefore(const DrawTextCommand& a, const TextLayoutBox& aBox, const DrawTextCommand& b,
                     const TextLayoutBox& bBox) {
    const bool sameGlyphs =
        a.glyphs.size() == b.glyphs.size() && (a.glyphs.empty() || a.glyphs.data() == b.glyphs.data());
    return sameGlyphs && a.font == b.font && a.size == b.size && a.origin.x == b.origin.x && a.origin.y == b.origin.y &&
           a.text.size() == b.text.size() &&
           (a.text.empty() || std::memcmp(a.text.data(), b.text.data(), a.text.size()) == 0) &&
           aBox.measurer == bBox.measurer && aBox.max_width == bBox.max_width && aBox.line_height == bBox.line_height &&
           aBox.wrap == bBox.wrap && aBox.align == bBox.align && aBox.no_ellipsis == bBox.no_ellipsis;
}

}  // namespace kelvo
