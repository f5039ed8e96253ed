#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_geometry.hpp"
#include "runtime/views/view_list.hpp"
#include "runtime/views/view_lookup.hpp"
#include "runtime/windows/shell_views.hpp"
#include "runtime/windows/shell_views_table.hpp"
#include "runtime/windows/window_table.hpp"
#include "runtime_fixture.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::cat;

using testing::addViewRecord;
using testing::addWebViewRecord;
using testing::addWindow;
using testing::makeRuntime;

TEST(RuntimeRecord, PrintsItsSizeAndStartsWithItsStartValues) {
    std::printf("sizeof(Runtime) = %zu bytes\n", sizeof(Runtime));
    auto runtime = makeRuntime();
    ASSERT_NE(runtime, nullptr);
    // Ids start at 1 for views and 2 for automatic windows: no object ever has the id 0.
    EXPECT_EQ(runtime->nextViewId, 1u);
    EXPECT_EQ(runtime->nextWindowId, 2u);
    EXPECT_TRUE(runtime->stateDirty);
}

TEST(WindowTable, ReserveTakesIdsFromTheSharedCountersAndFocusesOnlyTheFirstWindow) {
    auto runtime = makeRuntime();
    ASSERT_EQ(reserveWindow(*runtime, 1, "main", "Main", std::nullopt, false), 0u);
    ASSERT_EQ(reserveWindow(*runtime, 7, "second", "", std::nullopt, true), 1u);
    const RuntimeWindow& first = runtime->windows[0];
    const RuntimeWindow& second = runtime->windows[1];
    EXPECT_EQ(first.mainWebViewId, 1u);
    EXPECT_EQ(second.mainWebViewId, 2u);
    EXPECT_EQ(runtime->nextViewId, 3u);
    EXPECT_TRUE(first.focused && first.mainWebViewFocused);
    EXPECT_FALSE(second.focused || second.mainWebViewFocused);
    EXPECT_EQ(runtime->nextWindowId, 8u);
    ASSERT_TRUE(reserveWindow(*runtime, 3, "third", "", std::nullopt, false));
    EXPECT_EQ(runtime->nextWindowId, 8u);
}

TEST(WindowTable, ReserveRefusesEachLimitAndChangesNothing) {
    const std::string label64(64, 'l');
    const std::string title128(128, 't');
    const std::string text65536(65536, 's');
    const std::string part4096(4096, 'p');
    struct Case {
        const char* name;
        std::uint64_t id;
        std::string label;
        std::string title;
        std::optional<WindowSource> source;
        std::optional<Error> expected;
    };
    auto assets = [](std::string_view root, std::string_view entry, std::string_view origin) {
        return WindowSource{"vexa://app", WindowAssets{root, entry, origin, false}, WindowSourceKind::assets};
    };
    std::vector<std::string> keep;  // owns texts the sources below refer to
    keep.push_back(text65536 + "x");
    keep.push_back(part4096 + "x");
    const std::vector<Case> cases = {
        {"label of 64 bytes", 5, label64, "", std::nullopt, std::nullopt},
        {"label of 65 bytes", 5, label64 + "x", "", std::nullopt, Error::NoSpaceLeft},
        {"title of 128 bytes", 5, "w", title128, std::nullopt, std::nullopt},
        {"title of 129 bytes", 5, "w", title128 + "x", std::nullopt, Error::NoSpaceLeft},
        {"empty label", 5, "", "", std::nullopt, Error::InvalidWindowOptions},
        {"id 0", 0, "w", "", std::nullopt, Error::InvalidWindowOptions},
        {"source text of 65,536 bytes", 5, "w", "", WindowSource{text65536, std::nullopt, WindowSourceKind::html},
         std::nullopt},
        {"source text of 65,537 bytes", 5, "w", "", WindowSource{keep[0], std::nullopt, WindowSourceKind::html},
         Error::WindowSourceTooLarge},
        {"asset root of 4,096 bytes", 5, "w", "", assets(part4096, "e", "o"), std::nullopt},
        {"asset root of 4,097 bytes", 5, "w", "", assets(keep[1], "e", "o"), Error::WindowSourceTooLarge},
        {"entry of 4,097 bytes", 5, "w", "", assets("r", keep[1], "o"), Error::WindowSourceTooLarge},
        {"origin of 4,097 bytes", 5, "w", "", assets("r", "e", keep[1]), Error::WindowSourceTooLarge},
    };
    for (const Case& c : cases) {
        auto runtime = makeRuntime();
        Result<std::size_t> index = reserveWindow(*runtime, c.id, c.label, c.title, c.source, false);
        if (c.expected) {
            EXPECT_EQ(index.error(), *c.expected) << c.name;
            EXPECT_EQ(runtime->windows.size(), 0u) << c.name;
            EXPECT_EQ(runtime->nextViewId, 1u) << c.name;
            EXPECT_EQ(runtime->nextWindowId, 2u) << c.name;
        } else {
            ASSERT_TRUE(index.has_value()) << c.name;
            const RuntimeWindow& window = runtime->windows[*index];
            EXPECT_EQ(window.label.view(), c.label) << c.name;
            EXPECT_EQ(window.title.view(), c.title) << c.name;
            if (c.source) {
                EXPECT_EQ(window.source.get(), *c.source) << c.name;
            }
        }
    }
    auto runtime = makeRuntime();
    for (std::uint64_t id = 1; id <= kMaxWindows; ++id) {
        ASSERT_TRUE(reserveWindow(*runtime, id, cat("w", id), "", std::nullopt, false));
    }
    EXPECT_EQ(reserveWindow(*runtime, 99, "more", "", std::nullopt, false).error(), Error::WindowLimitReached);
    EXPECT_EQ(runtime->windows.size(), kMaxWindows);
}

