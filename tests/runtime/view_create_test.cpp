#include <cmath>
#include <functional>
#include <limits>

#include "base/memory_io.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

using testing::cat;

using testing::errorOf;
using testing::Strings;

class CreateView : public testing::ViewScenario {};

// Each case changes a valid button (or web view) and expects one error, with no platform call
// and nothing recorded.
TEST_F(CreateView, RefusesBadOptionsBeforeTouchingAnything) {
    create(view("bar", ViewKind::toolbar));
    create(webView("panel"));
    runtime->windows.items[1] = runtime->windows[0];
    runtime->windows.items[1].id = 2;
    runtime->windows.items[1].open = false;
    ++runtime->windows.count;
    test.clearCalls();

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::string long65(65, 'x');
    const std::string long257(257, 'a');
    const std::string long1025(1025, 't');
    struct Case {
        const char* name;
        ViewOptions options;
        Error expected;
    };
    auto with = [](ViewOptions options, std::function<void(ViewOptions&)> change) {
        change(options);
        return options;
    };
    const ViewOptions button = view("b");
    const ViewOptions web = webView("w");
    const std::vector<Case> cases = {
        {"unknown window", with(button, [](ViewOptions& o) { o.windowId = 9; }), Error::WindowNotFound},
        {"closed window", with(button, [](ViewOptions& o) { o.windowId = 2; }), Error::WindowNotFound},
        {"empty label", with(button, [](ViewOptions& o) { o.label = ""; }), Error::InvalidViewOptions},
        {"label of 65 bytes", with(button, [&](ViewOptions& o) { o.label = long65; }), Error::ViewLabelTooLarge},
        {"label with NUL", with(button, [](ViewOptions& o) { o.label = std::string_view("a\0b", 3); }),
         Error::InvalidViewOptions},
        {"negative x", with(button, [](ViewOptions& o) { o.frame.x = -1; }), Error::InvalidViewOptions},
        {"NaN width", with(button, [&](ViewOptions& o) { o.frame.width = nan; }), Error::InvalidViewOptions},
        {"infinite y", with(button, [&](ViewOptions& o) { o.frame.y = inf; }), Error::InvalidViewOptions},
        {"empty parent", with(button, [](ViewOptions& o) { o.parent = ""; }), Error::InvalidViewOptions},
        {"parent of 65 bytes", with(button, [&](ViewOptions& o) { o.parent = long65; }), Error::InvalidViewOptions},
        {"role of 65 bytes", with(button, [&](ViewOptions& o) { o.role = long65; }), Error::ViewRoleTooLarge},
        {"accessibility label of 257 bytes", with(button, [&](ViewOptions& o) { o.accessibilityLabel = long257; }),
         Error::ViewAccessibilityLabelTooLarge},
        {"text of 1,025 bytes", with(button, [&](ViewOptions& o) { o.text = long1025; }), Error::ViewTextTooLarge},
        {"command with a slash", with(button, [](ViewOptions& o) { o.command = "a/b"; }), Error::InvalidCommand},
        {"url on a button", with(button, [](ViewOptions& o) { o.url = "vexa://app"; }), Error::InvalidViewOptions},
        {"kind out of range", with(button, [](ViewOptions& o) { o.kind = static_cast<ViewKind>(19); }),
         Error::UnsupportedViewKind},
        {"gpu surface without vsync", with(gpuSurface("g"), [](ViewOptions& o) { o.gpu.vsync = false; }),
         Error::UnsupportedViewKind},
        {"gpu surface in display p3",
         with(gpuSurface("g"), [](ViewOptions& o) { o.gpu.colorSpace = GpuColorSpace::display_p3; }),
         Error::UnsupportedViewKind},
        {"label main", with(button, [](ViewOptions& o) { o.label = "main"; }), Error::DuplicateViewLabel},
        {"label of a view", with(button, [](ViewOptions& o) { o.label = "bar"; }), Error::DuplicateViewLabel},
        {"label of a web view", with(button, [](ViewOptions& o) { o.label = "panel"; }), Error::DuplicateViewLabel},
        {"parent is itself", with(button, [](ViewOptions& o) { o.parent = "b"; }), Error::InvalidViewOptions},
        {"parent not yet there", with(button, [](ViewOptions& o) { o.parent = "later"; }), Error::ViewNotFound},
        {"web view of width 0", with(web, [](ViewOptions& o) { o.frame.width = 0; }), Error::InvalidWebViewOptions},
        {"web view of NaN height", with(web, [&](ViewOptions& o) { o.frame.height = nan; }),
         Error::InvalidWebViewOptions},
        {"web view of infinite width", with(web, [&](ViewOptions& o) { o.frame.width = inf; }),
         Error::InvalidWebViewOptions},
        // The address rule itself: WebViewUrls tests.
        {"web view elsewhere", with(web, [](ViewOptions& o) { o.url = "https://elsewhere.test/"; }),
         Error::NavigationDenied},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(createView(*runtime, c.options)), c.expected) << c.name;
        EXPECT_EQ(test.calls().size(), 0u) << c.name;
        EXPECT_EQ(runtime->views.size(), 1u) << c.name;
        EXPECT_EQ(runtime->webViews.size(), 1u) << c.name;
        EXPECT_EQ(runtime->nextViewId, 4u) << c.name;
    }
    runtime->webViewLayer = false;
    EXPECT_EQ(errorOf(createView(*runtime, web)), Error::WebViewLayerNotBuilt);
}

