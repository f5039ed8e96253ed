#include "base/json_string.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace kelvo {
namespace {

std::string json(std::string_view text) {
    std::array<char, 256> buffer;
    BoundedWriter out(buffer);
    writeJsonString(out, text);
    return std::string(out.text());
}

TEST(JsonString, EscapesExactlyTheNamedBytes) {
    EXPECT_EQ(json("plain/text"), "\"plain/text\"");
    EXPECT_EQ(json("a\nb\rc\"d\\e\tf"), "\"a\\nb\\rc\\\"d\\\\e\\tf\"");
    EXPECT_EQ(json(std::string_view("\x00\x1b\x0b\x0c\x1f", 5)), "\"\\u0000\\u001b\\u000b\\u000c\\u001f\"");
    EXPECT_EQ(json("\x7f\xc3\xa9"), "\"\x7f\xc3\xa9\"");
    EXPECT_EQ(json(""), "\"\"");
}

// Bytes that are not UTF-8 are written one escape each, and each such escape reads back as its
// byte; valid text is written as writeJsonString writes it.
TEST(JsonString, BytesThatAreNotUtf8TravelAsEscapesAndComeBack) {
    std::array<char, 256> buffer;
    BoundedWriter out(buffer);
    writeJsonStringOfBytes(out, "caf\xE9 \xC3\xA9\n\xF0\x9F\x98\x80 \xF0\x9F\x98x\xC0\xAF\xFF\x80\"");
    EXPECT_EQ(out.text(),
              "\"caf\\udce9 \xC3\xA9\\n\xF0\x9F\x98\x80 \\udcf0\\udc9f\\udc98x\\udcc0\\udcaf\\udcff\\udc80\\\"\"");
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char one = static_cast<char>(byte);
        out.reset();
        writeJsonStringOfBytes(out, {&one, 1});
        const std::string_view written = out.text();
        ASSERT_EQ(written.size(), 8u) << byte;
        EXPECT_EQ(byteOfSurrogateEscape(written.substr(3, 4)), static_cast<unsigned char>(byte)) << written;
    }
    EXPECT_EQ(byteOfSurrogateEscape("DCE9"), 0xE9);
    for (std::string_view other : {"dc7f", "dd00", "d800", "00e9", "dce", "dce9a", "dcg9", "dc-9"}) {
        EXPECT_EQ(byteOfSurrogateEscape(other), std::nullopt) << other;
    }
}

TEST(JsonString, ReportsAFullBuffer) {
    std::array<char, 4> buffer;
    BoundedWriter out(buffer);
    writeJsonString(out, "abcd");
    EXPECT_TRUE(out.overflowed());
}

}  // namespace
}  // namespace kelvo
