#include "runtime/windows/shell_views.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/windows/shell_views_table.hpp"
#include "runtime/windows/window_close.hpp"
#include "trace_capture.hpp"
#include "view_scenario.hpp"

// Descriptions are written with designated initializers that name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kelvo {
namespace {

using testing::cat;

using testing::errorOf;
using testing::Strings;

using K = ViewKind;
using E = ShellEdge;

class ShellViews : public testing::ViewScenario {
protected:
    Status createShell(std::span<const ShellViewDescription> descriptions) {
        return createShellViews(*runtime, 1, descriptions, windowContentRect(*runtime, 1));
    }
};

TEST_F(ShellViews, CreatesTheViewsAndPlacesTheMainWebViewInTheContentArea) {
    const ShellViewDescription descriptions[] = {
        {.label = "toolbar", .kind = K::toolbar, .command = "tool.run", .role = "Toolbar", .dock = E::top},
        {.label = "save", .parent = "toolbar", .kind = K::button, .text = "Save"},
        {.label = "side", .kind = K::sidebar, .dock = E::left},
        {.label = "main", .kind = K::webview, .fill = true, .layer = 3},
        {.label = "canvas", .parent = "side", .kind = K::gpu_surface, .width = 200, .height = 100}};
    ASSERT_TRUE(createShell(descriptions));
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
    EXPECT_EQ(gpu.gpu.backend, GpuBackend::metal);
    EXPECT_EQ(gpu.gpuStatus, GpuSurfaceStatus::ready);
    EXPECT_EQ(gpu.frame, (RectF{8, 226, 200, 100}));
    const RuntimeWindow& window = runtime->windows[0];
    EXPECT_EQ(window.mainWebViewFrame, (RectF{240, 48, 560, 552}));
    EXPECT_EQ(window.mainWebViewLayer, 3);
    EXPECT_FALSE(window.mainWebViewParent.present);
    ASSERT_EQ(runtime->shellViews.size(), 1u);
    EXPECT_EQ(runtime->shellViews[0].count, 5u);
    EXPECT_EQ(runtime->shellViews[0].descriptions[1].parent.get(), std::optional<std::string_view>("toolbar"));
}

TEST_F(ShellViews, AMainDescriptionWithAParentRecordsTheParent) {
    const ShellViewDescription descriptions[] = {
        {.label = "split", .kind = K::split, .fill = true},
        {.label = "main", .parent = "split", .kind = K::webview, .fill = true}};
    ASSERT_TRUE(createShell(descriptions));
    EXPECT_EQ(runtime->windows[0].mainWebViewParent.get(), std::optional<std::string_view>("split"));
    EXPECT_EQ(runtime->windows[0].mainWebViewFrame, (RectF{0, 0, 800, 600}));
}

TEST_F(ShellViews, RefusesTakenLabelsAndFullTablesBeforeCreatingAnything) {
    create(view("taken"));
    create(webView("web"));
    test.clearCalls();
    std::vector<std::string> labels;
    for (int i = 0; i < 32; ++i) labels.push_back(cat("v", i));
    std::vector<ShellViewDescription> many;
    for (const std::string& label : labels) many.push_back({.label = label, .kind = K::button});
    const ShellViewDescription taken[] = {{.label = "taken"}};
    const std::vector<std::pair<std::vector<ShellViewDescription>, Error>> cases = {
        {{{.label = "main"}}, Error::DuplicateViewLabel},
        {{{.label = "taken"}}, Error::DuplicateViewLabel},
        {{{.label = "web", .kind = K::button}}, Error::DuplicateViewLabel},
        {{{.label = "a", .kind = K::button}, {.label = "a", .kind = K::label}}, Error::DuplicateViewLabel},
        {many, Error::ViewLimitReached},
        {std::vector<ShellViewDescription>(kMaxShellViews + 1, {.label = "x", .kind = K::button}),
         Error::ViewLimitReached},
    };
    for (const auto& [descriptions, error] : cases)
        EXPECT_EQ(errorOf(createShell(descriptions)), error) << descriptions[0].label;
    EXPECT_EQ(errorOf(createShellViews(*runtime, 9, taken, {})), Error::WindowNotFound);
    EXPECT_EQ(test.calls().size(), 0u);
}

TEST_F(ShellViews, AFailedCreationClosesWhatItMadeNewestFirstAndRestoresTheMainWebView) {
    runtime->windows[0].mainWebViewLayer = 1;
    const ShellViewDescription descriptions[] = {{.label = "a", .dock = E::top},
                                                 {.label = "b", .kind = K::statusbar, .dock = E::bottom},
                                                 {.label = "main", .kind = K::webview, .fill = true, .layer = 5},
                                                 {.label = "c", .kind = K::button},
                                                 {.label = "d", .kind = K::button}};
    // The view after "b" (that is "c") fails.
    test.onCall(PlatformSlot::createView, [this](const TestPlatform::Call& call) {
        if (call.label == "b") test.failSlot(PlatformSlot::createView, Error::CreateFailed, 1);
    });
    EXPECT_EQ(errorOf(createShell(descriptions)), Error::CreateFailed);
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
    const ShellViewDescription descriptions[] = {{.label = "a", .dock = E::top}, {.label = "b", .kind = K::button}};
    EXPECT_EQ(errorOf(createShell(descriptions)), Error::WindowLimitReached);
    EXPECT_EQ(callLog(), (Strings{"createView:a", "createView:b", "closeView:b", "closeView:a"}));
    EXPECT_TRUE(runtime->views.empty());
    EXPECT_EQ(runtime->shellViews.size(), 16u);
}

TEST_F(ShellViews, RelayoutMovesTheViewsItMadeAndSkipsViewsThePageClosed) {
    const ShellViewDescription descriptions[] = {{.label = "bar", .dock = E::top},
                                                 {.label = "status", .kind = K::statusbar, .dock = E::bottom},
                                                 {.label = "main", .kind = K::webview, .fill = true}};
    ASSERT_TRUE(createShell(descriptions));
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
    const ShellViewDescription descriptions[] = {{.label = "bar", .dock = E::top}};
    ASSERT_TRUE(createShell(descriptions));
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
    const ShellViewDescription descriptions[] = {{.label = "split", .kind = K::split, .fill = true},
                                                 {.label = "main", .parent = "split", .kind = K::webview, .fill = true},
                                                 {.label = "side", .kind = K::sidebar, .dock = E::left}};
    ASSERT_TRUE(createShell(descriptions));
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
