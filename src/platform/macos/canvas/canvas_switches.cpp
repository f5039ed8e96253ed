#include "platform/macos/canvas/canvas_switches.hpp"

#include <cstdlib>
#include <cstring>

namespace kelvo {

namespace {

constexpr std::size_t kShotDirMaxBytes = 1023;

const char* processLookup(const char* name) { return std::getenv(name); }

}  // namespace

bool canvasSwitchOn(const char* value) { return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0; }

CanvasSwitches readCanvasSwitches(const char* (*lookup)(const char* name)) {
    CanvasSwitches s;
    s.composite = canvasSwitchOn(lookup("KELVO_GPU_COMPOSITE"));
    const char* trace = lookup("KELVO_GPU_DRAW_TRACE");
    s.drawTrace = canvasSwitchOn(trace);
    s.drawTracePresent = trace != nullptr;
    s.drawTraceKinds = lookup("KELVO_GPU_DRAW_TRACE_KINDS") != nullptr;
    s.frameTrace = canvasSwitchOn(lookup("KELVO_GPU_FRAME_TRACE"));
    s.verifyIncremental = canvasSwitchOn(lookup("KELVO_GPU_VERIFY_INCREMENTAL"));
    s.compare = canvasSwitchOn(lookup("KELVO_GPU_COMPARE"));
    if (const char* dir = lookup("KELVO_GPU_SHOT_DIR"); dir != nullptr)
        s.shotDir.assign(dir, strnlen(dir, kShotDirMaxBytes));
    return s;
}

const CanvasSwitches& canvasSwitches() {
    static const CanvasSwitches switches = readCanvasSwitches(processLookup);
    return switches;
}

}  // namespace kelvo
