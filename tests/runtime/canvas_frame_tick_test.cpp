#include "runtime/canvas/canvas_frame_tick.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/env.hpp"
#include "base/memory_io.hpp"
#include "canvas_display_scenario.hpp"
#include "platform/types/runtime_event.hpp"
#include "runtime/canvas/canvas_events.hpp"
#include "runtime/canvas/canvas_frames.hpp"
#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/view_widget_control.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/flow/app_binding.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/views/view_table.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

constexpr std::uint64_t kStartNs = 1'000'000'000;
constexpr std::uint64_t kFrameNs = 16'666'667;

// The canvas view of the display scenario, ticked by frame events; the application's handler
// writes down the kinds of the runtime events it hears.
class FrameTick : public testing::CanvasDisplayScenario {
protected:
    void SetUp() override {
        CanvasDisplayScenario::SetUp();
        binding.appContext = &events;
        binding.eventHandler = [](void* context, Runtime&, const RuntimeEvent& event) -> Status {
            static_cast<std::vector<std::string>*>(context)->emplace_back(
                runtimeEventKindName(runtimeEventKind(event)));
            return {};
        };
        canvas().surfaceCreatedNs = static_cast<std::int64_t>(kStartNs - 40'000'000);
    }

    GpuSurfaceFrame frameEvent(std::uint64_t index, std::uint64_t timeNs, std::uint64_t intervalNs = 0) {
        GpuSurfaceFrame frame;
        frame.windowId = 1;
        frame.label = "canvas";
        frame.width = 320;
        frame.height = 240;
        frame.frameIndex = index;
        frame.timestampNs = timeNs;
        frame.frameIntervalNs = intervalNs;
        frame.nonblank = true;
        return frame;
    }

    // Ticks frame `n` at its place on a 60 Hz clock; the event gives no interval.
    void tick(std::uint64_t n) { ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, frameEvent(n, at(n)))); }
    static std::uint64_t at(std::uint64_t n) { return kStartNs + n * kFrameNs; }

    std::string scrollLine(std::uint64_t n, std::size_t index) {
        char line[96];
        std::snprintf(line, sizeof line, "%llu offset=%.3f velocity=%.3f requested=%d\n",
                      static_cast<unsigned long long>(n), slot().tree.nodes[index].value, slot().scroll[index].velocity,
                      canvas().canvas.frameRequested ? 1 : 0);
        return line;
    }

    // Ticks frames after `n` until the view stops asking for them (at most 200), logging each.
    std::string runUntilRest(std::uint64_t& n, std::size_t index) {
        std::string log;
        for (int i = 0; i < 200; ++i) {
            tick(++n);
            log += scrollLine(n, index);
            if (!canvas().canvas.frameRequested) break;
        }
        return log;
    }

    // A pointer event of kind `kind` at (x, y), stamped `timeNs`.
    void pointer(GpuSurfaceInputKind kind, float x, float y, std::uint64_t timeNs) {
        ASSERT_TRUE(dispatchGpuSurfaceInput(*runtime, binding, pointerInput(kind, x, y, timeNs)));
    }

    AppBinding binding;
    std::vector<std::string> events;
};

constexpr const char* kElasticScroll =
    "column id=1 rect=0,0,320,240\n"
    "tokens elastic_scroll=1\n"
    "  scroll_view id=2 rect=0,0,200,100\n"
    "    button id=3 rect=0,0,200,40 text=\"a\"\n"
    "    button id=4 rect=0,260,200,40 text=\"b\"\n";

