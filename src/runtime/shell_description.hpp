#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/types/view_records.hpp"

namespace kelvo {

// The edge of the window's content a shell view docks at.
enum class ShellEdge : std::uint8_t { top, right, bottom, left };

// Most views one window's shell may declare, and most placed views of one layout run.
inline constexpr std::size_t kMaxShellViews = 128;

// How a declared shell view is sized, placed and shown: everything of the declaration but its
// label, parent, kind and texts. A window's stored shell keeps this part whole for relayouts.
struct ShellViewPlacement {
    std::optional<float> width;
    std::optional<float> height;
    std::optional<float> minWidth;
    std::optional<float> minHeight;
    std::optional<float> maxWidth;
    std::optional<float> maxHeight;
    std::optional<float> x;
    std::optional<float> y;
    std::optional<ShellEdge> dock;
    bool fill = false;
    // Children of a container stack top to bottom when present and true, left to right otherwise.
    std::optional<bool> vertical;

    std::int32_t layer = 0;
    bool visible = true;
    bool enabled = true;

    // Absent options take metal, bgra8_unorm, timer, opaque, srgb and vsync on.
    std::optional<GpuBackend> gpuBackend;
    std::optional<GpuPixelFormat> gpuPixelFormat;
    std::optional<GpuPresentMode> gpuPresentMode;
    std::optional<GpuAlphaMode> gpuAlphaMode;
    std::optional<GpuColorSpace> gpuColorSpace;
    std::optional<bool> gpuVsync;

    [[nodiscard]] bool isVertical() const { return vertical.value_or(false); }
    [[nodiscard]] bool hasGpuOptions() const {
        return gpuBackend || gpuPixelFormat || gpuPresentMode || gpuAlphaMode || gpuColorSpace || gpuVsync;
    }
};

// One native view of a window's declared shell, as the application supplies it. Strings are
// borrowed for the call that receives the declaration.
struct ShellViewSpec : ShellViewPlacement {
    std::string_view label;
    std::optional<std::string_view> parent;
    ViewKind kind = ViewKind::toolbar;

    // Handed to the view as the options of the same names; an absent text takes the role.
    std::optional<std::string_view> command;
    std::optional<std::string_view> text;
    std::optional<std::string_view> url;
    std::optional<std::string_view> accessibilityLabel;
    std::optional<std::string_view> role;
};

// The chrome an application may declare for a window: a title and an icon name.
struct ShellChrome {
    std::string_view title;
    std::string_view icon;
};

// One configured window with its shell, as the start-up checks see it.
struct ShellWindowDescription {
    std::string_view label;
    // A further name of the window (for example the name it is saved under), checked like the label.
    std::optional<std::string_view> secondName;
    std::optional<ShellChrome> chrome;
    float width = 0;
    float height = 0;
    std::span<const ShellViewSpec> views;
};

}  // namespace kelvo
