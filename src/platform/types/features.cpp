#include "platform/types/features.hpp"

#include <array>

namespace kelvo {

namespace {
constexpr std::array<std::string_view, kPlatformFeatureCount> kFeatureNames = {
#define KELVO_FEATURE_NAME(name) std::string_view(#name),
    KELVO_PLATFORM_FEATURES(KELVO_FEATURE_NAME)
#undef KELVO_FEATURE_NAME
};
}  // namespace

std::string_view platformFeatureName(PlatformFeature feature) {
    if (!isValidPlatformFeature(feature)) return {};
    return kFeatureNames[static_cast<std::size_t>(feature)];
}

std::optional<PlatformFeature> platformFeatureFromName(std::string_view name) {
    for (std::size_t i = 0; i < kFeatureNames.size(); ++i) {
        if (kFeatureNames[i] == name) return static_cast<PlatformFeature>(i);
    }
    return std::nullopt;
}

Result<PlatformFeature> platformFeatureFromNumber(std::uint64_t number) {
    if (number >= kPlatformFeatureCount) return fail(Error::InvalidPlatformFeature);
    return static_cast<PlatformFeature>(number);
}

}  // namespace kelvo