TEST_F(FrameTick, MomentumAndOverscrollFollowTheFrameClockAndStopAskingAtRest) {
    install(kElasticScroll);
    std::string log = "# flick of 900 points per second inside the content\n";
    slot().scroll[1].velocity = 900;
    std::uint64_t n = 0;
    log += runUntilRest(n, 1);

    log += "# pulled 30 points past the top, let go\n";
    ASSERT_TRUE(moveCanvasWidgetScrollView(*runtime, kCanvas, 1, {-30, 0, 100, 300}));
    log += runUntilRest(n, 1);

    log += "# flung past the end: held at the overscroll limit, then springs back\n";
    ASSERT_TRUE(moveCanvasWidgetScrollView(*runtime, kCanvas, 1, {190, 3000, 100, 300}));
    log += runUntilRest(n, 1);
    testing::expectGolden("runtime/frame_tick_momentum.txt", log);

    // At rest: another tick asks the platform for nothing.
    forget();
    tick(++n);
    EXPECT_EQ(frameRequests(), 0u);
    EXPECT_FALSE(canvas().canvas.frameRequested);
    // Every tick told the application, and momentum queued scroll events that the tick sent.
    EXPECT_EQ(std::count(events.begin(), events.end(), "gpu_surface_frame"), static_cast<long>(n));
    EXPECT_GT(std::count(events.begin(), events.end(), "canvas_widget_scroll"), 0);
    EXPECT_TRUE(slot().queues.scroll.empty());
}

TEST_F(FrameTick, SplitDividersAndTheToggleAnimationMoveAlongTheirCurves) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  split_view id=50 rect=0,0,300,100\n"
        "    column id=51 rect=0,0,148,100\n"
        "    split_divider id=53 rect=148,0,4,100 value=0.5\n"
        "    column id=54 rect=152,0,148,100\n"
        "  switch id=60 rect=0,120,40,20\n");
    std::string log;
    const char* const kCurves[] = {"linear", "smoothstep", "ease_out_cubic", "spring"};
    for (std::uint8_t curve = 0; curve < 4; ++curve) {
        ASSERT_TRUE(applyCanvasWidgetSplitFractionMoved(*runtime, kCanvas, 1, 0.25f, false));
        // A start of 0 counts from the first frame; 100 ms reach the target on the seventh.
        CanvasSplitAnimation glide{50, 0.25f, 0.75f, {0, 100, static_cast<AnimationEasing>(curve), 0, 0.5f, 0}};
        canvas().canvas.tick.splitAnimations.push(glide);
        log += std::string("split ") + kCurves[curve] + ":";
        for (std::uint64_t n = 1; n <= 8; ++n) {
            tick(n);
            char value[16];
            std::snprintf(value, sizeof value, " %.4f", slot().tree.nodes[1].value);
            log += value;
        }
        log += canvas().canvas.tick.splitAnimations.empty() ? " done\n" : " running\n";
    }
    // Only the final step tells the application; then the view rests.
    EXPECT_EQ(std::count(events.begin(), events.end(), "canvas_widget_resize"), 4);
    forget();
    tick(9);
    EXPECT_EQ(frameRequests(), 0u);

    CanvasToggleAnimation& toggle = canvas().canvas.tick.toggle;
    toggle.active = true;
    toggle.timing = {at(10), 80, AnimationEasing::ease_out_cubic, 1, 1, 1};
    toggle.entries.push({60, 0, 1, 0.5f, 1});
    log += "toggle ease_out_cubic:";
    for (std::uint64_t n = 10; n <= 16 && canvas().canvas.tick.toggle.active; ++n) {
        tick(n);
        char value[48];
        std::snprintf(value, sizeof value, " %.4f/%.4f/%.3f", toggle.progress, slot().tree.nodes[5].value,
                      slot().tree.nodes[5].opacity);
        log += value;
    }
    log += toggle.active ? " running\n" : " done\n";
    testing::expectGolden("runtime/frame_tick_animations.txt", log);
    EXPECT_EQ(slot().tree.nodes[5].value, 1.0f);
}

TEST_F(FrameTick, AnAnimationWhoseWidgetIsGoneStopsAskingForFrames) {
    install(kElasticScroll);
    canvas().canvas.tick.splitAnimations.push({99, 0.2f, 0.8f, {0, 500, AnimationEasing::linear, 1, 1, 1}});
    tick(1);
    EXPECT_TRUE(canvas().canvas.tick.splitAnimations.empty());
    EXPECT_EQ(frameRequests(), 0u);
}

