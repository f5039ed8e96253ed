#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "platform/types/window_records.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// Fixes the application source, gives every configured window a record, creates the platform
// windows the host did not create itself (all but the first), loads each window's page and
// restores its main web view's frame, layer and zoom; then writes the trace "webview.load".
// Repeated configured window ids or labels are refused before anything is touched.
Status loadStartupWindows(Runtime& runtime, const AppBinding& binding);
// The same for a window list the application supplies in place of the configured one (a scene):
// ids by list position when 0, and only the first window may be window 1.
Status loadStartupWindowList(Runtime& runtime, const AppBinding& binding, std::span<const WindowConfig> windows);
// The id a start-up window gets: its own, else (0) its position in the list plus 1; in a supplied
// list a window after the first that asks for id 1 gets its position too.
std::uint64_t startupWindowId(std::uint64_t declared, std::size_t position, bool fromList);

}  // namespace kelvo
