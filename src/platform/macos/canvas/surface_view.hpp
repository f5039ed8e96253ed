#pragma once

// One GPU canvas view on screen: it shows the canvas texture in its drawable (an animated
// placeholder until the first presentation), keeps the drawable in step with its size and scale,
// probes the first frames for a non-blank picture and paces the frame events that tell the runtime
// when it wants a new frame. At most one frame event is outstanding; emissions sit on a grid of
// the screen's refresh interval, measured on the monotonic clock so a wall-clock step cannot stall
// them (the wall clock only stamps the events).
//
// Everything runs on the main thread. What the view needs from its window, screen and loop comes
// through `SurfacePort`; the owner looks the view up again when a posted step runs, so a step
// posted for a view that is gone is dropped.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/macos/canvas/canvas_presenter_state.hpp"
#include "platform/macos/host_event.hpp"
#include "platform/standin/gpu/gpu_device.hpp"

namespace kelvo {

// The steps a view posts to its main queue, run later through `runSurfaceStep`.
enum class SurfaceStep : std::uint8_t {
    afterBinding = 0,       // drawable size, resize event, a draw
    firstFrameRequest = 1,  // the first frame event of the view's life
    frameEvent = 2,         // a paced frame event; stale when its generation no longer matches
    probeCompleted = 3,     // the centre-pixel probe of the last draw has been read
};

// A view's frame in its parent, top-left based, in points.
struct SurfaceFrame {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

enum class SurfaceWindowState : std::uint8_t { none = 0, visible = 1, occluded = 2 };

struct SurfacePort {
    void* context = nullptr;
    std::uint64_t (*monotonicNs)(void* context) = nullptr;
    std::uint64_t (*wallNs)(void* context) = nullptr;  // since 1970
    // Runs `runSurfaceStep(view, step, generation)` on the main queue after `delayNs`.
    void (*post)(void* context, std::uint64_t delayNs, SurfaceStep step, std::uint64_t generation) = nullptr;
    void (*emitEvent)(void* context, const KelvoHostEvent& event) = nullptr;
    void (*scheduleFrame)(void* context) = nullptr;             // the host's application frame timer
    void (*setDisplayTimer)(void* context, bool on) = nullptr;  // 60 Hz placeholder redraws
    SurfaceWindowState (*windowState)(void* context) = nullptr;
    double (*windowScale)(void* context) = nullptr;   // not above 0: unknown
    double (*screenScale)(void* context) = nullptr;   // not above 0: unknown
    double (*screenMaxFps)(void* context) = nullptr;  // below 0: no screen at all
    // The drawable was drawn: it goes to the screen as it is now (optional).
    void (*show)(void* context, const gpu::GpuDrawable& drawable) = nullptr;
};

struct SurfaceView {
    SurfacePort port;
    gpu::GpuDevice* device = nullptr;  // null: the view is unavailable
    CanvasPresenterState canvas;       // presentation writes the canvas texture here
    gpu::GpuDrawable drawable;

    std::uint64_t windowId = 0;
    std::string label;  // events go out only with a non-empty label
    bool bound = false;
    bool hidden = false;
    // Frame in the parent, top-left based, and bounds size, in points.
    double frameX = 0;
    double frameY = 0;
    double width = 0;
    double height = 0;

    bool displayTimerOn = false;
    std::uint64_t frameIndex = 0;
    bool hasEverPresented = false;
    bool renderedFrame = false;
    bool verifiedNonblankFrame = false;
    std::uint32_t lastSampleColor = 0;  // A << 24 | R << 16 | G << 8 | B
    bool probeResultNonblank = false;   // the probe read by the last draw, until its step runs
    std::uint32_t probeResultColor = 0;

    std::uint32_t drawableWidth = 0;  // pixels
    std::uint32_t drawableHeight = 0;
    double lastScale = 0;

    bool retainedFrameRequestPending = false;
    bool firstCanvasFrameRequestEmitted = false;
    std::optional<std::uint64_t> retainedFrameLastEmitNs;  // monotonic; none before the first event

    bool frameEventScheduled = false;
    std::uint64_t frameEventGeneration = 0;
    bool inputDrivenFramePending = false;
    bool frameChannelActive = false;  // held while a frame event is armed
    bool glassFlushPending = false;   // a frame did not reach the screen and must be drawn again
};

inline constexpr std::uint64_t kScreenFrameIntervalNs = 16'666'666;
inline constexpr std::uint64_t kOccludedFrameIntervalNs = 1'000'000'000;

// 10^9 / fps with fps clamped to 30..120 (60 below 1); no screen (negative): 16,666,666.
std::uint64_t surfaceFrameIntervalNs(double screenMaxFps);
// The next slot on the grid of `last` (none yet gives `now`); a `now` before the next slot is
// taken as it is.
std::uint64_t advancePacingSlot(std::optional<std::uint64_t> lastNs, std::uint64_t nowNs, std::uint64_t intervalNs);
// The placeholder's clear colour for a frame index, R, G, B, A in 0..1.
std::array<float, 4> placeholderClearColor(std::uint64_t frameIndex);
inline constexpr std::array<float, 4> kCanvasClearColor{0.965f, 0.973f, 0.988f, 1.0f};

// Creation and binding. `initSurfaceView` starts the placeholder and draws once.
void initSurfaceView(SurfaceView& view, gpu::GpuDevice* device, const SurfacePort& port, const SurfaceFrame& frame);
void bindSurfaceView(SurfaceView& view, std::uint64_t windowId, std::string_view label);
bool surfaceViewAvailable(const SurfaceView& view);

// What the window and the runtime tell the view.
void setSurfaceFrame(SurfaceView& view, const SurfaceFrame& frame);
void surfaceScaleChanged(SurfaceView& view);
void surfaceOcclusionChanged(SurfaceView& view);  // the window's visibility changed
void requestRetainedCanvasFrame(SurfaceView& view);
void noteSurfaceInputActivity(SurfaceView& view);
void flushQueuedFirstCanvasFrameRequest(SurfaceView& view);
void emitSurfaceResizeEvent(SurfaceView& view);

// Drawing: the display timer's tick and presentation's request.
void renderSurfaceFrame(SurfaceView& view);
void stopSurfaceDisplayTimer(SurfaceView& view);

// A posted step has come due.
void runSurfaceStep(SurfaceView& view, SurfaceStep step, std::uint64_t generation);

}  // namespace kelvo
