#include "runtime/windows/shell_views.hpp"

#include <array>
#include <cmath>

#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_lookup.hpp"
#include "runtime/views/view_update.hpp"
#include "runtime/windows/shell_layout.hpp"
#include "runtime/windows/shell_views_table.hpp"

namespace kelvo {
namespace {

bool declaresMainWebView(const ShellViewDescription& shellView) {
    return shellView.kind == ViewKind::webview && shellView.label == kMainWebViewLabel;
}

ViewOptions viewOptionsFor(std::uint64_t windowId, const ShellViewDescription& shellView, const RectF& frame) {
    ViewOptions options;
    options.windowId = windowId;
    options.label = shellView.label;
    options.parent = shellView.parent;
    options.role = shellView.role.value_or("");
    options.accessibilityLabel = shellView.accessibilityLabel.value_or("");
    // A view declared without a text shows its role.
    options.text = shellView.text.value_or(shellView.role.value_or(""));
    options.command = shellView.command.value_or("");
    options.url = shellView.url.value_or("");
    options.frame = frame;
    options.layer = shellView.layer;
    options.kind = shellView.kind;
    options.visible = shellView.visible;
    options.enabled = shellView.enabled;
    options.transparent = false;
    options.bridge = shellView.kind == ViewKind::webview;
    if (shellView.kind == ViewKind::gpu_surface) {
        options.gpu.backend = shellView.gpuBackend.value_or(GpuBackend::metal);
        options.gpu.pixelFormat = shellView.gpuPixelFormat.value_or(GpuPixelFormat::bgra8_unorm);
        options.gpu.presentMode = shellView.gpuPresentMode.value_or(GpuPresentMode::timer);
        options.gpu.alphaMode = shellView.gpuAlphaMode.value_or(GpuAlphaMode::opaque);
        options.gpu.colorSpace = shellView.gpuColorSpace.value_or(GpuColorSpace::srgb);
        options.gpu.vsync = shellView.gpuVsync.value_or(true);
    }
    return options;
}

Status setMainWebViewParent(Runtime& runtime, std::uint64_t windowId, std::optional<std::string_view> parent) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, windowId);
    if (!index) return fail(Error::WindowNotFound);
    if (!runtime.windows[*index].mainWebViewParent.assign(parent)) return fail(Error::NoSpaceLeft);
    return {};
}

ViewUpdate placementUpdate(const ShellPlacedView& placed, const ShellViewDescription& shellView) {
    ViewUpdate update;
    update.frame = placed.frame;
    update.layer = shellView.layer;
    return update;
}

std::optional<std::size_t> findShellViewsEntry(const Runtime& runtime, std::uint64_t windowId) {
    for (std::size_t i = 0; i < runtime.shellViews.size(); ++i) {
        if (runtime.shellViews[i].windowId == windowId) return i;
    }
    return std::nullopt;
}

// Stores a window's description, overwriting its entry or appending one. Every declared view is
// checked first, so a failure leaves an existing entry whole.
Status storeShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewDescription> descriptions) {
    for (const ShellViewDescription& shellView : descriptions) {
        if (shellView.label.size() > kMaxViewLabel || (shellView.parent && shellView.parent->size() > kMaxViewLabel)) {
            return fail(Error::NoSpaceLeft);
        }
    }
    std::optional<std::size_t> index = findShellViewsEntry(runtime, windowId);
    if (!index) {
        if (runtime.shellViews.full()) return fail(Error::WindowLimitReached);
        index = runtime.shellViews.count++;
    }
    ShellViewsEntry& entry = runtime.shellViews.items[*index];
    resetRecord(entry);
    entry.windowId = windowId;
    entry.count = static_cast<std::uint32_t>(descriptions.size());
    for (std::size_t i = 0; i < descriptions.size(); ++i)
        entry.descriptions[i] = *storeShellViewDescription(descriptions[i]);
    return {};
}

// The main web view's placement, saved before a shell is created and put back when it fails.
struct MainWebViewState {
    OptionalLabel parent;
    RectF frame{};
    std::int32_t layer = 0;
    bool frameSet = false;
};

