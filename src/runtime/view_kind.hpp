#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo {

// Frames are points with the origin at the top left, x to the right and y downward.
struct Rect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The kinds of view a window can show. Web views live in their own table; every other kind is a
// record of the view table.
enum class ViewKind : std::uint8_t {
    webview,
    toolbar,
    titlebar_accessory,
    sidebar,
    statusbar,
    split,
    stack,
    button,
    icon_button,
    list_item,
    checkbox,
    toggle,
    segmented_control,
    text_field,
    search_field,
    label,
    spacer,
    gpu_surface,
    progress_indicator,
};
inline constexpr std::size_t kViewKindCount = 19;

// Options of a GPU canvas view; every other kind keeps them at none.
enum class GpuBackend : std::uint8_t { none, metal, software };
enum class GpuPixelFormat : std::uint8_t { none, bgra8_unorm };
enum class GpuPresentMode : std::uint8_t { none, timer };
enum class GpuAlphaMode : std::uint8_t { none, opaque, premultiplied };
enum class GpuColorSpace : std::uint8_t { none, srgb, display_p3 };
enum class GpuSurfaceStatus : std::uint8_t { unavailable, initializing, ready, lost };

std::string_view viewKindName(ViewKind kind);
std::optional<ViewKind> viewKindFromName(std::string_view name);

}  // namespace kelvo
