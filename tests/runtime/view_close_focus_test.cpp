#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_focus.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

using testing::addViewRecord;
using testing::addWindow;
using testing::errorOf;
using testing::Strings;

class CloseView : public testing::ViewScenario {
protected:
    // A toolbar holding a web view that holds a button and a nested web view, beside a sidebar.
    void buildTree() {
        create(view("toolbar", ViewKind::toolbar, std::nullopt, {0, 0, 800, 48}));
        create(webView("search", "toolbar", {10, 4, 200, 40}));
        create(view("go", ViewKind::button, "search", {0, 0, 20, 20}));
        create(webView("hint", "go", {0, 0, 100, 20}));
        create(view("sidebar", ViewKind::sidebar, std::nullopt, {0, 48, 240, 552}));
        test.clearCalls();
    }
};

TEST_F(CloseView, ClosesNestedWebViewsDeepestFirstThenTheViewAndRemovesTheWholeTree) {
    buildTree();
    // Closing a web view takes everything nested in it too.
    ASSERT_TRUE(closeView(*runtime, 1, "search"));
    EXPECT_EQ(callLog(), (Strings{"closeWebView:hint", "closeWebView:search"}));
    EXPECT_EQ(viewLabels(), (Strings{"toolbar", "sidebar"}));
    EXPECT_EQ(webViewLabels(), Strings{});

    create(webView("search", "toolbar", {10, 4, 200, 40}));
    create(webView("hint", "search", {0, 0, 100, 20}));
    test.clearCalls();
    ASSERT_TRUE(closeView(*runtime, 1, "toolbar"));
    EXPECT_EQ(callLog(), (Strings{"closeWebView:hint", "closeWebView:search", "closeView:toolbar"}));
    EXPECT_EQ(viewLabels(), (Strings{"sidebar"}));
    EXPECT_EQ(webViewLabels(), Strings{});
}

TEST_F(CloseView, RefusesBadLabels) {
    buildTree();
    EXPECT_EQ(errorOf(closeView(*runtime, 1, "main")), Error::InvalidViewOptions);
    EXPECT_EQ(errorOf(closeView(*runtime, 1, std::string(65, 'x'))), Error::ViewLabelTooLarge);
    EXPECT_EQ(errorOf(closeView(*runtime, 1, "ghost")), Error::ViewNotFound);
    EXPECT_EQ(errorOf(closeView(*runtime, 5, "toolbar")), Error::WindowNotFound);
    emptySlot(PlatformSlot::closeWebView);
    EXPECT_EQ(errorOf(closeView(*runtime, 1, "search")), Error::UnsupportedService);
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(viewLabels().size(), 3u);
}

TEST_F(CloseView, AFailureClosingTheViewItselfKeepsItButDropsTheWebViewsAlreadyClosed) {
    buildTree();
    test.failSlot(PlatformSlot::closeView, Error::ViewNotFound);
    EXPECT_EQ(errorOf(closeView(*runtime, 1, "toolbar")), Error::ViewNotFound);
    EXPECT_EQ(callLog(), (Strings{"closeWebView:hint", "closeWebView:search", "closeView:toolbar"}));
    EXPECT_EQ(viewLabels(), (Strings{"toolbar", "sidebar"}));
    EXPECT_EQ(webViewLabels(), Strings{});

    // Retrying finds nothing left below the toolbar and closes it.
    test.clearFailures();
    test.clearCalls();
    ASSERT_TRUE(closeView(*runtime, 1, "toolbar"));
    EXPECT_EQ(callLog(), (Strings{"closeView:toolbar"}));
    EXPECT_EQ(viewLabels(), (Strings{"sidebar"}));
}

TEST_F(CloseView, AWebViewThePlatformNoLongerKnowsCountsAsClosed) {
    buildTree();
    test.failSlot(PlatformSlot::closeWebView, Error::WebViewNotFound, 1);
    ASSERT_TRUE(closeView(*runtime, 1, "toolbar"));
    EXPECT_EQ(viewLabels(), (Strings{"sidebar"}));

    create(webView("a"));
    create(webView("b", "a", {1, 1, 10, 10}));
    test.failSlot(PlatformSlot::closeWebView, Error::CloseFailed, 1);
    EXPECT_EQ(errorOf(closeView(*runtime, 1, "a")), Error::CloseFailed);
    EXPECT_EQ(webViewLabels(), (Strings{"a", "b"}));
}

TEST_F(CloseView, TheFocusMovesOnlyWhenItWasInsideTheClosedTree) {
    buildTree();
    ASSERT_TRUE(focusView(*runtime, 1, "go"));
    ASSERT_TRUE(closeView(*runtime, 1, "sidebar"));
    EXPECT_EQ(focusedLabels(), "go");
    test.clearCalls();
    ASSERT_TRUE(closeView(*runtime, 1, "toolbar"));
    EXPECT_EQ(callLog(), (Strings{"closeWebView:hint", "closeWebView:search", "closeView:toolbar", "focusView:main"}));
    EXPECT_EQ(focusedLabels(), "main");

    // Without a source the window has no main entry: nothing is left to focus, every flag clears.
    create(view("only"));
    ASSERT_TRUE(focusView(*runtime, 1, "only"));
    runtime->windows[0].hasSource = false;
    runtime->windows[0].mainWebViewFocused = true;
    ASSERT_TRUE(closeView(*runtime, 1, "only"));
    EXPECT_EQ(focusedLabels(), "");
}

