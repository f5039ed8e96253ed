#include "text/text_metrics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "support/golden.hpp"
#include "text/canvas_fonts.hpp"
#include "text/fixed_measurer.hpp"

namespace kelvo {
namespace {

std::string fromHex(const std::string& hex) {
    std::string bytes;
    if (hex == "-") return bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

TEST(TextEstimate, AsciiAdvancesComeFromTheRegularFace) {
    std::string table;
    for (const auto& line : testing::readLines("text/ascii_em.txt")) table += line + " ";
    std::istringstream values(table);
    int character = 0x20;
    for (float em; values >> em; ++character) {
        std::string text(1, static_cast<char>(character));
        EXPECT_FLOAT_EQ(estimateTextAdvanceForBytes(kFontRegular, text, 1000.0f), em * 1000.0f) << text;
    }
    EXPECT_EQ(character, 0x7F);
}

TEST(TextEstimate, WidthsOfTheTable) {
    for (const auto& row : testing::readTable("text/estimates.txt")) {
        ASSERT_EQ(row.size(), 4u);
        std::string text = fromHex(row[1]);
        float width = estimateTextWidth(std::stoull(row[0]), text, std::stof(row[2]));
        EXPECT_NEAR(width, std::stof(row[3]), 1e-4) << row[0] << " " << row[1];
        // The unbound measurer is the same estimate.
        EXPECT_EQ(measureTextWidthForFont(&kUnboundTextMeasurer, std::stoull(row[0]), text, std::stof(row[2])), width);
    }
}

float brokenMeasure(void* context, std::uint64_t, const char*, std::size_t, float) {
    return *static_cast<float*>(context);
}

TEST(TextMeasure, UnusableWidthsFallBackToTheEstimate) {
    std::string text = "Hello \xE4\xB8\x80!";
    float estimate = estimateTextWidth(kFontBold, text, 13);
    for (float bad : {-1.0f, std::nanf(""), std::numeric_limits<float>::infinity()}) {
        TextMeasurer measurer{&bad, &brokenMeasure, nullptr};
        EXPECT_EQ(measureTextWidthForFont(&measurer, kFontBold, text, 13), estimate);
        EXPECT_EQ(measureTextAdvance(&measurer, kFontBold, text, 0, 1, 2, 13),
                  measureTextAdvance(&kUnboundTextMeasurer, kFontBold, text, 0, 1, 2, 13));
    }
    float zero = 0.0f;
    TextMeasurer measurer{&zero, &brokenMeasure, nullptr};
    EXPECT_EQ(measureTextWidthForFont(&measurer, kFontBold, text, 13), 0.0f);
    TextMeasurer no_operation{};
    EXPECT_EQ(measureTextWidthForFont(&no_operation, kFontBold, text, 13), estimate);
}

TEST(TextMeasure, EmptyTextIsNotMeasured) {
    testing::MeasureCalls calls;
    TextMeasurer measurer = testing::widthOnlyMeasurer(&calls);
    EXPECT_EQ(measureTextWidthForFont(&measurer, 1, "", 10), 0.0f);
    EXPECT_EQ(measureTextAdvance(&measurer, 1, "abc", 0, 0, 1, 10), 10.0f);
    EXPECT_EQ(calls.widths, 1);  // [0, 0) needs no call
}

// Widths that kern: "AV" is narrower than "A" and "V" apart.
float kerningMeasure(void*, std::uint64_t, const char* text, std::size_t length, float) {
    std::string_view view(text, length);
    float width = static_cast<float>(length) * 10.0f;
    for (std::size_t i = 0; i + 1 < length; ++i) {
        if (view.substr(i, 2) == "AV") width -= 3.0f;
    }
    return width;
}

TEST(TextMeasure, AdvanceIsMeasuredInItsLine) {
    TextMeasurer measurer{nullptr, &kerningMeasure, nullptr};
    std::string_view text = "xAVx";
    EXPECT_EQ(measureTextAdvance(&measurer, 1, text, 1, 2, 3, 10), 7.0f);   // V kerned against A
    EXPECT_EQ(measureTextAdvance(&measurer, 1, text, 2, 2, 3, 10), 10.0f);  // a line that starts at V
    // A longer prefix measured narrower gives no negative advance.
    TextMeasurer shrinking{nullptr, [](void*, std::uint64_t, const char*, std::size_t length, float) {
                               return length > 2 ? 5.0f : 10.0f * static_cast<float>(length);
                           }};
    EXPECT_EQ(measureTextAdvance(&shrinking, 1, text, 0, 2, 3, 10), 0.0f);
    // Without a measurer: the estimate of the range's bytes.
    EXPECT_EQ(measureTextAdvance(nullptr, 1, text, 0, 1, 2, 10), estimateTextAdvanceForBytes(1, "A", 10));
}

}  // namespace
}  // namespace kelvo
