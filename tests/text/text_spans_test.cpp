#include "text/text_spans.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "text/fixed_measurer.hpp"

namespace kelvo {
namespace {

std::vector<std::string> describe(const SpanLayoutResult& result, std::span<const TextSpan> spans) {
    std::vector<std::string> out;
    for (const SpanFragment& f : result.fragments) {
        std::ostringstream cell;
        cell << f.span_index << ':' << f.text.data() - spans[f.span_index].text.data() << '+' << f.text.size() << '@'
             << f.line << ':' << f.x;
        out.push_back(cell.str());
    }
    std::stringstream totals;
    totals << "lines=" << result.line_count << " widest=" << result.widest;
    for (std::string cell; totals >> cell;) out.push_back(cell);
    if (result.truncated) out.push_back("truncated");
    return out;
}

// The spans, options and expected description of one table row.
struct SpanCase {
    std::deque<std::string> texts;
    std::vector<TextSpan> spans;
    SpanLayoutOptions options;
    std::vector<std::string> expected;
};

SpanCase parseRow(const std::string& line) {
    SpanCase row;
    std::size_t at = 0;
    while (line[at] == '"') {
        std::size_t close = line.find('"', at + 1);
        std::string text;
        for (std::size_t i = at + 1; i < close; ++i) {
            bool escape = line[i] == '\\' && (line[i + 1] == 'n' || line[i + 1] == 't');
            text += escape ? (line[++i] == 'n' ? '\n' : '\t') : line[i];
        }
        TextSpan span;
        span.text = row.texts.emplace_back(text);
        at = close + 1;
        if (line[at] == '*') {
            std::size_t end = line.find(' ', at);
            span.size_scale = std::stof(line.substr(at + 1, end - at - 1));
            at = end;
        }
        row.spans.push_back(span);
        at = line.find_first_not_of(' ', at);
    }
    std::istringstream rest(line.substr(at));
    std::string wrap;
    rest >> wrap >> row.options.max_width;
    row.options.wrap = wrap == "word" ? TextWrap::word : wrap == "char" ? TextWrap::character : TextWrap::none;
    row.options.base_size = 10;
    for (std::string token; rest >> token && token != ":";) {
        row.options.align = token == "center" ? TextAlign::center : TextAlign::end;
    }
    for (std::string token; rest >> token;) row.expected.push_back(token);
    return row;
}

TEST(TextSpanLayout, TableOfCases) {
    testing::forgetCachedMeasurements();
    TextMeasurer with_advances = testing::advancesMeasurer();
    TextMeasurer widths_only = testing::widthOnlyMeasurer();
    SpanFragment fragments[16];
    for (const std::string& line : testing::readLines("text/span_layout.txt")) {
        SpanCase row = parseRow(line);
        for (const TextMeasurer* measurer : {&with_advances, &widths_only}) {
            row.options.measurer = measurer;
            EXPECT_EQ(describe(layoutTextSpansUncached(row.spans, row.options, fragments), row.spans), row.expected)
                << line;
            // The cached entry point gives the same, whether it lays out or reuses.
            for (int pass = 0; pass < 2; ++pass) {
                EXPECT_EQ(describe(layoutTextSpans(row.spans, row.options, fragments), row.spans), row.expected)
                    << line;
            }
        }
    }
}

TEST(TextSpanLayout, FontsSizesAndLineHeight) {
    TextSpan spans[5];
    spans[0].text = "a";
    spans[0].weight = TextSpanWeight::bold;
    spans[1].text = "b";
    spans[1].weight = TextSpanWeight::medium;
    spans[1].italic = true;
    spans[1].size_scale = 1.5f;
    spans[2].text = "c";
    spans[2].monospace = true;
    spans[2].weight = TextSpanWeight::bold;
    spans[3].text = "d";
    spans[3].italic = true;
    spans[3].size_scale = -2;
    spans[4].text = "e";
    spans[4].size_scale = std::nanf("");
    SpanLayoutOptions options;
    options.base_size = 10;
    options.monospace_font = 7;
    SpanFragment fragments[8];
    SpanLayoutResult result = layoutTextSpansUncached(spans, options, fragments);
    ASSERT_EQ(result.fragments.size(), 5u);
    std::uint64_t fonts[] = {4, 6, 7, 5, 1};
    float sizes[] = {10, 15, 10, 10, 10};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(result.fragments[i].font, fonts[i]) << i;
        EXPECT_EQ(result.fragments[i].size, sizes[i]) << i;
    }
    EXPECT_EQ(result.line_height, 18.75f);
    EXPECT_FLOAT_EQ(result.fragments[1].width, estimateTextWidth(6, "b", 15));
    // Any default font other than the regular face is kept for every weight.
    options.default_font = 9;
    EXPECT_EQ(textSpanFontId(spans[0], options), 9u);
    options.line_height = 30;
    EXPECT_EQ(layoutTextSpansUncached(spans, options, fragments).total_height, 30.0f);
}

TEST(TextSpanLayout, LimitsSetTheTruncatedFlag) {
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    SpanLayoutOptions options{1, 2, &measurer, 10, 0, 0, TextWrap::none, TextAlign::start};
    std::vector<TextSpan> spans(33);
    for (TextSpan& span : spans) span.text = "x";
    SpanFragment fragments[40];
    SpanLayoutResult result = layoutTextSpansUncached(std::span(spans).first(32), options, fragments);
    EXPECT_FALSE(result.truncated);
    result = layoutTextSpansUncached(spans, options, fragments);
    EXPECT_TRUE(result.truncated);
    EXPECT_EQ(result.fragments.size(), 32u);
    EXPECT_EQ(result.widest, 320.0f);

    std::string lines;
    for (int i = 0; i < 65; ++i) lines += "w\n";
    lines.pop_back();
    TextSpan tall;
    tall.text = lines;
    result = layoutTextSpansUncached({&tall, 1}, options, fragments);
    EXPECT_TRUE(result.truncated);
    EXPECT_EQ(result.line_count, 65u);
    EXPECT_EQ(result.fragments.size(), 40u);
    SpanFragment many[80];
    result = layoutTextSpansUncached({&tall, 1}, options, many);
    EXPECT_EQ(result.fragments.size(), 64u);
    EXPECT_EQ(result.total_height, 65 * 12.5f);
}

TEST(TextSpanLayout, CachedLayoutsRebuildTextsAndRespectTheBuffer) {
    testing::forgetCachedMeasurements();
    TextMeasurer measurer = testing::advancesMeasurer();
    SpanLayoutOptions options{1, 2, &measurer, 10, 0, 30, TextWrap::word, TextAlign::start};
    std::string first_copy = "ab cd ef", second_copy = first_copy;
    TextSpan span;
    span.text = first_copy;
    SpanFragment one[1];
    SpanLayoutResult cut = layoutTextSpans({&span, 1}, options, one);
    EXPECT_TRUE(cut.truncated);
    SpanFragment fragments[4];
    std::uint64_t hits = spanWrapCacheHits();
    SpanLayoutResult full = layoutTextSpans({&span, 1}, options, fragments);
    EXPECT_FALSE(full.truncated);  // the cut result was not kept
    EXPECT_EQ(full.fragments.size(), 3u);
    EXPECT_EQ(spanWrapCacheHits(), hits);

    TextSpan same;
    same.text = second_copy;
    SpanLayoutResult again = layoutTextSpans({&same, 1}, options, fragments);
    EXPECT_EQ(spanWrapCacheHits(), hits + 1);
    ASSERT_EQ(again.fragments.size(), 3u);
    EXPECT_EQ(again.fragments[2].text.data(), second_copy.data() + 6);
    EXPECT_EQ(again.fragments[2].y, 25.0f);
    // A buffer too small for the cached fragments gets a fresh, truncated layout.
    EXPECT_TRUE(layoutTextSpans({&same, 1}, options, std::span(fragments, 2)).truncated);
    EXPECT_EQ(spanWrapCacheHits(), hits + 1);
    testing::forgetCachedMeasurements();
    layoutTextSpans({&same, 1}, options, fragments);
    EXPECT_EQ(spanWrapCacheHits(), hits + 1);
}

TEST(TextSpanColor, TokensBeyondThePaletteGiveColourZero) {
    Color palette[kTextPaletteSize + 3];  // entries past the palette's 21 are never read
    for (std::size_t i = 0; i < std::size(palette); ++i) palette[i] = {static_cast<float>(i) / 20.0f, 0, 0, 1};
    EXPECT_EQ(textSpanColorValue(palette, 20).r, 1.0f);
    EXPECT_EQ(textSpanColorValue(palette, 5).r, 0.25f);
    for (std::uint8_t token : {21, 22, 31, 255}) EXPECT_EQ(textSpanColorValue(palette, token).r, 0.0f);
    EXPECT_EQ(textSpanColorValue(std::span(palette, 3), 7).r, 0.0f);
}

}  // namespace
}  // namespace kelvo
