#include "bridge/request.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/golden.hpp"

namespace kelvo {
namespace {

struct Parsed {
    std::string_view id;
    std::string_view command;
    std::string_view payload;
};

void expectParsed(std::string_view message, Parsed expected) {
    BridgeRequest request = parseRequest(message);
    ASSERT_TRUE(request.ok()) << message << ": " << errorName(*request.error);
    EXPECT_EQ(request.id, expected.id) << message;
    EXPECT_EQ(request.command, expected.command) << message;
    EXPECT_EQ(request.payload, expected.payload) << message;
    // Every span points into the message (or is the literal null of an absent payload).
    for (std::string_view span : {request.id, request.command}) {
        EXPECT_GE(span.data(), message.data());
        EXPECT_LE(span.data() + span.size(), message.data() + message.size());
    }
}

void expectRefused(std::string_view message, Error error = Error::InvalidRequest) {
    BridgeRequest request = parseRequest(message);
    ASSERT_FALSE(request.ok()) << message;
    EXPECT_EQ(*request.error, error) << message;
    EXPECT_TRUE(request.id.empty() && request.command.empty() && request.payload.empty()) << message;
}

TEST(ParseRequest, ReadsTheThreeMembers) {
    expectParsed(R"({"id":"1","command":"a.b","payload":{"x":1}})", {"1", "a.b", R"({"x":1})"});
    expectParsed(R"({"id":"1","command":"a"})", {"1", "a", "null"});
    expectParsed(R"({"id":"1","command":"a","payload":null})", {"1", "a", "null"});
    // Any order, extra members, white space around everything; the payload span has no blanks.
    expectParsed(
        " \r\n{ \"command\" : \"c\" ,\t\"id\":\"7\", \"payload\" :\n { \"k\" : [1, 2] } \t, \"extra\": true }\n ",
        {"7", "c", R"({ "k" : [1, 2] })"});
    expectParsed(R"({"id":"1","command":"a","payload":"text"})", {"1", "a", R"("text")"});
    expectParsed(R"({"id":"1","command":"a","payload":-1.5})", {"1", "a", "-1.5"});
}

TEST(ParseRequest, TheLastOfEachMemberWins) {
    expectParsed(R"({"id":"1","id":"2","command":"a","command":"b","payload":1,"payload":[2]})", {"2", "b", "[2]"});
}

TEST(ParseRequest, AppliesTheIdAndCommandByteRules) {
    std::string id64(64, 'i');
    std::string command128(128, 'c');
    expectParsed(R"({"id":")" + id64 + R"(","command":")" + command128 + R"("})", {id64, command128, "null"});
    expectParsed("{\"id\":\"\x7f\xc3\xa9 x\",\"command\":\"caf\xc3\xa9.\x7f\"}",
                 {"\x7f\xc3\xa9 x", "caf\xc3\xa9.\x7f", "null"});
    expectParsed(R"({"id":"a'b","command":"x:y"})", {"a'b", "x:y", "null"});

    const std::string refused[] = {
        R"({"id":")" + std::string(65, 'i') + R"(","command":"a"})",
        R"({"id":"1","command":")" + std::string(129, 'c') + R"("})",
        "{\"id\":\"1\",\"command\":\"a\tb\"}",
        "{\"id\":\"a\x01\",\"command\":\"a\"}",
    };
    for (const std::string& message : refused) expectRefused(message);
}

TEST(ParseRequest, RefusesMalformedObjects) {
    for (const std::string& message : testing::readLines("bridge/refused_requests.txt")) expectRefused(message);
    for (std::string_view message :
         {std::string_view(""), std::string_view(" "), std::string_view("\v{\"id\":\"1\",\"command\":\"a\"}"),
          std::string_view("{\"id\":\"1\",\"command\":\"a\",\"payload\":[1,\f2]}")}) {
        expectRefused(message);
    }
    // Trailing white space is fine, and so is a key in another case: it is just another member.
    expectParsed("{\"id\":\"1\",\"command\":\"a\"} \t\r\n", {"1", "a", "null"});
    expectParsed(R"({"id":"1","command":"a","Payload":[1]})", {"1", "a", "null"});
}

constexpr std::string_view kLargeHead = R"({"id":"1","command":"vostra.file.append","payload":)";

std::string requestOfSize(std::size_t size) {
    std::string head = std::string(kLargeHead) + R"({"data":")";
    std::string tail = R"("}})";
    return head + std::string(size - head.size() - tail.size(), 'A') + tail;
}

TEST(ParseRequest, ReadsExactlyOneMebibyte) {
    std::string largest = requestOfSize(kMaxBridgeRequestBytes);
    ASSERT_EQ(largest.size(), 1048576u);
    BridgeRequest request = parseRequest(largest);
    ASSERT_TRUE(request.ok());
    EXPECT_EQ(request.payload.size(), largest.size() - kLargeHead.size() - 1);

    expectRefused(requestOfSize(kMaxBridgeRequestBytes + 1), Error::PayloadTooLarge);
    // The size is checked before any byte is read.
    expectRefused(std::string(kMaxBridgeRequestBytes + 1, '\xff'), Error::PayloadTooLarge);
}

TEST(ParseRequest, DeepNestingIsMalformedNotACrash) {
    std::string head = R"({"id":"1","command":"a","payload":)";
    expectRefused(head + std::string(kMaxBridgeRequestBytes - head.size(), '['));
    std::string deepest = std::string(512, '[') + std::string(512, ']');
    expectParsed(head + deepest + "}", {"1", "a", deepest});
    expectRefused(head + "[" + deepest + "]}");
}

}  // namespace
}  // namespace kelvo
