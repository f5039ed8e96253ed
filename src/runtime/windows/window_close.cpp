#include "runtime/windows/window_close.hpp"

#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/windows/shell_views.hpp"

namespace kelvo {

Status closeWindowReporting(Runtime& runtime, std::uint64_t windowId) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, windowId);
    if (!index) return fail(Error::WindowNotFound);
    RuntimeWindow& window = runtime.windows[*index];
    const bool wasOpen = window.open;
    const bool wasFocused = window.focused;
    window.open = false;
    window.focused = false;
    Status closed = callNeeded<&PlatformSlots::closeWindow>(runtime.platform, windowId);
    if (!closed) {
        window.open = wasOpen;
        window.focused = wasFocused;
        return closed;
    }
    removeWindowRuntimeViews(runtime, windowId);
    markStateDirty(runtime);
    return {};
}

void closeWindow(Runtime& runtime, std::uint64_t windowId) { (void)closeWindowReporting(runtime, windowId); }

void removeWindowRuntimeViews(Runtime& runtime, std::uint64_t windowId) {
    if (std::optional<std::size_t> index = findWindowIndexById(runtime, windowId)) {
        (void)runtime.windows[*index].mainWebViewParent.assign(std::nullopt);
    }
    removeShellViewsEntry(runtime, windowId);
    for (std::size_t i = 0; i < runtime.views.size();) {
        if (runtime.views[i].windowId == windowId) {
            removeViewAt(runtime, i);
        } else {
            ++i;
        }
    }
    for (std::size_t i = 0; i < runtime.webViews.size();) {
        if (runtime.webViews[i].windowId == windowId) {
            removeWebViewAt(runtime, i);
        } else {
            ++i;
        }
    }
}

}  // namespace kelvo
