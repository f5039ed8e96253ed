#include "runtime/windows/startup_windows.hpp"
#include "trace_capture.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

using testing::errorOf;
using testing::Strings;

class StartupWindows : public testing::ViewScenario {
protected:
    void SetUp() override {
        runtime->platform = test.platform();
        capture.attach(*runtime);
        mainWindow.id = 1;
        mainWindow.label = "main";
        mainWindow.title = "Vostra Studio";
        mainWindow.frame = RectF{0, 0, 1280, 820};
        runtime->appConfig.appName = "Vostra Studio";
        runtime->appConfig.mainWindow = mainWindow;
        binding.defaultSource =
            WindowSource{"vexa://app", WindowAssets{"/bundle/frontend/dist", "index.html", "vexa://app", false},
                         WindowSourceKind::assets};
    }

    Status load() { return loadStartupWindows(*runtime, binding); }

    WindowConfig mainWindow;
    AppBinding binding;
    testing::TraceCapture capture;
};

TEST_F(StartupWindows, WithoutAListTheMainWindowIsLoadedButNotCreated) {
    ASSERT_TRUE(load());
    EXPECT_EQ(callLog(), (Strings{"loadWindowWebView:"}));
    ASSERT_EQ(runtime->windows.size(), 1u);
    const RuntimeWindow& window = runtime->windows[0];
    EXPECT_EQ(window.id, 1u);
    EXPECT_EQ(window.label.view(), "main");
    EXPECT_EQ(window.title.view(), "Vostra Studio");
    EXPECT_EQ(window.frame, (RectF{0, 0, 1280, 820}));
    EXPECT_EQ(window.mainWebViewFrame, (RectF{0, 0, 1280, 820}));
    EXPECT_TRUE(window.usesAppSource);
    EXPECT_EQ(window.source.get(), binding.defaultSource);
    EXPECT_TRUE(runtime->appSourcePresent);
    EXPECT_EQ(runtime->nextWindowId, 2u);
    EXPECT_EQ(
        capture.lines,
        (Strings{
            R"({"timestamp_ns":0,"level":"info","kind":"event","name":"webview.load","message":"loaded webview source","fields":{"kind":"assets","bytes":10}})"}));
}

TEST_F(StartupWindows, LaterWindowsAreCreatedWithResolvedIdsLabelsAndTitles) {
    WindowConfig second;
    second.id = 1;  // only the first window can be window 1
    second.frame = RectF{50, 50, 400, 300};
    WindowConfig third;
    third.id = 0;
    third.label = "inspector";
    third.title = "Inspector";
    const WindowConfig list[] = {mainWindow, second, third};
    runtime->appConfig.windows = list;
    runtime->appConfig.windowTitle = "Configured";
    ASSERT_TRUE(load());
    EXPECT_EQ(callLog(), (Strings{"loadWindowWebView:", "createWindow:window",
                                  "loadWindowWebView:", "createWindow:inspector", "loadWindowWebView:"}));
    const auto created = test.callsTo(PlatformSlot::createWindow);
    EXPECT_EQ(created[0].args.substr(0, 47), "id=2 label=window title=Configured frame=50,50,");
    EXPECT_EQ(created[1].args.substr(0, 37), "id=3 label=inspector title=Inspector ");
    EXPECT_EQ(runtime->windows[1].frame, (RectF{50, 50, 400, 300}));
    EXPECT_EQ(runtime->nextWindowId, 4u);
}

