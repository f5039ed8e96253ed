// The draw_text tag of the reference renderer: lines of text drawn glyph by glyph with the
// embedded faces, or a solid box where a glyph cannot be drawn.

#include <algorithm>
#include <cmath>

#include "base/utf8.hpp"
#include "render/reference_colour.hpp"
#include "render/reference_draw.hpp"
#include "text/text_metrics.hpp"
#include "widgets/draw_text_bounds.hpp"

namespace kelvo {

namespace {

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint32_t kEllipsisCharacter = 0x2026;

// The character of the bytes [at, at + length): U+FFFD when they are not one valid character.
std::uint32_t decodeCharacter(std::string_view text, std::size_t at, std::size_t length) {
    const Utf8CodePoint character = utf8CodePointAt(text, at);
    return character.length == length ? character.value : kReplacementCharacter;
}

const Face& faceFor(const ReferenceRenderSurface& surface, std::uint64_t font) {
    for (const ReferenceFont& entry : surface.fonts) {
        if (entry.id == font && entry.face != nullptr) return *entry.face;
    }
    return font == kFontMonospace ? geistMonoFace() : geistRegularFace();
}

// The solid box drawn in place of a glyph: the box through the transform, inside the clip.
void drawSolidBox(const ReferenceRenderSurface& surface, const RenderCommand& state, const DrawTextCommand& text,
                  Rect clip, Rect box) {
    Rect device = intersectRect(transformedBox(state.transform, box), clip);
    std::optional<PixelRect> pixels = referencePixelRect(device, surface.width, surface.height);
    if (!pixels) return;
    for (std::int64_t y = pixels->y; y < pixels->y + pixels->height; ++y) {
        for (std::int64_t x = pixels->x; x < pixels->x + pixels->width; ++x) {
            blendRgba8(surface.pixel(x, y), text.color, state.opacity);
        }
    }
}

}  // namespace

void drawGlyphBox(const ReferenceRenderSurface& surface, const RenderCommand& state, const DrawTextCommand& text,
                  Rect clip, std::optional<std::uint32_t> code_point, Rect box) {
    const Face& face = faceFor(surface, text.font);
    std::uint16_t glyph = code_point ? glyphIndex(face, *code_point) : 0;
    if (glyph != 0 && face.units_per_em > 0) {
        float size = text.size;
        float scale = size / face.units_per_em;
        float advance = static_cast<float>(glyphAdvance(face, glyph)) * scale;
        float baseline = box.y + box.height;
        Affine outline =
            composeAffine(state.transform, {scale, 0, 0, -scale, box.x + (box.width - advance) * 0.5f, baseline});
        ReferenceScratch& scratch = referenceScratch();
        scratch.glyph_path.clear();
        if (glyphOutlineInner(face, glyph, outline, scratch.glyph_path.sink(), 0)) {
            if (scratch.glyph_path.count() == 0) return;
            std::optional<PixelRect> pixels = referencePixelRect(clip, surface.width, surface.height);
            if (!pixels) return;
            scratch.rasterizer.clear();
            PaintSampler paint(Paint::solid(text.color), kIdentityAffine);
            if (accumulateFillEdges(scratch.rasterizer, scratch.glyph_path.path(), kIdentityAffine) &&
                fillRasterized(surface, scratch.rasterizer, *pixels, FillRule::winding, paint, state.opacity, true)) {
                return;
            }
        }
    }
    drawSolidBox(surface, state, text, clip, box);
}

void drawTextLine(const ReferenceRenderSurface& surface, const RenderCommand& state, const DrawTextCommand& text,
                  Rect clip, const TextRun& run, const TextLine& line) {
    float size = text.size;
    float baseline = line.baseline;
    if (run.glyphs.empty()) {
        const TextMeasurer* measurer = run.has_layout ? run.layout.measurer : nullptr;
        std::string_view chars = run.text;
        auto start = static_cast<std::size_t>(std::min<std::uint64_t>(line.text_start, chars.size()));
        auto end = static_cast<std::size_t>(std::min<std::uint64_t>(line.visibleTextEnd(), chars.size()));
        float pen = line.x;
        for (std::size_t at = start; at < end;) {
            std::size_t length = textCharLength(chars, at);
            float advance = measureTextAdvance(measurer, run.font, chars, start, at, at + length, size);
            if (!isAdvanceOnlyCharacter(static_cast<unsigned char>(chars[at]))) {
                drawGlyphBox(surface, state, text, clip, decodeCharacter(chars, at, length),
                             {pen, baseline - size, advance, size});
            }
            pen += advance;
            at += length;
        }
    } else {
        // Glyphs keep their places relative to the line's start, which alignment may have moved.
        TextLayoutBox options = run.has_layout ? run.layout : TextLayoutBox{};
        float shift = line.x - textLineBounds(run, options, line).x;
        std::uint64_t count = line.visible_glyph_count.value_or(line.glyph_count);
        for (std::uint64_t i = line.glyph_start; i < line.glyph_start + count && i < run.glyphs.size(); ++i) {
            const PositionedGlyph& glyph = run.glyphs[i];
            std::optional<std::uint32_t> character;
            if (glyph.text_length > 0 && glyph.text_offset < run.text.size()) {
                auto at = static_cast<std::size_t>(glyph.text_offset);
                character = decodeCharacter(run.text, at, textCharLength(run.text, at));
            }
            // The box is the glyph's advance wide, so that the outline sits where the glyph was placed.
            float width = glyph.advance > 0.0f ? glyph.advance : size * 0.25f;
            float glyph_baseline = baseline + glyph.y;
            drawGlyphBox(surface, state, text, clip, character,
                         {run.origin_x + glyph.x + shift, glyph_baseline - size, width, size});
        }
    }
    if (line.ellipsis_width > 0.0f) {
        drawGlyphBox(surface, state, text, clip, kEllipsisCharacter,
                     {line.x + line.width - line.ellipsis_width, baseline - size, line.ellipsis_width, size});
    }
}

void drawText(const ReferenceRenderSurface& surface, const RenderCommand& command, Rect area) {
    const DrawTextCommand& text = command.command.draw_text;
    if (!(text.size > 0.0f)) return;
    TextRun run = textRunOfDrawText(text);
    if (run.has_layout) {
        // Every line is drawn, however many the text has.
        TextLineIterator lines(run, run.layout);
        while (std::optional<TextLine> line = lines.next()) drawTextLine(surface, command, text, area, run, *line);
        return;
    }
    TextLine line;
    line.text_length = run.text.size();
    line.glyph_count = run.glyphs.size();
    line.baseline = run.baseline_y;
    Rect bounds = textLineBounds(run, TextLayoutBox{}, line);
    line.x = bounds.x;
    line.y = bounds.y;
    line.width = bounds.width;
    line.height = bounds.height;
    drawTextLine(surface, command, text, area, run, line);
}

}  // namespace kelvo
