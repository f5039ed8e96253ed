#pragma once

#include <cstdint>
#include <optional>

#include "base/error.hpp"
#include "platform/types/view_records.hpp"

namespace kelvo {

// The canvas widget state a view record carries. The widget tree, tokens and display list of a
// canvas view live in its canvas slot (canvas_slots.hpp), which stays put when the record moves;
// whatever else is added must live inside the record (so a record can be copied to another
// place in the view table) or be rebuilt by `rebindMovedCanvasView`.
struct CanvasViewState {
    // The canvas slot holding the view's widget tree and display list (canvas views only).
    std::optional<std::uint8_t> slot;
    // Mirrors of the slot's counters, so a view record alone can report them: the display list's
    // revision and command count, the widget tree's revision and node count.
    std::uint64_t revision = 0;
    std::uint64_t commandCount = 0;
    std::uint64_t widgetRevision = 0;
    std::uint64_t widgetNodeCount = 0;
    // The surface frame the platform last reported; the next frame is drawn in full while
    // `fullFrameDue` is set; `sizeGeneration` advances whenever size-dependent state starts again.
    RectF surfaceFrame{};
    bool fullFrameDue = false;
    std::uint64_t sizeGeneration = 0;
    // Tests only: while set, the view's render state follows its own focus (as if a focusable
    // widget held it) and every invalidation of the view fails with this error, so the callers'
    // handling of a failed invalidation can run.
    std::optional<Error> invalidationFaultForTests;
};

inline constexpr std::uint64_t kDefaultFrameIntervalNs = 16'666'667;
inline constexpr std::uint64_t kDefaultInputLatencyBudgetNs = 16'666'667;
inline constexpr std::uint64_t kDefaultFirstFrameLatencyBudgetNs = 150'000'000;

// The canvas part of a view's public state. A view that has never drawn reports these values.
struct CanvasViewInfo {
    std::uint64_t canvasRevision = 0;
    std::uint64_t canvasCommandCount = 0;
    std::uint64_t gpuFrameCount = 0;
    std::uint64_t gpuFrameIntervalNs = kDefaultFrameIntervalNs;
    std::uint64_t gpuInputLatencyBudgetNs = kDefaultInputLatencyBudgetNs;
    std::uint64_t gpuFirstFrameLatencyBudgetNs = kDefaultFirstFrameLatencyBudgetNs;
    std::uint64_t widgetRevision = 0;
    std::uint64_t widgetNodeCount = 0;
    std::uint64_t semanticsCount = 0;
    CursorKind cursor = CursorKind::arrow;
    friend bool operator==(const CanvasViewInfo&, const CanvasViewInfo&) = default;
};

struct PointF {
    float x = 0;
    float y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

// The interaction state of a view's canvas widgets that drawing depends on.
struct CanvasWidgetRenderState {
    std::optional<std::uint64_t> focusedWidget;
    std::optional<std::uint64_t> focusVisibleWidget;
    std::optional<std::uint64_t> hoveredWidget;
    std::optional<std::uint64_t> pressedWidget;
    std::optional<PointF> pointer;
};

}  // namespace kelvo
