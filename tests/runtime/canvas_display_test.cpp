// Refreshing canvas views through the runtime on the scripted platform: dirty rectangles, refresh
// batches, the refresh itself (diff, copy, dirty areas, frame requests) and render-state changes.

#include <gtest/gtest.h>

#include "base/env.hpp"
#include "base/memory_io.hpp"
#include "canvas_display_scenario.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/views/view_close.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using testing::errorOf;
using testing::rectText;
using testing::Strings;

constexpr const char* kButtons =
    "column id=1 rect=0,0,320,240\n"
    "  button id=2 rect=10,10,100,30 text=\"Go\"\n"
    "  button id=3 rect=10,60,100,30 text=\"Stop\"\n";

class CanvasDisplay : public testing::CanvasDisplayScenario {};

// Focus (shown) on `focused` and the pointer over `hovered`.
CanvasWidgetRenderState stateOf(std::optional<std::uint64_t> focused, std::optional<std::uint64_t> hovered = {}) {
    CanvasWidgetRenderState state;
    state.focused = state.focus_visible = focused;
    state.hovered = hovered;
    return state;
}

Rect rectFrom(const std::string& text) {
    float v[4] = {};
    std::sscanf(text.c_str(), "%f,%f,%f,%f", &v[0], &v[1], &v[2], &v[3]);
    return {v[0], v[1], v[2], v[3]};
}

TEST_F(CanvasDisplay, DirtyRectanglesAreClippedToTheSurfaceAndPlacedInTheWindow) {
    for (const std::vector<std::string>& row : testing::readTable("runtime/canvas_dirty_rects.txt")) {
        const Rect frame = rectFrom(row.at(0));
        canvas().frame = {frame.x, frame.y, frame.width, frame.height};
        runtime->dirtyRegions.clear();
        runtime->stateDirty = false;
        ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, rectFrom(row.at(1))));
        EXPECT_EQ(dirtyRects(), Strings{row.at(2)}) << row.at(0) << " " << row.at(1);
        EXPECT_TRUE(runtime->stateDirty);
        EXPECT_EQ(runtime->lastChangeSource, ChangeSource::canvas_widget);
    }
}

TEST_F(CanvasDisplay, NineInvalidationsKeepEightAndAnIndexPastTheTableRecordsNothing) {
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {float(i), 0, 1, 1}));
    ASSERT_EQ(dirtyRects().size(), 8u);
    EXPECT_EQ(dirtyRects().back(), "107,50,1,1");

    runtime->dirtyRegions.clear();
    runtime->stateDirty = false;
    runtime->lastChangeSource = ChangeSource::none;
    EXPECT_TRUE(invalidateForCanvasWidgetDirty(*runtime, 1, {0, 0, 10, 10}));
    EXPECT_TRUE(invalidateForCanvasWidgetRenderStateChange(*runtime, 1, {}, stateOf({}, 2)));
    EXPECT_TRUE(dirtyRects().empty());
    EXPECT_FALSE(runtime->stateDirty);
    EXPECT_EQ(runtime->lastChangeSource, ChangeSource::none);
}

TEST_F(CanvasDisplay, AWindowIsListedForPublishingOnce) {
    for (std::uint64_t window : {3, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10}) noteWindowToPublish(*runtime, window);
    EXPECT_EQ(std::vector<std::uint64_t>(runtime->windowsToPublish.begin(), runtime->windowsToPublish.end()),
              (std::vector<std::uint64_t>{3, 1, 2, 4, 5, 6, 7, 8}));
}

