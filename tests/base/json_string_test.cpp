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

TEST(JsonString, ReportsAFullBuffer) {
    std::array<char, 4> buffer;
    BoundedWriter out(buffer);
    writeJsonString(out, "abcd");
    EXPECT_TRUE(out.overflowed());
}

}  // namespace
}  // namespace kelvo
