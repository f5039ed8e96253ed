#include <limits>

#include "runtime/windows/window_close.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

using testing::cat;

using testing::errorOf;
using testing::Strings;

// A runtime on the test platform with no window yet and an application source.
class CreateWindow : public testing::ViewScenario {
protected:
    void SetUp() override {
        runtime->platform = test.platform();
        runtime->securityPolicy.origins = testing::kTrustedOrigins;
        ASSERT_TRUE(storeWindowSource(runtime->appSource,
                                      WindowSource{"vexa://app", WindowAssets{"/srv", "index.html", "vexa://app", true},
                                                   WindowSourceKind::assets}));
        runtime->appSourcePresent = true;
    }

    static WindowCreateOptions options(std::string_view label, std::uint64_t id = 0) {
        WindowCreateOptions o;
        o.id = id;
        o.label = label;
        o.title = "Title";
        o.frame = RectF{10, 20, 640, 480};
        return o;
    }

    Result<WindowInfo> make(std::string_view label, std::uint64_t id = 0) {
        return createWindowWithSourceMode(*runtime, options(label, id), true, false);
    }

    std::vector<std::uint64_t> ids() const {
        std::vector<std::uint64_t> out;
        for (const RuntimeWindow& w : runtime->windows) out.push_back(w.id);
        return out;
    }
};

TEST_F(CreateWindow, CreatesThePlatformWindowAndLoadsTheApplicationSource) {
    test.answers().windowScale = 2.0f;
    Result<WindowInfo> info = make("main", 1);
    ASSERT_TRUE(info);
    EXPECT_EQ(callLog(), (Strings{"createWindow:main", "loadWindowWebView:"}));
    EXPECT_EQ(test.lastCall(PlatformSlot::createWindow)->args,
              "id=1 label=main title=Title frame=10,20,640,480 min=0,0 resizable=1 restoreFrame=0 flag=0 "
              "titlebar=0 show=0");
    EXPECT_EQ(test.lastCall(PlatformSlot::loadWindowWebView)->args,
              "window=1 kind=2 text=vexa://app root=/srv entry=index.html origin=vexa://app spa=1");
    EXPECT_EQ(info->scale, 2.0f);
    const RuntimeWindow& window = runtime->windows[0];
    EXPECT_EQ(window.mainWebViewFrame, (RectF{0, 0, 640, 480}));
    EXPECT_TRUE(window.usesAppSource);
    EXPECT_EQ(window.source.get().text, "vexa://app");
    EXPECT_TRUE(runtime->stateDirty);
    EXPECT_EQ(runtime->nextWindowId, 2u);

    // Window 1 may fall back on the first window's loader; any other window may not.
    emptySlot(PlatformSlot::loadWindowWebView);
    runtime->windows.clear();
    test.clearCalls();
    ASSERT_TRUE(make("main", 1));
    EXPECT_EQ(callLog(), (Strings{"createWindow:main", "loadWebView:"}));
    test.clearCalls();
    EXPECT_EQ(errorOf(make("second", 2)), Error::UnsupportedService);
    EXPECT_EQ(callLog(), (Strings{"createWindow:second", "closeWindow:"}));
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{1}));
}

TEST_F(CreateWindow, AutomaticIdsSkipTakenIdsAndNeverGoBack) {
    ASSERT_TRUE(make("a", 2));
    ASSERT_TRUE(make("b", 3));
    runtime->nextWindowId = 2;
    Result<WindowInfo> info = make("c");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->id, 4u);
    EXPECT_EQ(runtime->nextWindowId, 5u);
    ASSERT_TRUE(make("low", 1));
    EXPECT_EQ(runtime->nextWindowId, 5u);
    ASSERT_TRUE(make("high", 9));
    EXPECT_EQ(runtime->nextWindowId, 10u);
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{2, 3, 4, 1, 9}));
}

TEST_F(CreateWindow, RefusalsLeaveTheTableAndThePlatformAlone) {
    ASSERT_TRUE(make("main", 1));
    test.clearCalls();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        WindowCreateOptions options;
        Error expected;
    };
    auto with = [](WindowCreateOptions o, auto change) {
        change(o);
        return o;
    };
    const std::vector<Case> cases = {
        {"empty label", options(""), Error::InvalidWindowOptions},
        {"width 0", with(options("w"), [](auto& o) { o.frame.width = 0; }), Error::InvalidWindowOptions},
        {"height -1", with(options("w"), [](auto& o) { o.frame.height = -1; }), Error::InvalidWindowOptions},
        {"x infinite", with(options("w"), [&](auto& o) { o.frame.x = inf; }), Error::InvalidWindowOptions},
        {"id taken", options("w", 1), Error::DuplicateWindowId},
        {"label taken", options("main"), Error::DuplicateWindowLabel},
        {"label of 65 bytes",
         options(std::string_view("lllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllll")),
         Error::NoSpaceLeft},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(createWindowWithSourceMode(*runtime, c.options, true, false)), c.expected) << c.name;
    }
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{1}));

    runtime->appSourcePresent = false;
    EXPECT_EQ(errorOf(make("w")), Error::MissingWindowSource);
    runtime->appSourcePresent = true;
    runtime->webViewLayer = false;
    EXPECT_EQ(errorOf(make("w")), Error::WebViewLayerNotBuilt);
    runtime->webViewLayer = true;
    emptySlot(PlatformSlot::createWindow);
    EXPECT_EQ(errorOf(make("w")), Error::UnsupportedService);
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{1}));
}

