#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/golden.hpp"
#include "text/text_interaction.hpp"
#include "widgets/text_edit.hpp"

namespace kelvo {
namespace {

// A quoted cell: \xNN bytes and {c*N} runs.
std::string unquote(const std::string& cell) {
    std::string text;
    for (std::size_t i = 1; i + 1 < cell.size(); ++i) {
        if (cell.compare(i, 2, "\\x") == 0) {
            text += static_cast<char>(std::stoi(cell.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (cell[i] == '{') {
            const std::size_t close = cell.find('}', i);
            text.append(std::stoul(cell.substr(i + 3, close - i - 3)), cell[i + 1]);
            i = close;
        } else {
            text += cell[i];
        }
    }
    return text;
}

// The cells of a row: quoted texts (which may hold spaces) and bare words.
std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        const std::size_t end = line[i] == '"' ? line.find('"', i + 1) + 1 : std::min(line.find(' ', i), line.size());
        cells.push_back(line.substr(i, end - i));
        i = end;
    }
    return cells;
}

std::optional<WidgetTextRange> rangeOf(const std::string& cell) {
    if (cell == "-") return std::nullopt;
    const std::size_t comma = cell.find(',');
    return WidgetTextRange{std::stoull(cell.substr(0, comma)), std::stoull(cell.substr(comma + 1))};
}

std::string rangeText(const std::optional<WidgetTextRange>& range) {
    return range ? std::to_string(range->start) + "," + std::to_string(range->end) : "-";
}

TEST(TextEdit, TableOfEdits) {
    std::vector<char> output(kTextEditLimit + 16);
    for (const std::string& line : testing::readLines("text/text_edits.txt")) {
        const std::vector<std::string> c = cellsOf(line);
        ASSERT_GE(c.size(), 10u) << line;
        const std::string &text = c[0], &selection = c[1], &composition = c[2], &inserted = c[7], &expected = c[9];
        const auto kind = std::stoul(c[3]);
        const std::uint64_t first = std::stoull(c[4]), second = std::stoull(c[5]);
        const bool flag = c[6] != "0";
        const std::string before = unquote(text);
        const std::string insert = unquote(inserted);
        const TextEditState state{before, rangeOf(selection), rangeOf(composition)};
        const TextEditRequest request{insert, first, second, flag, static_cast<TextEditKind>(kind)};
        const auto after = applyTextEdit(state, request, output);
        const std::string shown = line.substr(0, 60);
        if (expected[0] == '!') {
            ASSERT_FALSE(after) << shown;
            EXPECT_EQ(errorName(after.error()), expected.substr(1)) << shown;
            continue;
        }
        ASSERT_TRUE(after) << shown << ": " << errorName(after.error());
        ASSERT_EQ(c.size(), 12u) << line;
        const std::string &selectionAfter = c[10], &compositionAfter = c[11];
        EXPECT_EQ(std::string(after->text), unquote(expected)) << shown;
        EXPECT_EQ(rangeText(after->selection), selectionAfter) << shown;
        EXPECT_EQ(rangeText(after->composition), compositionAfter) << shown;
    }
}

TEST(TextEdit, OutputSmallerThanTheLimitIsCheckedAndNeverOverrun) {
    std::vector<char> output(8, '#');
    const TextEditState state{"abcdef", WidgetTextRange{6, 6}, std::nullopt};
    const auto fits = applyTextEdit(state, {"gh", 0, 0, false, TextEditKind::insert_text}, std::span(output).first(8));
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->text, "abcdefgh");
    output.assign(16, '#');
    EXPECT_EQ(applyTextEdit(state, {"ghi", 0, 0, false, TextEditKind::insert_text}, std::span(output).first(8)).error(),
              Error::TextEditBufferTooSmall);
    EXPECT_EQ(std::string(output.data(), 16), std::string(16, '#'));
}

}  // namespace
}  // namespace kelvo
