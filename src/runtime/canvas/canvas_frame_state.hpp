#pragma once

// The frame state a canvas view keeps in its slot: what the last presented frame leaves for the
// next plan to compare against, the view's own budget limits, and the reports of its last planned
// frame.

#include <cstdint>
#include <optional>

#include "render/frame_history.hpp"
#include "render/frame_report.hpp"

namespace kelvo {

struct CanvasFrameState {
    CanvasFrameHistory history;
    CanvasBudgetLimits budgets{};  // 0: no limit
    CanvasFrameReport report;
    bool reported = false;  // a frame was recorded
    // The display-list revision whose texts did not fit a frame: its frames are planned with the
    // texts cut short, and the cut was recorded once.
    std::optional<std::uint64_t> textCutRevision;
};

}  // namespace kelvo