TEST(WindowTable, RemovingAMiddleRecordKeepsLaterRecordsWholeAndDropsItsShell) {
    auto runtime = makeRuntime();
    for (int i = 1; i <= 4; ++i) {
        const std::string text = cat("<html>page ", i, "</html>");
        const std::string root = cat("/root/", i);
        const std::string entry = cat("entry", i);
        WindowSource source{text, WindowAssets{root, entry, "origin", i % 2 == 0}, WindowSourceKind::html};
        ASSERT_TRUE(reserveWindow(*runtime, i, cat("window-", i), cat("title ", i), source, false));
    }
    (void)runtime->shellViews.pushDefault();
    runtime->shellViews[0].windowId = 2;
    (void)runtime->shellViews.pushDefault();
    runtime->shellViews[1].windowId = 3;
    SurfaceResizedEvent metrics;
    metrics.windowId = 2;
    recordSurfaceMetrics(*runtime, metrics);

    removeWindowAt(*runtime, 1);
    ASSERT_EQ(runtime->windows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const int n = i == 0 ? 1 : int(i) + 2;
        const RuntimeWindow& window = runtime->windows[i];
        EXPECT_EQ(window.id, std::uint64_t(n));
        EXPECT_EQ(window.label.view(), cat("window-", n));
        EXPECT_EQ(window.title.view(), cat("title ", n));
        WindowSource source = window.source.get();
        EXPECT_EQ(source.text, cat("<html>page ", n, "</html>"));
        ASSERT_TRUE(source.assets);
        EXPECT_EQ(source.assets->assetRoot, cat("/root/", n));
        EXPECT_EQ(source.assets->entry, cat("entry", n));
        EXPECT_EQ(source.assets->spaFallback, n % 2 == 0);
    }
    ASSERT_EQ(runtime->shellViews.size(), 1u);
    EXPECT_EQ(runtime->shellViews[0].windowId, 3u);
    EXPECT_EQ(surfaceMetricsFor(*runtime, 2), nullptr);
    removeWindowAt(*runtime, 7);
    EXPECT_EQ(runtime->windows.size(), 3u);
}