TEST_F(FrameTick, SeventeenScrollViewsGiveSixteenDriversAndARefusalIsLoggedOnce) {
    std::string tree = "column id=1 rect=0,0,320,240\n";
    for (int i = 0; i < 17; ++i) {
        const std::string y = std::to_string(i * 12);
        tree += "  scroll_view id=" + std::to_string(10 + i) + " rect=0," + y + ",100,10\n";
        tree += "    text rect=0," + y + ",100,30 text=\"t\"\n";
    }
    install(tree);
    canvas().canvas.tick.scrollDriversWanted = true;
    // A driver already handed over at 5.5 and now at 6 moved exactly 0.5: not applied again.
    ASSERT_TRUE(moveCanvasWidgetScrollView(*runtime, kCanvas, 1, {6, 0, 10, 30}));
    canvas().canvas.tick.scrollDrivers.push({10, 5.5f});
    ASSERT_TRUE(moveCanvasWidgetScrollView(*runtime, kCanvas, 3, {7, 0, 10, 30}));
    forget();

    ScopedStderrCapture captured;
    tick(1);
    std::string log;
    for (const TestPlatform::Call& call : test.callsTo(PlatformSlot::setGpuSurfaceScrollDrivers))
        log += call.args + "\n";
    ASSERT_TRUE(moveCanvasWidgetScrollView(*runtime, kCanvas, 3, {9, 0, 10, 30}));
    test.failSlot(PlatformSlot::setGpuSurfaceScrollDrivers, Error::ViewNotFound, 1);
    tick(2);
    log += captured.text();
    testing::expectGolden("runtime/frame_tick_scroll_drivers.txt", log);

    for (std::size_t i = 1; i < slot().tree.node_count; i += 2) EXPECT_EQ(slot().tree.nodes[i].platform_driven, 1u);
    // After the refusal the new offset still counts as unsynced: the next sync applies it.
    test.clearCalls();
    tick(3);
    ASSERT_EQ(test.callCount(PlatformSlot::setGpuSurfaceScrollDrivers), 1u);
    EXPECT_NE(test.lastCall(PlatformSlot::setGpuSurfaceScrollDrivers)->args.find("11:0,12,100,10:100,30:9:1:0"),
              std::string::npos);
    // Driven scroll views get no momentum of the tick's.
    slot().scroll[1].velocity = 900;
    tick(4);
    EXPECT_EQ(slot().tree.nodes[1].value, 6);
    // Without the feature nothing is handed over.
    test.answerFeatures({});
    runtime->platform = test.platform();
    test.clearCalls();
    tick(5);
    EXPECT_EQ(test.callCount(PlatformSlot::setGpuSurfaceScrollDrivers), 0u);
}

TEST_F(FrameTick, ADriverOffsetIsLimitedToTheContentAndCountsAsSynced) {
    install(kElasticScroll);
    canvas().canvas.tick.scrollDriversWanted = true;
    tick(1);
    ASSERT_TRUE(applyGpuSurfaceScrollDriver(*runtime, binding, {1, "canvas", 2, 0, 900}));
    EXPECT_EQ(slot().tree.nodes[1].value, 200);
    EXPECT_EQ(slot().tree.nodes[2].rect.y, -200);
    EXPECT_EQ(std::count(events.begin(), events.end(), "canvas_widget_scroll"), 1);
    test.clearCalls();
    tick(2);
    EXPECT_NE(test.lastCall(PlatformSlot::setGpuSurfaceScrollDrivers)->args.find("2:0,0,200,100:200,300:200:0:1"),
              std::string::npos);
    EXPECT_EQ(applyGpuSurfaceScrollDriver(*runtime, binding, {1, "nope", 2, 0, 1}).error(), Error::ViewNotFound);
}

