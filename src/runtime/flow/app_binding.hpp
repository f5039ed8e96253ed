#pragma once

#include <string_view>

#include "base/error.hpp"
#include "platform/types/runtime_event.hpp"
#include "platform/types/window_records.hpp"
#include "runtime/windows/app_scene.hpp"

namespace kelvo {

struct Runtime;

// What the application hands the runtime together with the run: its context, its identifier and
// where its pages come from, and the hooks through which the event flow involves the application.
struct AppBinding {
    void* appContext = nullptr;
    std::string_view appId;
    // The source every window without one of its own shows, unless the callback gives another.
    WindowSource defaultSource;
    // Asked for the current source at start-up and reload; its texts stay valid until the next call.
    Result<WindowSource> (*sourceCallback)(void* appContext) = nullptr;

    // ---- event flow hooks; each optional ----
    // Yields the windows (with their shell views) to open at app_start instead of the configured ones.
    Result<AppScene> (*sceneProvider)(void* appContext) = nullptr;
    // Runs at app_start before the extension modules start.
    Status (*startHook)(void* appContext, Runtime& runtime) = nullptr;
    // Receives every runtime event the runtime delivers.
    Status (*eventHandler)(void* appContext, Runtime& runtime, const RuntimeEvent& event) = nullptr;
    // Runs at app_shutdown after the extension modules stopped.
    Status (*stopHook)(void* appContext, Runtime& runtime) = nullptr;
};

}  // namespace kelvo
