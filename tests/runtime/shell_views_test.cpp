#include "runtime/shell_views_table.hpp"
#include "runtime/window_views.hpp"
#include "trace_capture.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

using testing::cat;

using testing::errorOf;
using testing::Strings;

ShellViewSpec spec(std::string_view label, ViewKind kind, std::optional<ShellEdge> dock = std::nullopt) {
    ShellViewSpec s;
    s.label = label;
    s.kind = kind;
    s.dock = dock;
    return s;
}

class ShellViews : public testing::ViewScenario {
protected:
    Status createShell(std::span<const ShellViewSpec> specs) {
        return createShellViews(*runtime, 1, specs, windowContentRect(*runtime, 1));
    }
};

TEST_F(ShellViews, CreatesTheViewsAndPlacesTheMainWebViewInTheContentArea) {
    ShellViewSpec toolbar = spec("toolbar", ViewKind::toolbar, ShellEdge::top);
    toolbar.command = "tool.run";
    toolbar.role = "Toolbar";
    ShellViewSpec save = spec("save", ViewKind::button);
    save.parent = "toolbar";
    save.text = "Save";
    ShellViewSpec side = spec("side", ViewKind::sidebar, ShellEdge::left);
    ShellViewSpec web = spec("main", ViewKind::webview);
    web.fill = true;
    web.layer = 3;
    ShellViewSpec canvas = spec("canvas", ViewKind::gpu_surface);
    canvas.parent = "side";
    canvas.width = 200;
    canvas.height = 100;
    const ShellViewSpec specs[] = {toolbar, save, side, web, canvas};
    ASSERT_TRUE(createShell(specs));
    // A child is placed as soon as its parent is, within the same pass.
    EXPECT_EQ(callLog(), (Strings{"createView:toolbar", "createView:save", "createView:side", "setWebViewFrame:main",
                                  "setWebViewLayer:main", "createView:canvas"}));
    EXPECT_NE(test.callsTo(PlatformSlot::createView)[0].args.find("role=Toolbar accessibilityLabel= text=Toolbar "
                                                                  "command=tool.run"),
              std::string::npos);
    EXPECT_NE(test.callsTo(PlatformSlot::createView)[1].args.find("text=Save"), std::string::npos);
    EXPECT_EQ(test.lastCall(PlatformSlot::setWebViewFrame)->args, "window=1 label=main frame=240,48,560,552");
    EXPECT_EQ(viewLabels(), (Strings{"toolbar", "save", "side", "canvas"}));
    const RuntimeView& gpu = runtime->views[3];
    EXPECT_EQ(gpu.gpuBackend, GpuBackend::metal);
    EXPECT_EQ(gpu.gpuStatus, GpuSurfaceStatus::ready);
    EXPECT_EQ(gpu.frame, (RectF{8, 226, 200, 100}));
    const RuntimeWindow& window = runtime->windows[0];
    EXPECT_EQ(window.mainWebViewFrame, (RectF{240, 48, 560, 552}));
    EXPECT_EQ(window.mainWebViewLayer, 3);
    EXPECT_FALSE(window.mainWebViewParent.present);
    ASSERT_EQ(runtime->shellViews.size(), 1u);
    EXPECT_EQ(runtime->shellViews[0].count, 5u);
    EXPECT_EQ(runtime->shellViews[0].specs[1].parent.get(), std::optional<std::string_view>("toolbar"));
}

TEST_F(ShellViews, AMainSpecWithAParentRecordsTheParent) {
    ShellViewSpec split = spec("split", ViewKind::split);
    split.fill = true;
    ShellViewSpec web = spec("main", ViewKind::webview);
    web.parent = "split";
    web.fill = true;
    const ShellViewSpec specs[] = {split, web};
    ASSERT_TRUE(createShell(specs));
    EXPECT_EQ(runtime->windows[0].mainWebViewParent.get(), std::optional<std::string_view>("split"));
    EXPECT_EQ(runtime->windows[0].mainWebViewFrame, (RectF{0, 0, 800, 600}));
}

