#include "base/utf16_offsets.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/golden.hpp"

namespace kelvo {
namespace {

std::string unescaped(const std::string& cell) { return cell == "-" ? std::string() : testing::unescapedCell(cell); }

std::uint64_t answer(const std::string& text, const std::string& question, const std::string& argument) {
    const std::uint64_t n = argument == "-" || argument == "all" ? 0 : std::stoull(argument);
    if (question == "units") return argument == "all" ? utf16Length(text) : utf16LengthOfPrefix(text, n);
    if (question == "byte>units") return utf16OffsetOfByte(text, n);
    if (question == "units>byte") return byteOffsetOfUtf16(text, n);
    if (question == "units>chars") return characterOffsetOfUtf16(text, n);
    if (question == "chars>byte") return byteOffsetOfCharacter(text, n);
    if (question == "chars") return characterCount(text);
    ADD_FAILURE() << "unknown question " << question;
    return 0;
}

TEST(Utf16Offsets, PlacesCountInUnitsCharactersAndBytes) {
    for (const std::vector<std::string>& row : testing::readTable("base/utf16_offsets.txt")) {
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(answer(unescaped(row[0]), row[1], row[2]), std::stoull(row[3]))
            << row[0] << " " << row[1] << " " << row[2];
    }
}

}  // namespace
}  // namespace kelvo
