#pragma once

#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "platform/types/geometry.hpp"
#include "runtime/windows/shell_description.hpp"

namespace kelvo {

// The views a window's shell declares: created inside the window's content rectangle, stored, and
// laid out again whenever the window's size or insets change.

struct Runtime;

// The window's content rectangle: its frame's size less the larger of its safe-area and keyboard
// insets at each edge (from the window's last surface metrics); 0, 0, 0, 0 for no window.
RectF windowContentRect(const Runtime& runtime, std::uint64_t windowId);

// Creates a window's shell views inside `content` and stores the description for relayouts. On
// failure every view it created is closed again (newest first) and the main web view is put back.
Status createShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewDescription> descriptions,
                        const RectF& content);

// Lays out a window's stored shell again; a window without one succeeds at once.
Status relayoutShellViews(Runtime& runtime, std::uint64_t windowId);
// The same, writing a failure as the trace "shell.relayout_failed" instead of returning it.
void relayoutShellViewsOrTrace(Runtime& runtime, std::uint64_t windowId);

// Removes the stored shell description of a window, if any.
void removeShellViewsEntry(Runtime& runtime, std::uint64_t windowId);

}  // namespace kelvo
