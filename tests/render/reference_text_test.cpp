#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "test_surface.hpp"
#include "text/text_metrics.hpp"

namespace kelvo::testing {
namespace {

using Pixel = std::array<std::uint8_t, 4>;
constexpr Pixel kWhite{255, 255, 255, 255};
constexpr Color kBlack{0, 0, 0, 1};

// The columns and rows that hold ink: [left, right) x [top, bottom).
struct Ink {
    std::int64_t left = INT64_MAX;
    std::int64_t top = INT64_MAX;
    std::int64_t right = INT64_MIN;
    std::int64_t bottom = INT64_MIN;
};

Ink inkOf(const TestSurface& target) {
    Ink ink;
    for (std::int64_t y = 0; y < static_cast<std::int64_t>(target.surface.height); ++y) {
        for (std::int64_t x = 0; x < static_cast<std::int64_t>(target.surface.width); ++x) {
            if (target.at(x, y) == kWhite) continue;
            ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
                   std::max(ink.bottom, y + 1)};
        }
    }
    return ink;
}

Status draw(TestSurface& target, const DrawTextCommand& text) {
    return renderDisplayList(target.surface, std::vector<CanvasCommand>{CanvasCommand::drawText(text)}, 1.0f);
}

TEST(ReferenceText, ACharacterTheFaceLacksIsASolidBoxOfItsAdvance) {
    TestSurface target(60, 40);
    const char* cjk = "\xE4\xB8\x80";  // U+4E00
    ASSERT_TRUE(draw(target, {1, kFontRegular, cjk, {}, std::nullopt, 20, {10, 30}, kBlack}));
    float advance = estimateTextWidth(kFontRegular, cjk, 20);
    Ink ink = inkOf(target);
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.right, static_cast<std::int64_t>(std::ceil(10 + advance)));
    EXPECT_EQ(ink.top, 10);
    EXPECT_EQ(ink.bottom, 30);
    EXPECT_EQ(target.at(12, 12), (Pixel{0, 0, 0, 255}));
}

TEST(ReferenceText, PositionedGlyphsDrawWhereTheyWerePlaced) {
    // An 'H' placed at x 20 with its own advance: its outline starts after its left side bearing,
    // not half a box to the left of it.
    TestSurface target(60, 40);
    const PositionedGlyph glyph{0, 0, 1, 0, 20, 0, 14};
    ASSERT_TRUE(draw(target, {1, kFontRegular, "H", {&glyph, 1}, std::nullopt, 20, {0, 30}, kBlack}));
    Ink ink = inkOf(target);
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.left, 23);
    EXPECT_GT(ink.bottom, 28);
}

TEST(ReferenceText, EveryLineOfALongTextIsDrawn) {
    // Eighty lines of a missing character: a solid box on each, the last one included.
    std::string text;
    for (int i = 0; i < 80; ++i) text += "\xE4\xB8\x80\n";
    TestSurface target(20, 81 * 5);
    TextLayoutBox box{nullptr, 100, 5, TextWrap::word, TextAlign::start, false};
    ASSERT_TRUE(draw(target, {1, kFontRegular, text, {}, box, 4, {2, 4}, kBlack}));
    for (int line : {0, 63, 64, 79}) EXPECT_EQ(target.at(3, line * 5 + 2), (Pixel{0, 0, 0, 255})) << line;
}

TEST(ReferenceText, ACutLineEndsWithTheEllipsis) {
    TestSurface target(80, 30);
    TextLayoutBox box{nullptr, 40, 0, TextWrap::none, TextAlign::start, false};
    ASSERT_TRUE(draw(target, {1, kFontRegular, "MMMMMMMMMMMM", {}, box, 12, {4, 20}, kBlack}));
    Ink ink = inkOf(target);
    EXPECT_LE(ink.right, 4 + 40 + 1);
    // The three dots sit on the baseline at the right end.
    bool dot = false;
    for (std::int64_t x = ink.right - 3; x < ink.right; ++x) dot = dot || target.at(x, 19) != kWhite;
    EXPECT_TRUE(dot);
}

}  // namespace
}  // namespace kelvo::testing
