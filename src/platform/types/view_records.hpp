#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/types/geometry.hpp"

namespace kelvo {

// View kinds; the names are those of the view JSON and the bridge payloads.
#define KELVO_VIEW_KINDS(X) \
    X(webview)              \
    X(toolbar)              \
    X(titlebar_accessory)   \
    X(sidebar)              \
    X(statusbar)            \
    X(split)                \
    X(stack)                \
    X(button)               \
    X(icon_button)          \
    X(list_item)            \
    X(checkbox)             \
    X(toggle)               \
    X(segmented_control)    \
    X(text_field)           \
    X(search_field)         \
    X(label)                \
    X(spacer)               \
    X(gpu_surface)          \
    X(progress_indicator)

enum class ViewKind : std::uint8_t {
#define KELVO_VIEW_KIND_ENUMERATOR(name) name,
    KELVO_VIEW_KINDS(KELVO_VIEW_KIND_ENUMERATOR)
#undef KELVO_VIEW_KIND_ENUMERATOR
};

inline constexpr std::size_t kViewKindCount = 0
#define KELVO_VIEW_KIND_COUNT(name) +1
    KELVO_VIEW_KINDS(KELVO_VIEW_KIND_COUNT)
#undef KELVO_VIEW_KIND_COUNT
    ;
static_assert(kViewKindCount == 19);
static_assert(static_cast<int>(ViewKind::gpu_surface) == 17);

[[nodiscard]] inline bool isValidViewKind(ViewKind kind) { return static_cast<std::size_t>(kind) < kViewKindCount; }

// The kind's name ("icon_button"); empty for a value outside the table.
std::string_view viewKindName(ViewKind kind);
std::optional<ViewKind> viewKindFromName(std::string_view name);

// GPU canvas options.
enum class GpuBackend : std::uint8_t { none = 0, metal = 1, software = 2 };
enum class GpuPixelFormat : std::uint8_t { none = 0, bgra8_unorm = 1 };
enum class GpuPresentMode : std::uint8_t { none = 0, timer = 1 };
enum class GpuAlphaMode : std::uint8_t { none = 0, opaque = 1, premultiplied = 2 };
enum class GpuColorSpace : std::uint8_t { none = 0, srgb = 1, display_p3 = 2 };
enum class GpuSurfaceStatus : std::uint8_t { unavailable = 0, initializing = 1, ready = 2, lost = 3 };

// The GPU canvas options of a view, as one unit; every kind but gpu_surface keeps them at none.
struct GpuSurfaceOptions {
    GpuBackend backend = GpuBackend::none;
    GpuPixelFormat pixelFormat = GpuPixelFormat::none;
    GpuPresentMode presentMode = GpuPresentMode::none;
    GpuAlphaMode alphaMode = GpuAlphaMode::none;
    GpuColorSpace colorSpace = GpuColorSpace::none;
    bool vsync = false;
    friend bool operator==(const GpuSurfaceOptions&, const GpuSurfaceOptions&) = default;
};

// The pointer shape over a view.
enum class CursorKind : std::uint8_t { arrow = 0, link = 1, text = 2, resize = 3 };

// The argument of creating a view (also a child web view, kind webview).
struct ViewOptions {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::optional<std::string_view> parent{};  // absent: the window's content area
    std::string_view role{};
    std::string_view accessibilityLabel{};
    std::string_view text{};
    std::string_view command{};
    std::string_view url{};  // only kind webview may have one
    RectF frame{};
    std::int32_t layer = 0;
    ViewKind kind = ViewKind::webview;
    bool visible = true;
    bool enabled = true;
    bool transparent = false;
    bool bridge = false;  // web views: install the script bridge
    GpuSurfaceOptions gpu{};
    friend bool operator==(const ViewOptions&, const ViewOptions&) = default;
};

// A partial update of a view: an absent member is left unchanged. Kind, label, parent,
// transparent, bridge and the GPU options cannot change.
struct ViewUpdate {
    std::optional<std::string_view> role{};
    std::optional<std::string_view> accessibilityLabel{};
    std::optional<std::string_view> text{};
    std::optional<std::string_view> command{};
    std::optional<std::string_view> url{};
    std::optional<RectF> frame{};
    std::optional<std::int32_t> layer{};
    std::optional<bool> visible{};
    std::optional<bool> enabled{};
    friend bool operator==(const ViewUpdate&, const ViewUpdate&) = default;
};

// The argument of creating a child web view directly (its frame in window coordinates).
struct WebViewOptions {
    std::uint64_t windowId = 0;
    std::string_view label{};
    std::string_view url{};
    std::int32_t layer = 0;
    bool transparent = false;
    bool bridge = false;
    RectF frame{};
    friend bool operator==(const WebViewOptions&, const WebViewOptions&) = default;
};

}  // namespace kelvo