using ShellCreatedLabels = FixedVec<LabelBytes, kMaxShellViews>;

using ShellCreatedLabels = FixedVec<LabelBytes, kMaxShellViews>;

// Lays the declared views out and creates their views (or, with `relayout`, moves the existing ones,
// skipping views the page has closed). Labels of created views are appended to `created`.
Status applyShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewDescription> descriptions,
                       const RectF& content, bool relayout, ShellCreatedLabels& created) {
    ShellLayout layout;
    TRY(runShellLayout(layout, descriptions, content));
    for (const ShellPlacedView& placed : layout.placed) {
        const ShellViewDescription& shellView = descriptions[placed.descriptionIndex];
        if (relayout) {
            if (declaresMainWebView(shellView) && findWindowIndexById(runtime, windowId)) {
                TRY(setMainWebViewParent(runtime, windowId, shellView.parent));
            }
            Result<ViewInfo> moved = updateView(runtime, windowId, shellView.label, placementUpdate(placed, shellView));
            // The page may have closed a shell view since; the others still move.
            if (!moved && moved.error() != Error::ViewNotFound && moved.error() != Error::WebViewNotFound) {
                return fail(moved.error());
            }
        } else if (declaresMainWebView(shellView)) {
            TRY(setMainWebViewParent(runtime, windowId, shellView.parent));
            TRY(updateView(runtime, windowId, kMainWebViewLabel, placementUpdate(placed, shellView)));
        } else {
            TRY(createView(runtime, viewOptionsFor(windowId, shellView, placed.frame)));
            LabelBytes label;
            (void)label.assign(shellView.label);
            (void)created.push(label);
        }
    }
    return {};
}

// Puts back the main web view's placement saved before a failed shell creation.
void restoreMainWebViewState(Runtime& runtime, std::uint64_t windowId, const MainWebViewState& saved) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, windowId);
    if (!index) return;
    RuntimeWindow& window = runtime.windows[*index];
    if (window.hasSource) {
        const PlatformSlots& slots = platformSlots(runtime);
        if ((saved.frameSet != window.mainWebViewFrameSet || saved.frame != window.mainWebViewFrame) &&
            slots.setWebViewFrame != nullptr) {
            (void)slots.setWebViewFrame(platformServices(runtime), windowId, kMainWebViewLabel, saved.frame);
        }
        if (saved.layer != window.mainWebViewLayer && slots.setWebViewLayer != nullptr) {
            (void)slots.setWebViewLayer(platformServices(runtime), windowId, kMainWebViewLabel, saved.layer);
        }
    }
    window.mainWebViewFrame = saved.frame;
    window.mainWebViewFrameSet = saved.frameSet;
    window.mainWebViewLayer = saved.layer;
    window.mainWebViewParent = saved.parent;
}

}  // namespace

Result<StoredShellViewDescription> storeShellViewDescription(const ShellViewDescription& shellView) {
    StoredShellViewDescription stored;
    if (!stored.label.assign(shellView.label) || !stored.parent.assign(shellView.parent)) {
        return fail(Error::NoSpaceLeft);
    }
    stored.kind = shellView.kind;
#define KELVO_STORE_PLACEMENT(type, name, initial) stored.name = shellView.name;
    KELVO_SHELL_VIEW_PLACEMENT(KELVO_STORE_PLACEMENT)
#undef KELVO_STORE_PLACEMENT
    return stored;
}

ShellViewDescription shellViewDescriptionFromStored(const StoredShellViewDescription& stored) {
    ShellViewDescription shellView;
#define KELVO_RESTORE_PLACEMENT(type, name, initial) shellView.name = stored.name;
    KELVO_SHELL_VIEW_PLACEMENT(KELVO_RESTORE_PLACEMENT)
#undef KELVO_RESTORE_PLACEMENT
    shellView.label = stored.label.view();
    shellView.parent = stored.parent.get();
    shellView.kind = stored.kind;
    return shellView;
}

