// The bridge channel on the headless backend: page messages with and without the page token,
// replies and events evaluated in the right page, and this application's runtime behind it.

#include <gtest/gtest.h>

#include <fstream>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "support/app_on_host.hpp"
#include "support/stderr_capture.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using standin::HeadlessStandIn;

struct Received {
    std::uint64_t windowId;
    std::string label;
    std::string message;
    std::string origin;
};

// The token the web view's page script was made with: the script ends in `("<token>");`.
class BridgeChannel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(h.create(), nullptr);
        kelvo_appkit_set_bridge_callback(h.host, &BridgeChannel::record, this);
    }

    static void record(void* self, std::uint64_t windowId, const char* label, std::uint64_t labelLength,
                       const char* message, std::uint64_t messageLength, const char* origin,
                       std::uint64_t originLength) {
        auto& test = *static_cast<BridgeChannel*>(self);
        test.received.push_back({windowId, {label, labelLength}, {message, messageLength}, {origin, originLength}});
        if (test.onMessage) test.onMessage(test.received.back());
    }

    HeadlessStandIn::WebView& view(std::string_view label) {
        HostWebView* found = label == "main" ? ensureMainWebView(*h.host, 1) : findChildWebView(*h.host, 1, label);
        return h.platform.webView(found->ref);
    }

    void post(std::string_view label, const std::string& body) {
        h.platform.pagePost(h.platform.ref(view(label)), "kelvoBridge", body);
    }

    testing::HostHarness h;
    std::vector<Received> received;
    std::function<void(const Received&)> onMessage;
};

TEST_F(BridgeChannel, OnlyMessagesWithThePagesOwnTokenReachTheRuntime) {
    kelvo_appkit_load_window_webview(h.host, 1, "<p>inline</p>", 13, 0, nullptr, 0, nullptr, 0, nullptr, 0, 1);
    const std::string_view url = "http://127.0.0.1:5173/tool.html";
    const std::string_view origins = "vexa://app\nvexa://inline\nhttp://127.0.0.1:5173";
    kelvo_appkit_set_security_policy(h.host, origins.data(), origins.size(), nullptr, 0, 0);
    ASSERT_EQ(kelvo_appkit_create_webview(h.host, 1, "tool", 4, url.data(), url.size(), 0, 0, 100, 100, 1, 0, 1), 1);
    ASSERT_EQ(kelvo_appkit_create_webview(h.host, 1, "ads", 3, url.data(), url.size(), 0, 0, 100, 100, 1, 0, 1), 1);
    const std::string request = R"({"id":"1","command":"x","payload":null})";
    ScopedStderrCapture errors;
    h.platform.at(1, [&] {
        post("main", h.pageToken(view("main")) + request);
        post("tool", h.pageToken(view("tool")) + request);
        post("main", request);                              // posted around window.vexa, or by a sub-frame
        post("main", h.pageToken(view("tool")) + request);  // another page's token
        post("main", h.pageToken(view("main")).substr(1) + request);
    });
    h.run();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, request);
    EXPECT_EQ(received[0].origin, "vexa://inline");
    EXPECT_EQ(received[0].label, "main");
    EXPECT_EQ(received[1].origin, "http://127.0.0.1:5173");
    EXPECT_EQ(received[1].label, "tool");
    const std::string line = "kelvo: bridge message refused (no page token) window=1 label=main\n";
    EXPECT_EQ(errors.text(), line + line + line);
}

TEST_F(BridgeChannel, RepliesReachTheWebViewThatAskedAndOnlyThen) {
    ASSERT_EQ(kelvo_appkit_create_webview(h.host, 1, "side", 4, "vexa://app/", 11, 0, 0, 50, 50, 1, 0, 1), 1);
    HeadlessStandIn::WebView& main = view("main");
    HeadlessStandIn::WebView& side = view("side");
    ScopedStderrCapture errors;
    std::size_t framesBefore = 0;
    h.platform.at(20'000'000'000, [&] {
        framesBefore = h.count(HostEventKind::frame_requested);
        kelvo_appkit_bridge_respond_webview(h.host, 1, "ghost", 5, R"({"id":"1","ok":true})", 20);
        kelvo_appkit_bridge_respond_webview(h.host, 7, "side", 4, R"({"id":"1","ok":true})", 20);
    });
    h.platform.at(40'000'000'000, [&] {
        // Nothing was delivered, so nothing kept frames going.
        EXPECT_EQ(h.count(HostEventKind::frame_requested), framesBefore);
        const std::string_view invalidUtf8 = "{\"id\":\"2\",\"ok\":true,\"result\":\"\xFF\"}";
        kelvo_appkit_bridge_respond_webview(h.host, 1, "side", 4, invalidUtf8.data(), invalidUtf8.size());
        kelvo_appkit_bridge_respond_webview(h.host, 1, nullptr, 0, nullptr, 0);
        kelvo_appkit_bridge_respond_window(h.host, 3, "[1]);alert(1);([", 16);
        kelvo_appkit_emit_window_event(h.host, 5, "say \"hi\"", 8, nullptr, 0);
    });
    h.run();
    EXPECT_EQ(h.count(HostEventKind::frame_requested), framesBefore + 601);
    EXPECT_EQ(h.bridgeScripts(side),
              std::vector<std::string>{"window.vexa&&window.vexa._complete({\"id\":\"2\",\"ok\":true,"
                                       "\"result\":\"\xEF\xBF\xBD\"});"});
    // Window 3 and 5 have no main web view: the main window's takes their reply and event.
    EXPECT_EQ(h.bridgeScripts(main).back(), R"(window.vexa&&window.vexa._emit("say \"hi\"",null);)");
    EXPECT_EQ(
        h.bridgeScripts(main),
        (std::vector<std::string>{
            R"js(window.vexa&&window.vexa._emit("webview:navigate",{"windowId":1,"label":"side","url":"vexa://app/"});)js",
            "window.vexa&&window.vexa._complete({});", R"(window.vexa&&window.vexa._emit("say \"hi\"",null);)"}));
    EXPECT_EQ(errors.text(), "kelvo: bridge reply dropped (InvalidBridgeReply) window=3 label=main\n");
}