TEST_F(CanvasDisplay, ABatchRecordsAtOnceAndRefreshesEachMarkedViewOnceAtTheOutermostClose) {
    install(kButtons);
    const std::uint64_t revision = slot().displayList.revision;
    EXPECT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));  // none open: nothing
    EXPECT_EQ(runtime->canvasBatch.accessibilityDeferral, 0u);

    openCanvasWidgetDisplayListRefreshBatch(*runtime, 2);
    openCanvasWidgetDisplayListRefreshBatch(*runtime);
    interaction().hoveredWidget = 2;
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {10, 10, 100, 30}));
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {10, 10, 100, 30}));
    EXPECT_EQ(dirtyRects(), (Strings{"110,60,100,30", "110,60,100,30"}));
    EXPECT_TRUE(runtime->canvasBatch.refreshPending[kCanvas]);

    ASSERT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));  // the inner close does no work
    EXPECT_EQ(slot().displayList.revision, revision);
    EXPECT_EQ(frameRequests(), 0u);
    EXPECT_EQ(publications(), 0u);

    ASSERT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));
    EXPECT_EQ(slot().displayList.revision, revision + 1);
    EXPECT_EQ(frameRequests(), 1u);
    EXPECT_TRUE(canvas().canvas.frameRequested);
    EXPECT_FALSE(runtime->canvasBatch.refreshPending[kCanvas]);
    EXPECT_EQ(runtime->canvasBatch.depth, 0u);
    // The closes took back one deferral each; the opener that raised it by two takes back the rest.
    EXPECT_EQ(runtime->canvasBatch.accessibilityDeferral, 1u);
    // Accessibility waits for the frame the refresh asked for.
    EXPECT_EQ(publications(), 0u);
    EXPECT_TRUE(canvas().canvas.accessibility.deferred);
}

TEST_F(CanvasDisplay, AMarkMovesWithItsViewWhenAnEarlierViewIsRemoved) {
    create(testing::canvasOptions("second", {0, 0, 100, 100}));
    ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, 1, "button id=2 rect=0,0,50,20 text=\"x\""));
    openCanvasWidgetDisplayListRefreshBatch(*runtime);
    runtime->views[1].canvas.interaction.hoveredWidget = 2;
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, 1, {0, 0, 50, 20}));
    ASSERT_TRUE(closeView(*runtime, 1, "canvas"));
    ASSERT_TRUE(runtime->canvasBatch.refreshPending[0]);
    EXPECT_FALSE(runtime->canvasBatch.refreshPending[1]);
    test.clearCalls();
    ASSERT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));
    EXPECT_EQ(callLog(), (Strings{"requestGpuSurfaceFrame:second"}));
}

TEST_F(CanvasDisplay, ARefreshWithoutChangesRecordsNothingAndAsksNoFrame) {
    install(kButtons);
    const std::uint64_t revision = slot().displayList.revision;
    ASSERT_TRUE(refreshCanvasWidgetDisplayList(*runtime, kCanvas));
    EXPECT_TRUE(dirtyRects().empty());
    EXPECT_EQ(frameRequests(), 0u);
    EXPECT_EQ(slot().displayList.revision, revision + 1);

    // A hover change repaints only the commands that changed, placed in the window.
    interaction().hoveredWidget = 3;
    ASSERT_TRUE(refreshCanvasWidgetDisplayList(*runtime, kCanvas));
    ASSERT_FALSE(dirtyRects().empty());
    for (const RectF& r : runtime->dirtyRegions) {
        EXPECT_GE(r.y, 50 + 60 - 2) << rectText({r.x, r.y, r.width, r.height});
        EXPECT_LE(r.y + r.height, 50 + 90 + 2);
    }
    EXPECT_EQ(frameRequests(), 1u);
}

TEST_F(CanvasDisplay, ARefreshWhoseChangesLieOffTheSurfaceOrHaveNoAreaRecordsTheWholeView) {
    // The stored list holds one more command than the widgets draw: the refresh removes it.
    const std::pair<Rect, const char*> cases[] = {
        {{5, 5, 0, 0}, "100,50,320,240"},
        {{500, 10, 20, 20}, "100,50,320,240"},
        {{-40, -40, 20, 20}, "100,50,320,240"},
        {{10, 10, 20, 20}, "110,60,20,20"},
    };
    for (const auto& [gone, recorded] : cases) {
        SCOPED_TRACE(recorded);
        install(kButtons);
        std::vector<CanvasCommand> stored(slot().displayList.commands().begin(), slot().displayList.commands().end());
        stored.push_back(CanvasCommand::fillRect({999 * 16, Paint::solid({1, 0, 0, 1}), gone}));
        ASSERT_TRUE(copyCanvasDisplayList(*runtime, canvas(), stored));
        forget();
        ASSERT_TRUE(refreshCanvasWidgetDisplayList(*runtime, kCanvas));
        EXPECT_EQ(dirtyRects(), Strings{recorded});
        EXPECT_EQ(frameRequests(), 1u);
    }
}

