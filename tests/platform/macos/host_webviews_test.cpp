// Web views on the headless backend: limits and keys of child web views, the main web view made
// on first need, stacking by layer with the covered rectangles, the asset scheme and navigation.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using standin::HeadlessStandIn;
using standin::RectD;

class HostWebViews : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(h.create(), nullptr); }

    std::int32_t child(std::string_view label, std::string_view url = "vexa://app/panel.html", double x = 10,
                       double y = 20, double width = 200, double height = 100, std::int32_t layer = 0,
                       std::uint64_t windowId = 1, bool bridge = true) {
        return kelvo_appkit_create_webview(h.host, windowId, label.data(), label.size(), url.data(), url.size(), x, y,
                                           width, height, layer, 0, bridge ? 1 : 0);
    }

    HeadlessStandIn::WebView& view(std::string_view label, std::uint64_t windowId = 1) {
        HostWebView* found =
            label == "main" ? webViewForWindow(*h.host, windowId) : findChildWebView(*h.host, windowId, label);
        EXPECT_NE(found, nullptr) << label;
        return h.platform.webView(found->ref);
    }

    // Runs what the pages and the host have queued.
    void settle() {
        h.platform.record().loop.run(h.platform.record().self);
        cancelFrameTimer(*h.host);
    }

    testing::HostHarness h;
};

TEST_F(HostWebViews, ChildWebViewsKeepTheirLimitsAndKeys) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    ASSERT_EQ(child("a"), 1);
    EXPECT_EQ(child("a", "vexa://app/other.html", 0, 0, 50, 50), 0);  // the key is taken; the first stays
    EXPECT_EQ(view("a").frame, (RectD{10, 20, 200, 100}));
    EXPECT_EQ(view("a").loads, std::vector<std::string>{"url vexa://app/panel.html"});
    // "main" names the main web view in every other call: a child of that name could not be reached.
    EXPECT_EQ(child("main"), 0);
    EXPECT_EQ(child(""), 0);
    EXPECT_EQ(child("b", ""), 0);
    EXPECT_EQ(child("b", "https://elsewhere.example/"), 0);
    for (auto [x, y, w, hgt] : std::vector<std::array<double, 4>>{
             {-1, 0, 10, 10}, {0, -1, 10, 10}, {0, 0, 0, 10}, {0, 0, 10, 0}, {nan, 0, 10, 10}, {0, 0, inf, 10}}) {
        EXPECT_EQ(child("b", "vexa://app/b.html", x, y, w, hgt), 0) << x << " " << y << " " << w << " " << hgt;
    }
    EXPECT_EQ(child("b", "vexa://app/b.html", 0, 0, 10, 10, 0, 9), 0);  // no such window

    // Sixteen children over all windows.
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "B", 1, "b", 1, 0, 1, 0, 0, 0, 0, 300, 200), 1);
    for (int i = 0; i < 15; ++i)
        ASSERT_EQ(child(std::string("c").append(std::to_string(i)), "vexa://app/", 0, 0, 5, 5, 0, 2), 1) << i;
    EXPECT_EQ(child("d"), 0);

    EXPECT_EQ(kelvo_appkit_close_webview(h.host, 1, "main", 4), 0);
    EXPECT_EQ(kelvo_appkit_close_webview(h.host, 1, "x", 1), 0);
    EXPECT_EQ(kelvo_appkit_close_webview(h.host, 1, "a", 1), 1);
    EXPECT_TRUE(h.platform.webViews()[0]->destroyed);
    EXPECT_EQ(child("a"), 1);  // the label is free again
    EXPECT_EQ(child("d"), 0);

    // A closing window takes its web views with it.
    EXPECT_EQ(kelvo_appkit_close_window(h.host, 2), 1);
    EXPECT_EQ(h.host->web.children.size(), 1u);
    for (HeadlessStandIn::WebView* made : h.platform.webViews()) {
        EXPECT_TRUE(made->destroyed || h.platform.window(made->window).number != 2);
    }
}

TEST_F(HostWebViews, OnlyBridgeWebViewsCarryThePageScriptAndHandler) {
    ASSERT_EQ(child("plain", "vexa://app/", 0, 0, 10, 10, 0, 1, false), 1);
    ASSERT_EQ(child("bridged"), 1);
    EXPECT_TRUE(view("plain").userScripts.empty());
    EXPECT_TRUE(view("plain").handlers.empty());
    ASSERT_EQ(view("bridged").userScripts.size(), 1u);
    EXPECT_EQ(view("bridged").handlers, std::vector<std::string>{"kelvoBridge"});
    // Each web view has its own token in its script.
    ASSERT_EQ(kelvo_appkit_set_webview_zoom(h.host, 1, "main", 4, 1.0), 1);
    EXPECT_NE(view("bridged").userScripts[0], view("main").userScripts[0]);
    EXPECT_EQ(view("main").userScripts[0].substr(0, 20), view("bridged").userScripts[0].substr(0, 20));
}