TEST_F(BridgeChannel, ARuntimeThatClosesTheSenderWhileHandlingItIsSafe) {
    ASSERT_EQ(kelvo_appkit_create_webview(h.host, 1, "once", 4, "vexa://app/", 11, 0, 0, 50, 50, 1, 0, 1), 1);
    onMessage = [&](const Received& message) {
        EXPECT_EQ(kelvo_appkit_close_webview(h.host, message.windowId, message.label.data(), message.label.size()), 1);
        kelvo_appkit_bridge_respond_webview(h.host, 1, "once", 4, "{}", 2);
    };
    h.platform.at(1, [&] { post("once", h.pageToken(view("once")) + "{}"); });
    h.run();
    EXPECT_EQ(received.size(), 1u);
    EXPECT_TRUE(h.platform.webViews()[0]->destroyed);
}

// The whole road on the headless backend: a page message reaches this application's runtime, and
// the exact reply reaches the page that asked, handed to its function as data (a reply compiled as
// script would be kept by the page's engine, with the file data in it).
TEST_F(BridgeChannel, AMessageReachesTheApplicationAndItsReplyThePage) {
    kelvo_appkit_set_bridge_callback(h.host, nullptr, nullptr);
    testing::TempFolder root;
    std::ofstream(root.path("index.html")) << "<p>app</p>";
    testing::AppOnHost app(h.host, root.path());
    HeadlessStandIn::WebView* main = nullptr;
    h.platform.at(1'000'000'000, [&] {
        main = &view("main");
        ASSERT_EQ(main->uri, "vexa://app/index.html");
        post("main", h.pageToken(*main) + R"({"id":"1","command":"vostra.file.finish","payload":{}})");
        post("main", h.pageToken(*main) + R"({"id":"2","command":"vostra.file.append","payload":"QUJD"})");
    });
    h.platform.at(2'000'000'000, [&] { kelvo_appkit_stop(h.host); });
    ASSERT_TRUE(app.run());
    ASSERT_NE(main, nullptr);
    std::vector<std::string> scripts = h.bridgeScripts(*main);
    ASSERT_GE(scripts.size(), 2u);
    EXPECT_EQ(
        std::vector(scripts.end() - 2, scripts.end()),
        (std::vector<std::string>{
            R"(window.vexa&&window.vexa._complete({"id":"1","ok":true,"result":{"ok":true,"bytes":0}});)",
            R"(window.vexa&&window.vexa._complete({"id":"2","ok":false,"error":{"code":"handler_failed","message":"NoOpenFile"}});)"}));
    ASSERT_FALSE(main->called.empty());
    EXPECT_EQ(main->called.back(),
              (std::pair<std::string, std::string>{
                  "window.vexa&&window.vexa._complete",
                  R"({"id":"2","ok":false,"error":{"code":"handler_failed","message":"NoOpenFile"}})"}));
}

// A save dialog the user cancels answers the page null, and so does one whose answer is no path at
// all: the page is never handed an empty path to write to.
TEST_F(BridgeChannel, ACancelledSaveDialogAnswersNullNeverAnEmptyPath) {
    kelvo_appkit_set_bridge_callback(h.host, nullptr, nullptr);
    testing::TempFolder root;
    std::ofstream(root.path("index.html")) << "<p>app</p>";
    testing::AppOnHost app(h.host, root.path());
    HeadlessStandIn::WebView* main = nullptr;
    h.platform.services().dialogAnswers.push_back({{}, -1, 0});                  // cancelled
    h.platform.services().dialogAnswers.push_back({{""}, -1, 0});                // no path
    h.platform.services().dialogAnswers.push_back({{"/home/me/a.vrs"}, -1, 0});  // chosen
    h.platform.at(1'000'000'000, [&] {
        main = &view("main");
        for (const char* id : {"1", "2", "3"}) {
            post("main",
                 h.pageToken(*main) + R"({"id":")" + id + R"(","command":"kelvo.dialog.saveFile","payload":{}})");
        }
    });
    h.platform.at(2'000'000'000, [&] { kelvo_appkit_stop(h.host); });
    ASSERT_TRUE(app.run());
    ASSERT_NE(main, nullptr);
    std::vector<std::string> scripts = h.bridgeScripts(*main);
    ASSERT_GE(scripts.size(), 3u);
    EXPECT_EQ(std::vector(scripts.end() - 3, scripts.end()),
              (std::vector<std::string>{
                  R"(window.vexa&&window.vexa._complete({"id":"1","ok":true,"result":null});)",
                  R"(window.vexa&&window.vexa._complete({"id":"2","ok":true,"result":null});)",
                  R"(window.vexa&&window.vexa._complete({"id":"3","ok":true,"result":"/home/me/a.vrs"});)"}));
    EXPECT_EQ(h.platform.logCount("dialog.save"), 3u);
}

}  // namespace
}  // namespace kelvo
