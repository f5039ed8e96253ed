#pragma once

#include <string_view>

#include "base/error.hpp"
#include "platform/types/window_records.hpp"

namespace kelvo {

// What the application hands the runtime together with the run: its context, its identifier and
// where its pages come from. The event dispatcher's hooks (scene provider, start hook, event
// handler, stop hook) belong here too, after the source callback.
struct AppBinding {
    void* appContext = nullptr;
    std::string_view appId;
    // The source every window without one of its own shows, unless the callback gives another.
    WindowSource defaultSource;
    // Asked for the current source at start-up and reload; its texts stay valid until the next call.
    Result<WindowSource> (*sourceCallback)(void* appContext) = nullptr;
};

}  // namespace kelvo
