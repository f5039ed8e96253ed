#include "runtime/windows/window_table.hpp"

#include <limits>

#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/windows/shell_views.hpp"

namespace kelvo {
namespace {

bool sourceFits(const WindowSource& source) {
    if (source.text.size() > kMaxWindowSourceText) return false;
    if (!source.assets) return true;
    return source.assets->assetRoot.size() <= kMaxWindowSourcePart &&
           source.assets->entry.size() <= kMaxWindowSourcePart && source.assets->origin.size() <= kMaxWindowSourcePart;
}

bool frameIsUsable(const RectF& frame) { return isFinite(frame) && frame.width > 0 && frame.height > 0; }

}  // namespace

WindowSource WindowSourceStorage::get() const {
    WindowSource source;
    source.text = text.view();
    if (hasAssets) source.assets = WindowAssets{assetRoot.view(), entry.view(), origin.view(), spaFallback};
    source.kind = kind;
    return source;
}

Status storeWindowSource(WindowSourceStorage& storage, const WindowSource& source) {
    if (!sourceFits(source)) return fail(Error::WindowSourceTooLarge);
    (void)storage.text.assign(source.text);
    storage.hasAssets = source.assets.has_value();
    if (source.assets) {
        (void)storage.assetRoot.assign(source.assets->assetRoot);
        (void)storage.entry.assign(source.assets->entry);
        (void)storage.origin.assign(source.assets->origin);
        storage.spaFallback = source.assets->spaFallback;
    } else {
        storage.assetRoot.clear();
        storage.entry.clear();
        storage.origin.clear();
        storage.spaFallback = false;
    }
    storage.kind = source.kind;
    return {};
}

WindowInfo windowInfo(const RuntimeWindow& window) {
    return WindowInfo{window.id,    window.label.view(), window.title.view(), window.frame,
                      window.scale, window.open,         window.focused};
}

std::optional<std::size_t> findWindowIndexById(const Runtime& runtime, std::uint64_t id) {
    for (std::size_t i = 0; i < runtime.windows.size(); ++i) {
        if (runtime.windows[i].id == id) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> findWindowIndexByLabel(const Runtime& runtime, std::string_view label) {
    for (std::size_t i = 0; i < runtime.windows.size(); ++i) {
        if (runtime.windows[i].label.view() == label) return i;
    }
    return std::nullopt;
}

RuntimeWindow* findOpenWindow(Runtime& runtime, std::uint64_t id) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, id);
    if (!index || !runtime.windows[*index].open) return nullptr;
    return &runtime.windows[*index];
}

const RuntimeWindow* findOpenWindow(const Runtime& runtime, std::uint64_t id) {
    return findOpenWindow(const_cast<Runtime&>(runtime), id);
}

Result<std::size_t> reserveWindow(Runtime& runtime, std::uint64_t id, std::string_view label, std::string_view title,
                                  const std::optional<WindowSource>& source, bool usesAppSource) {
    // Every check runs before anything is written, so a refused reservation changes nothing.
    if (runtime.windows.full()) return fail(Error::WindowLimitReached);
    if (label.empty() || id == 0) return fail(Error::InvalidWindowOptions);
    if (label.size() > kMaxViewLabel || title.size() > kMaxWindowTitle) return fail(Error::NoSpaceLeft);
    if (source && !sourceFits(*source)) return fail(Error::WindowSourceTooLarge);

    const bool first = runtime.windows.empty();
    const std::size_t index = runtime.windows.count;
    RuntimeWindow& window = runtime.windows.items[index];
    resetRecord(window);
    window.id = id;
    (void)window.label.assign(label);
    (void)window.title.assign(title);
    window.open = true;
    window.focused = first;
    window.mainWebViewId = runtime.nextViewId++;
    window.hasSource = source.has_value();
    if (source) (void)storeWindowSource(window.source, *source);
    window.usesAppSource = usesAppSource;
    window.mainWebViewFocused = first;
    ++runtime.windows.count;
    raiseNextWindowId(runtime, id);
    return index;
}

Result<std::size_t> findOrReserveWindow(Runtime& runtime, std::uint64_t id, std::string_view label,
                                        std::string_view title) {
    if (id == 0) return fail(Error::InvalidWindowOptions);
    if (std::optional<std::size_t> index = findWindowIndexById(runtime, id)) return *index;
    return reserveWindow(runtime, id, label, title, std::nullopt, false);
}

void removeWindowAt(Runtime& runtime, std::size_t index) {
    if (index >= runtime.windows.size()) return;
    const std::uint64_t id = runtime.windows[index].id;
    removeShellViewsEntry(runtime, id);
    for (std::size_t i = 0; i < runtime.surfaceMetrics.size(); ++i) {
        if (runtime.surfaceMetrics[i].windowId == id) {
            runtime.surfaceMetrics.removeAt(i);
            break;
        }
    }
    runtime.windows.removeAt(index);
}

void raiseNextWindowId(Runtime& runtime, std::uint64_t id) {
    if (id == std::numeric_limits<std::uint64_t>::max()) return;
    if (runtime.nextWindowId < id + 1) runtime.nextWindowId = id + 1;
}

Status loadWindowSource(Runtime& runtime, std::uint64_t windowId, const WindowSource& source) {
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.loadWindowWebView != nullptr) return slots.loadWindowWebView(platformServices(runtime), windowId, source);
    if (windowId == kMainWindowId && slots.loadWebView != nullptr) {
        return slots.loadWebView(platformServices(runtime), source);
    }
    return fail(Error::UnsupportedService);
}