RectF windowContentRect(const Runtime& runtime, std::uint64_t windowId) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, windowId);
    if (!index) return RectF{};
    const float width = runtime.windows[*index].frame.width;
    const float height = runtime.windows[*index].frame.height;
    const SurfaceResizedEvent* metrics = surfaceMetricsFor(runtime, windowId);
    if (metrics == nullptr) return RectF{0, 0, width, height};
    const float left = std::fmax(metrics->safeArea.left, metrics->keyboard.left);
    const float top = std::fmax(metrics->safeArea.top, metrics->keyboard.top);
    const float right = std::fmax(metrics->safeArea.right, metrics->keyboard.right);
    const float bottom = std::fmax(metrics->safeArea.bottom, metrics->keyboard.bottom);
    return RectF{std::fmin(left, width), std::fmin(top, height), std::fmax(width - left - right, 0.0f),
                 std::fmax(height - top - bottom, 0.0f)};
}

Status createShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewDescription> descriptions,
                        const RectF& content) {
    if (descriptions.size() > kMaxShellViews) return fail(Error::ViewLimitReached);
    const RuntimeWindow* window = findOpenWindow(runtime, windowId);
    if (window == nullptr) return fail(Error::WindowNotFound);

    std::size_t webViewDescriptions = 0;
    std::size_t viewDescriptions = 0;
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        const ShellViewDescription& shellView = descriptions[i];
        for (std::size_t j = 0; j < i; ++j) {
            if (descriptions[j].label == shellView.label) return fail(Error::DuplicateViewLabel);
        }
        if (declaresMainWebView(shellView)) continue;
        if (windowHasViewLabel(runtime, windowId, shellView.label)) return fail(Error::DuplicateViewLabel);
        ++(shellView.kind == ViewKind::webview ? webViewDescriptions : viewDescriptions);
    }
    if (viewDescriptions > kMaxViews - runtime.views.size()) return fail(Error::ViewLimitReached);
    if (webViewDescriptions > kMaxWebViews - runtime.webViews.size()) return fail(Error::WebViewLimitReached);

    MainWebViewState saved;
    saved.parent = window->mainWebViewParent;
    saved.frame = window->mainWebViewFrame;
    saved.layer = window->mainWebViewLayer;
    saved.frameSet = window->mainWebViewFrameSet;

    ShellCreatedLabels created;
    Status status = applyShellViews(runtime, windowId, descriptions, content, false, created);
    if (status) status = storeShellViews(runtime, windowId, descriptions);
    if (status) return {};
    for (std::size_t i = created.size(); i-- > 0;) (void)closeView(runtime, windowId, created[i].view());
    restoreMainWebViewState(runtime, windowId, saved);
    return status;
}

Status relayoutShellViews(Runtime& runtime, std::uint64_t windowId) {
    std::optional<std::size_t> entryIndex = findShellViewsEntry(runtime, windowId);
    if (!entryIndex) return {};
    const ShellViewsEntry& entry = runtime.shellViews[*entryIndex];
    std::array<ShellViewDescription, kMaxShellViews> descriptions;
    for (std::size_t i = 0; i < entry.count; ++i)
        descriptions[i] = shellViewDescriptionFromStored(entry.descriptions[i]);
    ShellCreatedLabels created;
    return applyShellViews(runtime, windowId, std::span(descriptions.data(), entry.count),
                           windowContentRect(runtime, windowId), true, created);
}

void relayoutShellViewsOrTrace(Runtime& runtime, std::uint64_t windowId) {
    Status status = relayoutShellViews(runtime, windowId);
    if (status) return;
    const TraceField fields[] = {traceU64("window_id", windowId)};
    runtimeTrace(runtime, "shell.relayout_failed", errorName(status.error()), fields);
}

void removeShellViewsEntry(Runtime& runtime, std::uint64_t windowId) {
    if (std::optional<std::size_t> index = findShellViewsEntry(runtime, windowId)) {
        runtime.shellViews.removeAt(*index);
    }
}

}  // namespace kelvo
