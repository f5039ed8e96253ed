#include <array>
#include <cmath>

#include "runtime/core.hpp"
#include "runtime/runtime_trace.hpp"
#include "runtime/shell_layout.hpp"
#include "runtime/shell_views_table.hpp"
#include "runtime/window_view_runtime.hpp"
#include "runtime/window_views.hpp"

namespace kelvo {
namespace {

bool isMainSpec(const ShellViewSpec& spec) { return spec.kind == ViewKind::webview && spec.label == kMainWebViewLabel; }

ViewOptions viewOptionsFor(std::uint64_t windowId, const ShellViewSpec& spec, const RectF& frame) {
    ViewOptions options;
    options.windowId = windowId;
    options.label = spec.label;
    options.parent = spec.parent;
    options.role = spec.role.value_or("");
    options.accessibilityLabel = spec.accessibilityLabel.value_or("");
    // A view declared without a text shows its role.
    options.text = spec.text ? *spec.text : spec.role.value_or("");
    options.command = spec.command.value_or("");
    options.url = spec.url.value_or("");
    options.frame = frame;
    options.layer = spec.layer;
    options.kind = spec.kind;
    options.visible = spec.visible;
    options.enabled = spec.enabled;
    options.transparent = false;
    options.bridge = spec.kind == ViewKind::webview;
    if (spec.kind == ViewKind::gpu_surface) {
        options.gpuBackend = spec.gpuBackend.value_or(GpuBackend::metal);
        options.gpuPixelFormat = spec.gpuPixelFormat.value_or(GpuPixelFormat::bgra8_unorm);
        options.gpuPresentMode = spec.gpuPresentMode.value_or(GpuPresentMode::timer);
        options.gpuAlphaMode = spec.gpuAlphaMode.value_or(GpuAlphaMode::opaque);
        options.gpuColorSpace = spec.gpuColorSpace.value_or(GpuColorSpace::srgb);
        options.gpuVsync = spec.gpuVsync.value_or(true);
    }
    return options;
}

Status setMainWebViewParent(Runtime& runtime, std::uint64_t windowId, std::optional<std::string_view> parent) {
    std::optional<std::size_t> index = findWindowIndexById(runtime, windowId);
    if (!index) return fail(Error::WindowNotFound);
    if (!runtime.windows[*index].mainWebViewParent.assign(parent)) return fail(Error::NoSpaceLeft);
    return {};
}

ViewUpdate placementUpdate(const ShellPlacedView& placed, const ShellViewSpec& spec) {
    ViewUpdate update;
    update.frame = placed.frame;
    update.layer = spec.layer;
    return update;
}

std::optional<std::size_t> findShellViewsEntry(const Runtime& runtime, std::uint64_t windowId) {
    for (std::size_t i = 0; i < runtime.shellViews.size(); ++i) {
        if (runtime.shellViews[i].windowId == windowId) return i;
    }
    return std::nullopt;
}

// Stores a window's description, overwriting its entry or appending one. Every spec is copied
// aside first, so a failure leaves an existing entry whole.
Status storeShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewSpec> specs) {
    for (const ShellViewSpec& spec : specs) {
        if (spec.label.size() > kMaxViewLabel || (spec.parent && spec.parent->size() > kMaxViewLabel)) {
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
    entry.count = static_cast<std::uint32_t>(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) entry.specs[i] = *storeShellViewSpec(specs[i]);
    return {};
}

}  // namespace

Result<StoredShellViewSpec> storeShellViewSpec(const ShellViewSpec& spec) {
    StoredShellViewSpec stored;
    if (!stored.label.assign(spec.label) || !stored.parent.assign(spec.parent)) return fail(Error::NoSpaceLeft);
    stored.kind = spec.kind;
    static_cast<ShellViewPlacement&>(stored) = spec;
    return stored;
}

ShellViewSpec shellViewSpecFromStored(const StoredShellViewSpec& stored) {
    ShellViewSpec spec;
    static_cast<ShellViewPlacement&>(spec) = stored;
    spec.label = stored.label.view();
    spec.parent = stored.parent.get();
    spec.kind = stored.kind;
    return spec;
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

Status applyShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewSpec> specs,
                       const RectF& content, bool relayout, ShellCreatedLabels& created) {
    ShellLayout layout;
    TRY(runShellLayout(layout, specs, content));
    for (const ShellPlacedView& placed : layout.placed) {
        const ShellViewSpec& spec = specs[placed.specIndex];
        if (relayout) {
            if (isMainSpec(spec) && findWindowIndexById(runtime, windowId)) {
                TRY(setMainWebViewParent(runtime, windowId, spec.parent));
            }
            Result<ViewInfo> moved = updateView(runtime, windowId, spec.label, placementUpdate(placed, spec));
            // The page may have closed a shell view since; the others still move.
            if (!moved && moved.error() != Error::ViewNotFound && moved.error() != Error::WebViewNotFound) {
                return fail(moved.error());
            }
        } else if (isMainSpec(spec)) {
            TRY(setMainWebViewParent(runtime, windowId, spec.parent));
            TRY(updateView(runtime, windowId, kMainWebViewLabel, placementUpdate(placed, spec)));
        } else {
            TRY(createView(runtime, viewOptionsFor(windowId, spec, placed.frame)));
            LabelBytes label;
            (void)label.assign(spec.label);
            (void)created.push(label);
        }
    }
    return {};
}

Status createShellViews(Runtime& runtime, std::uint64_t windowId, std::span<const ShellViewSpec> specs,
                        const RectF& content) {
    if (specs.size() > kMaxShellViews) return fail(Error::ViewLimitReached);
    const RuntimeWindow* window = findOpenWindow(runtime, windowId);
    if (window == nullptr) return fail(Error::WindowNotFound);

    std::size_t webViewSpecs = 0;
    std::size_t viewSpecs = 0;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const ShellViewSpec& spec = specs[i];
        for (std::size_t j = 0; j < i; ++j) {
            if (specs[j].label == spec.label) return fail(Error::DuplicateViewLabel);
        }
        if (isMainSpec(spec)) continue;
        if (windowHasViewLabel(runtime, windowId, spec.label)) return fail(Error::DuplicateViewLabel);
        ++(spec.kind == ViewKind::webview ? webViewSpecs : viewSpecs);
    }
    if (viewSpecs > kMaxViews - runtime.views.size()) return fail(Error::ViewLimitReached);
    if (webViewSpecs > kMaxWebViews - runtime.webViews.size()) return fail(Error::WebViewLimitReached);

    MainWebViewState saved;
    saved.parent = window->mainWebViewParent;
    saved.frame = window->mainWebViewFrame;
    saved.layer = window->mainWebViewLayer;
    saved.frameSet = window->mainWebViewFrameSet;

    ShellCreatedLabels created;
    Status status = applyShellViews(runtime, windowId, specs, content, false, created);
    if (status) status = storeShellViews(runtime, windowId, specs);
    if (status) return {};
    for (std::size_t i = created.size(); i-- > 0;) (void)closeView(runtime, windowId, created[i].view());
    restoreMainWebViewState(runtime, windowId, saved);
    return status;
}

Status relayoutShellViews(Runtime& runtime, std::uint64_t windowId) {
    std::optional<std::size_t> entryIndex = findShellViewsEntry(runtime, windowId);
    if (!entryIndex) return {};
    const ShellViewsEntry& entry = runtime.shellViews[*entryIndex];
    std::array<ShellViewSpec, kMaxShellViews> specs;
    for (std::size_t i = 0; i < entry.count; ++i) specs[i] = shellViewSpecFromStored(entry.specs[i]);
    ShellCreatedLabels created;
    return applyShellViews(runtime, windowId, std::span(specs.data(), entry.count),
                           windowContentRect(runtime, windowId), true, created);
}

void relayoutShellViewsOrTrace(Runtime& runtime, std::uint64_t windowId) {
    Status status = relayoutShellViews(runtime, windowId);
    if (status) return;
    const TraceField fields[] = {traceU64("window_id", windowId)};
    runtimeTrace(runtime, "shell.relayout_failed", errorName(status.error()), fields);
}

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

void removeShellViewsEntry(Runtime& runtime, std::uint64_t windowId) {
    if (std::optional<std::size_t> index = findShellViewsEntry(runtime, windowId)) {
        runtime.shellViews.removeAt(*index);
    }
}

}  // namespace kelvo