TEST_F(CreateView, AcceptsEveryLimitExactly) {
    const std::string label64(64, 'l');
    const std::string a11y256(256, 'a');
    const std::string text1024(1024, 't');
    const std::string command128(128, 'c');
    ViewOptions options = view(label64, ViewKind::label, "main", {0, 0, 0, 0});
    options.accessibilityLabel = a11y256;
    options.text = text1024;
    options.role = std::string_view(label64);
    options.command = command128;
    Result<ViewInfo> info = createView(*runtime, options);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->label, label64);
    EXPECT_EQ(info->text, text1024);
    EXPECT_EQ(info->command, command128);
    EXPECT_EQ(info->parent, std::optional<std::string_view>("main"));
    EXPECT_EQ(test.lastCall(PlatformSlot::createView)->args,
              cat("window=1 label=", label64, " kind=label parent=main role=", label64, " accessibilityLabel=", a11y256,
                  " text=", text1024, " command=", command128,
                  " url= frame=0,0,0,0 layer=0 visible=1 enabled=1 transparent=0 bridge=0"));
}

TEST_F(CreateView, RecordsTheViewAndMarksItsFrameDirty) {
    ViewOptions options = view("save", ViewKind::button, std::nullopt, {10, 20, 96, 32});
    options.text = "Save";
    options.role = "button";
    options.command = "file.save";
    options.layer = 3;
    options.visible = false;
    options.gpu.vsync = true;  // ignored for every kind but gpu_surface
    Result<ViewInfo> info = createView(*runtime, options);
    ASSERT_TRUE(info);
    EXPECT_EQ(callLog(), (Strings{"createView:save"}));
    // Views and web views share one id sequence, after the main web view's 1.
    EXPECT_EQ(info->id, 2u);
    EXPECT_EQ(createView(*runtime, webView("w"))->id, 3u);
    const RuntimeView& record = runtime->views[0];
    EXPECT_EQ(record.text.view(), "Save");
    EXPECT_EQ(record.layer, 3);
    EXPECT_FALSE(record.visible);
    EXPECT_FALSE(record.gpu.vsync);
    EXPECT_EQ(record.gpuStatus, GpuSurfaceStatus::unavailable);
    EXPECT_TRUE(runtime->stateDirty);
    EXPECT_EQ(runtime->dirtyRegions[0], (RectF{10, 20, 96, 32}));
}

