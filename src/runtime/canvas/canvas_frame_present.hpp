#pragma once

// Presenting a planned canvas frame: what the frame tick does between planning a frame and
// committing it as the frame the next plan compares against.

#include <cstddef>

#include "base/error.hpp"
#include "render/frame.hpp"

namespace kelvo {

struct Runtime;

// Hands the planned `frame` of the canvas view at `viewIndex` to the platform. Success means the
// platform has the frame, so the tick commits it; an error leaves the previous frame in place.
// The platform draws from the view's display list for now, so every planned frame counts as
// presented; packets written from the plan will go out here.
Status presentCanvasFrame(Runtime& runtime, std::size_t viewIndex, const CanvasFrame& frame);

}  // namespace kelvo