TEST(ViewTables, RemovingMiddleRecordsKeepsEveryLaterRecordsStrings) {
    auto runtime = makeRuntime();
    addWindow(*runtime, 1, "main");
    for (int i = 0; i < 5; ++i) {
        std::string n = std::to_string(i);
        RuntimeView& view = addViewRecord(*runtime, 1, cat("view-", n), std::string_view(cat("parent-", n)));
        ASSERT_TRUE(view.role.assign(cat("role-", n)));
        ASSERT_TRUE(view.accessibilityLabel.assign(cat("a11y-", n)));
        ASSERT_TRUE(view.text.assign(std::string(1000, char('a' + i))));
        ASSERT_TRUE(view.command.assign(cat("cmd.", n)));
        addWebViewRecord(*runtime, 1, cat("web-", n), i % 2 ? std::optional<std::string_view>() : cat("p", n),
                         RectF{float(i), 0, 10, 10}, cat("vexa://app/", n));
    }
    removeViewAt(*runtime, 1);
    removeViewAt(*runtime, 0);
    removeWebViewAt(*runtime, 0);
    removeWebViewAt(*runtime, 1);
    ASSERT_EQ(runtime->views.size(), 3u);
    for (std::size_t slot = 0; slot < 3; ++slot) {
        const int i = int(slot) + 2;
        std::string n = std::to_string(i);
        ViewInfo info = viewInfo(runtime->views[slot]);
        EXPECT_EQ(info.label, cat("view-", n));
        EXPECT_EQ(info.parent, std::optional<std::string_view>(cat("parent-", n)));
        EXPECT_EQ(info.role, cat("role-", n));
        EXPECT_EQ(info.accessibilityLabel, cat("a11y-", n));
        EXPECT_EQ(info.text, std::string(1000, char('a' + i)));
        EXPECT_EQ(info.command, cat("cmd.", n));
    }
    ASSERT_EQ(runtime->webViews.size(), 3u);
    const int remaining[] = {1, 3, 4};
    for (std::size_t slot = 0; slot < 3; ++slot) {
        const int i = remaining[slot];
        WebViewInfo info = webViewInfo(runtime->webViews[slot]);
        EXPECT_EQ(info.label, cat("web-", i));
        EXPECT_EQ(info.url, cat("vexa://app/", i));
        if (i % 2) {
            EXPECT_FALSE(info.parent);
        } else {
            EXPECT_EQ(info.parent, std::optional<std::string_view>(cat("p", i)));
        }
    }
    // The slots left behind are cleared.
    EXPECT_TRUE(runtime->views.items[3].label.empty());
    EXPECT_TRUE(runtime->webViews.items[3].url.empty());
    removeViewAt(*runtime, 3);
    EXPECT_EQ(runtime->views.size(), 3u);
}

TEST(ViewTables, LookupsMatchOpenRecordsOfTheWindowByExactLabel) {
    auto runtime = makeRuntime();
    addWindow(*runtime, 1, "main");
    addWindow(*runtime, 2, "other");
    addWebViewRecord(*runtime, 1, "web");
    addWebViewRecord(*runtime, 2, "web");
    addViewRecord(*runtime, 2, "Button");
    EXPECT_EQ(findWebViewIndex(*runtime, 2, "web"), 1u);
    EXPECT_EQ(findWebViewIndex(*runtime, 1, "web"), 0u);
    EXPECT_FALSE(findWebViewIndex(*runtime, 3, "web"));
    EXPECT_FALSE(findViewIndex(*runtime, 2, "button"));
    EXPECT_EQ(findViewIndex(*runtime, 2, "Button"), 0u);
    runtime->webViews[0].open = false;
    EXPECT_FALSE(findWebViewIndex(*runtime, 1, "web"));
    EXPECT_FALSE(findWebViewIndex(*runtime, 1, ""));
}