TEST_F(CreateWindow, AWindowWithoutASourceIsCreatedButNotLoadedWhenTheSourceIsOptional) {
    runtime->appSourcePresent = false;
    Result<WindowInfo> info = createWindowWithSourceMode(*runtime, options("bare", 5), false, true);
    ASSERT_TRUE(info);
    EXPECT_EQ(callLog(), (Strings{"createWindow:bare"}));
    EXPECT_FALSE(runtime->windows[0].hasSource);
}

TEST_F(CreateWindow, PlatformFailuresLeaveNoRecord) {
    test.failSlot(PlatformSlot::createWindow, Error::CreateFailed, 1);
    EXPECT_EQ(errorOf(make("w")), Error::CreateFailed);
    EXPECT_TRUE(runtime->windows.empty());
    test.failSlot(PlatformSlot::loadWindowWebView, Error::InputOutput, 1);
    EXPECT_EQ(errorOf(make("w", 3)), Error::InputOutput);
    EXPECT_EQ(callLog(), (Strings{"createWindow:w", "createWindow:w", "loadWindowWebView:", "closeWindow:"}));
    EXPECT_TRUE(runtime->windows.empty());
}

TEST_F(CreateWindow, ClosedNamesakesAreReplacedButOnlyByACreateThatCanSucceed) {
    ASSERT_TRUE(make("main", 1));
    ASSERT_TRUE(make("tools", 2));
    runtime->shellViews.pushDefault()->windowId = 2;
    closeWindow(*runtime, 2);
    EXPECT_FALSE(runtime->windows[1].open);
    ASSERT_EQ(runtime->shellViews.size(), 0u);
    runtime->shellViews.pushDefault()->windowId = 2;

    // A create that is refused keeps the closed record (and so its saved frame).
    WindowCreateOptions bad = options("tools");
    bad.frame.width = 0;
    EXPECT_EQ(errorOf(createWindowWithSourceMode(*runtime, bad, true, false)), Error::InvalidWindowOptions);
    EXPECT_EQ(errorOf(createWindowWithSourceMode(*runtime, options("main", 2), true, false)),
              Error::DuplicateWindowLabel);
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{1, 2}));

    Result<WindowInfo> info = make("tools");
    ASSERT_TRUE(info);
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{1, info->id}));
    EXPECT_TRUE(runtime->shellViews.empty());

    // An explicit id replaces the closed window that had it.
    closeWindow(*runtime, info->id);
    ASSERT_TRUE(make("renamed", info->id));
    EXPECT_EQ(runtime->windows.size(), 2u);
    EXPECT_EQ(runtime->windows[1].label.view(), "renamed");
}

TEST_F(CreateWindow, TheSeventeenthWindowIsRefusedButTakesItsAutomaticId) {
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(make(cat("w", i)));
    const std::uint64_t next = runtime->nextWindowId;
    test.clearCalls();
    EXPECT_EQ(errorOf(make("one-more")), Error::WindowLimitReached);
    EXPECT_EQ(runtime->nextWindowId, next + 1);
    EXPECT_EQ(runtime->windows.size(), 16u);
    EXPECT_EQ(test.calls().size(), 0u);
}

TEST_F(CreateWindow, AFocusedNewWindowTakesTheFocusFromEveryOther) {
    test.answers().windowsOpenFocused = true;
    ASSERT_TRUE(make("a"));
    EXPECT_TRUE(runtime->windows[0].focused);
    // The window's focus is what the platform reports.
    test.answers().windowsOpenFocused = false;
    ASSERT_TRUE(make("b"));
    EXPECT_TRUE(runtime->windows[0].focused);
    EXPECT_FALSE(runtime->windows[1].focused);
    test.answers().windowsOpenFocused = true;
    ASSERT_TRUE(make("c"));
    EXPECT_FALSE(runtime->windows[0].focused);
    EXPECT_FALSE(runtime->windows[1].focused);
    EXPECT_TRUE(runtime->windows[2].focused);
}

TEST_F(CreateWindow, ClosingKeepsTheRecordClosedAndDropsItsViews) {
    test.answers().windowsOpenFocused = true;
    ASSERT_TRUE(make("main", 1));
    test.answers().windowsOpenFocused = false;
    ASSERT_TRUE(make("other", 2));
    testing::addViewRecord(*runtime, 1, "toolbar");
    testing::addViewRecord(*runtime, 2, "keep");
    testing::addWebViewRecord(*runtime, 1, "web");
    ASSERT_TRUE(runtime->windows[0].mainWebViewParent.assign("toolbar"));
    test.clearCalls();

    test.failSlot(PlatformSlot::closeWindow, Error::CloseFailed, 1);
    EXPECT_EQ(errorOf(closeWindowReporting(*runtime, 1)), Error::CloseFailed);
    EXPECT_TRUE(runtime->windows[0].open);
    EXPECT_TRUE(runtime->windows[0].focused);
    EXPECT_EQ(viewLabels(), (Strings{"toolbar", "keep"}));

    closeWindow(*runtime, 1);
    EXPECT_FALSE(runtime->windows[0].open);
    EXPECT_FALSE(runtime->windows[0].focused);
    EXPECT_FALSE(runtime->windows[0].mainWebViewParent.present);
    EXPECT_EQ(viewLabels(), (Strings{"keep"}));
    EXPECT_EQ(webViewLabels(), Strings{});
    closeWindow(*runtime, 1);
    EXPECT_EQ(test.callCount(PlatformSlot::closeWindow), 3u);
    closeWindow(*runtime, 42);
    EXPECT_EQ(errorOf(closeWindowReporting(*runtime, 42)), Error::WindowNotFound);

    emptySlot(PlatformSlot::closeWindow);
    EXPECT_EQ(errorOf(closeWindowReporting(*runtime, 2)), Error::UnsupportedService);
    EXPECT_TRUE(runtime->windows[1].open);
}

}  // namespace
}  // namespace kelvo