TEST_F(HostWebViews, MainIsMadeOnFirstNeedAndKeepsASetFrame) {
    EXPECT_EQ(webViewForWindow(*h.host, 1), nullptr);
    ASSERT_EQ(kelvo_appkit_set_webview_zoom(h.host, 1, "main", 4, 0.25), 1);
    HeadlessStandIn::WebView& main = view("main");
    EXPECT_TRUE(main.followsWindow);
    EXPECT_TRUE(main.transparent);
    EXPECT_EQ(main.scheme, "vexa");
    EXPECT_EQ(main.zoom, 0.25);
    EXPECT_EQ(kelvo_appkit_set_webview_zoom(h.host, 1, "main", 4, 5.0), 1);
    for (double zoom : {0.2, 5.5, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(kelvo_appkit_set_webview_zoom(h.host, 1, "main", 4, zoom), 0) << zoom;
    }
    EXPECT_EQ(main.zoom, 5.0);
    EXPECT_EQ(kelvo_appkit_set_webview_zoom(h.host, 1, "ghost", 5, 1.0), 0);

    ASSERT_EQ(kelvo_appkit_set_webview_frame(h.host, 1, "main", 4, 0, 40, 800, 500), 1);
    EXPECT_FALSE(main.followsWindow);
    EXPECT_EQ(main.frame, (RectD{0, 40, 800, 500}));
    EXPECT_EQ(h.platform.webViews().size(), 1u);  // still the one main web view
    ASSERT_EQ(child("corner", "vexa://app/", 0, 0, 100, 100), 1);
    EXPECT_EQ(main.coveredRects, (std::vector<RectD>{{0, 0, 100, 60}}));
}

// Navigating "main" makes the main web view first and asks the policy after: a refused URL leaves
// the new web view without a load; text that is no URL is refused before anything is made.
TEST_F(HostWebViews, NavigatingMainMakesItBeforeThePolicyDecides) {
    auto navigate = [&](std::uint64_t windowId, std::string_view label, std::string_view url) {
        return kelvo_appkit_navigate_webview(h.host, windowId, label.data(), label.size(), url.data(), url.size());
    };
    EXPECT_EQ(navigate(1, "main", "not a url"), 0);
    EXPECT_EQ(webViewForWindow(*h.host, 1), nullptr);
    EXPECT_EQ(navigate(1, "main", "https://elsewhere.example/"), 0);
    ASSERT_NE(webViewForWindow(*h.host, 1), nullptr);
    EXPECT_TRUE(view("main").loads.empty());
    EXPECT_EQ(navigate(1, "main", "vexa://app/other.html"), 1);
    EXPECT_EQ(view("main").loads, std::vector<std::string>{"url vexa://app/other.html"});
    EXPECT_EQ(navigate(1, "ghost", "vexa://app/other.html"), 0);
    EXPECT_EQ(navigate(1, "", "vexa://app/other.html"), 0);
    EXPECT_EQ(h.platform.webViews().size(), 1u);
}

TEST_F(HostWebViews, ViewsStackByLayerAndLowerPagesRefuseCoveredPointers) {
    ASSERT_EQ(child("top", "vexa://app/", 100, 100, 200, 100, 5), 1);
    ASSERT_EQ(child("under", "vexa://app/", 150, 120, 100, 100, 1), 1);
    ASSERT_EQ(kelvo_appkit_set_webview_layer(h.host, 1, "main", 4, 0), 1);
    std::vector<standin::ViewRef> expected = {h.platform.ref(view("main")), h.platform.ref(view("under")),
                                              h.platform.ref(view("top"))};
    EXPECT_EQ(h.platform.stack(view("main").window), expected);

    // Rectangles in each web view's own coordinates.
    EXPECT_EQ(view("under").coveredRects, (std::vector<RectD>{{0, 0, 100, 80}}));
    EXPECT_EQ(view("main").coveredRects, (std::vector<RectD>{{150, 120, 100, 100}, {100, 100, 200, 100}}));
    EXPECT_TRUE(view("top").coveredRects.empty());
    const std::string& overlay = view("under").evaluated.back();
    EXPECT_TRUE(overlay.ends_with(R"(})([{"x":0.000,"y":0.000,"width":100.000,"height":80.000}]);)")) << overlay;
    EXPECT_TRUE(view("top").evaluated.back().ends_with("})([]);"));

    // Equal layers keep the order they had: joining "top"'s layer, "under" stays below it.
    ASSERT_EQ(kelvo_appkit_set_webview_layer(h.host, 1, "under", 5, 5), 1);
    EXPECT_EQ(h.platform.stack(view("main").window).back(), h.platform.ref(view("top")));

    // Layered above the others, "under" covers them and nothing covers it.
    ASSERT_EQ(kelvo_appkit_set_webview_layer(h.host, 1, "under", 5, 9), 1);
    EXPECT_EQ(h.platform.stack(view("main").window).back(), h.platform.ref(view("under")));
    EXPECT_TRUE(view("under").coveredRects.empty());
    EXPECT_EQ(view("top").coveredRects, (std::vector<RectD>{{50, 20, 100, 80}}));

    ASSERT_EQ(kelvo_appkit_set_webview_frame(h.host, 1, "under", 5, 600, 500, 50, 50), 1);
    EXPECT_EQ(view("top").coveredRects, std::vector<RectD>{});
    EXPECT_TRUE(view("top").evaluated.back().ends_with("})([]);"));

    // A new document in a covered web view gets its overlay again.
    view("main").evaluated.clear();
    h.platform.pageNavigate(h.platform.ref(view("main")), "vexa://app/next.html");
    settle();
    ASSERT_FALSE(view("main").evaluated.empty());
    EXPECT_TRUE(
        view("main").evaluated.back().ends_with(R"(})([{"x":100.000,"y":100.000,"width":200.000,"height":100.000},)"
                                                R"({"x":600.000,"y":500.000,"width":50.000,"height":50.000}]);)"));
}

TEST_F(HostWebViews, AssetsAreServedFromTheWindowsRoot) {
    testing::TempFolder root;
    std::ofstream(root.path("index.html")) << "<p>app</p>";
    std::ofstream(root.path("logo.PNG")) << "png";
    const std::string folder = root.path();
    // A child made before the window has a main web view serves the main window's root.
    ASSERT_EQ(child("early"), 1);
    kelvo_appkit_load_window_webview(h.host, 1, nullptr, 0, 2, folder.data(), folder.size(), nullptr, 0, nullptr, 0, 1);
    EXPECT_EQ(view("main").loads, std::vector<std::string>{"url vexa://app/index.html"});
    EXPECT_TRUE(view("early").scheme.empty());

    auto index = h.platform.pageRequest(h.platform.ref(view("main")), "vexa://any-host/");
    auto logo = h.platform.pageRequest(h.platform.ref(view("main")), "vexa://app/logo.PNG?x#y");
    auto route = h.platform.pageRequest(h.platform.ref(view("main")), "vexa://app/documents/7");
    auto escape = h.platform.pageRequest(h.platform.ref(view("main")), "vexa://app/%252e%252e/etc/passwd");
    ASSERT_EQ(child("late"), 1);
    auto shared = h.platform.pageRequest(h.platform.ref(view("late")), "vexa://app/index.html");
    settle();
    EXPECT_EQ(index->mimeType, "text/html");
    EXPECT_EQ(index->body, "<p>app</p>");
    EXPECT_EQ(logo->mimeType, "image/png");
    EXPECT_EQ(route->body, "<p>app</p>");
    EXPECT_EQ(escape->failure, -1000);
    EXPECT_EQ(shared->body, "<p>app</p>");

    // Without the single-page fallback an unknown route is no file.
    kelvo_appkit_load_window_webview(h.host, 1, nullptr, 0, 2, folder.data(), folder.size(), "/index.html", 11,
                                     "vexa://app/", 11, 0);
    EXPECT_EQ(view("main").loads.back(), "url vexa://app/index.html");
    auto missing = h.platform.pageRequest(h.platform.ref(view("late")), "vexa://app/documents/7");
    settle();
    EXPECT_EQ(missing->failure, -1100);
}

TEST_F(HostWebViews, NavigationFollowsThePolicyAndChildrenReportTheirs) {
    kelvo_appkit_load_window_webview(h.host, 1, "<p>hi</p>", 9, 0, nullptr, 0, nullptr, 0, nullptr, 0, 1);
    ASSERT_EQ(child("side"), 1);
    settle();
    EXPECT_EQ(view("main").uri, "about:blank");
    EXPECT_EQ(view("side").uri, "vexa://app/panel.html");
    // Only the child's navigation is raised, in its window's main web view.
    const std::vector<std::string> navigated = {
        R"js(window.vexa&&window.vexa._emit("webview:navigate",{"windowId":1,"label":"side","url":"vexa://app/panel.html"});)js"};
    EXPECT_EQ(h.bridgeScripts(view("main")), navigated);

    h.platform.pageNavigate(h.platform.ref(view("main")), "https://docs.example/guide");
    h.platform.pageNavigate(h.platform.ref(view("side")), "vexa://app/new.html", standin::NavigationKind::new_window);
    settle();
    EXPECT_EQ(view("main").uri, "about:blank");
    EXPECT_EQ(view("side").uri, "vexa://app/panel.html");
    EXPECT_EQ(h.platform.logCount("workspace.open"), 0u);
    EXPECT_EQ(h.bridgeScripts(view("main")), navigated);

    // With the open action, an allowed external link goes to the desktop instead.
    const std::string_view external = "https://docs.example/*";
    kelvo_appkit_set_security_policy(h.host, nullptr, 0, external.data(), external.size(), 1);
    h.platform.pageNavigate(h.platform.ref(view("side")), "https://docs.example/guide",
                            standin::NavigationKind::new_window);
    h.platform.pageNavigate(h.platform.ref(view("side")), "https://other.example/");
    settle();
    EXPECT_EQ(h.platform.logCount("workspace.open https://docs.example/guide"), 1u);
    EXPECT_EQ(h.platform.logCount("workspace.open"), 1u);
    EXPECT_EQ(view("side").uri, "vexa://app/panel.html");

    // Dropped files reach the runtime as the window's drop.
    h.platform.userDropFilesOnWebView(h.platform.ref(view("side")), std::string_view("/a.vrs\0/b.vrs", 13));
    h.run();
    auto drops = h.all(HostEventKind::files_dropped);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0]->paths, std::string_view("/a.vrs\0/b.vrs", 13));
}

