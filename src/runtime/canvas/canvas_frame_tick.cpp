#include "runtime/canvas/canvas_frame_tick.hpp"

#include <algorithm>

#include "render/frame_plan.hpp"
#include "render/frame_report.hpp"
#include "runtime/canvas/canvas_events.hpp"
#include "runtime/canvas/canvas_frame_present.hpp"
#include "runtime/canvas/canvas_frame_tick_steps.hpp"
#include "runtime/canvas/canvas_frames.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_accessibility.hpp"
#include "runtime/canvas/canvas_widget_event_queues.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

namespace {

// Unused glyph atlas entries and text layouts stay this many frames.
constexpr std::uint64_t kCanvasCacheRetentionFrames = 120;

std::uint64_t intervalOf(const GpuSurfaceFrame& frame) {
    return frame.frameIntervalNs != 0 ? frame.frameIntervalNs : kDefaultFrameIntervalNs;
}

void recordStage(Runtime& runtime, FrameProfileStage stage, std::uint64_t ns) {
    runtime.frameProfile.recordNs(static_cast<std::uint32_t>(stage), ns);
}

// The frame's timing on the view. Answers whether this is the view's first frame.
bool recordFrameTiming(Runtime& runtime, RuntimeView& view, const GpuSurfaceFrame& frame) {
    CanvasFrameTickState& tick = view.canvas.tick;
    view.canvas.frameRequested = false;
    if (view.gpuWidth != frame.width || view.gpuHeight != frame.height || view.gpuScale != frame.scale) {
        view.gpuWidth = frame.width;
        view.gpuHeight = frame.height;
        view.gpuScale = frame.scale;
        noteGpuSurfaceResized(view, true);
    }
    // A gap needs an earlier frame: the first frame (or a clock that went back) has none.
    const std::uint64_t previous = tick.frameTimeNs;
    if (previous != 0 && previous < frame.timestampNs) {
        recordStage(runtime, FrameProfileStage::interval, frame.timestampNs - previous);
    }
    if (frame.packetDecodeNs != 0) recordStage(runtime, FrameProfileStage::host_decode, frame.packetDecodeNs);
    if (frame.packetDrawNs != 0) recordStage(runtime, FrameProfileStage::host_draw, frame.packetDrawNs);
    tick.frameIndex = frame.frameIndex;
    tick.frameTimeNs = frame.timestampNs;
    tick.frameIntervalNs = intervalOf(frame);
    tick.intervalBudgetNs = frame.frameBudgetNs;
    tick.measuredIntervalNs = tick.frameIntervalNs;
    const BudgetCheck interval = checkBudget(tick.intervalBudgetNs, tick.measuredIntervalNs);
    tick.intervalBudgetExceeded = interval.exceeded;
    tick.intervalBudgetOk = interval.ok;

    const auto created = static_cast<std::uint64_t>(std::max<std::int64_t>(view.surfaceCreatedNs, 0));
    if (tick.firstFrameRecorded || created == 0 || created > frame.timestampNs) return false;
    tick.firstFrameRecorded = true;
    tick.firstFrameLatencyNs = frame.timestampNs - created;
    tick.firstFrameBudgetNs = frame.firstFrameBudgetNs;
    const BudgetCheck first = checkBudget(tick.firstFrameBudgetNs, tick.firstFrameLatencyNs);
    tick.firstFrameBudgetExceededCount = first.exceeded ? 1 : 0;
    tick.firstFrameBudgetOk = first.ok;
    lapOnce(LaunchMark::first_present_recorded);
    return true;
}

void noteChangedForAutomation(Runtime& runtime, std::uint64_t windowId) {
    markStateDirty(runtime);
    noteWindowToPublish(runtime, windowId);
}

// What the surface reports of the frame it showed.
void recordSurfaceReport(Runtime& runtime, RuntimeView& view, const GpuSurfaceFrame& frame, bool firstFrame) {
    CanvasFrameTickState& tick = view.canvas.tick;
    if (frame.nonblank != tick.nonblank || firstFrame) noteChangedForAutomation(runtime, view.windowId);
    tick.nonblank = frame.nonblank;
    tick.sampleColor = frame.sampleColor;
    tick.presentPath = frame.presentPath;
    view.gpu = frame.surface;
    view.gpuStatus = frame.status;
}

// Plans the view's frame, presents it and commits what was presented.
Status planAndPresent(Runtime& runtime, std::size_t viewIndex) {
    RuntimeView& view = runtime.views[viewIndex];
    if (view.kind != ViewKind::gpu_surface || canvasSlotOf(runtime.canvasSlots, view) == nullptr) return {};
    CanvasFrameRequest request;
    request.frame_tag = view.canvas.tick.frameIndex;
    request.frame_time = view.canvas.tick.frameTimeNs;
    request.width = view.gpuWidth;
    request.height = view.gpuHeight;
    request.scale = view.gpuScale;
    request.glyph_retention = kCanvasCacheRetentionFrames;
    request.text_layout_retention = kCanvasCacheRetentionFrames;
    const CanvasFrame frame = TRY(planCanvasFrameForView(runtime, viewIndex, request, canvasFrameStorageForThread()));
    view.canvas.frameInfo = canvasFrameInfoFromReport(canvasSlotOf(runtime.canvasSlots, view)->frames.report);
    TRY(presentCanvasFrame(runtime, viewIndex, frame));
    TRY(commitPresentedCanvasFrameForView(runtime, viewIndex, frame));
    notePresentedCanvasPacket(runtime, viewIndex);
    return {};
}

// Steps 2 to 10 of the tick for the view at `viewIndex`.
Status tickView(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex, const GpuSurfaceFrame& frame) {
    const bool firstFrame = recordFrameTiming(runtime, runtime.views[viewIndex], frame);
    const std::uint64_t now = frame.timestampNs;
    TRY(advanceCanvasScrollMomentum(runtime, viewIndex, intervalOf(frame)));
    TRY(advanceCanvasSplitAnimations(runtime, viewIndex, now));
    TRY(advanceCanvasToggleAnimation(runtime, viewIndex, now));
    retireFinishedToggleThumbAnimations(runtime, viewIndex, now);
    TRY(dispatchPendingCanvasWidgetScrollEvents(runtime, binding, viewIndex));
    TRY(dispatchPendingCanvasWidgetResizeEvents(runtime, binding, viewIndex));
    // The application may have removed views while it heard of the events.
    const std::optional<std::size_t> index = findViewIndex(runtime, frame.windowId, frame.label);
    if (!index) return {};
    recordSurfaceReport(runtime, runtime.views[*index], frame, firstFrame);
    if (runtime.canvasEnabled) TRY(planAndPresent(runtime, *index));
    syncCanvasScrollDrivers(runtime, *index);
    return {};
}

// Input latency: the first unoccluded frame at or after a pending input ends its wait.
void recordInputLatency(Runtime& runtime, RuntimeView& view, const GpuSurfaceFrame& frame, bool inputWasPending) {
    CanvasInteraction& input = view.canvas.interaction;
    CanvasFrameTickState& tick = view.canvas.tick;
    bool measured = false;
    const std::uint64_t pending = input.pendingInputNs;
    if (pending != 0 && frame.occluded) {
        input.pendingInputNs = 0;
    } else if (pending != 0 && pending <= frame.timestampNs) {
        input.pendingInputNs = 0;
        input.lastInputNs = pending;
        tick.inputLatencyNs = frame.timestampNs - pending;
        const BudgetCheck check = checkBudget(tick.inputLatencyBudgetNs, tick.inputLatencyNs);
        if (check.exceeded) ++tick.inputLatencyBudgetExceededCount;
        tick.inputLatencyBudgetOk = check.ok;
        measured = true;
    } else if (pending != 0) {
        // A timestamp no frame reaches (another clock, or one from the future) would hold scroll
        // momentum back for ever: after two ticks it is let go, unmeasured.
        tick.stalePendingTicks = pending == tick.stalePendingNs ? tick.stalePendingTicks + 1 : 1;
        tick.stalePendingNs = pending;
        if (tick.stalePendingTicks >= 2) input.pendingInputNs = 0;
    }
    if (input.pendingInputNs == 0) {
        tick.stalePendingNs = 0;
        tick.stalePendingTicks = 0;
    }
    if (inputWasPending && (measured || pending == 0)) noteChangedForAutomation(runtime, view.windowId);
}

}  // namespace

Status dispatchGpuSurfaceFrame(Runtime& runtime, const AppBinding& binding, const GpuSurfaceFrame& frame) {
    bool inputWasPending = false;
    if (const std::optional<std::size_t> index = findViewIndex(runtime, frame.windowId, frame.label)) {
        inputWasPending = runtime.views[*index].canvas.interaction.pendingInputNs != 0;
        TRY(tickView(runtime, binding, *index, frame));
    }
    TRY(dispatchEvent(runtime, binding, RuntimeEvent(frame)));
    if (const std::optional<std::size_t> index = findViewIndex(runtime, frame.windowId, frame.label)) {
        recordInputLatency(runtime, runtime.views[*index], frame, inputWasPending);
    }
    return flushDeferredCanvasWidgetAccessibility(runtime);
}

}  // namespace kelvo
