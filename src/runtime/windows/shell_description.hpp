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

// How a declared shell view is sized, placed and shown: every field of the declaration but its
// label, parent, kind and texts, as X(type, name, initial value). A window's stored shell keeps
// exactly these fields for relayouts.
//  - vertical: children of a container stack top to bottom when present and true, left to right
//    otherwise;
//  - absent GPU options take metal, bgra8_unorm, timer, opaque, srgb and vsync on.
#define KELVO_SHELL_VIEW_PLACEMENT(X)                  \
    X(std::optional<float>, width, )                   \
    X(std::optional<float>, height, )                  \
    X(std::optional<float>, minWidth, )                \
    X(std::optional<float>, minHeight, )               \
    X(std::optional<float>, maxWidth, )                \
    X(std::optional<float>, maxHeight, )               \
    X(std::optional<float>, x, )                       \
    X(std::optional<float>, y, )                       \
    X(std::optional<ShellEdge>, dock, )                \
    X(bool, fill, false)                               \
    X(std::optional<bool>, vertical, )                 \
    X(std::int32_t, layer, 0)                          \
    X(bool, visible, true)                             \
    X(bool, enabled, true)                             \
    X(std::optional<GpuBackend>, gpuBackend, )         \
    X(std::optional<GpuPixelFormat>, gpuPixelFormat, ) \
    X(std::optional<GpuPresentMode>, gpuPresentMode, ) \
    X(std::optional<GpuAlphaMode>, gpuAlphaMode, )     \
    X(std::optional<GpuColorSpace>, gpuColorSpace, )   \
    X(std::optional<bool>, gpuVsync, )

#define KELVO_SHELL_VIEW_PLACEMENT_MEMBER(type, name, initial) type name{initial};

// One native view of a window's declared shell, as the application supplies it. Strings are
// borrowed for the call that receives the declaration.
struct ShellViewDescription {
    std::string_view label;
    std::optional<std::string_view> parent;
    ViewKind kind = ViewKind::toolbar;

    // Handed to the view as the options of the same names; an absent text takes the role.
    std::optional<std::string_view> command;
    std::optional<std::string_view> text;
    std::optional<std::string_view> url;
    std::optional<std::string_view> accessibilityLabel;
    std::optional<std::string_view> role;

    KELVO_SHELL_VIEW_PLACEMENT(KELVO_SHELL_VIEW_PLACEMENT_MEMBER)

    [[nodiscard]] bool isVertical() const { return vertical.value_or(false); }
    [[nodiscard]] bool hasGpuOptions() const {
        return gpuBackend || gpuPixelFormat || gpuPresentMode || gpuAlphaMode || gpuColorSpace || gpuVsync;
    }
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
    std::span<const ShellViewDescription> views;
};

}  // namespace kelvo
