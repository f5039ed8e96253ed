#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/runtime.hpp"
#include "runtime/windows/window_table.hpp"

namespace kelvo::testing {

struct RuntimeDeleter {
    void operator()(Runtime* runtime) const { releaseRuntime(runtime); }
};
using RuntimePtr = std::unique_ptr<Runtime, RuntimeDeleter>;

inline RuntimePtr makeRuntime() {
    Result<Runtime*> runtime = allocateRuntime();
    EXPECT_TRUE(runtime.has_value());
    return RuntimePtr(runtime ? *runtime : nullptr);
}

// The parts joined into one text (numbers in decimal).
template <class... Parts>
std::string cat(const Parts&... parts) {
    std::string out;
    auto add = [&out](const auto& part) {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(part)>>) {
            out.append(std::to_string(part));
        } else {
            out.append(part);
        }
    };
    (add(parts), ...);
    return out;
}

inline constexpr std::string_view kTrustedOrigins[] = {"vexa://app", "vexa://inline", "about://local"};

// A window record reserved directly (no platform), showing an assets source.
inline std::size_t addWindow(Runtime& runtime, std::uint64_t id, std::string_view label,
                             RectF frame = {0, 0, 800, 600}) {
    WindowSource source{"vexa://app", WindowAssets{"/srv/front", "index.html", "vexa://app", false},
                        WindowSourceKind::assets};
    Result<std::size_t> index = reserveWindow(runtime, id, label, "Title", source, true);
    EXPECT_TRUE(index.has_value());
    runtime.windows[*index].frame = frame;
    runtime.windows[*index].mainWebViewFrame = RectF{0, 0, frame.width, frame.height};
    return *index;
}

// A canvas view (gpu_surface) of window 1 with the options every canvas needs.
inline ViewOptions canvasOptions(std::string_view label, RectF frame, GpuBackend backend = GpuBackend::software) {
    ViewOptions options{1, label};
    options.kind = ViewKind::gpu_surface;
    options.frame = frame;
    options.gpu.backend = backend;
    options.gpu.pixelFormat = GpuPixelFormat::bgra8_unorm;
    options.gpu.presentMode = GpuPresentMode::timer;
    options.gpu.alphaMode = GpuAlphaMode::opaque;
    options.gpu.colorSpace = GpuColorSpace::srgb;
    options.gpu.vsync = true;
    return options;
}

// A view record appended directly, as a successful create would leave it.
inline RuntimeView& addViewRecord(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                  std::optional<std::string_view> parent = std::nullopt, RectF frame = {0, 0, 10, 10},
                                  ViewKind kind = ViewKind::button) {
    RuntimeView& view = runtime.views.items[runtime.views.count++];
    view = RuntimeView{};
    view.id = runtime.nextViewId++;
    view.windowId = windowId;
    view.kind = kind;
    EXPECT_TRUE(view.label.assign(label));
    EXPECT_TRUE(view.parent.assign(parent));
    view.frame = frame;
    return view;
}

inline RuntimeWebView& addWebViewRecord(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                        std::optional<std::string_view> parent = std::nullopt,
                                        RectF frame = {0, 0, 100, 100}, std::string_view url = "vexa://app/x") {
    RuntimeWebView& webView = runtime.webViews.items[runtime.webViews.count++];
    webView = RuntimeWebView{};
    webView.id = runtime.nextViewId++;
    webView.windowId = windowId;
    EXPECT_TRUE(webView.label.assign(label));
    EXPECT_TRUE(webView.parent.assign(parent));
    EXPECT_TRUE(webView.url.assign(url));
    webView.frame = frame;
    webView.localFrame = frame;
    return webView;
}

}  // namespace kelvo::testing