TEST_F(FrameTick, TheFirstFrameIsMarkedOnceAndViewInfoReportsTheTick) {
    MemoryIo clock;
    clock.setWallClockNs(77);
    resetLaunchTimingForTests(memoryIo(clock));
    EnvMap env = EnvMap::fromList({{"KELVO_WINDOW_TIMING", "1"}});
    setProcessEnv(&env);
    install(kElasticScroll);
    std::string log;
    {
        ScopedStderrCapture captured;
        tick(1);
        tick(2);
        log = captured.text();
    }
    setProcessEnv(nullptr);
    resetLaunchTimingForTests();
    const CanvasViewInfo info = viewInfo(canvas()).canvas;
    char line[160];
    std::snprintf(line, sizeof line, "frame=%llu time=%llu interval=%llu first=%llu first_ok=%d nonblank=%d\n",
                  static_cast<unsigned long long>(info.gpuFrameCount),
                  static_cast<unsigned long long>(info.gpuTimestampNs),
                  static_cast<unsigned long long>(info.gpuFrameIntervalNs),
                  static_cast<unsigned long long>(info.gpuFirstFrameLatencyNs), info.gpuFirstFrameLatencyBudgetOk,
                  info.gpuNonblank);
    log += line;
    testing::expectGolden("runtime/frame_tick_first_present.txt", log);
    EXPECT_EQ(runtime->windowsToPublish.size(), 1u);
}

TEST_F(FrameTick, ASecondIdenticalFramePlansNothingAfterTheCommit) {
    install(kElasticScroll);
    tick(1);
    EXPECT_TRUE(canvas().canvas.frameInfo.requiresRender);
    EXPECT_TRUE(canvas().canvas.frameInfo.fullRepaint);
    EXPECT_FALSE(canvas().canvas.fullFrameDue);
    tick(2);
    EXPECT_FALSE(canvas().canvas.frameInfo.requiresRender);
    EXPECT_EQ(canvas().canvas.frameInfo.changeCount, 0u);
    EXPECT_EQ(viewInfo(canvas()).canvas.frame, canvas().canvas.frameInfo);
    // A new surface size is drawn in full again.
    GpuSurfaceFrame bigger = frameEvent(3, at(3));
    bigger.width = 400;
    ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, bigger));
    EXPECT_TRUE(canvas().canvas.frameInfo.fullRepaint);
    // With planning switched off the report stays as it was.
    runtime->canvasEnabled = false;
    tick(4);
    EXPECT_TRUE(canvas().canvas.frameInfo.fullRepaint);
}

TEST_F(FrameTick, OnlyAGapAfterAnEarlierFrameIsProfiled) {
    runtime->frameProfile.enabled = true;
    const auto interval = static_cast<std::uint32_t>(FrameProfileStage::interval);
    const auto draw = static_cast<std::uint32_t>(FrameProfileStage::host_draw);
    tick(1);
    EXPECT_EQ(runtime->frameProfile.stats(interval).total, 0u);
    tick(2);
    EXPECT_EQ(runtime->frameProfile.stats(interval).max, kFrameNs / 1000);
    GpuSurfaceFrame back = frameEvent(3, at(1));
    back.packetDrawNs = 3'000'000;
    ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, back));
    EXPECT_EQ(runtime->frameProfile.stats(interval).total, 1u);
    EXPECT_EQ(runtime->frameProfile.stats(draw).max, 3000u);
}