TEST_F(StartupWindows, AnExistingRecordKeepsItsPlaceAndRestoresItsMainWebView) {
    ASSERT_TRUE(reserveWindow(*runtime, 1, "restored", "Restored", std::nullopt, false));
    RuntimeWindow& window = runtime->windows[0];
    window.frame = RectF{5, 6, 700, 500};
    window.mainWebViewZoom = 1.5;
    window.mainWebViewLayer = 2;
    window.mainWebViewFrame = RectF{0, 40, 700, 460};
    window.mainWebViewFrameSet = true;
    ASSERT_TRUE(load());
    EXPECT_EQ(callLog(),
              (Strings{"loadWindowWebView:", "setWebViewFrame:main", "setWebViewLayer:main", "setWebViewZoom:main"}));
    EXPECT_EQ(test.lastCall(PlatformSlot::setWebViewZoom)->args, "window=1 label=main zoom=1.5");
    EXPECT_EQ(window.label.view(), "restored");
    EXPECT_EQ(window.frame, (RectF{5, 6, 700, 500}));
    EXPECT_TRUE(window.hasSource && window.usesAppSource);

    window.mainWebViewZoom = 1.0;
    window.mainWebViewLayer = 0;
    window.mainWebViewFrameSet = false;
    test.clearCalls();
    ASSERT_TRUE(load());
    EXPECT_EQ(callLog(), (Strings{"loadWindowWebView:"}));
}

TEST_F(StartupWindows, RefusalsStopBeforeAnyWindowIsTouched) {
    const std::string big(65537, 'x');
    binding.defaultSource = WindowSource{big, std::nullopt, WindowSourceKind::html};
    EXPECT_EQ(errorOf(load()), Error::WindowSourceTooLarge);
    EXPECT_TRUE(runtime->windows.empty());

    binding.defaultSource = WindowSource{"<p>hi</p>", std::nullopt, WindowSourceKind::html};
    WindowConfig sameLabel;
    sameLabel.id = 7;
    sameLabel.label = "main";
    const WindowConfig sameId[] = {mainWindow, WindowConfig{2, "a"}, WindowConfig{2, "b"}};
    runtime->appConfig.windows = sameId;
    EXPECT_EQ(errorOf(load()), Error::DuplicateWindowId);
    const WindowConfig sameLabels[] = {mainWindow, sameLabel};
    runtime->appConfig.windows = sameLabels;
    EXPECT_EQ(errorOf(load()), Error::DuplicateWindowLabel);
    EXPECT_TRUE(runtime->windows.empty());
    EXPECT_EQ(test.calls().size(), 0u);

    runtime->appConfig.windows = {};
    runtime->webViewLayer = false;
    EXPECT_EQ(errorOf(load()), Error::WebViewLayerNotBuilt);
}

TEST_F(StartupWindows, TheSourceCallbackIsAskedAndItsErrorReturned) {
    static int asked = 0;
    binding.sourceCallback = [](void*) -> Result<WindowSource> {
        ++asked;
        return WindowSource{"http://127.0.0.1:5173/", std::nullopt, WindowSourceKind::url};
    };
    ASSERT_TRUE(load());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(
        capture.lines.back(),
        R"({"timestamp_ns":0,"level":"info","kind":"event","name":"webview.load","message":"loaded webview source","fields":{"kind":"url","bytes":22}})");
    binding.sourceCallback = [](void*) -> Result<WindowSource> { return fail(Error::AccessDenied); };
    EXPECT_EQ(errorOf(load()), Error::AccessDenied);
}

TEST_F(StartupWindows, MissingSlotsAndPlatformFailuresAreReturned) {
    const WindowConfig list[] = {mainWindow, WindowConfig{2, "second"}};
    runtime->appConfig.windows = list;
    test.failSlot(PlatformSlot::createWindow, Error::CreateFailed, 1);
    EXPECT_EQ(errorOf(load()), Error::CreateFailed);
    // What was done before the failure stays done.
    EXPECT_EQ(runtime->windows.size(), 2u);
    runtime->windows.clear();
    emptySlot(PlatformSlot::loadWindowWebView);
    EXPECT_EQ(errorOf(load()), Error::UnsupportedService);
    EXPECT_EQ(test.callCount(PlatformSlot::loadWebView), 1u);

    capture.refuse = true;
    runtime->appConfig.windows = {};
    runtime->windows.clear();
    ASSERT_TRUE(load());
    EXPECT_EQ(runtime->trace.droppedRecords, 1u);
}

}  // namespace
}  // namespace kelvo
