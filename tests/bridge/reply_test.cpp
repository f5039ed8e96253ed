#include "bridge/reply.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kelvo {
namespace {

class ReplyTest : public ::testing::Test {
protected:
    std::vector<char> buffer_ = std::vector<char>(kBridgeReplyBytes);

    std::string success(std::string_view id, std::string_view result) {
        return std::string(writeSuccessResponse(buffer_, id, result));
    }
    std::string error(std::string_view id, BridgeErrorCode code, std::string_view message) {
        return std::string(writeErrorResponse(buffer_, id, code, message));
    }
};

TEST_F(ReplyTest, WritesTheSuccessEnvelope) {
    EXPECT_EQ(success("7", "true"), R"({"id":"7","ok":true,"result":true})");
    EXPECT_EQ(success("7", ""), R"({"id":"7","ok":true,"result":null})");
    EXPECT_EQ(success("a", R"({"k":[1,"x"]})"), R"({"id":"a","ok":true,"result":{"k":[1,"x"]}})");
    // White space around the result is kept byte for byte.
    EXPECT_EQ(success("1", "  [1, 2]\n"), "{\"id\":\"1\",\"ok\":true,\"result\":  [1, 2]\n}");
    // The id is written as a JSON string; 0x7F and UTF-8 pass unchanged.
    EXPECT_EQ(success("\x7f\xc3\xa9", "1"), "{\"id\":\"\x7f\xc3\xa9\",\"ok\":true,\"result\":1}");
    EXPECT_EQ(success("a\"b\\", "1"), R"({"id":"a\"b\\","ok":true,"result":1})");
}

TEST_F(ReplyTest, WritesEveryErrorCode) {
    struct Case {
        BridgeErrorCode code;
        std::string_view text;
    };
    const Case cases[] = {
        {BridgeErrorCode::invalid_request, "invalid_request"},
        {BridgeErrorCode::unknown_command, "unknown_command"},
        {BridgeErrorCode::permission_denied, "permission_denied"},
        {BridgeErrorCode::handler_failed, "handler_failed"},
        {BridgeErrorCode::payload_too_large, "payload_too_large"},
        {BridgeErrorCode::internal_error, "internal_error"},
        {static_cast<BridgeErrorCode>(6), "internal_error"},
        {static_cast<BridgeErrorCode>(7), "internal_error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            error("9", c.code, "Went \"wrong\"\n"),
            R"({"id":"9","ok":false,"error":{"code":")" + std::string(c.text) + R"(","message":"Went \"wrong\"\n"}})");
    }
}

TEST_F(ReplyTest, ResultsThatAreNotOneStrictJsonValueBecomeHandlerFailed) {
    const std::string expected =
        R"({"id":"5","ok":false,"error":{"code":"handler_failed","message":"Bridge command returned invalid JSON"}})";
    for (std::string_view result : {"1 2", "{", "nan", "Infinity", "0x10", "+1", "1_000", "[1,]", "\"\\q\"", "\v1",
                                    "1\f", "\"\xff\"", "undefined", " "}) {
        EXPECT_EQ(success("5", result), expected) << result;
    }
}

TEST_F(ReplyTest, RequestFailuresCarryAnEmptyId) {
    EXPECT_EQ(std::string(writeRequestErrorResponse(buffer_, Error::PayloadTooLarge)),
              R"({"id":"","ok":false,"error":{"code":"payload_too_large","message":"Bridge request is too large"}})");
    EXPECT_EQ(std::string(writeRequestErrorResponse(buffer_, Error::InvalidRequest)),
              R"({"id":"","ok":false,"error":{"code":"invalid_request","message":"Bridge request is malformed"}})");
}

TEST_F(ReplyTest, AResultThatDoesNotFitBecomesAnErrorForTheSameId) {
    const std::string tooSmall =
        R"({"id":"42","ok":false,"error":{"code":"internal_error","message":"Native response buffer is too small"}})";
    // The largest string result that fits the reply buffer, and one byte more.
    const std::size_t envelope = std::string_view(R"({"id":"42","ok":true,"result":})").size();
    auto stringResult = [](std::size_t length) {
        std::string text(length + 2, 'x');
        text.front() = text.back() = '"';
        return text;
    };
    std::string_view reply = writeSuccessResponse(buffer_, "42", stringResult(kBridgeReplyBytes - envelope - 2));
    EXPECT_EQ(reply.size(), kBridgeReplyBytes);
    EXPECT_TRUE(reply.ends_with("xx\"}"));
    EXPECT_EQ(std::string(writeSuccessResponse(buffer_, "42", stringResult(kBridgeReplyBytes - envelope - 1))),
              tooSmall);
}

TEST(Reply, EmptyOnlyWhenNotEvenTheErrorFits) {
    const std::string_view errorReply =
        R"({"id":"1","ok":false,"error":{"code":"internal_error","message":"Native response buffer is too small"}})";
    std::vector<char> small(errorReply.size());
    EXPECT_EQ(writeSuccessResponse(small, "1", "[" + std::string(200, '1') + "]"), errorReply);
    std::vector<char> tiny(errorReply.size() - 1);
    EXPECT_TRUE(writeSuccessResponse(tiny, "1", "[" + std::string(200, '1') + "]").empty());
    EXPECT_TRUE(writeErrorResponse(tiny, "1", BridgeErrorCode::internal_error, kReplyTooLargeMessage).empty());
}

}  // namespace
}  // namespace kelvo
