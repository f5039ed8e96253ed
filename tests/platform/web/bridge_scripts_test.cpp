#include "platform/macos/web/bridge_scripts.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/memory_io.hpp"
#include "platform/macos/web/page_script.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

std::string complete(std::string_view reply) {
    std::vector<char> buffer(bridgeScriptCapacity("", reply));
    Result<std::string_view> script = writeCompleteScript(buffer, reply);
    return script ? std::string(*script) : std::string(errorName(script.error()));
}

// The reply as it is handed to the page's function.
std::string replyValue(std::string_view reply) {
    std::vector<char> buffer(bridgeScriptCapacity("", reply));
    Result<std::string_view> value = writeReplyValue(buffer, reply);
    return value ? std::string(*value) : std::string(errorName(value.error()));
}

std::string emit(std::string_view name, std::string_view detail) {
    std::vector<char> buffer(bridgeScriptCapacity(name, detail));
    Result<std::string_view> script = writeEmitScript(buffer, name, detail);
    return script ? std::string(*script) : std::string(errorName(script.error()));
}

TEST(BridgeScripts, ReplyScriptsCarryTheReplyRepairedToValidUtf8) {
    EXPECT_EQ(complete(R"({"id":"1","ok":true,"result":null})"),
              R"(window.vexa&&window.vexa._complete({"id":"1","ok":true,"result":null});)");
    EXPECT_EQ(complete(""), "window.vexa&&window.vexa._complete({});");
    EXPECT_EQ(complete("{\"id\":\"2\",\"ok\":true,\"result\":[\"a\xFF\xC3\",\"\xE2\x82\"]}"),
              "window.vexa&&window.vexa._complete({\"id\":\"2\",\"ok\":true,\"result\":[\"a\xEF\xBF\xBD\xEF\xBF\xBD\","
              "\"\xEF\xBF\xBD\"]});");
    // Handed to the page's function as data, the reply is the same text.
    EXPECT_EQ(replyValue(""), "{}");
    EXPECT_EQ(replyValue("{\"a\":[\"\xFF\"]}"), "{\"a\":[\"\xEF\xBF\xBD\"]}");
}

TEST(BridgeScripts, OnlyStrictJsonIsEverEvaluated) {
    std::vector<std::string> refused = testing::readLines("bridge/not_strict_json.txt");
    refused.insert(refused.end(), {R"({"id":"1"}); alert(1); ({)", "{id:1}", "{\"a\":1} {\"b\":2}", "{\"a\":1}\v"});
    for (const std::string& text : refused) {
        EXPECT_EQ(complete(text), "InvalidBridgeReply") << text;
        EXPECT_EQ(replyValue(text), "InvalidBridgeReply") << text;
        EXPECT_EQ(emit("resize", text), "InvalidJsonEventDetail") << text;
    }
}

TEST(BridgeScripts, EventScriptsEncodeTheNameAndDefaultTheDetail) {
    EXPECT_EQ(emit("resize", R"({"width":800})"), R"(window.vexa&&window.vexa._emit("resize",{"width":800});)");
    EXPECT_EQ(emit("", ""), R"(window.vexa&&window.vexa._emit("",null);)");
    EXPECT_EQ(emit("a\"b\\c\n\x01\xFF", " [1] "),
              "window.vexa&&window.vexa._emit(\"a\\\"b\\\\c\\n\\u0001\xEF\xBF\xBD\", [1] );");
}

TEST(BridgeScripts, AScriptThatDoesNotFitIsRefusedWhole) {
    std::string reply(100, '\xFF');
    reply.front() = '"';
    reply.back() = '"';
    std::vector<char> buffer(bridgeScriptCapacity("", reply));
    EXPECT_TRUE(writeCompleteScript(buffer, reply).has_value());
    buffer.resize(buffer.size() - 60);
    EXPECT_EQ(writeCompleteScript(buffer, reply).error(), Error::NoSpaceLeft);
    std::array<char, 30> small;
    EXPECT_EQ(writeCompleteScript(small, "{}").error(), Error::NoSpaceLeft);
    EXPECT_EQ(writeEmitScript(small, "resize", "null").error(), Error::NoSpaceLeft);
}

TEST(BridgeScripts, DroppedScriptsAndRefusedMessagesLeaveOneLine) {
    ScopedStderrCapture capture;
    reportDroppedReply(3, "side", Error::InvalidBridgeReply);
    reportDroppedEvent(1, "drop:files", Error::InvalidJsonEventDetail);
    reportRefusedBridgeMessage(2, "main");
    EXPECT_EQ(capture.text(),
              "kelvo: bridge reply dropped (InvalidBridgeReply) window=3 label=side\n"
              "kelvo: page event dropped (InvalidJsonEventDetail) window=1 name=drop:files\n"
              "kelvo: bridge message refused (no page token) window=2 label=main\n");
}

TEST(PageToken, IsFreshRandomHexPerWebView) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    Result<PageToken> first = makePageToken(io);
    Result<PageToken> second = makePageToken(io);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->view(), second->view());
    EXPECT_EQ(first->view().find_first_not_of("0123456789abcdef"), std::string_view::npos);
    memory.failOn(IoOp::random, "", Error::SystemResources);
    EXPECT_EQ(makePageToken(io).error(), Error::SystemResources);

    std::string script = pageScriptText(*first);
    EXPECT_TRUE(script.starts_with(pageBridgeScriptSource()));
    EXPECT_EQ(script.substr(pageBridgeScriptSource().size()), "(\"" + std::string(first->view()) + "\");\n");
}

TEST(PageToken, OnlyMessagesWithTheExactTokenPass) {
    PageToken token;
    std::string_view hex = "00112233445566778899aabbccddeeff";
    std::copy(hex.begin(), hex.end(), token.hex.begin());
    std::string request = R"({"id":"1","command":"app.ping","payload":null})";
    EXPECT_EQ(stripPageToken(token, std::string(hex) + request), request);
    EXPECT_EQ(stripPageToken(token, hex), "");
    EXPECT_FALSE(stripPageToken(token, request));
    EXPECT_FALSE(stripPageToken(token, hex.substr(0, 31)));
    EXPECT_FALSE(stripPageToken(token, "00112233445566778899AABBCCDDEEFF" + request));
    for (std::size_t at : {0u, 15u, 31u}) {
        std::string forged = std::string(hex) + request;
        forged[at] = forged[at] == '0' ? '1' : '0';
        EXPECT_FALSE(stripPageToken(token, forged)) << at;
    }
}

}  // namespace
}  // namespace kelvo