TEST_F(ShellViews, RefusesTakenLabelsAndFullTablesBeforeCreatingAnything) {
    create(view("taken"));
    create(webView("web"));
    test.clearCalls();
    const ShellViewSpec mainToolbar[] = {spec("main", ViewKind::toolbar)};
    EXPECT_EQ(errorOf(createShell(mainToolbar)), Error::DuplicateViewLabel);
    const ShellViewSpec taken[] = {spec("taken", ViewKind::toolbar)};
    EXPECT_EQ(errorOf(createShell(taken)), Error::DuplicateViewLabel);
    const ShellViewSpec takenByWeb[] = {spec("web", ViewKind::button)};
    EXPECT_EQ(errorOf(createShell(takenByWeb)), Error::DuplicateViewLabel);
    const ShellViewSpec twice[] = {spec("a", ViewKind::button), spec("a", ViewKind::label)};
    EXPECT_EQ(errorOf(createShell(twice)), Error::DuplicateViewLabel);
    std::vector<std::string> labels;
    for (int i = 0; i < 32; ++i) labels.push_back(cat("v", i));
    std::vector<ShellViewSpec> many;
    for (const std::string& label : labels) many.push_back(spec(label, ViewKind::button));
    EXPECT_EQ(errorOf(createShell(many)), Error::ViewLimitReached);
    std::vector<ShellViewSpec> tooMany(kMaxShellViews + 1, spec("x", ViewKind::button));
    EXPECT_EQ(errorOf(createShell(tooMany)), Error::ViewLimitReached);
    EXPECT_EQ(errorOf(createShellViews(*runtime, 9, taken, {})), Error::WindowNotFound);
    EXPECT_EQ(test.calls().size(), 0u);
}

TEST_F(ShellViews, AFailedCreationClosesWhatItMadeNewestFirstAndRestoresTheMainWebView) {
    runtime->windows[0].mainWebViewLayer = 1;
    ShellViewSpec web = spec("main", ViewKind::webview);
    web.fill = true;
    web.layer = 5;
    const ShellViewSpec specs[] = {spec("a", ViewKind::toolbar, ShellEdge::top),
                                   spec("b", ViewKind::statusbar, ShellEdge::bottom), web, spec("c", ViewKind::button),
                                   spec("d", ViewKind::button)};
    // The view after "b" (that is "c") fails.
    test.onCall(PlatformSlot::createView, [this](const TestPlatform::Call& call) {
        if (call.label == "b") test.failSlot(PlatformSlot::createView, Error::CreateFailed, 1);
    });
    EXPECT_EQ(errorOf(createShell(specs)), Error::CreateFailed);
    EXPECT_EQ(callLog(),
              (Strings{"createView:a", "createView:b", "setWebViewFrame:main", "setWebViewLayer:main", "createView:c",
                       "closeView:b", "closeView:a", "setWebViewFrame:main", "setWebViewLayer:main"}));
    EXPECT_EQ(test.callsTo(PlatformSlot::setWebViewLayer).back().args, "window=1 label=main layer=1");
    EXPECT_TRUE(runtime->views.empty());
    EXPECT_TRUE(runtime->shellViews.empty());
    const RuntimeWindow& window = runtime->windows[0];
    EXPECT_FALSE(window.mainWebViewFrameSet);
    EXPECT_EQ(window.mainWebViewLayer, 1);
}

TEST_F(ShellViews, AFullShellTableFailsAfterCreatingAndClosesTheViewsAgain) {
    for (std::uint64_t id = 10; id < 26; ++id) runtime->shellViews.pushDefault()->windowId = id;
    const ShellViewSpec specs[] = {spec("a", ViewKind::toolbar, ShellEdge::top), spec("b", ViewKind::button)};
    EXPECT_EQ(errorOf(createShell(specs)), Error::WindowLimitReached);
    EXPECT_EQ(callLog(), (Strings{"createView:a", "createView:b", "closeView:b", "closeView:a"}));
    EXPECT_TRUE(runtime->views.empty());
    EXPECT_EQ(runtime->shellViews.size(), 16u);
}

