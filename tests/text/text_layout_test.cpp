#include "text/text_layout.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "text/fixed_measurer.hpp"
#include "text/text_caret_geometry.hpp"

namespace kelvo {
namespace {

// One row of the line layout table.
struct LayoutCase {
    std::string kind;
    std::string text;
    TextLayoutBox box;
    std::vector<float> args;
    std::vector<std::string> expected;
    std::string source;
};

std::string unescape(const std::string& quoted) {
    std::string out;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            out += quoted[i];
            continue;
        }
        char c = quoted[++i];
        if (c == 'n') out += '\n';
        if (c == 't') out += '\t';
        if (c == '\\' || c == '"') out += c;
        if (c == 'x') {
            out += static_cast<char>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

LayoutCase parseCase(const std::string& line) {
    LayoutCase row;
    row.source = line;
    std::size_t open = line.find('"');
    std::size_t close = line.rfind('"');
    row.kind = line.substr(0, open - 1);
    row.text = unescape(line.substr(open + 1, close - open - 1));
    std::istringstream rest(line.substr(close + 1));
    std::string wrap;
    rest >> wrap >> row.box.max_width;
    row.box.wrap = wrap == "word" ? TextWrap::word : wrap == "char" ? TextWrap::character : TextWrap::none;
    for (std::string token; rest >> token && token != ":";) {
        if (token == "center")
            row.box.align = TextAlign::center;
        else if (token == "end")
            row.box.align = TextAlign::end;
        else if (token == "noellipsis")
            row.box.no_ellipsis = true;
        else
            row.args.push_back(std::stof(token));
    }
    for (std::string token; rest >> token;) row.expected.push_back(token);
    return row;
}

std::string format(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

std::vector<std::string> actual(const LayoutCase& row, const TextRun& run) {
    std::vector<std::string> out;
    if (row.kind == "lines") {
        TextLineIterator lines(run, row.box);
        for (int index = 0; auto line = lines.next(); ++index) {
            std::ostringstream cell;
            cell << line->text_start << '+' << line->text_length;
            if (line->visible_text_length) cell << '>' << *line->visible_text_length;
            cell << '=' << line->width;
            if (line->x != 0) cell << '@' << line->x;
            EXPECT_EQ(line->y, 12.5f * static_cast<float>(index)) << row.source;
            EXPECT_EQ(line->baseline, line->y + 10) << row.source;
            out.push_back(cell.str());
        }
    } else if (row.kind == "caret") {
        auto caret = layoutTextCaretRect(run, row.box, static_cast<std::size_t>(row.args.at(0)));
        EXPECT_TRUE(caret && caret->width == 1.0f && caret->height == 12.5f) << row.source;
        if (caret) out = {format(caret->x), format(caret->y / 12.5f)};
    } else if (row.kind == "point") {
        auto offset = layoutTextOffsetForPoint(run, row.box, row.args.at(0), row.args.at(1));
        out.push_back(offset ? std::to_string(*offset) : "none");
    } else if (row.kind == "select") {
        TextSelectionRect rects[8];
        std::size_t count = layoutTextSelectionRects(run, row.box, static_cast<std::size_t>(row.args.at(0)),
                                                     static_cast<std::size_t>(row.args.at(1)), rects);
        for (std::size_t i = 0; i < count; ++i) {
            std::ostringstream cell;
            cell << rects[i].rect.x << '+' << rects[i].rect.width << '@' << rects[i].rect.y / 12.5f;
            out.push_back(cell.str());
        }
    } else {
        ADD_FAILURE() << "unknown row " << row.source;
    }
    return out;
}

// Every row holds whether the measurer gives per-byte advances (the cache) or only widths.
TEST(TextLineLayout, TableOfCases) {
    testing::forgetCachedMeasurements();
    TextMeasurer with_advances = testing::advancesMeasurer();
    TextMeasurer widths_only = testing::widthOnlyMeasurer();
    for (const std::string& line : testing::readLines("text/line_layout.txt")) {
        LayoutCase row = parseCase(line);
        for (const TextMeasurer* measurer : {&with_advances, &widths_only}) {
            row.box.measurer = measurer;
            EXPECT_EQ(actual(row, testing::emRun(row.text)), row.expected)
                << row.source << (measurer->measureTextAdvances ? " (advances)" : " (widths)");
        }
    }
}

TEST(TextLineLayout, NextLineEndMatchesTheIterator) {
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    TextLayoutBox box{&measurer, 40, 0, TextWrap::word, TextAlign::start, false};
    // "ab cd" fits exactly; the space after it overflows and ends the line before it.
    box.max_width = 50;
    EXPECT_EQ(nextTextLineEnd("ab cd ef", 0, 1, 10, box), 5u);
    EXPECT_EQ(nextTextLineEnd("ab cd  ef", 0, 1, 10, box), 5u);
    EXPECT_EQ(nextTextLineEnd("ab cd ef", 6, 1, 10, box), 8u);
    EXPECT_EQ(nextTextLineEnd("ab\ncd", 0, 1, 10, box), 2u);
}

// Without a measurer, lines break at the estimate's widths, summed character by character.
TEST(TextLineLayout, EstimateWidthsBreakLines) {
    TextRun run;
    run.text = "Wide words wrap";
    run.size = 10;
    float words = estimateTextWidth(1, "Wide words", 10);
    TextLayoutBox box{nullptr, words + 1, 0, TextWrap::word, TextAlign::start, false};
    TextLineIterator lines(run, box);
    auto first = lines.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text_length, 10u);
    EXPECT_FLOAT_EQ(first->width, words);
    EXPECT_EQ(lines.next()->text_start, 11u);
    EXPECT_FALSE(lines.next());
}

std::size_t gMeasuredBytes = 0;

float countingMeasure(void*, std::uint64_t, const char*, std::size_t length, float size) {
    gMeasuredBytes += length;
    return static_cast<float>(length) * size;
}

// A measurer without advances measures each character once while lines break, not every prefix.
TEST(TextLineLayout, BreakingWithWidthsOnlyIsLinear) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "word ";
    TextMeasurer measurer{nullptr, &countingMeasure, nullptr};
    TextLayoutBox box{&measurer, 500, 0, TextWrap::word, TextAlign::start, false};
    TextLineIterator lines(testing::emRun(text), box);
    int count = 0;
    gMeasuredBytes = 0;
    while (lines.next()) ++count;
    EXPECT_EQ(count, 40);
    EXPECT_LT(gMeasuredBytes, 3 * text.size());
}

TEST(TextLineLayout, SelectionPastTheOutputMergesIntoTheLastRectangle) {
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    TextRun run = testing::emRun("ab\ncd\nef\ngh");
    TextLayoutBox box{&measurer, 0, 0, TextWrap::none, TextAlign::start, false};
    TextSelectionRect rects[2];
    ASSERT_EQ(layoutTextSelectionRects(run, box, 1, 10, rects), 2u);
    EXPECT_EQ(rects[0].start, 1u);
    EXPECT_EQ(rects[1].start, 3u);
    EXPECT_EQ(rects[1].end, 10u);
    EXPECT_EQ(rects[1].rect.y, 12.5f);
    EXPECT_EQ(rects[1].rect.height, 37.5f);
    EXPECT_EQ(rects[1].rect.width, 20.0f);
}

}  // namespace
}  // namespace kelvo
