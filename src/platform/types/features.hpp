#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// A capability that the front-end or the runtime may ask about before using it. The values are
// fixed: they cross the seam as numbers.
#define KELVO_PLATFORM_FEATURES(X) \
    X(main_webview)                \
    X(child_webviews)              \
    X(native_views)                \
    X(native_control_commands)     \
    X(menus)                       \
    X(tray)                        \
    X(shortcuts)                   \
    X(dialogs)                     \
    X(clipboard_text)              \
    X(clipboard_rich_data)         \
    X(open_url)                    \
    X(reveal_path)                 \
    X(notifications)               \
    X(recent_documents)            \
    X(credentials)                 \
    X(file_drops)                  \
    X(app_activation_events)       \
    X(gpu_surfaces)                \
    X(gpu_surface_scroll_drivers)  \
    X(context_menus)               \
    X(view_surface_adoption)       \
    X(audio_playback)              \
    X(audio_streaming)             \
    X(audio_spectrum)

enum class PlatformFeature : std::uint8_t {
#define KELVO_FEATURE_ENUMERATOR(name) name,
    KELVO_PLATFORM_FEATURES(KELVO_FEATURE_ENUMERATOR)
#undef KELVO_FEATURE_ENUMERATOR
};

inline constexpr std::size_t kPlatformFeatureCount = 0
#define KELVO_FEATURE_COUNT(name) +1
    KELVO_PLATFORM_FEATURES(KELVO_FEATURE_COUNT)
#undef KELVO_FEATURE_COUNT
    ;
static_assert(kPlatformFeatureCount == 24);
static_assert(static_cast<int>(PlatformFeature::audio_spectrum) == 23);

[[nodiscard]] inline bool isValidPlatformFeature(PlatformFeature feature) {
    return static_cast<std::size_t>(feature) < kPlatformFeatureCount;
}

// The feature's name ("gpu_surface_scroll_drivers"); empty for a value outside the 24.
std::string_view platformFeatureName(PlatformFeature feature);

// The feature with exactly this name, if any.
std::optional<PlatformFeature> platformFeatureFromName(std::string_view name);

// The feature with this number; InvalidPlatformFeature for a number outside 0..23.
Result<PlatformFeature> platformFeatureFromNumber(std::uint64_t number);

}  // namespace kelvo
