#pragma once

// Private to src/render: how a frame plan keys the texts of a display list, shared by the plan's
// glyph and text layout steps and by fitting texts into a frame. A text's glyphs are keyed by font,
// glyph, size and subpixel buckets; a text drawn right after one that lays out the same way shares
// its laid-out lines.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "render/frame.hpp"
#include "render/hash_index.hpp"

namespace kelvo {

// The glyph of the code point `code_point`, the n-th of a text without positioned glyphs (placed
// half the size apart, counting from the origin).
FrameGlyph textFrameGlyph(const DrawTextCommand& text, std::size_t command_index, std::uint32_t code_point,
                          std::size_t n);
// The glyph of the n-th positioned glyph of a text.
FrameGlyph positionedFrameGlyph(const DrawTextCommand& text, std::size_t command_index, std::size_t n);

// A list of distinct glyphs, searched through a hash index once it is worth it.
struct GlyphLister {
    std::span<FrameGlyph> out;
    HashIndex index;
    bool indexed = false;
    std::size_t count = 0;

    // Searches the list through the index (cleared here) when `estimate` glyphs may come and the
    // index has room for twice the list.
    void begin(std::size_t estimate);
    // Whether the glyph is listed already.
    [[nodiscard]] bool contains(const FrameGlyph& glyph) const;
    // Lists a glyph that is not listed yet; GlyphAtlasListFull when the list is full.
    Status add(const FrameGlyph& glyph);
};

// Whether `b` lays out exactly as `a` did: the same text, font, size, origin, positioned glyphs and
// layout box (colour and id do not move a line).
bool laysOutAsBefore(const DrawTextCommand& a, const TextLayoutBox& aBox, const DrawTextCommand& b,
                     const TextLayoutBox& bBox);

}  // namespace kelvo