TEST(ViewListing, ListsMainThenViewsThenWebViewsAndHonoursTheCapacity) {
    auto runtime = makeRuntime();
    addWindow(*runtime, 1, "main", {0, 0, 1000, 700});
    addViewRecord(*runtime, 1, "a");
    addViewRecord(*runtime, 2, "elsewhere");
    addWebViewRecord(*runtime, 1, "w");
    addViewRecord(*runtime, 1, "b");
    std::array<ViewInfo, kViewListCapacity> out;
    std::span<ViewInfo> list = listViews(*runtime, 1, out);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].label, "main");
    EXPECT_EQ(list[0].id, runtime->windows[0].mainWebViewId);
    EXPECT_EQ(list[0].role, "WebView");
    EXPECT_EQ(list[0].url, "vexa://app");
    EXPECT_EQ(list[0].frame, (RectF{0, 0, 1000, 700}));
    EXPECT_TRUE(list[0].bridge);
    EXPECT_EQ(list[1].label, "a");
    EXPECT_EQ(list[2].label, "b");
    EXPECT_EQ(list[3].label, "w");
    EXPECT_EQ(list[3].kind, ViewKind::webview);
    EXPECT_EQ(list[3].role, "WebView");

    EXPECT_EQ(listViews(*runtime, 1, std::span(out.data(), 1)).size(), 1u);
    EXPECT_EQ(listViews(*runtime, 1, std::span(out.data(), 2)).back().label, "a");
    EXPECT_EQ(listViews(*runtime, 1, std::span<ViewInfo>()).size(), 0u);
    EXPECT_EQ(listViews(*runtime, 9, out).size(), 0u);

    runtime->windows[0].hasSource = false;
    EXPECT_EQ(listViews(*runtime, 1, out).front().label, "a");
    runtime->windows[0].open = false;
    EXPECT_EQ(listViews(*runtime, 1, out).size(), 0u);
}

TEST(ViewListing, MainWebViewUrlAndFrameFollowTheWindow) {
    auto runtime = makeRuntime();
    addWindow(*runtime, 1, "main", {0, 0, 640, 480});
    RuntimeWindow& window = runtime->windows[0];
    ASSERT_TRUE(storeWindowSource(window.source, WindowSource{"<p>hi</p>", std::nullopt, WindowSourceKind::html}));
    WebViewInfo info = mainWebViewInfo(*runtime, 0);
    EXPECT_EQ(info.url, "vexa://inline");
    EXPECT_EQ(info.frame, (RectF{0, 0, 640, 480}));
    EXPECT_EQ(info.localFrame, RectF{});
    ASSERT_TRUE(storeWindowSource(window.source, WindowSource{"https://x.test/", std::nullopt, WindowSourceKind::url}));
    window.mainWebViewFrame = RectF{0, 48, 640, 400};
    window.mainWebViewFrameSet = true;
    window.mainWebViewZoom = 1.5;
    info = mainWebViewInfo(*runtime, 0);
    EXPECT_EQ(info.url, "https://x.test/");
    EXPECT_EQ(info.frame, (RectF{0, 48, 640, 400}));
    EXPECT_EQ(info.zoom, 1.5);
    window.hasSource = false;
    EXPECT_TRUE(mainWebViewInfo(*runtime, 0).url.empty());
}

TEST(ViewGeometry, AbsoluteFramesAddEveryParentsOrigin) {
    auto runtime = makeRuntime();
    addWindow(*runtime, 1, "main");
    addViewRecord(*runtime, 1, "outer", "main", {5, 5, 300, 300});
    addViewRecord(*runtime, 1, "inner", "outer", {10, 20, 100, 50});
    addWebViewRecord(*runtime, 1, "web", "inner", {200, 300, 40, 40});
    EXPECT_EQ(*absoluteViewFrame(*runtime, 1, "inner"), (RectF{15, 25, 100, 50}));
    // A web view answers its stored window-coordinate frame without walking its parents.
    EXPECT_EQ(*absoluteViewFrame(*runtime, 1, "web"), (RectF{200, 300, 40, 40}));
    runtime->windows[0].mainWebViewFrame = RectF{0, 40, 800, 560};
    runtime->windows[0].mainWebViewFrameSet = true;
    EXPECT_EQ(*absoluteViewFrame(*runtime, 1, "inner"), (RectF{15, 65, 100, 50}));
    EXPECT_EQ(*platformFrameForView(*runtime, 1, "outer", {1, 2, 3, 4}), (RectF{6, 47, 3, 4}));
    EXPECT_EQ(*platformFrameForView(*runtime, 1, std::nullopt, {1, 2, 3, 4}), (RectF{1, 2, 3, 4}));

    EXPECT_EQ(absoluteViewFrame(*runtime, 1, "nothing").error(), Error::ViewNotFound);
    EXPECT_EQ(absoluteViewFrame(*runtime, 2, "main").error(), Error::WindowNotFound);
    EXPECT_EQ(absoluteViewFrame(*runtime, 1, "main", kMaxViewDepth + 1).error(), Error::InvalidViewOptions);
    EXPECT_TRUE(absoluteViewFrame(*runtime, 1, "main", kMaxViewDepth));
    runtime->windows[0].open = false;
    EXPECT_TRUE(absoluteViewFrame(*runtime, 1, "main"));
}

