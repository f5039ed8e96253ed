#include "runtime/reload.hpp"

#include "runtime/core.hpp"

namespace kelvo {

namespace {

// The main window is the only one a platform without per-window loading can load.
constexpr std::uint64_t kMainWindowId = 1;

Status loadSource(Runtime& runtime, std::uint64_t windowId, const WindowSource& source) {
    const Platform& platform = runtime.platform;
    if (hasSlot<&PlatformSlots::loadWindowWebView>(platform)) {
        return callNeeded<&PlatformSlots::loadWindowWebView>(platform, windowId, source);
    }
    if (windowId != kMainWindowId) return fail(Error::UnsupportedService);
    return callNeeded<&PlatformSlots::loadWebView>(platform, source);
}

}  // namespace

Status reloadWindows(Runtime& runtime, const AppBinding& binding) {
    if (!runtime.webViewLayer) return fail(Error::WebViewLayerNotBuilt);
    const WindowSource source =
        binding.sourceCallback != nullptr ? TRY(binding.sourceCallback(binding.appContext)) : binding.defaultSource;
    TRY(storeWindowSource(runtime.appSource, source));
    runtime.appSourcePresent = true;
    const WindowSource appSource = runtime.appSource.get();

    if (runtime.windows.empty()) return loadSource(runtime, kMainWindowId, appSource);
    for (RuntimeWindow& window : runtime.windows) {
        // A closed window keeps its record only so its frame can be saved; there is nothing to load.
        if (!window.open) continue;
        if (!window.hasSource || window.usesAppSource) {
            TRY(storeWindowSource(window.source, appSource));
            window.hasSource = true;
            // A window that took the application source keeps following it on later reloads.
            window.usesAppSource = true;
        }
        TRY(loadSource(runtime, window.id, window.source.get()));
    }
    return {};
}

}  // namespace kelvo
