#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow_scenario.hpp"
#include "runtime/canvas/widget_actions.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime_fixture.hpp"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;

void createPlainView(FlowScenario& scenario, std::string_view label, ViewKind kind) {
    const RectF frame{0, 0, 200, 100};
    ViewOptions options = testing::canvasOptions(label, frame);
    if (kind != ViewKind::gpu_surface)
        options = ViewOptions{.windowId = 1, .label = label, .frame = frame, .kind = kind};
    ASSERT_TRUE(createView(scenario.runtime(), options));
}

TEST(ContextMenuAction, OnlyTheAnswerToThePendingMenuActsAndEveryAnswerClearsIt) {
    FlowScenario scenario;
    scenario.start();
    createPlainView(scenario, "canvas", ViewKind::toolbar);
    const PendingContextMenu widgetMenu{1, 42, ContextMenuKind::widget, true};
    struct Case {
        PendingContextMenu pending;
        ContextMenuActionEvent answer;
        std::optional<CanvasWidgetContextMenuEvent> expected;
    };
    const std::vector<Case> cases = {
        {widgetMenu, {1, "canvas", 42, 3}, CanvasWidgetContextMenuEvent{1, "canvas", 42, 2}},
        {widgetMenu, {1, "canvas", 41, 3}, std::nullopt},  // another token
        {{}, {1, "canvas", 42, 3}, std::nullopt},          // after the mismatch nothing is pending
        {widgetMenu, {1, "canvas", 42, 0}, std::nullopt},  // closed without a choice
        {widgetMenu, {2, "canvas", 42, 1}, std::nullopt},  // another window
        {widgetMenu, {1, "gone", 42, 1}, std::nullopt},    // the view is gone
        {{1, 42, ContextMenuKind::read_only_text, true}, {1, "canvas", 42, 2}, std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<CanvasWidgetContextMenuEvent> seen;
        scenario.onRuntimeEvent([&](const RuntimeEvent& event) {
            if (const auto* menu = std::get_if<CanvasWidgetContextMenuEvent>(&event)) seen = *menu;
        });
        if (c.pending.present) scenario.runtime().pendingContextMenu = c.pending;
        scenario.runtime().stateDirty = false;
        ASSERT_TRUE(scenario.dispatch(c.answer));
        EXPECT_EQ(seen, c.expected) << c.answer.viewLabel << " token " << c.answer.token << " item " << c.answer.item;
        EXPECT_EQ(scenario.runtime().stateDirty, c.expected.has_value());
        EXPECT_FALSE(scenario.runtime().pendingContextMenu.present);
    }
}

TEST(AccessibilityAction, CodesMapOntoTheWidgetActions) {
    const std::vector<std::pair<std::uint32_t, std::optional<WidgetAction>>> cases = {
        {0, WidgetAction::focus},         {4, WidgetAction::decrement}, {5, WidgetAction::set_text},
        {6, WidgetAction::set_selection}, {7, WidgetAction::select},    {8, WidgetAction::drag},
        {9, WidgetAction::drop_files},    {10, WidgetAction::dismiss},  {11, std::nullopt},
    };
    for (const auto& [code, action] : cases) EXPECT_EQ(widgetActionForAccessibilityCode(code), action) << code;
    AccessibilityActions actions;
    actions.setText = true;
    EXPECT_TRUE(canvasWidgetAccessibilityActionSupported(actions, WidgetAction::commit_composition));
    EXPECT_FALSE(canvasWidgetAccessibilityActionSupported(actions, WidgetAction::drag));
}

TEST(AccessibilityAction, FailuresAreRecordedAndTheDispatchSucceeds) {
    FlowScenario scenario;
    scenario.start();
    createPlainView(scenario, "bar", ViewKind::toolbar);
    createPlainView(scenario, "canvas", ViewKind::gpu_surface);
    const std::string longLabel(65, 'l');
    const std::vector<std::pair<WidgetAccessibilityActionEvent, Error>> cases = {
        {{9, "canvas", 5, "", std::nullopt, 1}, Error::WindowNotFound},
        {{1, "", 5, "", std::nullopt, 1}, Error::InvalidViewOptions},
        {{1, longLabel, 5, "", std::nullopt, 1}, Error::ViewLabelTooLarge},
        {{1, "nothing", 5, "", std::nullopt, 1}, Error::ViewNotFound},
        {{1, "bar", 5, "", std::nullopt, 1}, Error::UnsupportedViewKind},
        {{1, "canvas", 5, "", std::nullopt, 1}, Error::InvalidCommand},  // no such widget or action
        {{1, "canvas", 5, "", std::nullopt, 11}, Error::InvalidCommand},
    };
    for (const auto& [event, error] : cases) {
        ASSERT_TRUE(scenario.dispatch(event));
        EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().error, error) << event.label;
        EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().scope, "widget_accessibility_action");
    }
    const AccessibilityActionValue value{3, 9};
    ASSERT_TRUE(scenario.dispatch(WidgetAccessibilityActionEvent{1, "canvas", 5, "", value, 6}));
    EXPECT_EQ(scenario.runtime().accessibilityActionValue, value);

    scenario.runtime().stopOnHandlerError = true;
    Status stopped = scenario.dispatch(WidgetAccessibilityActionEvent{1, "canvas", 5, "", std::nullopt, 0});
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error(), Error::InvalidCommand);
}

