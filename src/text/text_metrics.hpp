#pragma once

// Widths of UTF-8 text: through a pluggable measurer (the platform's font engine once bound) or,
// when there is none or it gives an unusable value, through a built-in estimate derived from the
// embedded regular face, so that layout never fails for want of fonts. Widths are f32 points for
// the given font size.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

// Faces are named by small numbers; every id not listed is the regular sans face.
inline constexpr std::uint64_t kFontRegular = 1;
inline constexpr std::uint64_t kFontMonospace = 2;
inline constexpr std::uint64_t kFontMedium = 3;
inline constexpr std::uint64_t kFontBold = 4;
inline constexpr std::uint64_t kFontItalic = 5;
inline constexpr std::uint64_t kFontBoldItalic = 6;

// The width of a whole text; negative or non-finite means the measurement failed.
using MeasureTextFn = float (*)(void* context, std::uint64_t font, const char* text, std::size_t length, float size);

// One advance per UTF-8 byte: each character's whole advance on its first byte and 0 on its
// continuation bytes, so that any byte range between character boundaries sums to its width.
// False on failure.
using MeasureTextAdvancesFn = bool (*)(void* context, std::uint64_t font, const char* text, std::size_t length,
                                       float* advances, std::size_t capacity, float size);

// Passed by pointer; a null pointer (or a record without `measureText`) means "no measurer".
struct TextMeasurer {
    void* context = nullptr;
    MeasureTextFn measureText = nullptr;
    MeasureTextAdvancesFn measureTextAdvances = nullptr;  // may be null
};

// The measurer to call, or null when `measurer` cannot measure anything.
inline const TextMeasurer* usableTextMeasurer(const TextMeasurer* measurer) {
    return measurer != nullptr && measurer->measureText != nullptr ? measurer : nullptr;
}

// True when widths of consecutive characters simply add up: no measurer, or the built-in estimate.
// Walks over such text sum per-character widths instead of measuring growing prefixes.
bool textMeasurerAddsUp(const TextMeasurer* measurer);

// A value a measurer may return as a width.
inline bool usableTextWidth(float width) { return width >= 0.0f && width <= 3.4028235e38f; }

// The weight factor of the estimate: 1.02 for medium, 1.04 for bold and bold italic, else 1.0.
float textFaceFactor(std::uint64_t font);

// The length of the character that starts at `at`, read from its lead byte (a stray continuation
// byte or an impossible lead counts as one byte) and cut at the end of the text. At least 1 when
// `at` is inside the text.
std::size_t textCharLength(std::string_view text, std::size_t at);

// `offset` clamped to the text and moved back to the start of the character that contains it.
std::size_t textCharStart(std::string_view text, std::size_t offset);

inline bool isTextSpaceOrTab(char byte) { return byte == ' ' || byte == '\t'; }

// Space, tab, line feed and carriage return: drawn text only moves its pen past them (they have
// no glyph to show), and a frame lists no glyph for them.
inline bool isAdvanceOnlyCharacter(std::uint32_t code_point) {
    return code_point == ' ' || code_point == '\t' || code_point == '\n' || code_point == '\r';
}

// The built-in estimate of one character's advance (the bytes of one character).
float estimateTextAdvanceForBytes(std::uint64_t font, std::string_view bytes, float size);

// The per-character estimate summed over a text; 0 for an empty text.
float estimateTextWidth(std::uint64_t font, std::string_view text, float size);

// The width of a text: 0 when empty, the estimate without a measurer or when the measurer fails.
float measureTextWidthForFont(const TextMeasurer* measurer, std::uint64_t font, std::string_view text, float size);

// The advance of [from, to) measured in the context of the line that begins at `line_start`, so that
// kerning and shaping before `from` count as the measurer sees them (line_start <= from <= to).
float measureTextAdvance(const TextMeasurer* measurer, std::uint64_t font, std::string_view text,
                         std::size_t line_start, std::size_t from, std::size_t to, float size);

}  // namespace kelvo
