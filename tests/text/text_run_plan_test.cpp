#include "text/text_run_plan.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "text/fixed_measurer.hpp"
#include "text/text_caret_geometry.hpp"
#include "text/text_layout_cache.hpp"

namespace kelvo {
namespace {

// The fingerprint's byte stream, built independently of the code under test.
struct ByteStream {
    std::vector<std::uint8_t> bytes;

    void le(std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void f32(float value) { le(std::bit_cast<std::uint32_t>(value), 4); }
    void text(std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
    void box(const TextLayoutBox& box) {
        f32(box.max_width > 0 ? box.max_width : 0);
        f32(box.line_height > 0 ? box.line_height : 0);
        le(static_cast<std::uint64_t>(box.wrap), 8);
        le(static_cast<std::uint64_t>(box.align), 8);
        if (box.no_ellipsis) {
            text("text_overflow");
            le(1, 8);
        }
    }
    std::uint64_t fnv(std::uint64_t state) const {
        for (std::uint8_t b : bytes) state = (state ^ b) * 0x100000001b3ull;
        return state;
    }
};

std::uint64_t expectedFingerprint(const TextRun& run, const TextLayoutBox& asked) {
    ByteStream first;
    first.le(run.font, 8);
    first.f32(run.size);
    first.f32(run.origin_x);
    first.f32(run.baseline_y);
    first.text(run.text);
    first.le(run.glyphs.size(), 8);
    for (const PositionedGlyph& g : run.glyphs) {
        first.le(g.glyph, 4);
        first.le(g.font == 0 ? run.font : g.font, 8);
        first.f32(g.x);
        first.f32(g.y);
        first.f32(g.advance);
        first.le(g.text_offset, 8);
        first.le(g.text_length, 8);
    }
    first.le(run.has_layout ? 1 : 0, 1);
    if (run.has_layout) first.box(run.layout);
    ByteStream second;
    second.le(first.fnv(0xf344cfdbba168ac7ull), 8);
    second.box(asked);
    return second.fnv(0x157cf5681e319699ull);
}

TEST(TextRunPlan, FingerprintCoversRunGlyphsAndBothLayoutBoxes) {
    PositionedGlyph glyphs[] = {{0, 0, 1, 36, 0, 0, 7.5f}, {3, 1, 2, 80, 7.5f, -1, 6}};
    TextRun run;
    run.font = 4;
    run.text = "A\xC3\xA9";
    run.size = 13;
    run.origin_x = 2.5f;
    run.baseline_y = -4;
    TextLayoutBox asked{nullptr, 120, -3, TextWrap::word, TextAlign::end, true};
    std::uint64_t plain = textRunPlanFingerprint(run, asked);
    EXPECT_EQ(plain, expectedFingerprint(run, asked));
    run.glyphs = glyphs;
    run.has_layout = true;
    run.layout = {nullptr, -1, 16, TextWrap::character, TextAlign::center, false};
    EXPECT_EQ(textRunPlanFingerprint(run, asked), expectedFingerprint(run, asked));
    asked.no_ellipsis = false;
    EXPECT_EQ(textRunPlanFingerprint(run, asked), expectedFingerprint(run, asked));
    // The measurer is no part of it.
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    asked.measurer = &measurer;
    EXPECT_EQ(textRunPlanFingerprint(run, asked), expectedFingerprint(run, asked));
    EXPECT_NE(plain, textRunPlanFingerprint(run, asked));
}

TEST(TextRunPlan, KeyHashMixesTheCountedFields) {
    auto m = [](std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z;
    };
    TextLayoutKey key{{11, 22, 33, 44}, {1.5f, -0.0f, 14, 0.0f, -7}, 0xffff};
    std::uint64_t h = m(44 ^ 11);
    for (std::uint32_t bits : {std::bit_cast<std::uint32_t>(1.5f), 0u, std::bit_cast<std::uint32_t>(14.0f), 0u,
                               std::bit_cast<std::uint32_t>(-7.0f)}) {
        h = m(bits ^ h ^ (h >> 31));
    }
    h = m(0x0303u ^ h ^ (h >> 31));
    h = m((22ull ^ (33ull << 20)) ^ h ^ (h >> 31));
    EXPECT_EQ(textLayoutKeyHash(key), h ^ (h >> 31));
    TextLayoutKey other = key;
    other.flags = 0x0303;
    other.parameters[1] = 0.0f;
    EXPECT_EQ(textLayoutKeyHash(other), textLayoutKeyHash(key));
    other.flags = 0x0301;
    EXPECT_NE(textLayoutKeyHash(other), textLayoutKeyHash(key));
}

TEST(TextRunPlan, LinesMustFitTheCallersArray) {
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    TextRun run = testing::emRun("ab\ncd\nef");
    TextLayoutBox box{&measurer, 0, 0, TextWrap::none, TextAlign::start, false};
    TextLine lines[3];
    EXPECT_EQ(layoutTextRunPlan(run, box, std::span(lines, 2)).error(), Error::TextLayoutLineListFull);
    auto plan = layoutTextRunPlan(run, box, lines);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->lines.size(), 3u);
    EXPECT_EQ(plan->lines[2].text_start, 6u);
    ASSERT_TRUE(plan->bounds);
    EXPECT_EQ(plan->bounds->height, 37.5f);
}

TEST(TextBounds, EveryLineCountsAndInkOverhangs) {
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += "a\n";
    TextRun run = testing::emRun(hundred);
    run.has_layout = true;
    run.layout = {&measurer, 200, 0, TextWrap::word, TextAlign::start, false};
    auto bounds = textBounds(run);
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->x, -1.0f);
    EXPECT_EQ(bounds->y, 0.0f);
    EXPECT_EQ(bounds->width, 14.5f);
    EXPECT_EQ(bounds->height, 1251.0f);  // 100 lines of 12.5, plus 0.1 size

