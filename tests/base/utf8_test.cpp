#include "base/utf8.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "base/json_string.hpp"

namespace kelvo {
namespace {

TEST(Utf8, UnitsAreWholeCharactersOrMaximalInvalidRuns) {
    struct Case {
        std::string_view text;
        std::size_t length;
        bool valid;
    };
    const Case cases[] = {
        {"a", 1, true},
        {"\xc3\xa9", 2, true},
        {"\xe2\x82\xac", 3, true},
        {"\xf0\x9f\x99\x82", 4, true},
        {"\xf4\x8f\xbf\xbf", 4, true},   // U+10FFFF
        {"\x80", 1, false},              // a lone continuation byte
        {"\xc0\xaf", 1, false},          // overlong lead
        {"\xe0\x80\x80", 1, false},      // overlong three-byte form
        {"\xed\xa0\x80", 1, false},      // surrogate
        {"\xf4\x90\x80\x80", 1, false},  // above U+10FFFF
        {"\xf5", 1, false},
        {"\xe2\x82", 2, false},   // cut short by the end
        {"\xe2\x82x", 2, false},  // cut short by an ASCII byte
        {"\xf0\x9f\x99", 3, false},
    };
    for (const auto& c : cases) {
        Utf8Unit unit = utf8UnitAt(c.text, 0);
        EXPECT_EQ(unit.length, c.length) << ::testing::PrintToString(c.text);
        EXPECT_EQ(unit.valid, c.valid) << ::testing::PrintToString(c.text);
    }
}

TEST(Utf8, CutsFallBetweenCharacters) {
    std::string_view text = "ab\xc3\xa9\xe2\x82\xac!";
    EXPECT_EQ(utf8CutLength(text, 100), text.size());
    EXPECT_EQ(utf8CutLength(text, 3), 2u);
    EXPECT_EQ(utf8CutLength(text, 4), 4u);
    EXPECT_EQ(utf8CutLength(text, 6), 4u);
    EXPECT_EQ(utf8CutLength(text, 7), 7u);
    EXPECT_EQ(utf8CutLength("a\xff\xffz", 2), 2u) << "invalid bytes are units of their own";
    EXPECT_EQ(utf8CutLength("\xc3\xa9", 0), 0u);
}

TEST(Utf8, ValidUtf8JsonStringsMatchThePlainWriterOnValidText) {
    auto write = [](std::string_view text, bool validUtf8) {
        std::array<char, 128> buffer;
        BoundedWriter out(buffer);
        validUtf8 ? writeJsonStringValidUtf8(out, text) : writeJsonString(out, text);
        return std::string(out.text());
    };
    for (std::string_view valid : {"plain", "tab\tquote\"\x01", "\xc3\xa9\x7f\xf0\x9f\x99\x82", ""}) {
        EXPECT_EQ(write(valid, true), write(valid, false));
    }
    EXPECT_EQ(write("a\xff\n\xe2\x82", true), "\"a\xef\xbf\xbd\\n\xef\xbf\xbd\"");
}

}  // namespace
}  // namespace kelvo
