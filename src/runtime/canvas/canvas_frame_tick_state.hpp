#pragma once

// What the frame tick keeps on a canvas view record: the timing of the last frame and the budget
// flags it gave, the first frame, the input latency, the surface's report, the divider and toggle
// animations that run from frame to frame, and the scroll views last handed to the platform's
// scroll drivers. Written by the frame tick only; everything lives in the record, so a record
// moved to another place in the view table keeps it whole.

#include <cstdint>
#include <optional>

#include "base/fixed.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/widget_animation.hpp"

namespace kelvo {

inline constexpr std::uint64_t kDefaultFrameIntervalNs = 16'666'667;
inline constexpr std::uint64_t kDefaultInputLatencyBudgetNs = 16'666'667;
inline constexpr std::uint64_t kDefaultFirstFrameLatencyBudgetNs = 150'000'000;
inline constexpr std::size_t kMaxSplitAnimations = 8;
inline constexpr std::size_t kMaxToggleAnimationEntries = 8;
inline constexpr std::size_t kMaxCanvasScrollDrivers = 16;

// When and how an animation runs. A start of 0 or after the frame time counts from the frame
// time; a duration of 0 finishes at once.
struct CanvasAnimationTiming {
    std::uint64_t startNs = 0;
    std::uint32_t durationMs = 0;
    AnimationEasing curve = AnimationEasing::linear;
    float mass = 1;
    float stiffness = 1;
    float damping = 1;
};

// A split view's divider gliding from one fraction of its track to another.
struct CanvasSplitAnimation {
    std::uint64_t widgetId = 0;
    float startFraction = 0;
    float targetFraction = 0;
    CanvasAnimationTiming timing;
};

// One widget of the view's toggle animation: its value and its opacity move together.
struct CanvasToggleAnimationEntry {
    std::uint64_t widgetId = 0;
    float fromValue = 0;
    float toValue = 0;
    float fromOpacity = 1;
    float toOpacity = 1;
};

// The view's one toggle animation; `progress` is its eased progress at the last tick.
struct CanvasToggleAnimation {
    bool active = false;
    CanvasAnimationTiming timing;
    float progress = 0;
    FixedVec<CanvasToggleAnimationEntry, kMaxToggleAnimationEntries> entries;
    std::optional<Rect> dirty;  // what the animated widgets repaint
};

// A scroll view handed to the platform and the offset it was last handed with.
struct CanvasScrollDriverSync {
    std::uint64_t widgetId = 0;
    float offset = 0;
};

struct CanvasFrameTickState {
    std::uint64_t frameIndex = 0;
    std::uint64_t frameTimeNs = 0;
    std::uint64_t frameIntervalNs = kDefaultFrameIntervalNs;
    // The interval measured against the view's interval budget (0: no budget).
    std::uint64_t measuredIntervalNs = 0;
    std::uint64_t intervalBudgetNs = kDefaultFrameIntervalNs;
    bool intervalBudgetExceeded = false;
    bool intervalBudgetOk = false;
    // The first frame: its latency from the view's creation, against the first-frame budget.
    bool firstFrameRecorded = false;
    std::uint64_t firstFrameLatencyNs = 0;
    std::uint64_t firstFrameBudgetNs = kDefaultFirstFrameLatencyBudgetNs;
    std::uint64_t firstFrameBudgetExceededCount = 0;
    bool firstFrameBudgetOk = false;
    // Input latency: from an input's timestamp to the first unoccluded frame at or after it.
    std::uint64_t inputLatencyNs = 0;
    std::uint64_t inputLatencyBudgetNs = kDefaultInputLatencyBudgetNs;
    std::uint64_t inputLatencyBudgetExceededCount = 0;
    bool inputLatencyBudgetOk = false;
    // A pending input timestamp no frame has reached yet, and how many ticks have seen it: one
    // that two ticks have seen is dropped, so momentum never waits on it for longer.
    std::uint64_t stalePendingNs = 0;
    std::uint8_t stalePendingTicks = 0;
    // As the surface last reported.
    bool nonblank = false;
    std::uint32_t sampleColor = 0;
    std::uint8_t presentPath = 0;
    FixedVec<CanvasSplitAnimation, kMaxSplitAnimations> splitAnimations;
    CanvasToggleAnimation toggle;
    // The scroll views are handed to the platform's scroll drivers only while the view asks.
    bool scrollDriversWanted = false;
    FixedVec<CanvasScrollDriverSync, kMaxCanvasScrollDrivers> scrollDrivers;
};

}  // namespace kelvo