TEST_F(CreateView, GpuSurfacesStartReadyAtTheirFrameSize) {
    MemoryIo memory;
    memory.setWallClockNs(1'234'567);
    runtime->io = memoryIo(memory);
    ViewOptions options = gpuSurface("canvas");
    options.gpu.backend = GpuBackend::software;
    Result<ViewInfo> info = createView(*runtime, options);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->gpuStatus, GpuSurfaceStatus::ready);
    EXPECT_EQ(info->gpu.backend, GpuBackend::software);
    EXPECT_EQ(info->gpuWidth, 320);
    EXPECT_EQ(info->gpuHeight, 240);
    EXPECT_TRUE(info->gpu.vsync);
    EXPECT_EQ(runtime->views[0].surfaceCreatedNs, 1'234'567);
}

TEST_F(CreateView, AChildWebViewIsPlacedInWindowCoordinatesAndKeepsItsLocalFrame) {
    create(view("outer", ViewKind::stack, std::nullopt, {10, 20, 500, 400}));
    create(view("inner", ViewKind::stack, "outer", {100, 50, 400, 300}));
    test.clearCalls();
    Result<ViewInfo> info = createView(*runtime, webView("web", "inner", {5, 5, 300, 200}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frame, (RectF{115, 75, 300, 200}));
    EXPECT_EQ(info->role, "WebView");
    const TestPlatform::Call call = *test.lastCall(PlatformSlot::createView);
    EXPECT_NE(call.args.find("kind=webview parent=inner"), std::string::npos);
    EXPECT_NE(call.args.find("frame=115,75,300,200"), std::string::npos);
    const RuntimeWebView& record = runtime->webViews[0];
    EXPECT_EQ(record.frame, (RectF{115, 75, 300, 200}));
    EXPECT_EQ(record.localFrame, (RectF{5, 5, 300, 200}));
    EXPECT_EQ(runtime->dirtyRegions.back(), (RectF{115, 75, 300, 200}));
}

TEST_F(CreateView, AChildWebViewFallsBackToTheWebViewSlot) {
    emptySlot(PlatformSlot::createView);
    ViewOptions options = webView("web", std::nullopt, {1, 2, 30, 40});
    options.layer = 2;
    ASSERT_TRUE(createView(*runtime, options));
    EXPECT_EQ(test.lastCall(PlatformSlot::createWebView)->args,
              "window=1 label=web url=vexa://app/panel.html layer=2 transparent=0 bridge=1 frame=1,2,30,40");
    // Without a web view slot either, and for a view without the view slot:
    emptySlot(PlatformSlot::createWebView);
    EXPECT_EQ(errorOf(createView(*runtime, webView("other"))), Error::UnsupportedService);
    EXPECT_EQ(errorOf(createView(*runtime, view("button"))), Error::UnsupportedViewKind);
    EXPECT_EQ(runtime->webViews.size(), 1u);
    EXPECT_EQ(runtime->views.size(), 0u);
}

TEST_F(CreateView, APlatformFailureRecordsNothing) {
    test.failSlot(PlatformSlot::createView, Error::CreateFailed);
    EXPECT_EQ(errorOf(createView(*runtime, view("a"))), Error::CreateFailed);
    EXPECT_EQ(errorOf(createView(*runtime, webView("w"))), Error::CreateFailed);
    EXPECT_TRUE(runtime->views.empty());
    EXPECT_TRUE(runtime->webViews.empty());
    EXPECT_EQ(runtime->nextViewId, 2u);
    EXPECT_FALSE(runtime->stateDirty);
    EXPECT_TRUE(runtime->dirtyRegions.empty());
}

TEST_F(CreateView, TheTablesRefuseTheThirtyThirdViewAndTheSeventeenthWebView) {
    for (std::size_t i = 0; i < kMaxViews; ++i) create(view(cat("v", i)));
    for (std::size_t i = 0; i < kMaxWebViews; ++i) create(webView(cat("w", i)));
    test.clearCalls();
    EXPECT_EQ(errorOf(createView(*runtime, view("one-more"))), Error::ViewLimitReached);
    EXPECT_EQ(errorOf(createView(*runtime, webView("one-more"))), Error::WebViewLimitReached);
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(runtime->dirtyRegions.size(), 8u);
}

}  // namespace
}  // namespace kelvo