TEST_F(CanvasDisplay, LeadingAndTrailingCommandsStayAroundTheWidgetsAndTheirCountsAreChecked) {
    install("button id=2 rect=10,10,100,30 text=\"Go\"");
    const CanvasCommand lead = CanvasCommand::fillRect({1, Paint::solid({0, 0, 0, 1}), {0, 0, 320, 240}});
    const CanvasCommand trail = CanvasCommand::fillRect({0, Paint::solid({0, 0, 0, 1}), {0, 0, 5, 5}});
    std::vector<CanvasCommand> stored{lead};
    stored.insert(stored.end(), slot().displayList.commands().begin(), slot().displayList.commands().end());
    stored.push_back(trail);
    ASSERT_TRUE(copyCanvasDisplayList(*runtime, canvas(), stored));
    canvas().canvas.leadingCommands = 1;
    canvas().canvas.trailingCommands = 1;
    ASSERT_TRUE(refreshCanvasWidgetDisplayList(*runtime, kCanvas));
    std::span<const CanvasCommand> list = slot().displayList.commands();
    ASSERT_EQ(list.size(), stored.size());
    EXPECT_EQ(canvasCommandId(list.front()), 1u);
    EXPECT_EQ(testing::commandText(list.back()), testing::commandText(trail));

    const std::uint64_t revision = slot().displayList.revision;
    canvas().canvas.reservedCommands = kMaxCanvasCommands - list.size() + 1;
    EXPECT_EQ(errorOf(refreshCanvasWidgetDisplayList(*runtime, kCanvas)), Error::CanvasCommandLimitReached);
    canvas().canvas.reservedCommands = 0;
    canvas().canvas.trailingCommands = list.size();
    EXPECT_EQ(errorOf(refreshCanvasWidgetDisplayList(*runtime, kCanvas)), Error::InvalidCommand);
    EXPECT_EQ(slot().displayList.revision, revision);
}

TEST_F(CanvasDisplay, RepeatedIdsFailTheRefreshAndLeaveTheStoredList) {
    install(kButtons);
    const CanvasCommand seven = CanvasCommand::fillRect({7, Paint::solid({1, 0, 0, 1}), {0, 0, 5, 5}});
    const std::vector<CanvasCommand> stored{seven, seven};
    ASSERT_TRUE(copyCanvasDisplayList(*runtime, canvas(), stored));
    canvas().canvas.leadingCommands = 2;
    const std::uint64_t revision = slot().displayList.revision;
    EXPECT_EQ(errorOf(refreshCanvasWidgetDisplayList(*runtime, kCanvas)), Error::DuplicateObjectId);
    EXPECT_EQ(slot().displayList.revision, revision);
    EXPECT_EQ(slot().displayList.count, 2u);
    EXPECT_EQ(frameRequests(), 0u);
}

TEST_F(CanvasDisplay, RefreshRefusesOtherViewsAndTakesFrameRequestRefusalsAsTheyCome) {
    create(view("plain"));
    EXPECT_EQ(errorOf(refreshCanvasWidgetDisplayList(*runtime, 1)), Error::InvalidViewOptions);
    EXPECT_EQ(errorOf(refreshCanvasWidgetDisplayList(*runtime, 2)), Error::ViewNotFound);

    install(kButtons);
    const auto hover = [&](std::uint64_t id) {
        interaction().hoveredWidget = id;
        return refreshCanvasWidgetDisplayList(*runtime, kCanvas);
    };
    canvas().canvas.frameRequested = false;
    test.failSlot(PlatformSlot::requestGpuSurfaceFrame, Error::UnsupportedService, 1);
    EXPECT_TRUE(hover(2));
    EXPECT_FALSE(canvas().canvas.frameRequested);
    test.failSlot(PlatformSlot::requestGpuSurfaceFrame, Error::ViewNotFound, 1);
    EXPECT_EQ(errorOf(hover(3)), Error::ViewNotFound);
    EXPECT_FALSE(canvas().canvas.frameRequested);
    emptySlot(PlatformSlot::requestGpuSurfaceFrame);
    EXPECT_TRUE(hover(2));
    EXPECT_TRUE(canvas().canvas.frameRequested);
}