void setOnlyFocusedWindow(Runtime& runtime, std::size_t index) {
    for (std::size_t i = 0; i < runtime.windows.size(); ++i) runtime.windows[i].focused = (i == index);
}

Result<WindowInfo> createWindowWithSourceMode(Runtime& runtime, const WindowCreateOptions& options, bool usesAppSource,
                                              bool sourceOptional) {
    std::optional<WindowSource> source = options.source;
    if (!source && runtime.appSourcePresent) source = runtime.appSource.get();
    if (!source && !sourceOptional) return fail(Error::MissingWindowSource);
    if (options.label.empty()) return fail(Error::InvalidWindowOptions);
    // Everything that can refuse the window is checked before a closed namesake is replaced, so a
    // refused create never drops the record (and saved frame) of a closed window.
    if (!frameIsUsable(options.frame)) return fail(Error::InvalidWindowOptions);

    std::optional<std::size_t> labelVictim = findWindowIndexByLabel(runtime, options.label);
    if (labelVictim && runtime.windows[*labelVictim].open) labelVictim.reset();
    auto isVictim = [&](std::size_t i, std::optional<std::size_t> idVictim) {
        return (labelVictim && *labelVictim == i) || (idVictim && *idVictim == i);
    };

    std::uint64_t id = options.id;
    std::optional<std::size_t> idVictim;
    if (id == 0) {
        id = runtime.nextWindowId == 0 ? 1 : runtime.nextWindowId;
        for (std::size_t i = 0; i < runtime.windows.size();) {
            if (!isVictim(i, std::nullopt) && runtime.windows[i].id == id) {
                id = id == std::numeric_limits<std::uint64_t>::max() ? 1 : id + 1;
                i = 0;
            } else {
                ++i;
            }
        }
        raiseNextWindowId(runtime, id);
    } else if (std::optional<std::size_t> index = findWindowIndexById(runtime, id);
               index && !runtime.windows[*index].open) {
        idVictim = index;
    }

    std::size_t victims = 0;
    for (std::size_t i = 0; i < runtime.windows.size(); ++i) {
        if (isVictim(i, idVictim)) {
            ++victims;
            continue;
        }
        if (runtime.windows[i].id == id) return fail(Error::DuplicateWindowId);
    }
    for (std::size_t i = 0; i < runtime.windows.size(); ++i) {
        if (!isVictim(i, idVictim) && runtime.windows[i].label.view() == options.label) {
            return fail(Error::DuplicateWindowLabel);
        }
    }
    if (runtime.windows.size() - victims >= kMaxWindows) return fail(Error::WindowLimitReached);
    if (options.label.size() > kMaxViewLabel || options.title.size() > kMaxWindowTitle) {
        return fail(Error::NoSpaceLeft);
    }
    if (source && !sourceFits(*source)) return fail(Error::WindowSourceTooLarge);
    if (source && !runtime.webViewLayer) return fail(Error::WebViewLayerNotBuilt);
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.createWindow == nullptr) return fail(Error::UnsupportedService);

    // Replace the closed namesakes (the later index first, so the earlier one keeps its place).
    std::optional<std::size_t> first = labelVictim, second = idVictim;
    if (first && second && *first == *second) second.reset();
    if (first && second && *first < *second) std::swap(first, second);
    if (first) removeWindowAt(runtime, *first);
    if (second) removeWindowAt(runtime, *second);

    const std::size_t index = TRY(reserveWindow(runtime, id, options.label, options.title, source, usesAppSource));
    RuntimeWindow& window = runtime.windows[index];
    WindowConfig config = options;  // the platform's part, with the id and texts the record holds
    config.id = id;
    config.label = window.label.view();
    config.title = window.title.view();
    Result<WindowInfo> created = slots.createWindow(platformServices(runtime), config);
    if (!created) {
        removeWindowAt(runtime, index);
        return fail(created.error());
    }
    window.frame = created->frame;
    window.scale = created->scale;
    window.open = created->open;
    window.focused = created->focused;
    if (!window.mainWebViewFrameSet) window.mainWebViewFrame = RectF{0, 0, created->frame.width, created->frame.height};
    if (window.focused) setOnlyFocusedWindow(runtime, index);

    if (window.hasSource) {
        if (Status loaded = loadWindowSource(runtime, id, window.source.get()); !loaded) {
            if (slots.closeWindow != nullptr) (void)slots.closeWindow(platformServices(runtime), id);
            removeWindowAt(runtime, index);
            return fail(loaded.error());
        }
    }
    markStateDirty(runtime);
    return windowInfo(runtime.windows[index]);
}

}  // namespace kelvo
