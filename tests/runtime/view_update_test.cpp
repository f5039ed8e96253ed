#include <limits>

#include "runtime/views/view_focus.hpp"
#include "runtime/views/view_geometry.hpp"
#include "runtime/views/view_update.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

using testing::errorOf;
using testing::Strings;

class UpdateView : public testing::ViewScenario {
protected:
    static ViewUpdate frameUpdate(RectF frame) {
        ViewUpdate update;
        update.frame = frame;
        return update;
    }
};

TEST_F(UpdateView, RefusesBadUpdatesAndChangesNothing) {
    create(view("button"));
    create(webView("web"));
    test.clearCalls();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        std::string label;
        ViewUpdate update;
        Error expected;
    };
    auto make = [](auto change) {
        ViewUpdate update;
        change(update);
        return update;
    };
    const std::vector<Case> cases = {
        {"empty label", "", {}, Error::InvalidViewOptions},
        {"label of 65 bytes", std::string(65, 'l'), {}, Error::ViewLabelTooLarge},
        {"negative frame", "button", frameUpdate({-1, 0, 1, 1}), Error::InvalidViewOptions},
        {"role of 65 bytes", "button", make([](ViewUpdate& u) {
             u.role = std::string_view("rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr");
         }),
         Error::ViewRoleTooLarge},
        {"bad command", "button", make([](ViewUpdate& u) { u.command = "a\tb"; }), Error::InvalidCommand},
        {"url for a view", "button", make([](ViewUpdate& u) { u.url = "vexa://app"; }), Error::InvalidViewOptions},
        {"url for nothing", "ghost", make([](ViewUpdate& u) { u.url = "vexa://app"; }), Error::InvalidViewOptions},
        {"unknown label", "ghost", {}, Error::ViewNotFound},
        {"visibility of a web view", "web", make([](ViewUpdate& u) { u.visible = false; }), Error::InvalidViewOptions},
        {"text of main", "main", make([](ViewUpdate& u) { u.text = "x"; }), Error::InvalidViewOptions},
        {"url of main", "main", make([](ViewUpdate& u) { u.url = "vexa://app"; }), Error::InvalidViewOptions},
        {"web view of width 0", "web", frameUpdate({0, 0, 0, 10}), Error::InvalidWebViewOptions},
        {"web view of NaN x", "web", frameUpdate({nan, 0, 10, 10}), Error::InvalidWebViewOptions},
        {"view of NaN height", "button", frameUpdate({0, 0, 10, nan}), Error::InvalidViewOptions},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(updateView(*runtime, 1, c.label, c.update)), c.expected) << c.name;
    }
    EXPECT_EQ(errorOf(updateView(*runtime, 7, "button", {})), Error::WindowNotFound);
    EXPECT_EQ(test.calls().size(), 0u);
    EXPECT_EQ(runtime->views[0].frame, (RectF{0, 0, 50, 20}));
    EXPECT_EQ(runtime->webViews[0].frame, (RectF{0, 0, 300, 200}));
}

TEST_F(UpdateView, AViewTakesEveryGivenFieldAfterThePlatformDid) {
    ViewOptions options = view("field", ViewKind::text_field);
    options.command = "find";
    options.text = "old";
    create(options);
    runtime->dirtyRegions.clear();
    ViewUpdate update;
    update.text = "new";
    update.command = "";
    update.layer = 4;
    update.enabled = false;
    Result<ViewInfo> info = updateView(*runtime, 1, "field", update);
    ASSERT_TRUE(info);
    EXPECT_EQ(test.lastCall(PlatformSlot::updateView)->args,
              "window=1 label=field text=new command= layer=4 enabled=0");
    EXPECT_EQ(info->text, "new");
    EXPECT_TRUE(info->command.empty());
    EXPECT_EQ(info->layer, 4);
    EXPECT_FALSE(info->enabled);
    // A visibility-only style change marks the state dirty but adds no dirty region.
    EXPECT_TRUE(runtime->stateDirty);
    EXPECT_TRUE(runtime->dirtyRegions.empty());

    test.failSlot(PlatformSlot::updateView, Error::ViewNotFound);
    EXPECT_EQ(errorOf(updateView(*runtime, 1, "field", frameUpdate({1, 1, 1, 1}))), Error::ViewNotFound);
    EXPECT_EQ(runtime->views[0].frame, (RectF{0, 0, 50, 20}));
    emptySlot(PlatformSlot::updateView);
    EXPECT_EQ(errorOf(updateView(*runtime, 1, "field", {})), Error::UnsupportedViewKind);
}

