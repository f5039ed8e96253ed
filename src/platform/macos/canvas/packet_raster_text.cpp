#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "base/utf8.hpp"
#include "platform/macos/canvas/packet_raster_body.hpp"
#include "platform/macos/canvas/text_measure.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

namespace {

// Text is drawn with the fonts text is measured with, so layout and drawing agree.
struct TextStyle {
    CanvasFont font;
    float size = 12;
    SolidShader colour;
};

float advanceOf(const TextStyle& style, std::uint32_t code_point) {
    return canvasFontAdvance(style.font, code_point, style.size);
}

// Font units to device pixels at the pen, slanted when the font is an oblique.
Affine outlineTransform(const TextStyle& style, Point pen) {
    Affine transform = glyphTransform(*style.font.face, style.size, pen);
    transform.c = style.font.obliqueShear * transform.a;
    return transform;
}

float naturalWidth(const TextStyle& style, std::string_view text) {
    float width = 0;
    for (std::size_t at = 0; at < text.size();) {
        Utf8CodePoint c = utf8CodePointAt(text, at);
        width += advanceOf(style, c.value);
        at += std::max<std::size_t>(c.length, 1);
    }
    return width;
}

// Draws one line with its baseline at `baseline`, starting at x. Glyphs whose outline cannot be
// read are left out; the pen still advances. Space, tab, line feed and carriage return only
// advance the pen, as the reference renderer draws them (the font's placeholder glyph would show
// in place of the controls). A synthetic weight widens the advances, not the outlines: each
// outline sits in the middle of its widened advance, as the reference renderer places it.
void drawLine(const Canvas2d& canvas, const TextStyle& style, std::string_view text, float x, float baseline) {
    thread_local auto builder = std::make_unique<GlyphPathBuilder>();
    const float widened = style.font.advanceScale > 0 ? 1.0f - 1.0f / style.font.advanceScale : 0.0f;
    for (std::size_t at = 0; at < text.size();) {
        Utf8CodePoint c = utf8CodePointAt(text, at);
        at += std::max<std::size_t>(c.length, 1);
        const float advance = advanceOf(style, c.value);
        if (isAdvanceOnlyCharacter(c.value)) {
            x += advance;
            continue;
        }
        std::uint16_t glyph = glyphIndex(*style.font.face, c.value);
        builder->clear();
        const Point pen{x + advance * widened * 0.5f, baseline};
        if (glyphOutlineInner(*style.font.face, glyph, outlineTransform(style, pen), builder->sink(), 0)) {
            (void)canvasFillPath(canvas, builder->path(), FillRule::winding, style.colour);
        }
        x += advance;
    }
}

struct LaidLine {
    std::size_t begin = 0;
    std::size_t end = 0;
    float width = 0;
};

// Breaks a text into lines no wider than `width` (except a single unbreakable piece), at spaces
// for word wrapping, anywhere for character wrapping, only at line feeds without wrapping.
template <class LineFn>
void breakLines(const TextStyle& style, std::string_view text, float width, PacketTextWrap wrap, LineFn&& emit) {
    LaidLine line;
    std::size_t last_space = std::string_view::npos;
    float width_at_space = 0;
    for (std::size_t at = 0; at < text.size();) {
        Utf8CodePoint c = utf8CodePointAt(text, at);
        std::size_t next = at + std::max<std::size_t>(c.length, 1);
        if (c.value == '\n') {
            line.end = at;
            emit(line);
            line = LaidLine{next, next, 0};
            last_space = std::string_view::npos;
            at = next;
            continue;
        }
        float advance = advanceOf(style, c.value);
        bool over = line.width + advance > width && line.end > line.begin;
        if (over && wrap == PacketTextWrap::character) {
            emit(line);
            line = LaidLine{at, at, 0};
        } else if (over && wrap == PacketTextWrap::word && last_space != std::string_view::npos && c.value != ' ') {
            LaidLine done{line.begin, last_space, width_at_space};
            emit(done);
            line.begin = last_space + 1;
            line.width -= width_at_space + advanceOf(style, ' ');
            last_space = std::string_view::npos;
        }
        if (c.value == ' ') {
            last_space = at;
            width_at_space = line.width;
        }
        line.width += advance;
        line.end = next;
        at = next;
    }
    emit(line);
}

void drawParagraph(const Canvas2d& canvas, const TextStyle& style, const PacketText& text,
                   const PacketTextLayout& layout) {
    float size = style.size;
    float natural = naturalWidth(style, text.text);
    double line_height_option = std::isfinite(layout.line_height) ? layout.line_height : 0;
    float width = layout.max_width > 0 && std::isfinite(layout.max_width) ? static_cast<float>(layout.max_width)
                                                                          : std::max(std::ceil(size + natural), size);
    float line_height = line_height_option > 0 ? static_cast<float>(line_height_option) : 1.25f * size;
    auto left = static_cast<float>(text.origin.x);
    float top = static_cast<float>(text.origin.y) - size;
    Canvas2d clipped = canvas;
    if (layout.wrap == PacketTextWrap::none) {
        canvasClipToRect(clipped, PacketRect{left, top, width, static_cast<double>(canvas.target.height) + 1e9});
    }
    float baseline = top + size;
    breakLines(style, text.text, width, layout.wrap, [&](const LaidLine& line) {
        float x = left;
        if (layout.align == PacketTextAlign::center) x += (width - line.width) * 0.5f;
        if (layout.align == PacketTextAlign::end) x += width - line.width;
        drawLine(clipped, style, std::string_view(text.text).substr(line.begin, line.end - line.begin), x, baseline);
        baseline += line_height;
    });
}

}  // namespace

bool drawPacketText(const Canvas2d& canvas, const PacketText& text, double opacity) {
    if (!text.color) return false;
    TextStyle style;
    style.colour.premultiplied = packetPremultipliedColour(*text.color, opacity);
    style.size = std::min(canvasTextSize(text.size), static_cast<float>(kPacketTextMaxSize));
    style.font = canvasFontForId(processFontRegistry(), text.font);
    if (!std::isfinite(text.origin.x) || !std::isfinite(text.origin.y)) return true;
    auto x = static_cast<float>(text.origin.x);
    auto y = static_cast<float>(text.origin.y);
    if (!text.layout) {
        drawLine(canvas, style, text.text, x, y);
        return true;
    }
    if (text.lines && !text.lines->empty()) {
        for (const PacketTextLine& line : *text.lines) {
            // A line the packet could not read fails the text; the lines before it stay drawn.
            if (!line.readable) return false;
            if (line.text.empty()) continue;
            float line_x = std::isfinite(line.x) ? static_cast<float>(line.x) : x;
            float baseline = std::isfinite(line.baseline) ? static_cast<float>(line.baseline) : y;
            drawLine(canvas, style, line.text, line_x, baseline);
        }
        return true;
    }
    drawParagraph(canvas, style, text, *text.layout);
    return true;
}

}  // namespace kelvo