    // Without a layout box: one line of the estimated width, at least a quarter of the size.
    run.has_layout = false;
    run.text = "i";
    bounds = textBounds(run);
    ASSERT_TRUE(bounds);
    EXPECT_FLOAT_EQ(bounds->width, 2.5f + 4.5f);
    EXPECT_EQ(bounds->height, 13.5f);
    run.text = "";
    EXPECT_FALSE(textBounds(run));
}

// Glyph mode: "ab cd" shaped as five glyphs 10 apart, plus a two-character ligature in its own run.
class GlyphLayout : public ::testing::Test {
protected:
    PositionedGlyph glyphs[5] = {{0, 0, 1, 1, 0, 0, 10},
                                 {0, 1, 1, 2, 10, 0, 10},
                                 {0, 2, 1, 3, 20, 0, 10},
                                 {0, 3, 1, 4, 30, 0, 10},
                                 {0, 4, 1, 5, 40, 0, 10}};
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    TextRun run = testing::emRun("ab cd");
    TextLayoutBox box{&measurer, 35, 0, TextWrap::word, TextAlign::start, false};

    void SetUp() override { run.glyphs = glyphs; }
};

TEST_F(GlyphLayout, WordWrapBreaksAtSpaceGlyphs) {
    TextLineIterator lines(run, box);
    auto first = lines.next();
    auto second = lines.next();
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(lines.next());
    EXPECT_EQ(first->glyph_count, 2u);
    EXPECT_EQ(first->text_length, 2u);
    EXPECT_EQ(second->glyph_start, 3u);
    EXPECT_EQ(second->text_start, 3u);
    EXPECT_EQ(second->x, 30.0f);
    EXPECT_EQ(second->y, 12.5f);
    EXPECT_EQ(layoutTextCaretRect(run, box, 4)->x, 40.0f);
    EXPECT_EQ(layoutTextOffsetForPoint(run, box, 44, 20), 4u);
    EXPECT_EQ(layoutTextOffsetForPoint(run, box, 46, 20), 5u);
}

TEST_F(GlyphLayout, ALeadingSpaceGlyphIsNoBreak) {
    run.text = " abcd";
    for (std::size_t i = 0; i < 5; ++i) glyphs[i].text_offset = i;
    TextLineIterator lines(run, box);
    auto first = lines.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->glyph_count, 3u);  // character wrap inside the word
    EXPECT_EQ(lines.next()->glyph_start, 3u);
}

TEST_F(GlyphLayout, EllipsisCutsWholeGlyphs) {
    box.wrap = TextWrap::none;
    TextLineIterator lines(run, box);
    auto line = lines.next();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->visible_glyph_count, 2u);
    EXPECT_EQ(line->visible_text_length, 2u);
    EXPECT_EQ(line->ellipsis_width, 10.0f);
    EXPECT_EQ(line->width, 30.0f);
}

TEST_F(GlyphLayout, CaretSpreadsInsideACluster) {
    PositionedGlyph ligature[] = {{0, 0, 2, 9, 0, 0, 20}, {0, 2, 1, 3, 20, 0, 10}};
    run.text = "ffi";
    run.glyphs = ligature;
    box.wrap = TextWrap::none;
    box.max_width = 0;
    EXPECT_EQ(layoutTextCaretRect(run, box, 1)->x, 10.0f);
    EXPECT_EQ(layoutTextCaretRect(run, box, 2)->x, 20.0f);
    EXPECT_EQ(layoutTextCaretRect(run, box, 3)->x, 30.0f);
}

TEST(GlyphTextRanges, ClustersOrProportions) {
    PositionedGlyph clustered[] = {{0, 4, 2, 1, 0, 0, 5}, {0, 0, 1, 1, 0, 0, 5}, {0, 1, 9, 1, 0, 0, 5}};
    std::string_view text = "ab\xC3\xA9z";  // a b é z
    TextRange both = textRangeForGlyphRangeWithGlyphs(text, clustered, 0, 2);
    EXPECT_EQ(both.start, 0u);
    EXPECT_EQ(both.end, 5u);  // 4 + 2 clamped to the text
    TextRange past_end = textRangeForGlyphRangeWithGlyphs(text, clustered, 2, 1);
    EXPECT_EQ(past_end.end, 5u);
    PositionedGlyph inside_character[] = {{0, 3, 1, 1, 0, 0, 5}};
    EXPECT_EQ(textRangeForGlyphRangeWithGlyphs(text, inside_character, 0, 1).start, 2u);
    // Without clusters, glyphs spread over the characters: 4 characters, 3 glyphs.
    PositionedGlyph unmapped[3] = {};
    TextRange middle = textRangeForGlyphRangeWithGlyphs(text, unmapped, 1, 1);
    EXPECT_EQ(middle.start, 1u);  // floor(1 * 4 / 3) = character 1
    EXPECT_EQ(middle.end, 4u);    // ceil(2 * 4 / 3) = character 3, at byte 4
    TextRange all = textRangeForGlyphRange(text, 0, 99, 3);
    EXPECT_EQ(all.end, text.size());
}

}  // namespace
}  // namespace kelvo
