#include "runtime/windows/startup_windows.hpp"

#include <array>

#include "runtime/flow/reload.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

std::string_view sourceKindName(WindowSourceKind kind) {
    switch (kind) {
        case WindowSourceKind::html:
            return "html";
        case WindowSourceKind::url:
            return "url";
        case WindowSourceKind::assets:
            return "assets";
    }
    return "html";
}

struct StartupWindow {
    std::uint64_t id = 0;
    std::string_view label;
    std::string_view title;
};

// The id, label and title a configured window gets at start-up.
StartupWindow resolveStartupWindow(const AppConfig& config, const WindowConfig& entry, std::size_t i, bool fromList) {
    StartupWindow window;
    window.id = startupWindowId(entry.id, i, fromList);
    window.label = !entry.label.empty() ? entry.label : (i == 0 ? std::string_view("main") : "window");
    window.title = entry.title;
    if (window.title.empty()) window.title = config.windowTitle;
    if (window.title.empty()) window.title = config.mainWindow.title;
    if (window.title.empty()) window.title = config.appName;
    return window;
}

// Puts back the main web view's frame, layer and zoom that a window record already holds.
Status restoreMainWebView(Runtime& runtime, std::uint64_t windowId) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, windowId);
    if (!index) return fail(Error::WindowNotFound);
    const RuntimeWindow& window = runtime.windows[*index];
    if (window.mainWebViewFrameSet) {
        TRY(callNeeded<&PlatformSlots::setWebViewFrame>(runtime.platform, windowId, kMainWebViewLabel,
                                                        window.mainWebViewFrame));
    }
    if (window.mainWebViewLayer != 0) {
        TRY(callNeeded<&PlatformSlots::setWebViewLayer>(runtime.platform, windowId, kMainWebViewLabel,
                                                        window.mainWebViewLayer));
    }
    if (window.mainWebViewZoom != 1.0) {
        TRY(callNeeded<&PlatformSlots::setWebViewZoom>(runtime.platform, windowId, kMainWebViewLabel,
                                                       window.mainWebViewZoom));
    }
    return {};
}

Status loadWindowEntries(Runtime& runtime, const AppBinding& binding, std::span<const WindowConfig> entries,
                         bool fromList) {
    if (!runtime.webViewLayer) return fail(Error::WebViewLayerNotBuilt);
    const WindowSource appSource = TRY(refreshAppSource(runtime, binding));

    const AppConfig& config = runtime.appConfig;

    // Two configured windows with one id or one label would be two platform windows behind one record.
    std::array<StartupWindow, kMaxWindows> resolved{};
    if (entries.size() > kMaxWindows) return fail(Error::WindowLimitReached);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        resolved[i] = resolveStartupWindow(config, entries[i], i, fromList);
        for (std::size_t j = 0; j < i; ++j) {
            if (resolved[j].id == resolved[i].id) return fail(Error::DuplicateWindowId);
            if (resolved[j].label == resolved[i].label) return fail(Error::DuplicateWindowLabel);
        }
    }

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const WindowConfig& entry = entries[i];
        const StartupWindow& window = resolved[i];
        if (std::optional<std::size_t> existing = findWindowIndexById(runtime, window.id)) {
            RuntimeWindow& record = runtime.windows[*existing];
            TRY(storeWindowSource(record.source, appSource));
            record.hasSource = true;
            record.usesAppSource = true;
        } else {
            const std::size_t index =
                TRY(reserveWindow(runtime, window.id, window.label, window.title, appSource, true));
            RuntimeWindow& record = runtime.windows[index];
            record.frame = entry.frame;
            record.mainWebViewFrame = RectF{0, 0, entry.frame.width, entry.frame.height};
        }
        if (i > 0) {
            WindowConfig created = entry;
            created.id = window.id;
            created.label = window.label;
            created.title = window.title;
            TRY(callNeeded<&PlatformSlots::createWindow>(runtime.platform, created));
        }
        TRY(loadWindowSource(runtime, window.id, appSource));
        TRY(restoreMainWebView(runtime, window.id));
        raiseNextWindowId(runtime, window.id);
    }

    const TraceField fields[] = {traceText("kind", sourceKindName(appSource.kind)),
                                 traceU64("bytes", appSource.text.size())};
    runtimeTrace(runtime, "webview.load", "loaded webview source", fields);
    return {};
}

}  // namespace

std::uint64_t startupWindowId(std::uint64_t declared, std::size_t position, bool fromList) {
    // Only the first window can have id 1: the host creates it itself.
    if (declared == 0 || (fromList && position > 0 && declared == kMainWindowId)) return position + 1;
    return declared;
}

Status loadStartupWindows(Runtime& runtime, const AppBinding& binding) {
    const AppConfig& config = runtime.appConfig;
    const bool fromList = !config.windows.empty();
    return loadWindowEntries(runtime, binding, fromList ? config.windows : std::span(&config.mainWindow, 1), fromList);
}

Status loadStartupWindowList(Runtime& runtime, const AppBinding& binding, std::span<const WindowConfig> windows) {
    return loadWindowEntries(runtime, binding, windows, true);
}

}  // namespace kelvo