TEST_F(CanvasDisplay, TheFirstDisplayListIsAnnouncedOnlyOnceOneExists) {
    MemoryIo clock;
    clock.setWallClockNs(1'700'000'000'000'000'000);
    resetLaunchTimingForTests(memoryIo(clock));
    EnvMap env = EnvMap::fromList({{"KELVO_WINDOW_TIMING", "1"}});
    setProcessEnv(&env);
    install(kButtons);
    const std::vector<CanvasCommand> stored{CanvasCommand::popClip()};
    ASSERT_TRUE(copyCanvasDisplayList(*runtime, canvas(), stored));
    canvas().canvas.leadingCommands = 2;
    resetLaunchTimingForTests(memoryIo(clock));
    {
        ScopedStderrCapture captured;
        EXPECT_FALSE(refreshCanvasWidgetDisplayList(*runtime, kCanvas));
        EXPECT_EQ(captured.text(), "");
        canvas().canvas.leadingCommands = 0;
        EXPECT_TRUE(refreshCanvasWidgetDisplayList(*runtime, kCanvas));
        EXPECT_EQ(captured.text(), "kelvo: launch first_display_list_emitted wall_ns=1700000000000000000\n");
    }
    setProcessEnv(nullptr);
    resetLaunchTimingForTests();
}

TEST_F(CanvasDisplay, RefreshesAndPublicationsAreTimedWhileTheProfileRecords) {
    MemoryIo clock;
    runtime->io = memoryIo(clock);
    test.onCall(PlatformSlot::requestGpuSurfaceFrame, [&](const auto&) { clock.advanceClocks(3'000'000); });
    test.onCall(PlatformSlot::updateWidgetAccessibility, [&](const auto&) { clock.advanceClocks(2'000'000); });
    install(kButtons);  // while the profile is off
    EXPECT_EQ(runtime->frameProfile.stats(3).total, 0u);

    runtime->frameProfile.enabled = true;
    interaction().hoveredWidget = 2;
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {0, 0, 10, 10}));
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {0, 0, 10, 10}));  // nothing new to publish
    const FrameProfileStats emit = runtime->frameProfile.stats(3);
    const FrameProfileStats a11y = runtime->frameProfile.stats(4);
    EXPECT_EQ(emit.total, 2u);
    EXPECT_EQ(emit.max, 3000u);
    EXPECT_EQ(a11y.total, 1u);
    EXPECT_EQ(a11y.max, 2000u);
}

TEST_F(CanvasDisplay, ARenderStateChangeRepaintsTheWidgetsItTouchesAndPublishesFocusMoves) {
    install(kButtons);
    canvas().focused = true;
    // Focus, with its ring, moves from the first button to the second.
    const CanvasWidgetRenderState before = stateOf(2);
    const CanvasWidgetRenderState after = stateOf(3);
    interaction().focusedWidget = interaction().focusVisibleWidget = 3;
    ASSERT_TRUE(invalidateForCanvasWidgetRenderStateChange(*runtime, kCanvas, before, after));
    ASSERT_FALSE(dirtyRects().empty());
    const RectF area = runtime->dirtyRegions[0];
    EXPECT_LT(area.x, 110);  // both rings, outside both buttons
    EXPECT_LT(area.y, 60);
    EXPECT_GT(area.y + area.height, 50 + 90);
    EXPECT_EQ(publications(), 1u);
    EXPECT_EQ(frameRequests(), 1u);

    // Hover alone repaints one button and publishes nothing here.
    forget();
    interaction().hoveredWidget = 2;
    ASSERT_TRUE(invalidateForCanvasWidgetRenderStateChange(*runtime, kCanvas, after, stateOf(3, 2)));
    ASSERT_FALSE(dirtyRects().empty());
    EXPECT_EQ(dirtyRects()[0], "110,60,100,30");
    EXPECT_EQ(publications(), 0u);

    // Inside a batch the view is marked; only a focus move marks its accessibility.
    forget();
    openCanvasWidgetDisplayListRefreshBatch(*runtime);
    ASSERT_TRUE(invalidateForCanvasWidgetRenderStateChange(*runtime, kCanvas, {}, stateOf({}, 3)));
    EXPECT_TRUE(runtime->canvasBatch.refreshPending[kCanvas]);
    EXPECT_FALSE(runtime->canvasBatch.accessibilityPending[kCanvas]);
    ASSERT_TRUE(invalidateForCanvasWidgetRenderStateChange(*runtime, kCanvas, {}, stateOf(3)));
    EXPECT_TRUE(runtime->canvasBatch.accessibilityPending[kCanvas]);
    ASSERT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));
}

