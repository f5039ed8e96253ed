#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "platform/types/geometry.hpp"
#include "runtime/flow/app_binding.hpp"
#include "runtime/views/view_table.hpp"
#include "runtime/windows/shell_description.hpp"

namespace kelvo {

struct Runtime;

// ---- start-up windows ----

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

// ---- closing windows ----

// Closes a window on the platform and drops its views, web views and shell; the record stays,
// closed, so its frame can still be saved. WindowNotFound, UnsupportedService (no closeWindow
// slot) or the slot's error leave the window open and focused as it was.
Status closeWindowReporting(Runtime& runtime, std::uint64_t windowId);
// The same, for callers that have nobody to report a failure to.
void closeWindow(Runtime& runtime, std::uint64_t windowId);

// Drops everything a window owns in the runtime: the main web view's parent, its shell
// description, its views and its web views. Nothing is sent to the platform.
void removeWindowRuntimeViews(Runtime& runtime, std::uint64_t windowId);

// ---- shell views ----

// The window's content rectangle: its frame's size less the larger of its safe-area and keyboard
// insets at each edge (from the window's last surface metrics); 0, 0, 0, 0 for no window.
RectF windowContentRect(const Runtime& runtime, std::uint64_t windowId);

// The main web view's placement, saved before a shell is created and put back when it fails.
struct MainWebViewState {
    OptionalLabel parent;
    RectF frame{};
    std::int32_t layer = 0;
    bool frameSet = false;
};

using ShellCreatedLabels = FixedVec<LabelBytes, kMaxShellViews>;

// Creates a window's shell views inside `content` and stores the description for relayouts. On
// failure every view it created is closed again (newest first) and the main web view is put back.
Status createShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewSpec> specs,
                        const RectF& content);

// Lays the declared views out and creates their views (or, with `relayout`, moves the existing ones,
// skipping views the page has closed). Labels of created views are appended to `created`.
Status applyShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewSpec> specs,
                       const RectF& content, bool relayout, ShellCreatedLabels& created);

// Lays out a window's stored shell again; a window without one succeeds at once.
Status relayoutShellViews(Runtime& runtime, std::uint64_t windowId);
// The same, writing a failure as the trace "shell.relayout_failed" instead of returning it.
void relayoutShellViewsOrTrace(Runtime& runtime, std::uint64_t windowId);

void restoreMainWebViewState(Runtime& runtime, std::uint64_t windowId, const MainWebViewState& saved);

// Removes the stored shell description of a window, if any.
void removeShellViewsEntry(Runtime& runtime, std::uint64_t windowId);

}  // namespace kelvo
