#include "runtime/views/view_create.hpp"

#include <cmath>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/views/view_geometry.hpp"
#include "runtime/views/view_lookup.hpp"
#include "security/command_name.hpp"

namespace kelvo {
namespace {

bool isSupportedGpuConfiguration(const GpuSurfaceOptions& gpu) {
    return (gpu.backend == GpuBackend::metal || gpu.backend == GpuBackend::software) &&
           gpu.pixelFormat == GpuPixelFormat::bgra8_unorm && gpu.presentMode == GpuPresentMode::timer &&
           gpu.alphaMode == GpuAlphaMode::opaque && gpu.colorSpace == GpuColorSpace::srgb && gpu.vsync;
}

// Every check of the options, in order; nothing is touched before they all pass.
Status checkViewOptions(const Runtime& runtime, const ViewOptions& options) {
    if (findOpenWindow(runtime, options.windowId) == nullptr) return fail(Error::WindowNotFound);
    TRY(checkViewLabel(options.label));
    // A label with a NUL byte would name a different object on a platform that reads C strings.
    if (hasNul(options.label)) return fail(Error::InvalidViewOptions);
    if (hasNegative(options.frame)) return fail(Error::InvalidViewOptions);
    // A web view's frame has a stricter rule of its own below, with its own error.
    if (options.kind != ViewKind::webview && !isFinite(options.frame)) return fail(Error::InvalidViewOptions);
    if (options.parent) {
        std::string_view parent = *options.parent;
        if (parent.empty() || parent.size() > kMaxViewLabel || hasNul(parent)) return fail(Error::InvalidViewOptions);
    }
    TRY(checkViewTexts(options.role, options.accessibilityLabel, options.text));
    if (!options.command.empty()) TRY(validateCommandName(options.command));
    if (options.kind != ViewKind::webview && !options.url.empty()) return fail(Error::InvalidViewOptions);
    if (!isValidViewKind(options.kind)) return fail(Error::UnsupportedViewKind);
    if (options.kind == ViewKind::gpu_surface && !isSupportedGpuConfiguration(options.gpu)) {
        return fail(Error::UnsupportedViewKind);
    }
    if (windowHasViewLabel(runtime, options.windowId, options.label)) return fail(Error::DuplicateViewLabel);
    if (options.parent) {
        if (*options.parent == options.label) return fail(Error::InvalidViewOptions);
        if (!windowHasViewLabel(runtime, options.windowId, *options.parent)) return fail(Error::ViewNotFound);
    }
    return {};
}

// Closes again a platform object whose record could not be kept.
void closeAgain(Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.closeView != nullptr) {
        (void)slots.closeView(platformServices(runtime), windowId, label);
    } else if (slots.closeWebView != nullptr && label != kMainWebViewLabel) {
        (void)slots.closeWebView(platformServices(runtime), windowId, label);
    }
}

Result<ViewInfo> createNativeView(Runtime& runtime, const ViewOptions& options) {
    if (runtime.views.full()) return fail(Error::ViewLimitReached);
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.createView == nullptr) return fail(Error::UnsupportedViewKind);
    TRY(slots.createView(platformServices(runtime), options));

    RuntimeView& view = runtime.views.items[runtime.views.count];
    resetRecord(view);
    view.id = runtime.nextViewId++;
    view.windowId = options.windowId;
    view.kind = options.kind;
    view.frame = options.frame;
    view.layer = options.layer;
    view.visible = options.visible;
    view.enabled = options.enabled;
    view.transparent = options.transparent;
    view.bridge = options.bridge;
    view.focused = false;
    view.open = true;
    if (options.kind == ViewKind::gpu_surface) {
        view.gpu = options.gpu;
        view.gpuStatus = GpuSurfaceStatus::ready;
        view.gpuWidth = options.frame.width;
        view.gpuHeight = options.frame.height;
        view.surfaceCreatedNs = runtimeWallClockNs(runtime);
    }
    view.gpuScale = 1.0f;
    resetCanvasViewState(view);
    const bool fits = view.label.assign(options.label) && view.parent.assign(options.parent) &&
                      view.role.assign(options.role) && view.accessibilityLabel.assign(options.accessibilityLabel) &&
                      view.text.assign(options.text) && view.command.assign(options.command);
    if (!fits) {
        closeAgain(runtime, options.windowId, options.label);
        resetRecord(view);
        return fail(Error::NoSpaceLeft);
    }
    if (options.kind == ViewKind::gpu_surface) {
        if (Status claimed = claimCanvasSlot(runtime.canvasSlots, view); !claimed) {
            closeAgain(runtime, options.windowId, options.label);
            resetRecord(view);
            return fail(claimed.error());
        }
    }
    ++runtime.views.count;
    markDirtyRegion(runtime, options.frame);
    return viewInfo(view);
}

Result<ViewInfo> createChildWebView(Runtime& runtime, const ViewOptions& options) {
    if (!runtime.webViewLayer) return fail(Error::WebViewLayerNotBuilt);
    TRY(validateWebViewUrl(runtime, options.url));
    if (!isUsableWebViewFrame(options.frame)) return fail(Error::InvalidWebViewOptions);
    if (runtime.webViews.full()) return fail(Error::WebViewLimitReached);
    const RectF absolute = TRY(platformFrameForView(runtime, options.windowId, options.parent, options.frame));

    const WebViewOptions webOptions{options.windowId,    options.label,  options.url, options.layer,
                                    options.transparent, options.bridge, absolute};
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.createView != nullptr) {
        ViewOptions placed = options;
        placed.frame = absolute;
        TRY(slots.createView(platformServices(runtime), placed));
    } else if (slots.createWebView != nullptr) {
        TRY(slots.createWebView(platformServices(runtime), webOptions));
    } else {
        return fail(Error::UnsupportedService);
    }

    Result<std::size_t> index = appendWebViewRecord(runtime, webOptions, options.parent, options.frame);
    if (!index) {
        closeAgain(runtime, options.windowId, options.label);
        return fail(index.error());
    }
    markDirtyRegion(runtime, absolute);
    return webViewListInfo(runtime.webViews[*index]);
}

}  // namespace

Result<std::size_t> appendWebViewRecord(Runtime& runtime, const WebViewOptions& options,
                                        std::optional<std::string_view> parent, const RectF& localFrame) {
    if (runtime.webViews.full()) return fail(Error::WebViewLimitReached);
    RuntimeWebView& webView = runtime.webViews.items[runtime.webViews.count];
    resetRecord(webView);
    const bool fits =
        webView.label.assign(options.label) && webView.parent.assign(parent) && webView.url.assign(options.url);
    if (!fits) {
        resetRecord(webView);
        return fail(Error::NoSpaceLeft);
    }
    webView.id = runtime.nextViewId++;
    webView.windowId = options.windowId;
    webView.zoom = 1.0;
    webView.frame = options.frame;
    webView.localFrame = localFrame;
    webView.layer = options.layer;
    webView.transparent = options.transparent;
    webView.bridge = options.bridge;
    webView.focused = false;
    webView.open = true;
    return runtime.webViews.count++;
}

Result<ViewInfo> createView(Runtime& runtime, const ViewOptions& options) {
    TRY(checkViewOptions(runtime, options));
    if (options.kind == ViewKind::webview) return createChildWebView(runtime, options);
    return createNativeView(runtime, options);
}

}  // namespace kelvo
