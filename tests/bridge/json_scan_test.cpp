#include "bridge/json_scan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/golden.hpp"

namespace kelvo {
namespace {

bool requestScanPasses(std::string_view text, std::size_t* end = nullptr) {
    std::size_t cursor = 0;
    bool passed = skipJsonValue(text, cursor).has_value();
    if (!passed) {
        EXPECT_EQ(cursor, 0u) << "a failed scan moved the cursor";
    }
    if (end) *end = cursor;
    return passed;
}

bool payloadScanPasses(std::string_view text, std::size_t* end = nullptr) {
    std::size_t cursor = 0;
    bool passed = skipValueSpan(text, cursor);
    if (!passed) {
        EXPECT_EQ(cursor, 0u) << "a failed scan moved the cursor";
    }
    if (end) *end = cursor;
    return passed;
}

TEST(JsonScan, BothFamiliesAcceptTheSameLenientValues) {
    std::vector<std::string> accepted = testing::readLines("bridge/lenient_values.txt");
    accepted.insert(accepted.end(), {std::string("\"a\\\x01z\"", 6), "\"\xc3\xa9\xff\""});
    for (const std::string& text : accepted) {
        std::size_t requestEnd = 0;
        std::size_t payloadEnd = 0;
        EXPECT_TRUE(requestScanPasses(text, &requestEnd)) << text;
        EXPECT_TRUE(payloadScanPasses(text, &payloadEnd)) << text;
        EXPECT_EQ(requestEnd, text.size()) << text;
        EXPECT_EQ(payloadEnd, text.size()) << text;
    }
}

TEST(JsonScan, BothFamiliesRefuseTheSameMalformedValues) {
    std::vector<std::string> refused = testing::readLines("bridge/malformed_values.txt");
    refused.insert(refused.end(), {"", " 1", "1\v", std::string("\"a\x01\"", 4)});
    for (const std::string& text : refused) {
        std::size_t end = 0;
        bool requestPassed = requestScanPasses(text, &end);
        // A scan may stop before trailing bytes; what matters is that it does not take them all.
        EXPECT_FALSE(requestPassed && end == text.size()) << text;
        bool payloadPassed = payloadScanPasses(text, &end);
        EXPECT_FALSE(payloadPassed && end == text.size()) << text;
    }
}

TEST(JsonScan, StopsJustAfterTheValue) {
    struct Case {
        std::string_view text;
        std::size_t end;
    };
    const Case cases[] = {
        {"[1] x", 3}, {"12 ", 2}, {"1,2", 1}, {"1]", 1}, {"true}", 4}, {"\"a\" :", 3}, {"{\"k\":[]}{}", 8},
    };
    for (const Case& c : cases) {
        std::size_t end = 0;
        EXPECT_TRUE(requestScanPasses(c.text, &end)) << c.text;
        EXPECT_EQ(end, c.end) << c.text;
        EXPECT_TRUE(payloadScanPasses(c.text, &end)) << c.text;
        EXPECT_EQ(end, c.end) << c.text;
    }
}

TEST(JsonScan, StartsAtTheCursor) {
    std::string_view text = "{\"a\": [1, 2]}";
    std::size_t cursor = 6;
    EXPECT_TRUE(skipJsonValue(text, cursor).has_value());
    EXPECT_EQ(cursor, 12u);
    cursor = 6;
    EXPECT_TRUE(skipValueSpan(text, cursor));
    EXPECT_EQ(cursor, 12u);
    cursor = text.size();
    EXPECT_EQ(skipJsonValue(text, cursor).error(), Error::InvalidRequest);
    EXPECT_FALSE(skipValueSpan(text, cursor));
}

TEST(JsonScan, VerticalTabAndFormFeedAreWhiteSpaceOnlyInPayloads) {
    for (std::string_view text : {"[1,\v2]", "[\f]", "{\v\"a\"\f:\v\"x\"\f}"}) {
        EXPECT_TRUE(payloadScanPasses(text)) << text;
        EXPECT_FALSE(requestScanPasses(text)) << text;
    }
    // Inside both families a bare token is ended only by space, TAB, LF, CR, "," "]" and "}".
    EXPECT_FALSE(payloadScanPasses("[1\v]"));
    EXPECT_FALSE(payloadScanPasses("[true:]"));
    EXPECT_FALSE(payloadScanPasses("{\"a\":1\f}"));
}

TEST(JsonScan, ContainerEntryPointsNeedTheirOpeningByte) {
    std::size_t cursor = 0;
    EXPECT_TRUE(skipJsonContainer("[1]", cursor, '[', ']').has_value());
    EXPECT_EQ(cursor, 3u);
    cursor = 0;
    EXPECT_TRUE(skipContainerSpan("{\"a\":1}", cursor, '{', '}'));
    EXPECT_EQ(cursor, 7u);
    cursor = 0;
    EXPECT_FALSE(skipJsonContainer("[1]", cursor, '{', '}').has_value());
    EXPECT_FALSE(skipContainerSpan("1", cursor, '[', ']'));
    EXPECT_FALSE(skipContainerSpan("[1]", cursor, '[', '}'));
    EXPECT_EQ(cursor, 0u);
}

std::string nestedArrays(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

std::string nestedObjects(std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += "{\"a\":";
    text += "1";
    text += std::string(depth, '}');
    return text;
}

TEST(JsonScan, NestingStopsAtTheDepthLimit) {
    EXPECT_TRUE(requestScanPasses(nestedArrays(kMaxJsonDepth)));
    EXPECT_TRUE(payloadScanPasses(nestedArrays(kMaxJsonDepth)));
    EXPECT_TRUE(payloadScanPasses(nestedObjects(kMaxJsonDepth)));
    EXPECT_FALSE(requestScanPasses(nestedArrays(kMaxJsonDepth + 1)));
    EXPECT_FALSE(payloadScanPasses(nestedArrays(kMaxJsonDepth + 1)));
    EXPECT_FALSE(payloadScanPasses(nestedObjects(kMaxJsonDepth + 1)));
    // Mixed kinds at the deepest level keep their own closing byte.
    std::string mixed = std::string(kMaxJsonDepth - 1, '[') + "{}" + std::string(kMaxJsonDepth - 1, ']');
    EXPECT_TRUE(payloadScanPasses(mixed));
}

TEST(JsonScan, HugeNestingFailsWithoutExhaustingTheStack) {
    std::string openers(1024 * 1024, '[');
    EXPECT_FALSE(requestScanPasses(openers));
    EXPECT_FALSE(payloadScanPasses(openers));
    std::string keys;
    while (keys.size() < 1024 * 1024) keys += "{\"a\":";
    EXPECT_FALSE(payloadScanPasses(keys));
}

TEST(JsonScan, LongNumbersConvertAsAWhole) {
    EXPECT_TRUE(isLenientNumber(std::string(400, '9') + "e-100"));
    EXPECT_FALSE(isLenientNumber("1" + std::string(400, '0')));
    EXPECT_TRUE(isLenientNumber("0." + std::string(5000, '0') + "1e5000"));
    // Underscored numbers are copied to strip the underscores, so their length is bounded.
    std::string underscored = "0.1";
    while (underscored.size() < kMaxUnderscoredNumber) underscored += "_1";
    underscored.resize(kMaxUnderscoredNumber - 1);
    EXPECT_TRUE(isLenientNumber(underscored));
    EXPECT_FALSE(isLenientNumber(underscored + "_11"));
}

}  // namespace
}  // namespace kelvo
