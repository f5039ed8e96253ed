#include "platform/macos/canvas/surface_view.hpp"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <numbers>

namespace kelvo {

namespace {

std::uint64_t monotonicNow(const SurfaceView& view) {
    if (view.port.monotonicNs) return view.port.monotonicNs(view.port.context);
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

std::uint64_t wallNow(const SurfaceView& view) {
    if (view.port.wallNs) return view.port.wallNs(view.port.context);
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

SurfaceWindowState windowState(const SurfaceView& view) {
    return view.port.windowState ? view.port.windowState(view.port.context) : SurfaceWindowState::none;
}

void post(SurfaceView& view, std::uint64_t delayNs, SurfaceStep step, std::uint64_t generation = 0) {
    if (view.port.post) view.port.post(view.port.context, delayNs, step, generation);
}

// Available, not hidden and of positive size: the only state in which the view draws or paces.
bool canShow(const SurfaceView& view) {
    return surfaceViewAvailable(view) && !view.hidden && view.width > 0 && view.height > 0;
}

std::uint64_t frameInterval(const SurfaceView& view) {
    return surfaceFrameIntervalNs(view.port.screenMaxFps ? view.port.screenMaxFps(view.port.context) : -1);
}

bool occludedPacingActive(const SurfaceView& view) {
    return windowState(view) == SurfaceWindowState::occluded && view.hasEverPresented;
}

void trace(const SurfaceView& view, const char* format, auto... args) {
    if (!view.canvas.switches.frameTrace || !view.canvas.traceOut) return;
    std::fprintf(view.canvas.traceOut, format, args...);
}

void updateDrawableSize(SurfaceView& view) {
    if (!surfaceViewAvailable(view)) return;
    double scale = view.port.windowScale ? view.port.windowScale(view.port.context) : 0;
    if (!(scale > 0) && view.port.screenScale) scale = view.port.screenScale(view.port.context);
    if (!(scale > 0)) scale = 1;
    auto side = [scale](double points) {
        double pixels = std::ceil(scale * points);
        return static_cast<std::uint32_t>(std::clamp(pixels, 1.0, double{gpu::kGpuMaxTextureSide}));
    };
    std::uint32_t w = side(view.width);
    std::uint32_t h = side(view.height);
    bool changed = w != view.drawableWidth || h != view.drawableHeight || std::fabs(scale - view.lastScale) > 0.001;
    view.drawableWidth = w;
    view.drawableHeight = h;
    view.lastScale = scale;
    if (!changed) return;
    emitSurfaceResizeEvent(view);
    requestRetainedCanvasFrame(view);
}

void endFrameChannel(SurfaceView& view) { view.frameChannelActive = false; }

// Events go out only from a bound view with a label.
bool canEmit(const SurfaceView& view) { return view.bound && !view.label.empty() && view.port.emitEvent; }

// The fields every event of the view carries: its identity and its size in points.
KelvoHostEvent surfaceEvent(const SurfaceView& view, HostEventKind kind) {
    KelvoHostEvent event{};
    event.kind = static_cast<std::uint32_t>(kind);
    event.windowId = view.windowId;
    event.width = view.width;
    event.height = view.height;
    event.viewLabel = hostString(view.label);
    return event;
}

void emitFrameEvent(SurfaceView& view, std::uint64_t index, std::uint32_t sampleColor, bool nonblank, bool occluded) {
    if (!canEmit(view)) return;
    KelvoHostEvent event = surfaceEvent(view, HostEventKind::gpu_surface_frame);
    event.scale = view.lastScale > 0 ? view.lastScale : 1;
    event.frameIndex = index;
    event.timestampNs = wallNow(view);
    event.frameIntervalNs = frameInterval(view);
    event.nonblank = nonblank ? 1 : 0;
    event.sampleColor = sampleColor;
    event.packetDecodeNs = view.canvas.lastPacketDecodeNs;
    event.packetDrawNs = view.canvas.lastPacketDrawNs;
    event.occluded = occluded ? 1 : 0;
    view.canvas.lastPacketDecodeNs = 0;
    view.canvas.lastPacketDrawNs = 0;
    view.port.emitEvent(view.port.context, event);
    if (view.port.scheduleFrame) view.port.scheduleFrame(view.port.context);
}

void scheduleFrameEvent(SurfaceView& view, bool forPresentCompletion) {
    if (!canShow(view)) return;
    if (view.frameEventScheduled) {
        if (!forPresentCompletion) return;
        ++view.frameEventGeneration;  // a present just completed: the pending one is moved
        view.frameEventScheduled = false;
    }
    view.frameEventScheduled = true;
    view.frameChannelActive = true;
    std::uint64_t interval = frameInterval(view);
    if (!forPresentCompletion && !view.inputDrivenFramePending && occludedPacingActive(view)) {
        interval = kOccludedFrameIntervalNs;
    }
    std::uint64_t delay = 0;
    if (view.retainedFrameLastEmitNs) {
        std::uint64_t due = *view.retainedFrameLastEmitNs + interval;
        std::uint64_t now = monotonicNow(view);
        delay = due > now ? due - now : 0;
    }
    post(view, delay, SurfaceStep::frameEvent, view.frameEventGeneration);
}

void rescheduleParkedFrameEvent(SurfaceView& view) {
    if (!view.frameEventScheduled) return;
    ++view.frameEventGeneration;
    view.frameEventScheduled = false;
    scheduleFrameEvent(view, false);
    if (!view.frameEventScheduled) endFrameChannel(view);
}

void emitScheduledFrameEvent(SurfaceView& view) {
    if (!canShow(view)) return;
    view.inputDrivenFramePending = false;
    updateDrawableSize(view);
    view.retainedFrameLastEmitNs =
        advancePacingSlot(view.retainedFrameLastEmitNs, monotonicNow(view), frameInterval(view));
    bool nonblank = view.verifiedNonblankFrame || view.canvas.hasCanvasTexture;
    std::uint32_t color = view.verifiedNonblankFrame ? view.lastSampleColor : 0;
    emitFrameEvent(view, view.frameIndex++, color, nonblank, occludedPacingActive(view));
}

void emitFirstCanvasFrameRequest(SurfaceView& view) {
    if (!view.retainedFrameRequestPending) return;
    view.retainedFrameRequestPending = false;
    if (view.canvas.hasCanvasTexture) {
        scheduleFrameEvent(view, false);
        return;
    }
    if (!canShow(view)) return;
    updateDrawableSize(view);
    view.retainedFrameLastEmitNs = monotonicNow(view);
    emitFrameEvent(view, view.frameIndex++, 0, false, false);
}

std::uint8_t channelByte(float value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

void clearDrawable(gpu::GpuDrawable& drawable, std::uint32_t width, std::uint32_t height, std::array<float, 4> color) {
    gpu::GpuTexture& out = drawable.texture;
    out.width = width;
    out.height = height;
    out.bytes.resize(static_cast<std::size_t>(width) * height * 4);
    const std::uint8_t pixel[4] = {channelByte(color[0]), channelByte(color[1]), channelByte(color[2]),
                                   channelByte(color[3])};
    for (std::size_t i = 0; i < out.bytes.size(); i += 4) std::copy(pixel, pixel + 4, out.bytes.begin() + i);
}

}  // namespace

std::uint64_t surfaceFrameIntervalNs(double screenMaxFps) {
    if (screenMaxFps < 0) return kScreenFrameIntervalNs;
    double fps = screenMaxFps < 1 ? 60 : std::clamp(screenMaxFps, 30.0, 120.0);
    return static_cast<std::uint64_t>(1'000'000'000.0 / fps);
}

std::uint64_t advancePacingSlot(std::optional<std::uint64_t> lastNs, std::uint64_t nowNs, std::uint64_t intervalNs) {
    if (!lastNs || intervalNs == 0) return nowNs;
    std::uint64_t next = *lastNs + intervalNs;
    if (nowNs < next) return nowNs;
    return next + (nowNs - next) / intervalNs * intervalNs;
}

std::array<float, 4> placeholderClearColor(std::uint64_t frameIndex) {
    constexpr double tau = 2 * std::numbers::pi;
    double t = static_cast<double>(frameIndex % 360) / 360.0;
    return {static_cast<float>(0.1 + 0.08 * std::sin(tau * t)),
            static_cast<float>(0.18 + 0.1 * std::sin(tau * (t + 0.33))),
            static_cast<float>(0.34 + 0.16 * std::sin(tau * (t + 0.66))), 1.0f};
}

bool surfaceViewAvailable(const SurfaceView& view) { return view.device != nullptr; }

void initSurfaceView(SurfaceView& view, gpu::GpuDevice* device, const SurfacePort& port, const SurfaceFrame& frame) {
    view.port = port;
    view.device = device;
    view.frameX = frame.x;
    view.frameY = frame.y;
    view.width = std::max(frame.width, 0.0);
    view.height = std::max(frame.height, 0.0);
    if (!device) return;
    view.canvas.device = device;
    view.canvas.surfaceLabel.clear();
    view.canvas.hooks.context = &view;
    view.canvas.hooks.available = [](void* self) { return surfaceViewAvailable(*static_cast<SurfaceView*>(self)); };
    view.canvas.hooks.stopDisplayTimer = [](void* self) { stopSurfaceDisplayTimer(*static_cast<SurfaceView*>(self)); };
    view.canvas.hooks.renderFrame = [](void* self) { renderSurfaceFrame(*static_cast<SurfaceView*>(self)); };
    view.canvas.hooks.clockNs = [](void* self) { return monotonicNow(*static_cast<SurfaceView*>(self)); };
    updateDrawableSize(view);
    view.displayTimerOn = true;
    if (view.port.setDisplayTimer) view.port.setDisplayTimer(view.port.context, true);
    renderSurfaceFrame(view);
}

void bindSurfaceView(SurfaceView& view, std::uint64_t windowId, std::string_view label) {
    view.windowId = windowId;
    view.label.assign(label);
    view.canvas.surfaceLabel = view.label;
    view.bound = true;
    post(view, 0, SurfaceStep::afterBinding);
}

void setSurfaceFrame(SurfaceView& view, const SurfaceFrame& frame) {
    view.frameX = frame.x;
    view.frameY = frame.y;
    view.width = std::max(frame.width, 0.0);
    view.height = std::max(frame.height, 0.0);
    updateDrawableSize(view);
}

void surfaceScaleChanged(SurfaceView& view) { updateDrawableSize(view); }

void surfaceOcclusionChanged(SurfaceView& view) {
    if (windowState(view) != SurfaceWindowState::visible) return;
    rescheduleParkedFrameEvent(view);
    if (view.glassFlushPending) renderSurfaceFrame(view);
}

void requestRetainedCanvasFrame(SurfaceView& view) {
    if (view.canvas.hasCanvasTexture) {
        scheduleFrameEvent(view, false);
        return;
    }
    if (view.firstCanvasFrameRequestEmitted || view.retainedFrameRequestPending) return;
    view.firstCanvasFrameRequestEmitted = true;
    view.retainedFrameRequestPending = true;
    post(view, 0, SurfaceStep::firstFrameRequest);
}

void noteSurfaceInputActivity(SurfaceView& view) {
    view.inputDrivenFramePending = true;
    rescheduleParkedFrameEvent(view);
}

void flushQueuedFirstCanvasFrameRequest(SurfaceView& view) {
    if (view.retainedFrameRequestPending && !view.canvas.hasCanvasTexture) emitFirstCanvasFrameRequest(view);
}

void emitSurfaceResizeEvent(SurfaceView& view) {
    if (!canEmit(view)) return;
    KelvoHostEvent event = surfaceEvent(view, HostEventKind::gpu_surface_resized);
    event.scale = view.lastScale;
    event.x = view.frameX;
    event.y = view.frameY;
    view.port.emitEvent(view.port.context, event);
}

void stopSurfaceDisplayTimer(SurfaceView& view) {
    if (!view.displayTimerOn) return;
    view.displayTimerOn = false;
    if (view.port.setDisplayTimer) view.port.setDisplayTimer(view.port.context, false);
}

void renderSurfaceFrame(SurfaceView& view) {
    if (!canShow(view)) return;
    updateDrawableSize(view);
    if (windowState(view) == SurfaceWindowState::occluded && view.hasEverPresented) {
        trace(view, "kelvo: gpu frame-trace path=occluded frame=%" PRIu64 "\n", view.frameIndex);
        view.glassFlushPending = true;
        scheduleFrameEvent(view, false);
        return;
    }
    // The software drawable is always there; its vend time is what the trace measures.
    std::uint64_t vendStart = monotonicNow(view);
    std::uint64_t vendUs = (monotonicNow(view) - vendStart) / 1000;
    trace(view, "kelvo: gpu frame-trace path=present frame=%" PRIu64 " vend_us=%" PRIu64 "\n", view.frameIndex, vendUs);

    const CanvasPresenterState& canvas = view.canvas;
    const gpu::GpuTexture* texture = canvas.canvasTexture.get();
    // The canvas is copied over every pixel: a clear under it would be drawn for nothing.
    const bool drawsCanvas =
        canvas.hasCanvasTexture && texture && texture->width == view.drawableWidth &&
        texture->height == view.drawableHeight &&
        gpu::presentCanvas(*view.device, view.drawable, *texture, view.drawableWidth, view.drawableHeight);
    if (!drawsCanvas) {
        clearDrawable(view.drawable, view.drawableWidth, view.drawableHeight,
                      canvas.hasCanvasTexture ? kCanvasClearColor : placeholderClearColor(view.frameIndex));
    }
    if (!view.verifiedNonblankFrame) {
        std::array<std::uint8_t, 4> p = gpu::probeCentrePixel(view.drawable);
        // Read as the 32-bit value of a B, G, R, A pixel in memory: A << 24 | R << 16 | G << 8 | B.
        view.probeResultColor = std::uint32_t{p[3]} << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        view.probeResultNonblank = p[0] != 0 || p[1] != 0 || p[2] != 0;
    } else {
        view.probeResultColor = 0;
        view.probeResultNonblank = false;
    }
    if (view.port.show) view.port.show(view.port.context, view.drawable);
    view.glassFlushPending = false;
    view.hasEverPresented = true;
    ++view.frameIndex;
    post(view, 0, SurfaceStep::probeCompleted);
}

void runSurfaceStep(SurfaceView& view, SurfaceStep step, std::uint64_t generation) {
    switch (step) {
        case SurfaceStep::afterBinding:
            updateDrawableSize(view);
            emitSurfaceResizeEvent(view);
            renderSurfaceFrame(view);
            return;
        case SurfaceStep::firstFrameRequest:
            emitFirstCanvasFrameRequest(view);
            return;
        case SurfaceStep::frameEvent:
            if (generation != view.frameEventGeneration || !view.frameEventScheduled) return;
            view.frameEventScheduled = false;
            emitScheduledFrameEvent(view);
            if (!view.frameEventScheduled) endFrameChannel(view);
            return;
        case SurfaceStep::probeCompleted:
            if (view.probeResultNonblank) {
                view.verifiedNonblankFrame = true;
                view.lastSampleColor = view.probeResultColor;
            }
            view.renderedFrame = true;
            scheduleFrameEvent(view, true);
            return;
    }
}

}  // namespace kelvo