class ViewFocus : public testing::ViewScenario {
protected:
    void SetUp() override {
        ViewScenario::SetUp();
        runtime->windows[0].mainWebViewFocused = false;
        create(view("A"));
        create(view("B"));
        create(webView("W"));
        test.clearCalls();
    }
    std::string next(bool backwards = false) {
        Result<std::optional<ViewInfo>> entry = focusAdjacentView(*runtime, 1, backwards);
        EXPECT_TRUE(entry);
        if (!entry || !*entry) return "none";
        EXPECT_TRUE((*entry)->focused);
        return std::string((*entry)->label);
    }
};

TEST_F(ViewFocus, NextAndPreviousCycleThroughTheCandidatesInListOrder) {
    EXPECT_EQ(next(true), "W");
    EXPECT_EQ(focusedLabels(), "W");
    EXPECT_EQ(next(), "main");
    EXPECT_EQ(next(), "A");
    EXPECT_EQ(next(), "B");
    EXPECT_EQ(next(), "W");
    EXPECT_EQ(next(), "main");
    EXPECT_EQ(next(true), "W");
    EXPECT_EQ(next(true), "B");
    EXPECT_EQ(callLog().size(), 8u);

    runtime->views[0].visible = false;
    runtime->views[1].enabled = false;
    // The focused B is no candidate any more: next starts from the first candidate.
    EXPECT_EQ(next(), "main");
    EXPECT_EQ(next(), "W");
    EXPECT_EQ(next(), "main");
}

TEST_F(ViewFocus, AWindowWithoutCandidatesAnswersNoEntry) {
    runtime->windows[0].hasSource = false;
    runtime->views[0].visible = false;
    runtime->views[1].visible = false;
    runtime->webViews.clear();
    test.clearCalls();
    EXPECT_EQ(next(), "none");
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(errorOf(focusAdjacentView(*runtime, 4, false)), Error::WindowNotFound);
}

TEST_F(ViewFocus, FocusingSetsExactlyOneFlagOfTheWindow) {
    ASSERT_TRUE(focusView(*runtime, 1, "A"));
    EXPECT_EQ(focusedLabels(), "A");
    ASSERT_TRUE(focusView(*runtime, 1, "W"));
    EXPECT_EQ(focusedLabels(), "W");
    ASSERT_TRUE(focusView(*runtime, 1, "main"));
    EXPECT_EQ(focusedLabels(), "main");
    EXPECT_EQ(callLog(), (Strings{"focusView:A", "focusView:W", "focusView:main"}));
    EXPECT_TRUE(runtime->stateDirty);

    test.failSlot(PlatformSlot::focusView, Error::UnsupportedViewFocus, 1);
    EXPECT_EQ(errorOf(focusView(*runtime, 1, "B")), Error::UnsupportedViewFocus);
    EXPECT_EQ(focusedLabels(), "main");
    EXPECT_EQ(errorOf(focusView(*runtime, 1, "ghost")), Error::ViewNotFound);
    EXPECT_EQ(errorOf(focusView(*runtime, 1, "")), Error::InvalidViewOptions);
    EXPECT_EQ(errorOf(focusView(*runtime, 1, std::string(65, 'x'))), Error::ViewLabelTooLarge);
    emptySlot(PlatformSlot::focusView);
    EXPECT_EQ(errorOf(focusView(*runtime, 1, "B")), Error::UnsupportedViewFocus);
    runtime->windows[0].open = false;
    EXPECT_EQ(errorOf(focusView(*runtime, 1, "A")), Error::WindowNotFound);
    runtime->windows[0].open = true;
    test.fillSlot(PlatformSlot::focusView);
    runtime->platform = test.platform();

    // A canvas whose focused widget loses the focus and cannot be published: the error comes
    // after every flag is set.
    create(gpuSurface("C"));
    ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, 2, "text_field id=5 rect=0,0,100,20\n"));
    runtime->views[2].canvas.interaction.focusedWidget = 5;
    ASSERT_TRUE(focusView(*runtime, 1, "C"));
    test.failSlot(PlatformSlot::updateWidgetAccessibility, Error::CreateFailed);
    EXPECT_EQ(errorOf(focusView(*runtime, 1, "W")), Error::CreateFailed);
    EXPECT_EQ(focusedLabels(), "W");
}

TEST_F(ViewFocus, EnsureFocusableLeavesAFocusedCandidateFocusesTheFirstOrClears) {
    ASSERT_TRUE(focusView(*runtime, 1, "B"));
    test.clearCalls();
    ensureFocusableViewFocused(*runtime, 1);
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(focusedLabels(), "B");

    runtime->views[1].visible = false;
    ensureFocusableViewFocused(*runtime, 1);
    EXPECT_EQ(focusedLabels(), "main");

    runtime->windows[0].hasSource = false;
    runtime->views[0].enabled = false;
    runtime->webViews.clear();
    ensureFocusableViewFocused(*runtime, 1);
    EXPECT_EQ(focusedLabels(), "");
    EXPECT_EQ(callLog(), (Strings{"focusView:main"}));
}

TEST_F(ViewFocus, FlagsOfOtherWindowsAreNeverTouched) {
    addWindow(*runtime, 2, "second");
    addViewRecord(*runtime, 2, "A").focused = true;
    ASSERT_TRUE(focusView(*runtime, 1, "A"));
    clearFocusedView(*runtime, 1);
    EXPECT_EQ(focusedLabels(1), "");
    EXPECT_EQ(focusedLabels(2), "A");
}

}  // namespace
}  // namespace kelvo