// Keys typed at the main window from the moment it shows wait for the page start-up loads in it:
// they go on, in order, once it finished loading, or was refused, or at the deadline when it never
// finishes; at once when start-up loads no page; never when the window closed meanwhile. A window
// without web content holds nothing. "a" and "b" are typed before the loop turns, "c" at 31 s.
TEST(HostHeldKeys, KeysTypedBeforeThePageWaitForIt) {
    struct Case {
        std::string_view page;  // loaded at app start: "" none, "made" the web view without a load
        bool webContent;
        bool closes;
        std::string_view expected;  // the log's key lines and load decisions, in order
    };
    const Case cases[] = {
        {"vexa://app/index.html", true, false, "hold held:a held:b allow release passed:a passed:b passed:c"},
        {"https://elsewhere.example/", true, false, "hold held:a held:b release passed:a passed:b cancel passed:c"},
        {"made", true, false, "hold held:a held:b 29s release passed:a passed:b passed:c"},
        {"", true, false, "hold release passed:a passed:b passed:c"},
        {"made", true, true, "hold held:a held:b"},  // closing the only window ends the run
        {"vexa://app/index.html", false, false, "passed:a passed:b allow passed:c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        testing::HostHarness h;
        testing::HostOptions options;
        options.hasWebContent = c.webContent;
        ASSERT_NE(h.create(options), nullptr);
        h.onEvent = [&](const KelvoHostEvent& event) {
            if (event.kind != static_cast<std::uint32_t>(HostEventKind::app_start)) return;
            if (c.page == "made") {
                ASSERT_EQ(kelvo_appkit_set_webview_zoom(h.host, 1, "main", 4, 1.0), 1);
            } else if (!c.page.empty()) {
                kelvo_appkit_load_window_webview(h.host, 1, c.page.data(), c.page.size(), 1, nullptr, 0, nullptr, 0,
                                                 nullptr, 0, 0);
            }
        };
        const standin::WindowRef window = h.platform.ref(*h.platform.windows()[0]);
        auto type = [&](std::string_view characters) {
            standin::KeyPress key;
            key.window = window;
            key.characters = characters;
            h.platform.userKeyDown(key);
        };
        type("a");
        type("b");
        if (c.closes) h.platform.userClose(window);
        // Where the log stood at 29 s, when keys were still held then.
        std::size_t heldAt29 = 0;
        h.platform.at(29'000'000'000, [&] {
            if (h.platform.logCount("key.held") > 0 && h.platform.logCount("key.passed") == 0) {
                heldAt29 = h.platform.log().size();
            }
        });
        h.platform.at(31'000'000'000, [&] { type("c"); });
        h.platform.at(32'000'000'000, [&] { kelvo_appkit_stop(h.host); });
        h.run();
        std::string seen;
        const std::vector<std::string> log = h.platform.log();
        for (std::size_t i = 0; i < log.size(); ++i) {
            const std::string& line = log[i];
            if (heldAt29 != 0 && i == heldAt29) seen += " 29s";
            std::string word;
            if (line.starts_with("keys.hold") || line.starts_with("keys.release")) {
                word = line.substr(line.find('.') + 1, line.find(' ') - line.find('.') - 1);
            } else if (line.starts_with("key.held ") || line.starts_with("key.passed ")) {
                word = line.substr(4, line.find(' ') - 4) + ":" + line.substr(line.find(' ') + 1);
            } else if (line.starts_with("webview.decide")) {
                word = line.find(" allow ") != std::string::npos ? "allow" : "cancel";
            }
            if (!word.empty()) seen += (seen.empty() ? "" : " ") + word;
        }
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(h.platform.activeTimers(), 0u);
    }
}

}  // namespace
}  // namespace kelvo
