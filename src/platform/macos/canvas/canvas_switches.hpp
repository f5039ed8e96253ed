#pragma once

// The environment switches of the canvas presenter's diagnostics, read once per process.

#include <string>

namespace kelvo {

struct CanvasSwitches {
    bool composite = false;          // KELVO_GPU_COMPOSITE: the compositor instead of the CPU canvas
    bool drawTrace = false;          // KELVO_GPU_DRAW_TRACE is on
    bool drawTracePresent = false;   // KELVO_GPU_DRAW_TRACE exists (any value): the CPU draw-trace line
    bool drawTraceKinds = false;     // KELVO_GPU_DRAW_TRACE_KINDS exists
    bool frameTrace = false;         // KELVO_GPU_FRAME_TRACE
    bool verifyIncremental = false;  // KELVO_GPU_VERIFY_INCREMENTAL
    bool compare = false;            // KELVO_GPU_COMPARE
    std::string shotDir;             // KELVO_GPU_SHOT_DIR, its first 1,023 bytes; empty: no shots
};

// A switch is on when its variable is set to anything but "" or exactly "0".
bool canvasSwitchOn(const char* value);
// `lookup` answers like getenv.
CanvasSwitches readCanvasSwitches(const char* (*lookup)(const char* name));
// The process's switches, read from the environment on first use.
const CanvasSwitches& canvasSwitches();

}  // namespace kelvo