TEST_F(UpdateView, MovingAViewMovesEveryWebViewNestedBelowItParentsFirst) {
    create(view("sidebar", ViewKind::sidebar, std::nullopt, {0, 0, 240, 600}));
    create(webView("outer", "sidebar", {10, 10, 200, 300}));
    create(view("box", ViewKind::stack, "outer", {5, 5, 100, 100}));
    create(webView("deep", "box", {1, 2, 50, 50}));
    create(webView("inner", "outer", {20, 30, 100, 100}));
    create(webView("free", std::nullopt, {0, 0, 10, 10}));
    test.clearCalls();
    ASSERT_TRUE(updateView(*runtime, 1, "sidebar", frameUpdate({100, 40, 240, 560})));
    EXPECT_EQ(callLog(), (Strings{"updateView:sidebar", "setWebViewFrame:outer", "setWebViewFrame:deep",
                                  "setWebViewFrame:inner"}));
    const auto frames = test.callsTo(PlatformSlot::setWebViewFrame);
    EXPECT_NE(frames[0].args.find("frame=110,50,200,300"), std::string::npos);
    EXPECT_NE(frames[1].args.find("frame=116,57,50,50"), std::string::npos);
    EXPECT_NE(frames[2].args.find("frame=130,80,100,100"), std::string::npos);
    EXPECT_EQ(runtime->webViews[1].frame, (RectF{116, 57, 50, 50}));
    EXPECT_EQ(runtime->webViews[1].localFrame, (RectF{1, 2, 50, 50}));
    EXPECT_EQ(runtime->dirtyRegions.back(), (RectF{100, 40, 240, 560}));
}

TEST_F(UpdateView, AChildWebViewMovesReLayersAndNavigatesInOrder) {
    create(view("panel", ViewKind::stack, std::nullopt, {50, 60, 400, 400}));
    create(webView("web", "panel", {10, 10, 100, 100}));
    test.clearCalls();
    ViewUpdate update = frameUpdate({20, 20, 120, 90});
    update.layer = 2;
    update.url = "vexa://app/other.html";
    Result<ViewInfo> info = updateView(*runtime, 1, "web", update);
    ASSERT_TRUE(info);
    EXPECT_EQ(callLog(), (Strings{"setWebViewFrame:web", "setWebViewLayer:web", "navigateWebView:web"}));
    EXPECT_EQ(info->frame, (RectF{70, 80, 120, 90}));
    EXPECT_EQ(info->url, "vexa://app/other.html");
    EXPECT_EQ(runtime->webViews[0].localFrame, (RectF{20, 20, 120, 90}));

    // A refused address is found after the move: the web view has moved, and keeps its old address.
    test.clearCalls();
    update = frameUpdate({0, 0, 50, 50});
    update.url = "https://elsewhere.test/";
    EXPECT_EQ(errorOf(updateView(*runtime, 1, "web", update)), Error::NavigationDenied);
    EXPECT_EQ(callLog(), (Strings{"setWebViewFrame:web"}));
    EXPECT_EQ(runtime->webViews[0].frame, (RectF{50, 60, 50, 50}));
    EXPECT_EQ(runtime->webViews[0].url.view(), "vexa://app/other.html");

    emptySlot(PlatformSlot::navigateWebView);
    update = ViewUpdate{};
    update.url = "vexa://app/third.html";
    EXPECT_EQ(errorOf(updateView(*runtime, 1, "web", update)), Error::UnsupportedService);
}

TEST_F(UpdateView, TheMainWebViewOfAWindowWithoutASourceIsOnlyStored) {
    runtime->windows[0].hasSource = false;
    create(webView("child", "main", {10, 10, 50, 50}));
    test.clearCalls();
    ViewUpdate update = frameUpdate({0, 48, 800, 552});
    update.layer = -1;
    Result<ViewInfo> info = updateView(*runtime, 1, "main", update);
    ASSERT_TRUE(info);
    // Only the nested web view moves on the platform.
    EXPECT_EQ(callLog(), (Strings{"setWebViewFrame:child"}));
    EXPECT_EQ(info->label, "main");
    EXPECT_EQ(info->frame, (RectF{0, 48, 800, 552}));
    EXPECT_EQ(info->layer, -1);
    EXPECT_EQ(*absoluteViewFrame(*runtime, 1, "main"), (RectF{0, 48, 800, 552}));
    EXPECT_EQ(runtime->webViews[0].frame, (RectF{10, 58, 50, 50}));

    runtime->windows[0].hasSource = true;
    test.clearCalls();
    ASSERT_TRUE(updateView(*runtime, 1, "main", update));
    EXPECT_EQ(callLog(), (Strings{"setWebViewFrame:main", "setWebViewFrame:child", "setWebViewLayer:main"}));
}

TEST_F(UpdateView, HidingOrDisablingTheFocusedViewMovesTheFocus) {
    create(view("find", ViewKind::text_field));
    create(view("other", ViewKind::button));
    ASSERT_TRUE(focusView(*runtime, 1, "find"));
    test.clearCalls();
    ViewUpdate disable;
    disable.enabled = false;
    ASSERT_TRUE(updateView(*runtime, 1, "other", disable));
    EXPECT_EQ(callLog(), (Strings{"updateView:other"}));
    EXPECT_EQ(focusedLabels(), "find");

    ASSERT_TRUE(updateView(*runtime, 1, "find", disable));
    EXPECT_EQ(callLog(), (Strings{"updateView:other", "updateView:find", "focusView:main"}));
    EXPECT_EQ(focusedLabels(), "main");
}

}  // namespace
}  // namespace kelvo
