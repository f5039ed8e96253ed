#pragma once

// The TrueType outline reader: character to glyph through the format 4 character map, horizontal
// advances from hmtx, and glyph outlines (simple and composite) as path elements for the vector
// rasteriser. Every read is checked against the font data; a malformed font or glyph is a named
// error, never a read outside the file.

#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "raster/path.hpp"

namespace kelvo {

// A font's descriptor: where its tables lie and the face's constants.
struct Face {
    std::span<const std::uint8_t> data;
    std::uint64_t cmap_subtable_offset = 0;  // the Unicode BMP (format 4) subtable
    std::uint64_t loca_offset = 0;
    std::uint64_t loca_length = 0;
    std::uint64_t glyf_offset = 0;
    std::uint64_t glyf_length = 0;
    std::uint64_t hmtx_offset = 0;
    std::uint64_t hmtx_length = 0;
    float units_per_em = 0;
    std::uint16_t glyph_count = 0;
    std::uint16_t horizontal_metrics_count = 0;
    std::int16_t ascender = 0;   // font units, y up
    std::int16_t descender = 0;  // font units, y up (negative below the baseline)
    bool long_loca = false;
};

// Composites may nest four levels below the top glyph.
inline constexpr int kMaxGlyphDepth = 5;
inline constexpr int kMaxGlyphComponents = 8;
inline constexpr int kMaxGlyphContours = 24;
inline constexpr int kMaxGlyphPoints = 128;
inline constexpr std::size_t kGlyphPathCapacity = 256;

using GlyphPathBuilder = PathBuilder<kGlyphPathCapacity>;

// Reads the table directory and the face's constants. FontParseFailed when a needed table (cmap
// with a format 4 Unicode subtable, head, hhea, hmtx, loca, glyf, maxp) is missing, lies outside
// the data or holds impossible values.
Result<Face> loadFace(std::span<const std::uint8_t> data);

// The embedded regular faces of "Geist" and "Geist Mono" (empty descriptors only if the embedded
// data were unreadable, which the tests rule out).
const Face& geistRegularFace();
const Face& geistMonoFace();

// The glyph for a code point; 0 when the face has none (every code point above 65,535 included).
std::uint16_t glyphIndex(const Face& face, std::uint32_t code_point);

// The glyph's advance width in font units; 0 when the face has no metrics for it.
std::uint16_t glyphAdvance(const Face& face, std::uint16_t glyph);

// Appends the glyph's outline to `path` under `transform` (font units, y up, to device pixels), one
// closed subpath of lines and quadratic curves per contour. Callers pass depth 0 and a cleared
// builder. FontParseFailed for malformed data, FontGlyphTooComplex past the nesting, component,
// contour or point limits, VectorPathTooComplex when the path builder is full.
Status glyphOutlineInner(const Face& face, std::uint16_t glyph, const Affine& transform, PathSink path, int depth);

// The transform from font units to a y-down device outline of `size` pixels with its pen at `pen`.
inline Affine glyphTransform(const Face& face, float size, Point pen) {
    float scale = face.units_per_em > 0 ? size / face.units_per_em : 0.0f;
    return Affine{scale, 0, 0, -scale, pen.x, pen.y};
}

}  // namespace kelvo