TEST_F(CanvasDisplay, RenderStateFollowsTheViewFocusAndRaisesPressesToTheirControl) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  button id=2 rect=10,10,100,30\n"
        "    text id=4 rect=12,12,50,20 text=\"Go\"\n"
        "  text id=5 rect=10,60,100,30 text=\"label\"\n");
    interaction().focusedWidget = 2;
    interaction().focusVisibleWidget = 2;
    interaction().pressedWidget = 4;
    EXPECT_FALSE(canvasWidgetRenderState(*runtime, canvas()).focused);
    EXPECT_FALSE(canvasWidgetRenderState(*runtime, canvas()).focus_visible);
    canvas().focused = true;
    CanvasWidgetRenderState state = canvasWidgetRenderState(*runtime, canvas());
    EXPECT_EQ(state.focused, 2u);
    EXPECT_EQ(state.focus_visible, 2u);
    EXPECT_EQ(state.pressed, 2u);
    EXPECT_FALSE(state.pointer);
    interaction().pressedWidget = 5;  // nothing above reacts: the id itself
    interaction().hoveredWidget = 5;
    interaction().pointerX = 7;
    state = canvasWidgetRenderState(*runtime, canvas());
    EXPECT_EQ(state.pressed, 5u);
    EXPECT_FALSE(state.pointer);  // no chart shows a hover point
    interaction().chartHoverPointer = true;
    state = canvasWidgetRenderState(*runtime, canvas());
    ASSERT_TRUE(state.pointer);
    EXPECT_EQ(state.pointer->x, 7);
}

TEST_F(CanvasDisplay, DirtyBoundsOfANodeAreClippedByItsScrollView) {
    install(
        "scroll_view id=1 rect=0,0,100,100\n"
        "  button id=2 rect=50,80,100,40\n"
        "  button id=3 rect=0,0,10,10 hidden=1\n");
    EXPECT_EQ(rectText(*canvasWidgetDirtyBounds(*runtime, canvas(), 1, {50, 80, 100, 40})), "50,80,50,20");
    EXPECT_FALSE(canvasWidgetDirtyBounds(*runtime, canvas(), 2, {0, 0, 10, 10}));
    EXPECT_FALSE(canvasWidgetDirtyBounds(*runtime, canvas(), 1, {50, 80, 0, 40}));
    EXPECT_FALSE(canvasWidgetDirtyBounds(*runtime, canvas(), 3, {0, 0, 10, 10}));
}

TEST_F(CanvasDisplay, AFailedSemanticsCollectionKeepsTheSemanticsShown) {
    install(kButtons);
    ASSERT_EQ(canvas().canvas.semanticsCount, 3u);
    slot().tree.nodes[2].depth = 40;
    EXPECT_EQ(errorOf(refreshCanvasWidgetSemantics(*runtime, canvas())), Error::WidgetDepthExceeded);
    ASSERT_EQ(slot().semantics.nodes().size(), 3u);
    EXPECT_EQ(slot().semantics.nodes()[2].id, 3u);
    EXPECT_EQ(slot().semantics.nodes()[2].label, "Stop");
}

}  // namespace
}  // namespace kelvo
