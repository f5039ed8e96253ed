#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/fixed.hpp"
#include "platform/types/geometry.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

// Capacities of the view and web view tables (shared by all windows) and the byte limits of the
// texts a view keeps.
inline constexpr std::size_t kMaxViews = 32;
inline constexpr std::size_t kMaxWebViews = 16;
inline constexpr std::size_t kMaxViewLabel = 64;
inline constexpr std::size_t kMaxViewRole = 64;
inline constexpr std::size_t kMaxViewAccessibilityLabel = 256;
inline constexpr std::size_t kMaxViewText = 1024;
inline constexpr std::size_t kMaxViewCommand = 128;
inline constexpr std::size_t kMaxWebViewUrl = 4096;
// Everything one window can show: its main web view, every view and every web view.
inline constexpr std::size_t kViewListCapacity = 1 + kMaxViews + kMaxWebViews;
// Nesting limit of parent chains: frames resolve through at most 48 levels above an object, and
// the walks over descendants stop at depth 48.
inline constexpr unsigned kMaxViewDepth = 48;

// The label that always names a window's main web view.
inline constexpr std::string_view kMainWebViewLabel = "main";

using LabelBytes = InlineBytes<kMaxViewLabel>;

// An optional label held inline.
struct OptionalLabel {
    LabelBytes bytes;
    bool present = false;

    [[nodiscard]] std::optional<std::string_view> get() const {
        return present ? std::optional<std::string_view>(bytes.view()) : std::nullopt;
    }
    [[nodiscard]] bool equals(std::string_view label) const { return present && bytes.view() == label; }
    // False (and unchanged) when the label does not fit.
    [[nodiscard]] bool assign(std::optional<std::string_view> label) {
        if (!label) {
            present = false;
            bytes.clear();
            return true;
        }
        if (!bytes.assign(*label)) return false;
        present = true;
        return true;
    }
};

// One native or GPU canvas view of a window. Every text lives in the record, so a record can be
// copied to another slot of the table and stays whole.
struct RuntimeView {
    std::uint64_t id = 0;
    std::uint64_t windowId = 0;
    ViewKind kind = ViewKind::toolbar;
    LabelBytes label;
    OptionalLabel parent;  // absent: the window's content area
    InlineBytes<kMaxViewRole> role;
    InlineBytes<kMaxViewAccessibilityLabel> accessibilityLabel;
    InlineBytes<kMaxViewText> text;
    InlineBytes<kMaxViewCommand> command;
    RectF frame{};  // relative to the parent
    std::int32_t layer = 0;
    bool visible = true;
    bool enabled = true;
    bool transparent = false;
    bool bridge = false;
    bool focused = false;
    bool open = true;  // a view that is not open is ignored by every lookup
    GpuSurfaceOptions gpu;
    GpuSurfaceStatus gpuStatus = GpuSurfaceStatus::unavailable;
    float gpuWidth = 0;
    float gpuHeight = 0;
    float gpuScale = 1.0f;
    std::int64_t surfaceCreatedNs = 0;  // wall clock; gpu_surface views only
    CanvasViewState canvas;
};

// A child web view: a web view placed in a window besides its main web view.
struct RuntimeWebView {
    std::uint64_t id = 0;
    std::uint64_t windowId = 0;
    LabelBytes label;
    OptionalLabel parent;
    InlineBytes<kMaxWebViewUrl> url;
    double zoom = 1.0;
    RectF frame{};       // window coordinates
    RectF localFrame{};  // as requested, relative to the parent
    std::int32_t layer = 0;
    bool transparent = false;
    bool bridge = false;
    bool focused = false;
    bool open = true;
};

// The flat public state of one view, web view or main web view. Its texts point into the
// runtime's records and stay valid until the tables next change.
struct ViewInfo {
    std::uint64_t id = 0;
    std::string_view label;
    std::uint64_t windowId = 0;
    ViewKind kind = ViewKind::webview;
    std::optional<std::string_view> parent;
    std::string_view role;
    std::string_view accessibilityLabel;
    std::string_view text;
    std::string_view command;
    std::string_view url;
    RectF frame{};
    std::int32_t layer = 0;
    bool visible = true;
    bool enabled = true;
    bool transparent = false;
    bool bridge = false;
    GpuSurfaceOptions gpu;
    GpuSurfaceStatus gpuStatus = GpuSurfaceStatus::unavailable;
    float gpuWidth = 0;
    float gpuHeight = 0;
    float gpuScale = 1.0f;
    CanvasViewInfo canvas;
    bool focused = false;
    bool open = true;
};

// The state of one web view as the web view commands report it (child web views and, with the
// label "main", a window's main web view).
struct WebViewInfo {
    std::uint64_t id = 0;
    std::uint64_t windowId = 0;
    std::string_view label;
    std::optional<std::string_view> parent;
    std::string_view url;
    double zoom = 1.0;
    RectF frame{};
    RectF localFrame{};
    std::int32_t layer = 0;
    bool transparent = false;
    bool bridge = false;
    bool focused = false;
    bool open = true;
};

// The role every web view entry of a view list reports (its accessibility label is empty).
inline constexpr std::string_view kWebViewRole = "WebView";

ViewInfo viewInfo(const RuntimeView& view);
// A child web view as a view list entry.
ViewInfo webViewListInfo(const RuntimeWebView& webView);
WebViewInfo webViewInfo(const RuntimeWebView& webView);

}  // namespace kelvo
