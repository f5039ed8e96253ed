#include "text/text_interaction.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"

namespace kelvo {
namespace {

TEST(TextEdit, TheEditLimitAndTheOutputBufferBothBound) {
    std::vector<char> buffer(kTextEditLimit + 8, 'x');
    std::string_view text(buffer.data(), kTextEditLimit - 1);
    std::span<char> output(buffer.data(), kTextEditLimit + 8);
    EXPECT_EQ(replaceTextRange(text, 10, 10, "ab", output).error(), Error::TextEditBufferTooSmall);
    auto grown = replaceTextRange(text, 10, 10, "a", output);
    ASSERT_TRUE(grown);
    EXPECT_EQ(grown->text.size(), kTextEditLimit);
    EXPECT_EQ(grown->caret, 11u);
    EXPECT_EQ(buffer[10], 'a');

    // A buffer smaller than the limit refuses what does not fit and writes nothing.
    char small[8] = {'h', 'e', 'l', 'l', 'o', '#', '#', '#'};
    EXPECT_EQ(replaceTextRange({small, 5}, 5, 5, "!!!!", small).error(), Error::TextEditBufferTooSmall);
    EXPECT_EQ(std::string(small, 8), "hello###");
    auto exact = replaceTextRange({small, 5}, 5, 5, "!!!", small);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->text, "hello!!!");
}

TEST(TextEdit, ReplacesInPlaceOrIntoAnotherBuffer) {
    char buffer[16] = "abcdef";
    auto grown = replaceTextRange({buffer, 6}, 3, 2, "XYZ", buffer);
    ASSERT_TRUE(grown);
    EXPECT_EQ(grown->text, "abXYZdef");
    EXPECT_EQ(grown->start, 2u);
    EXPECT_EQ(grown->caret, 5u);
    auto shrunk = replaceTextRange(grown->text, 1, 7, "Q", buffer);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(shrunk->text, "aQf");

    // An anchor inside a character replaces from that character's start.
    std::string source =
        "a\xC3\xA9"
        "b";
    char out[8];
    auto replaced = replaceTextRange(source, 2, 3, "e", out);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->text, "aeb");
    EXPECT_EQ(replaced->start, 1u);
    // Offsets past the end are clamped.
    replaced = replaceTextRange(source, 99, 1, "", out);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->text, "a");
}

TEST(TextWords, TableOfOffsets) {
    for (const std::string& line : testing::readLines("text/word_offsets.txt")) {
        std::size_t close = line.rfind('"');
        const std::string text = testing::unescapedCell(std::string_view(line).substr(1, close - 1));
        std::istringstream rest(line.substr(close + 1));
        std::size_t from = 0, next = 0, previous = 0;
        std::string colon;
        rest >> from >> colon >> next >> previous;
        EXPECT_EQ(nextTextWordOffset(text, from), next) << line;
        EXPECT_EQ(previousTextWordOffset(text, from), previous) << line;
    }
}

}  // namespace
}  // namespace kelvo