TEST_F(FrameTick, InputLatencyBudgetsAndAStuckPendingInput) {
    install(kElasticScroll);
    tick(1);
    CanvasInteraction& input = interaction();
    const CanvasFrameTickState& state = canvas().canvas.tick;
    // An unset interval budget is no budget (and so never exceeded).
    GpuSurfaceFrame unbudgeted = frameEvent(2, at(2), 20'000'000);
    unbudgeted.frameBudgetNs = 0;
    ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, unbudgeted));
    EXPECT_FALSE(state.intervalBudgetExceeded);
    EXPECT_TRUE(state.intervalBudgetOk);
    GpuSurfaceFrame tight = frameEvent(3, at(3), 20'000'000);
    ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, tight));
    EXPECT_TRUE(state.intervalBudgetExceeded);

    // 20 ms from input to frame exceeds the 16.7 ms budget; an occluded frame measures nothing.
    input.pendingInputNs = at(4) - 20'000'000;
    runtime->windowsToPublish.clear();
    tick(4);
    EXPECT_EQ(input.pendingInputNs, 0u);
    EXPECT_EQ(input.lastInputNs, at(4) - 20'000'000);
    EXPECT_EQ(viewInfo(canvas()).canvas.gpuInputLatencyNs, 20'000'000u);
    EXPECT_EQ(state.inputLatencyBudgetExceededCount, 1u);
    EXPECT_FALSE(state.inputLatencyBudgetOk);
    EXPECT_EQ(runtime->windowsToPublish.size(), 1u);
    input.pendingInputNs = at(5) - 1'000'000;
    GpuSurfaceFrame occluded = frameEvent(5, at(5));
    occluded.occluded = true;
    ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, occluded));
    EXPECT_EQ(input.pendingInputNs, 0u);
    EXPECT_EQ(state.inputLatencyNs, 20'000'000u);

    // Momentum waits for a pending input, but not for one that no frame reaches.
    slot().scroll[1].velocity = 900;
    input.pendingInputNs = at(100);
    tick(6);
    EXPECT_EQ(slot().tree.nodes[1].value, 0);
    EXPECT_TRUE(canvas().canvas.frameRequested);
    tick(7);
    EXPECT_EQ(slot().tree.nodes[1].value, 0);
    EXPECT_EQ(input.pendingInputNs, 0u);
    tick(8);
    EXPECT_GT(slot().tree.nodes[1].value, 0);
}

TEST_F(FrameTick, AFrameForNoViewStillReachesTheApplication) {
    GpuSurfaceFrame stray = frameEvent(1, at(1));
    stray.label = "gone";
    ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, stray));
    EXPECT_EQ(events, (std::vector<std::string>{"gpu_surface_frame"}));
    EXPECT_EQ(canvas().canvas.tick.frameIndex, 0u);
}

// A link beside a list, and a list whose field and buttons scroll under a resting pointer.
constexpr const char* kHoverScroll =
    "column id=1 rect=0,0,320,240\n"
    "  button id=9 rect=220,0,90,30 text=\"Help\" role=3\n"
    "  scroll_view id=2 rect=0,0,200,100\n"
    "    button id=3 rect=0,0,200,40 text=\"a\"\n"
    "    text_field id=5 rect=0,50,200,30 text=\"field\"\n"
    "    button id=4 rect=0,260,200,40 text=\"b\"\n";

TEST_F(FrameTick, MomentumKeepsHoverAtTheRestingPointerAndTheCursorInStep) {
    install(kHoverScroll);
    std::uint64_t n = 0;
    std::string log;
    // Each tick: the list's offset, what is hovered, the view's cursor and the cursors the
    // platform was told since the line before.
    const auto run = [&](const char* title, float velocity) {
        log += std::string("# ") + title + "\n";
        slot().scroll[2].velocity = velocity;  // the list is node 2
        for (int i = 0; i < 200; ++i) {
            tick(++n);
            char line[128];
            std::snprintf(line, sizeof line,
                          "%llu offset=%.1f hovered=%llu cursor=%d platform=", static_cast<unsigned long long>(n),
                          slot().tree.nodes[2].value, static_cast<unsigned long long>(interaction().hoveredWidget),
                          static_cast<int>(interaction().cursor));
            log += line;
            std::string told;
            for (const TestPlatform::Call& call : test.callsTo(PlatformSlot::setViewCursor)) told += call.args + ";";
            log += (told.empty() ? "-" : told) + "\n";
            test.clearCalls();
            if (!canvas().canvas.frameRequested) break;
        }
    };
    pointer(GpuSurfaceInputKind::pointer_move, 250, 15, at(0));
    ASSERT_EQ(interaction().hoveredWidget, 9u);
    test.clearCalls();
    run("resting on the link beside the list while the list glides", 900);
    pointer(GpuSurfaceInputKind::pointer_move, 100, 65, at(n));
    test.clearCalls();
    run("resting inside the list: the field glides back under the pointer", -900);
    testing::expectGolden("runtime/frame_tick_momentum_hover.txt", log);

    EXPECT_EQ(interaction().hoveredWidget, 5u);
    EXPECT_EQ(interaction().cursor, CursorKind::text);
    // Once the pointer leaves, a scroll keeps only what could still be hovered.
    pointer(GpuSurfaceInputKind::pointer_leave, 100, 65, at(++n));
    EXPECT_FALSE(interaction().pointerInView);
    EXPECT_EQ(interaction().hoveredWidget, 0u);
}

