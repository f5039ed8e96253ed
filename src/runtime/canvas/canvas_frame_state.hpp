#pragma once

// The frame state a canvas view keeps in its slot: what the last presented frame leaves for the
// next plan to compare against, the view's own budget limits, and the reports of its last planned
// frame.

#include <cstdint>

#include "base/error.hpp"
#include "render/frame_history.hpp"
#include "render/frame_report.hpp"

namespace kelvo {

struct CanvasFrameState {
    CanvasFrameHistory history;
    CanvasBudgetLimits budgets{};  // 0: no limit
    CanvasFrameReport report;
    bool reported = false;  // a frame was recorded
    // Whether the last list planned had a text cut short to fit its frame, and which (its command
    // id and the limit it passed): while one is, lists are fitted before they are planned, and a
    // cut is recorded only when it is not the one recorded last.
    bool textCut = false;
    std::uint64_t textCutCommandId = 0;
    Error textCutLimit = Error::TextLayoutLineListFull;
};

}  // namespace kelvo
