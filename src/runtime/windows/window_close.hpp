#pragma once

#include <cstdint>

#include "base/error.hpp"

namespace kelvo {

struct Runtime;

// Closes a window on the platform and drops its views, web views and shell; the record stays,
// closed, so its frame can still be saved. WindowNotFound, UnsupportedService (no closeWindow
// slot) or the slot's error leave the window open and focused as it was.
Status closeWindowReporting(Runtime& runtime, std::uint64_t windowId);
// The same, for callers that have nobody to report a failure to.
void closeWindow(Runtime& runtime, std::uint64_t windowId);

// Drops everything a window owns in the runtime: the main web view's parent, its shell
// description, its views and its web views. Nothing is sent to the platform.
void removeWindowRuntimeViews(Runtime& runtime, std::uint64_t windowId);

}  // namespace kelvo