TEST_F(ShellViews, RelayoutMovesTheViewsItMadeAndSkipsViewsThePageClosed) {
    ShellViewSpec web = spec("main", ViewKind::webview);
    web.fill = true;
    const ShellViewSpec specs[] = {spec("bar", ViewKind::toolbar, ShellEdge::top),
                                   spec("status", ViewKind::statusbar, ShellEdge::bottom), web};
    ASSERT_TRUE(createShell(specs));
    ASSERT_TRUE(closeView(*runtime, 1, "bar"));
    runtime->windows[0].frame = RectF{0, 0, 1000, 700};
    SurfaceResizedEvent metrics;
    metrics.windowId = 1;
    metrics.width = 1000;
    metrics.height = 700;
    metrics.safeArea = EdgeInsets{10, 0, 0, 0};
    recordSurfaceMetrics(*runtime, metrics);
    test.clearCalls();
    ASSERT_TRUE(relayoutShellViews(*runtime, 1));
    EXPECT_EQ(callLog(), (Strings{"updateView:status", "setWebViewFrame:main", "setWebViewLayer:main"}));
    EXPECT_EQ(test.lastCall(PlatformSlot::updateView)->args, "window=1 label=status frame=0,672,1000,28 layer=0");
    EXPECT_EQ(runtime->windows[0].mainWebViewFrame, (RectF{0, 58, 1000, 614}));
    // A window without a shell has nothing to lay out.
    EXPECT_TRUE(relayoutShellViews(*runtime, 3));
}

TEST_F(ShellViews, ARelayoutFailureIsTracedWithTheWindowId) {
    testing::TraceCapture capture;
    capture.attach(*runtime);
    const ShellViewSpec specs[] = {spec("bar", ViewKind::toolbar, ShellEdge::top)};
    ASSERT_TRUE(createShell(specs));
    test.failSlot(PlatformSlot::updateView, Error::InvalidViewOptions, 1);
    relayoutShellViewsOrTrace(*runtime, 1);
    EXPECT_EQ(
        capture.lines,
        (Strings{
            R"({"timestamp_ns":0,"level":"info","kind":"event","name":"shell.relayout_failed","message":"InvalidViewOptions","fields":{"window_id":1}})"}));
    relayoutShellViewsOrTrace(*runtime, 1);
    EXPECT_EQ(capture.lines.size(), 1u);
}

TEST_F(ShellViews, RemovingAWindowsRuntimeViewsTouchesOnlyThatWindow) {
    testing::addWindow(*runtime, 2, "other");
    ShellViewSpec split = spec("split", ViewKind::split);
    split.fill = true;
    ShellViewSpec web = spec("main", ViewKind::webview);
    web.parent = "split";
    web.fill = true;
    const ShellViewSpec specs[] = {split, web, spec("side", ViewKind::sidebar, ShellEdge::left)};
    ASSERT_TRUE(createShell(specs));
    create(webView("panel"));
    testing::addViewRecord(*runtime, 2, "kept");
    testing::addWebViewRecord(*runtime, 2, "kept-web");
    runtime->shellViews.pushDefault()->windowId = 2;
    test.clearCalls();
    removeWindowRuntimeViews(*runtime, 1);
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(viewLabels(), (Strings{"kept"}));
    EXPECT_EQ(webViewLabels(), (Strings{"kept-web"}));
    ASSERT_EQ(runtime->shellViews.size(), 1u);
    EXPECT_EQ(runtime->shellViews[0].windowId, 2u);
    EXPECT_FALSE(runtime->windows[0].mainWebViewParent.present);
}

}  // namespace
}  // namespace kelvo