TEST(GpuSurfaceResized, OnlyAChangeMarksTheFrameAndAnUnknownSurfaceIsStillReported) {
    FlowScenario scenario;
    scenario.start();
    createPlainView(scenario, "canvas", ViewKind::gpu_surface);
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    const GpuSurfaceResizedEvent resized{1, "canvas", RectF{10, 20, 300, 200}, 2};
    ASSERT_TRUE(scenario.dispatch(resized));
    const RuntimeView& view = scenario.runtime().views[0];
    EXPECT_EQ(view.gpuWidth, 300.0f);
    EXPECT_EQ(view.gpuScale, 2.0f);
    EXPECT_EQ(view.canvas.surfaceFrame, resized.frame);
    EXPECT_TRUE(view.canvas.fullFrameDue);
    EXPECT_EQ(scenario.runtime().dirtyRegions.size(), 1u);

    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    scenario.clearRecords();
    ASSERT_TRUE(scenario.dispatch(resized));
    ASSERT_TRUE(scenario.dispatch(GpuSurfaceResizedEvent{1, "nowhere", RectF{1, 2, 30, 40}, 2}));
    EXPECT_FALSE(scenario.runtime().stateDirty);
    EXPECT_EQ(scenario.events(), (Lines{"gpu_surface_resized", "gpu_surface_resized"}));
    EXPECT_EQ(scenario.traces().back(),
              R"({"timestamp_ns":1700000000000000000,"level":"info","kind":"event","name":"gpu_surface.resize",)"
              R"("message":"gpu surface resized","fields":{"label":"nowhere","width":30,"height":40,"scale":2}})");
}

TEST(GpuSurfaceEvents, QuietFramesAreNotTracedAndCanvasErrorsAreRecordedUnderTheirKind) {
    FlowScenario scenario;
    scenario.start();
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    scenario.clearRecords();
    GpuSurfaceFrame frame;
    frame.windowId = 1;
    ASSERT_TRUE(scenario.dispatch(frame));
    EXPECT_EQ(scenario.traceNames(), (Lines{"runtime.event"}));  // no "platform.event"

    ASSERT_TRUE(scenario.dispatch(GpuSurfaceScrollDriverEvent{1, "nowhere", 3, 0, 12}));
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().scope, "gpu_surface_scroll_driver");
    scenario.failHandlerFor(RuntimeEventKind::gpu_surface_input);
    ASSERT_TRUE(scenario.dispatch(GpuSurfaceInput{}));
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().scope, "gpu_surface_input");
}

}  // namespace
}  // namespace kelvo
