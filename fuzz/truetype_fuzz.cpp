// Arbitrary bytes as a font file: loading, character lookups, advances and every glyph's outline
// must end in a value or a named error, never a read outside the data.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "raster/font_ttf.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvo;
    static auto path = std::make_unique<GlyphPathBuilder>();
    auto face = loadFace({data, size});
    if (!face) return 0;
    for (std::uint32_t c : {0u, 32u, 65u, 0x20acu, 0xfffeu, 0xffffu, 0x1f600u}) (void)glyphIndex(*face, c);
    // Glyphs beyond the count are tried too; at most a bounded number per input.
    std::uint32_t last = face->glyph_count < 64 ? face->glyph_count + 1u : 64u;
    for (std::uint32_t glyph = 0; glyph < last; ++glyph) {
        (void)glyphAdvance(*face, static_cast<std::uint16_t>(glyph));
        path->clear();
        (void)glyphOutlineInner(*face, static_cast<std::uint16_t>(glyph), glyphTransform(*face, 14, {1, 12}),
                                path->sink(), 0);
    }
    return 0;
}
