// This application's bridge tables at work: requests through the router on the test platform with
// the application's policies installed as start-up installs them.

#include <gtest/gtest.h>

#include <string>

#include "app/policies.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/runtime.hpp"
#include "support/test_platform.hpp"

namespace kelvo {
namespace {

class AppBridge : public ::testing::Test {
protected:
    void SetUp() override {
        Result<Runtime*> allocated = allocateRuntime();
        ASSERT_TRUE(allocated);
        runtime = *allocated;
        runtime->platform = test.platform();
        runtime->securityPolicy = appSecurityPolicy();
        runtime->builtinPolicy = builtinCommandPolicy();
        runtime->bridgeConfig = BridgeConfig{appCommandPolicy(), {}, {}};
    }
    void TearDown() override { releaseRuntime(runtime); }

    // Sends from the main web view of window 1 and answers what reached that web view.
    std::string send(std::string_view text, std::string_view origin = "vexa://app") {
        test.clearCalls();
        EXPECT_TRUE(handleBridgeMessage(*runtime, AppBinding{}, BridgeMessage{text, origin, 1, "main"}));
        auto calls = test.callsTo(PlatformSlot::completeWebViewBridge);
        EXPECT_EQ(calls.size(), 1u);
        if (calls.empty()) return "";
        EXPECT_EQ(calls[0].windowId, 1u);
        EXPECT_EQ(calls[0].label, "main");
        return std::string(calls[0].text());
    }

    TestPlatform test;
    Runtime* runtime = nullptr;
};

TEST_F(AppBridge, OnlyTheFileDialogsAndClipboardTextAreOpenToThePage) {
    EXPECT_EQ(send(R"({"id":"1","command":"kelvo.window.list"})"),
              R"({"id":"1","ok":false,"error":{"code":"permission_denied","message":"Window API is not permitted"}})");
    EXPECT_EQ(send(R"({"id":"2","command":"kelvo.dialog.saveFile","payload":{"title":"Save"}})"),
              R"({"id":"2","ok":true,"result":null})");
    test.answers().openDialogPaths = {"/home/me/a.vrs"};
    EXPECT_EQ(send(R"({"id":"3","command":"kelvo.dialog.openFile"})", "vexa://inline"),
              R"({"id":"3","ok":true,"result":["/home/me/a.vrs"]})");
    EXPECT_EQ(send(R"({"id":"4","command":"kelvo.dialog.openFile"})", "https://elsewhere.example"),
              R"({"id":"4","ok":false,"error":{"code":"permission_denied","message":"Dialog API is not permitted"}})");
    // The clipboard's text arrives as it is, no-break spaces and all.
    test.answers().clipboardData["text/plain"] = "a\u00A0b";
    EXPECT_EQ(send(R"({"id":"5","command":"kelvo.clipboard.readText"})"),
              "{\"id\":\"5\",\"ok\":true,\"result\":\"a\u00A0b\"}");
    EXPECT_EQ(
        send(R"({"id":"9","command":"kelvo.clipboard.writeText","payload":{"text":"x"}})"),
        R"({"id":"9","ok":false,"error":{"code":"permission_denied","message":"Clipboard API is not permitted"}})");
}

TEST_F(AppBridge, UnknownCommandsAndMalformedTextAreRefused) {
    EXPECT_EQ(
        send(R"({"id":"6","command":"vostra.file.delete","payload":{}})"),
        R"({"id":"6","ok":false,"error":{"code":"permission_denied","message":"Bridge command is not permitted"}})");
    EXPECT_EQ(
        send(R"({"id":"7","command":"vostra.file.begin","payload":{}})", "https://elsewhere.example"),
        R"({"id":"7","ok":false,"error":{"code":"permission_denied","message":"Bridge command is not permitted"}})");
    EXPECT_EQ(send(R"({"id":"8","command":"kelvo.dialog.saveFile")"),
              R"({"id":"","ok":false,"error":{"code":"invalid_request","message":"Bridge request is malformed"}})");
}

}  // namespace
}  // namespace kelvo
