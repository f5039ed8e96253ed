#pragma once

// Names of the view enumerations as bridge payloads and replies spell them, by value. Private to
// runtime/bridge.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kelvo {

inline constexpr std::array<std::string_view, 3> kGpuBackendNames = {"none", "metal", "software"};
inline constexpr std::array<std::string_view, 2> kGpuPixelFormatNames = {"none", "bgra8_unorm"};
inline constexpr std::array<std::string_view, 2> kGpuPresentModeNames = {"none", "timer"};
inline constexpr std::array<std::string_view, 3> kGpuAlphaModeNames = {"none", "opaque", "premultiplied"};
inline constexpr std::array<std::string_view, 3> kGpuColorSpaceNames = {"none", "srgb", "display_p3"};
inline constexpr std::array<std::string_view, 4> kGpuStatusNames = {"unavailable", "initializing", "ready", "lost"};
inline constexpr std::array<std::string_view, 4> kCanvasFrameRiskNames = {"idle", "low", "moderate", "high"};
inline constexpr std::array<std::string_view, 4> kCursorNames = {"arrow", "pointing_hand", "text", "resize_horizontal"};

// The name of `value`; empty for a value outside the table.
template <class Enum, std::size_t N>
std::string_view enumValueName(const std::array<std::string_view, N>& names, Enum value) {
    auto index = static_cast<std::size_t>(value);
    return index < N ? names[index] : std::string_view{};
}

// The value named `name`, byte for byte.
template <class Enum, std::size_t N>
std::optional<Enum> enumValueFromName(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) return static_cast<Enum>(i);
    }
    return std::nullopt;
}

}  // namespace kelvo
