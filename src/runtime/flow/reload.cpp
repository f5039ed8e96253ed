#include "runtime/flow/reload.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

Result<WindowSource> refreshAppSource(Runtime& runtime, const AppBinding& binding) {
    const WindowSource source =
        binding.sourceCallback != nullptr ? TRY(binding.sourceCallback(binding.appContext)) : binding.defaultSource;
    TRY(storeWindowSource(runtime.appSource, source));
    runtime.appSourcePresent = true;
    return runtime.appSource.get();
}

Status reloadWindows(Runtime& runtime, const AppBinding& binding) {
    if (!runtime.webViewLayer) return fail(Error::WebViewLayerNotBuilt);
    const WindowSource appSource = TRY(refreshAppSource(runtime, binding));

    if (runtime.windows.empty()) return loadWindowSource(runtime, kMainWindowId, appSource);
    for (RuntimeWindow& window : runtime.windows) {
        // A closed window keeps its record only so its frame can be saved; there is nothing to load.
        if (!window.open) continue;
        if (!window.hasSource || window.usesAppSource) {
            TRY(storeWindowSource(window.source, appSource));
            window.hasSource = true;
            // A window that took the application source keeps following it on later reloads.
            window.usesAppSource = true;
        }
        TRY(loadWindowSource(runtime, window.id, window.source.get()));
    }
    return {};
}

}  // namespace kelvo