TEST_F(FrameTick, ASwitchToggledAHundredTimesLeavesNoThumbAnimationOnceItEnds) {
    install("column id=1 rect=0,0,320,240\n  switch id=2 rect=10,10,44,24\n");
    const std::uint64_t thumb = widgetAnimationKey(2, kToggleThumbAnimationPart);
    std::uint64_t n = 0;
    for (int i = 0; i < 100; ++i) {
        pointer(GpuSurfaceInputKind::pointer_down, 20, 20, at(n) + 1);
        pointer(GpuSurfaceInputKind::pointer_up, 20, 20, at(n) + 2);
        tick(++n);
    }
    EXPECT_EQ(slot().tree.nodes[1].selected, 0);  // an even number of flips
    ASSERT_NE(slot().animations.find(thumb), nullptr);
    EXPECT_EQ(slot().animations.entries.size(), 1u);
    // The thumb slides for 120 ms from the last release: it stays while it moves...
    tick(++n);
    EXPECT_NE(slot().animations.find(thumb), nullptr);
    // ... and is gone with its repaint area once it is home.
    for (int i = 0; i < 8; ++i) tick(++n);
    EXPECT_EQ(slot().animations.find(thumb), nullptr);
    EXPECT_TRUE(slot().animations.dirty.empty());
    CanvasFrameRequest request;
    request.frame_time = at(n);
    Result<CanvasFrame> settled = planCanvasFrameForView(*runtime, kCanvas, request, canvasFrameStorageForThread(),
                                                         CanvasFramePurpose::screenshot);
    ASSERT_TRUE(settled);
    EXPECT_TRUE(settled->overrides.empty());
}

TEST_F(FrameTick, AHundredSkeletonsPulseUnderTheRefreshesKeyBudget) {
    std::string tree = "column id=1 rect=0,0,320,240\n";
    for (int i = 0; i < 100; ++i) {
        tree += "  skeleton id=" + std::to_string(10 + i) + " rect=" + std::to_string(i % 10 * 30) + "," +
                std::to_string(i / 10 * 20) + ",20,10\n";
    }
    install(tree);
    ASSERT_EQ(slot().animations.entries.size(), 64u);
    const auto opacities = [&](std::uint64_t timeNs) {
        CanvasFrameRequest request;
        request.frame_time = timeNs;
        Result<CanvasFrame> frame = planCanvasFrameForView(*runtime, kCanvas, request, canvasFrameStorageForThread(),
                                                           CanvasFramePurpose::screenshot);
        EXPECT_TRUE(frame);
        std::vector<float> out(100, -1);
        for (const RenderCommand& render : frame ? frame->render_commands : std::span<const RenderCommand>{}) {
            if (render.id && (*render.id & 15u) == kSkeletonAnimationPart) out[(*render.id >> 4) - 10] = render.opacity;
        }
        return out;
    };
    const std::vector<float> dim = opacities(500'000'000);
    const std::vector<float> bright = opacities(1'900'000'000);
    for (int i = 0; i < 100; ++i) {
        ASSERT_GE(dim[i], 0.0f) << i;
        // The refresh schedules the first 64; each of them pulses, the rest stay as drawn.
        if (i < 64) {
            EXPECT_LT(dim[i], 0.9f) << i;
            EXPECT_GT(bright[i], dim[i]) << i;
        } else {
            EXPECT_EQ(dim[i], 1.0f) << i;
        }
    }
}

}  // namespace
}  // namespace kelvo
