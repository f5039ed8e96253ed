#pragma once

// Canvas frames of a view: planning the view's next frame from its slot, recording the reports
// of a planned frame, and committing a presented frame as the one the next plan compares against.
// The frame tick plans, presents, then commits; a screenshot plans a full frame without touching
// what the view presented.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "render/frame_plan.hpp"
#include "render/frame_report.hpp"
#include "runtime/canvas/canvas_frame_state.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

struct Runtime;

enum class CanvasFramePurpose : std::uint8_t {
    present,     // the frame tick: the plan's reports are recorded on the view
    screenshot,  // a full repaint; the view's presented state and reports stay as they are
};

// Plans the next frame of the GPU canvas view at `viewIndex` into `storage` (usually
// `canvasFrameStorageForThread()`). ViewNotFound for an index past the view table,
// UnsupportedViewKind for a view that is not a canvas view with a slot; else the errors of the
// plan. The plan samples the animations the view's widgets scheduled in its slot. The first plan
// of the process writes the first_plan_begin and first_plan_done launch marks; a plan for the
// frame tick is timed under the frame profile's plan stage.
Result<CanvasFrame> planCanvasFrameForView(Runtime& runtime, std::size_t viewIndex, const CanvasFrameRequest& request,
                                           const CanvasFrameStorage& storage,
                                           CanvasFramePurpose purpose = CanvasFramePurpose::present);

// Stores a planned frame's diagnostics, packet summary, budget flags and profile on the view.
void recordCanvasFrame(CanvasFrameState& state, const CanvasFrame& frame);

// After presenting `frame` on the view: the frame becomes the previous frame of the next plan, and
// the view no longer asks for a whole frame.
Status commitPresentedCanvasFrameForView(Runtime& runtime, std::size_t viewIndex, const CanvasFrame& frame);

// The view's report of its last recorded frame, as its public state lists it.
CanvasFrameInfo canvasFrameInfoFromReport(const CanvasFrameReport& report);

}  // namespace kelvo
