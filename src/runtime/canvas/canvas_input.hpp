#pragma once

// The one entry of pointer, wheel, key and text input on a GPU canvas view: the input is noted,
// the view focused, pointer input routed to its widget and counted into clicks, open surfaces
// closed by a press elsewhere, window drags started, the widgets changed (controls, hover,
// carets, scrolling, focus, keys, text, clipboard shortcuts), widget commands sent, and the
// application told with runtime events, all inside one refresh batch so that each view is drawn
// at most once per input. Secondary-button pointer input opens context menus instead.

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

// Two presses make a double click when they are at most this far apart in time and in each
// direction (both bounds included).
inline constexpr std::uint64_t kDoubleClickIntervalNs = 500'000'000;
inline constexpr float kDoubleClickDistance = 4;

Status dispatchGpuSurfaceInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input);

// The open view with that window id and label. Every step of an input looks its view up again,
// since an application handler may close views during the dispatch.
inline std::optional<std::size_t> runtimeFindViewIndex(const Runtime& runtime, std::uint64_t windowId,
                                                       std::string_view label) {
    return findViewIndex(runtime, windowId, label);
}

}  // namespace kelvo