TEST(WebViewUrls, OriginsAndRefusals) {
    auto runtime = makeRuntime();
    runtime->securityPolicy.origins = testing::kTrustedOrigins;
    auto rows = testing::readTable("webview_urls.txt");
    const std::string longHost = cat("vexa://", std::string(505, 'h'));  // an origin of 512 bytes
    const std::vector<std::vector<std::string>> special = {
        {"", "MissingWebViewUrl"},
        {cat("vexa://app/", std::string(4085, 'x')), "-"},
        {cat("vexa://app/", std::string(4086, 'x')), "WebViewUrlTooLarge"},
        {longHost, "NavigationDenied"},
        {cat(longHost, "h"), "InvalidWebViewOptions"},
        {"vexa://app/a\nb", "InvalidWebViewOptions"},
        {std::string("vexa://app/\0", 12), "InvalidWebViewOptions"},
    };
    rows.insert(rows.end(), special.begin(), special.end());
    for (const auto& row : rows) {
        Status status = validateWebViewUrl(*runtime, row[0]);
        EXPECT_EQ(status ? "-" : errorName(status.error()), row[1]) << row[0].substr(0, 40);
    }
    EXPECT_EQ(*webViewUrlOrigin("vexa://app/index.html"), "vexa://app");
    EXPECT_EQ(*webViewUrlOrigin("http://127.0.0.1:5173/x"), "http://127.0.0.1:5173");
    EXPECT_EQ(*webViewUrlOrigin("about:blank"), "about://local");
    const std::string_view star[] = {"*"};
    runtime->securityPolicy.origins = star;
    EXPECT_TRUE(validateWebViewUrl(*runtime, "https://anything.test/"));
    runtime->securityPolicy.origins = {};
    EXPECT_EQ(validateWebViewUrl(*runtime, "vexa://app").error(), Error::NavigationDenied);
}

TEST(ShellContent, TheContentRectangleUsesEachWindowsOwnInsets) {
    auto runtime = makeRuntime();
    addWindow(*runtime, 1, "main", {0, 0, 800, 600});
    addWindow(*runtime, 2, "second", {0, 0, 400, 300});
    EXPECT_EQ(windowContentRect(*runtime, 1), (RectF{0, 0, 800, 600}));
    EXPECT_EQ(windowContentRect(*runtime, 9), RectF{});

    SurfaceResizedEvent first;
    first.windowId = 1;
    first.safeArea = EdgeInsets{20, 5, 10, 0};
    first.keyboard = EdgeInsets{0, 0, 200, 30};
    recordSurfaceMetrics(*runtime, first);
    SurfaceResizedEvent second;
    second.windowId = 2;
    second.safeArea = EdgeInsets{500, 0, 0, 0};
    recordSurfaceMetrics(*runtime, second);
    // The second window's later event does not make the first lose its insets.
    EXPECT_EQ(windowContentRect(*runtime, 1), (RectF{30, 20, 765, 380}));
    EXPECT_EQ(windowContentRect(*runtime, 2), (RectF{0, 300, 400, 0}));
}

}  // namespace
}  // namespace kelvo
