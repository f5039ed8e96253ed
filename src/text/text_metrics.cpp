#include "text/text_metrics.hpp"

#include <algorithm>
#include <array>

#include "base/utf8.hpp"
#include "raster/font_ttf.hpp"
#include "text/canvas_fonts.hpp"

namespace kelvo {

namespace {

constexpr float kMonospaceEm = 0.6f;
constexpr float kUnknownEm = 0.6f;
constexpr float kWideEm = 1.0f;
constexpr float kArrowEm = 0.8f;

// Em fractions of the printable ASCII characters 0x20..0x7E: the regular face's advances.
const std::array<float, 95>& asciiRatios() {
    static const std::array<float, 95> table = [] {
        std::array<float, 95> ratios{};
        const Face& face = geistRegularFace();
        for (std::uint32_t i = 0; i < ratios.size(); ++i) {
            ratios[i] = static_cast<float>(glyphAdvance(face, glyphIndex(face, 0x20 + i))) / 1000.0f;
        }
        return ratios;
    }();
    return table;
}

struct CodePointRange {
    std::uint32_t first;
    std::uint32_t last;
};

// Characters drawn a full em wide when the face has no glyph for them: Hangul, CJK, full-width
// forms, emoji.
constexpr CodePointRange kWideRanges[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0x4DBF},   {0x4E00, 0xA4CF}, {0xA960, 0xA97F},
    {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F}, {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1FAFF}, {0x20000, 0x3FFFD},
};

// The sequence length a lead byte announces; 0 for a continuation byte or an impossible lead.
std::size_t announcedLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// The em ratio of a multi-byte character, or of 0.6 when the bytes are not one well-formed code point.
float multiByteRatio(std::string_view bytes) {
    auto lead = static_cast<unsigned char>(bytes[0]);
    if (announcedLength(lead) != bytes.size() || lead < 0x80) return kUnknownEm;
    if (!utf8UnitAt(bytes, 0).valid) return kUnknownEm;
    static constexpr unsigned char kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    std::uint32_t code_point = lead & kLeadMask[bytes.size()];
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        code_point = (code_point << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3Fu);
    }
    const Face& face = geistRegularFace();
    if (std::uint16_t glyph = glyphIndex(face, code_point); glyph != 0) {
        return static_cast<float>(glyphAdvance(face, glyph)) / 1000.0f;
    }
    for (const CodePointRange& range : kWideRanges) {
        if (code_point >= range.first && code_point <= range.last) return kWideEm;
    }
    if (code_point >= 0x2190 && code_point <= 0x2BFF) return kArrowEm;
    return kUnknownEm;
}

}  // namespace

bool textMeasurerAddsUp(const TextMeasurer* measurer) {
    measurer = usableTextMeasurer(measurer);
    return measurer == nullptr || measurer->measureText == &unboundCanvasFontMeasure;
}

float textFaceFactor(std::uint64_t font) {
    if (font == kFontMedium) return 1.02f;
    if (font == kFontBold || font == kFontBoldItalic) return 1.04f;
    return 1.0f;
}

std::size_t textCharLength(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    std::size_t length = std::max<std::size_t>(announcedLength(static_cast<unsigned char>(text[at])), 1);
    return std::min(length, text.size() - at);
}

std::size_t textCharStart(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    while (offset > 0 && offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) --offset;
    return offset;
}

float estimateTextAdvanceForBytes(std::uint64_t font, std::string_view bytes, float size) {
    if (bytes.empty()) return 0.0f;
    if (font == kFontMonospace) return size * kMonospaceEm;
    float factor = textFaceFactor(font);
    float ratio = kUnknownEm;
    if (bytes.size() == 1) {
        auto byte = static_cast<unsigned char>(bytes[0]);
        if (byte >= 0x20 && byte <= 0x7E) ratio = asciiRatios()[byte - 0x20];
    } else {
        ratio = multiByteRatio(bytes);
    }
    return factor * size * ratio;
}

float estimateTextWidth(std::uint64_t font, std::string_view text, float size) {
    float width = 0.0f;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = textCharLength(text, at);
        width += estimateTextAdvanceForBytes(font, text.substr(at, length), size);
        at += length;
    }
    return width;
}

float measureTextWidthForFont(const TextMeasurer* measurer, std::uint64_t font, std::string_view text, float size) {
    if (text.empty()) return 0.0f;
    measurer = usableTextMeasurer(measurer);
    if (measurer == nullptr) return estimateTextWidth(font, text, size);
    float width = measurer->measureText(measurer->context, font, text.data(), text.size(), size);
    return usableTextWidth(width) ? width : estimateTextWidth(font, text, size);
}

float measureTextAdvance(const TextMeasurer* measurer, std::uint64_t font, std::string_view text,
                         std::size_t line_start, std::size_t from, std::size_t to, float size) {
    to = std::min(to, text.size());
    from = std::min(from, to);
    line_start = std::min(line_start, from);
    measurer = usableTextMeasurer(measurer);
    if (measurer == nullptr) return estimateTextAdvanceForBytes(font, text.substr(from, to - from), size);
    float after = measureTextWidthForFont(measurer, font, text.substr(line_start, to - line_start), size);
    float before = measureTextWidthForFont(measurer, font, text.substr(line_start, from - line_start), size);
    return std::max(after - before, 0.0f);
}

}  // namespace kelvo
