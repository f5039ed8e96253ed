#pragma once

// Rich text: a list of spans, each with its own weight, slant, monospacing and relative size,
// flowed into lines at a given width as positioned fragments (a piece of one span on one line).
// Because the same span lists are laid out on every refresh, results are kept in a per-thread
// span wrap cache.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "raster/canvas_geometry.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxLaidOutSpans = 32;
inline constexpr std::size_t kMaxSpanLines = 64;
inline constexpr std::size_t kSpanWrapCacheEntries = 256;
inline constexpr std::size_t kSpanWrapCacheFragments = 128;
inline constexpr std::size_t kTextPaletteSize = 21;
// A line may overhang its width by this much before it breaks.
inline constexpr float kSpanWrapTolerance = 1.0f / 64.0f;

enum class TextSpanWeight : std::uint8_t { regular = 0, medium = 1, bold = 2 };  // stored in 2 bits

struct TextSpan {
    std::string_view text;
    float size_scale = 1.0f;  // not greater than 0 or not finite: 1.0
    TextSpanWeight weight = TextSpanWeight::regular;
    bool italic = false;
    bool monospace = false;
    // Read by rendering only.
    std::optional<std::uint8_t> color;       // palette token
    std::optional<std::uint8_t> background;  // palette token
    bool underline = false;
    bool strikethrough = false;
};

struct SpanLayoutOptions {
    std::uint64_t default_font = kFontRegular;
    std::uint64_t monospace_font = kFontMonospace;
    const TextMeasurer* measurer = nullptr;
    float base_size = 0;
    float line_height = 0;  // not greater than 0: base size x largest span scale x 1.25
    float max_width = 0;    // unlimited when wrap is none or it is not a positive finite number
    TextWrap wrap = TextWrap::none;
    TextAlign align = TextAlign::start;
};

struct SpanFragment {
    std::uint64_t span_index = 0;
    std::string_view text;  // inside the span's text
    std::uint64_t line = 0;
    std::uint64_t font = 0;
    float x = 0;
    float width = 0;
    float y = 0;  // top of its line
    float size = 0;
};

struct SpanLayoutResult {
    std::span<SpanFragment> fragments;  // the filled front of the caller's buffer
    std::uint64_t line_count = 0;
    float line_height = 0;
    float widest = 0;
    float total_height = 0;
    // Spans beyond 32, fragments beyond the buffer or lines beyond 64 were dropped.
    bool truncated = false;
};

// The face a span is drawn in: the monospace font for monospace spans; with the regular default
// font, weight and slant pick medium, bold, italic or bold italic; any other default unchanged.
std::uint64_t textSpanFontId(const TextSpan& span, const SpanLayoutOptions& options);
float textSpanSize(const TextSpan& span, const SpanLayoutOptions& options);

// The width of a slice of a span's text: summed from the span's cached per-byte advances when the
// measurer gives them and the slice lies inside the span, else measured directly.
float measureSpanSlice(const TextSpan& span, std::string_view slice, const SpanLayoutOptions& options);

SpanLayoutResult layoutTextSpansUncached(std::span<const TextSpan> spans, const SpanLayoutOptions& options,
                                         std::span<SpanFragment> fragments);

// The same through the calling thread's span wrap cache.
SpanLayoutResult layoutTextSpans(std::span<const TextSpan> spans, const SpanLayoutOptions& options,
                                 std::span<SpanFragment> fragments);

// Hits counted by the calling thread's span wrap cache (0 before it exists).
std::uint64_t spanWrapCacheHits();

// The palette colour a colour token names; tokens beyond the palette give colour 0.
Color textSpanColorValue(std::span<const Color> palette, std::uint8_t token);

}  // namespace kelvo
