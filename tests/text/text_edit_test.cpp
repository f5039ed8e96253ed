#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/golden.hpp"
#include "support/text_cells.hpp"
#include "text/text_interaction.hpp"
#include "widgets/text_edit.hpp"

namespace kelvo {
namespace {

using testing::cellsOf;
using testing::rangeOf;
using testing::rangeText;
using testing::unquote;

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
