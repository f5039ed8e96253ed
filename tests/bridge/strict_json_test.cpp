#include "bridge/strict_json.hpp"

#include <gtest/gtest.h>

#include <string>

#include "bridge/json_scan.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

TEST(StrictJson, AcceptsStandardJsonTexts) {
    const std::string_view accepted[] = {
        "null",
        "true",
        "0",
        "-0",
        "-0.5e+3",
        "1E-2",
        "1e400",  // the grammar does not bound magnitudes
        "\"\"",
        "\"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\uD800\"",
        "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf\"",
        " [1, -0.5e+3, \"a\", {\"k\": true, \"\": []}] \n",
        "\t\r\n{}\t\r\n",
        "\"\x7f\"",
    };
    for (std::string_view text : accepted) EXPECT_TRUE(isStrictJson(text)) << text;
}

TEST(StrictJson, RefusesWhatTheLenientScannersLetThrough) {
    for (const std::string& text : testing::readLines("bridge/not_strict_json.txt")) {
        EXPECT_FALSE(isStrictJson(text)) << text;
    }
    const std::string_view refused[] = {
        "",
        " ",
        std::string_view("\"a\x01\"", 4),
        std::string_view("\"\\\x01\"", 4),
        "\v1",
        "1\f",
        "[1\v]",
        "\"\xc0\x80\"",          // overlong
        "\"\xe0\x9f\xbf\"",      // overlong
        "\"\xed\xa0\x80\"",      // surrogate
        "\"\xf4\x90\x80\x80\"",  // above U+10FFFF
        "\"\xf0\x8f\xbf\xbf\"",  // overlong
        "\"\xe2\x82\"",          // cut short
        "\"\x80\"",
        "\"\xff\"",
        "\"\xc3\"",
        "\xc3\xa9",
        "[\"\xf5\x80\x80\x80\"]",
    };
    for (std::string_view text : refused) EXPECT_FALSE(isStrictJson(text)) << text;
}

TEST(StrictJson, NestingStopsAtTheDepthLimit) {
    std::string deepest = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
    EXPECT_TRUE(isStrictJson(deepest));
    EXPECT_FALSE(isStrictJson("[" + deepest + "]"));
    EXPECT_FALSE(isStrictJson(std::string(1024 * 1024, '[')));
}

}  // namespace
}  // namespace kelvo
