// "kelvo.platform.": whether the platform offers a feature, asked by its name.

#include <array>
#include <optional>

#include "runtime/bridge/family_support.hpp"
#include "runtime/bridge/service_families.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

struct FeatureAlias {
    std::string_view alias;
    PlatformFeature feature;
};

// The camelCase spellings the page may use besides the feature names.
constexpr std::array<FeatureAlias, 12> kFeatureAliases = {{
    {"mainWebView", PlatformFeature::main_webview},
    {"childWebViews", PlatformFeature::child_webviews},
    {"nativeViews", PlatformFeature::native_views},
    {"nativeControlCommands", PlatformFeature::native_control_commands},
    {"clipboardText", PlatformFeature::clipboard_text},
    {"clipboardRichData", PlatformFeature::clipboard_rich_data},
    {"openUrl", PlatformFeature::open_url},
    {"revealPath", PlatformFeature::reveal_path},
    {"recentDocuments", PlatformFeature::recent_documents},
    {"fileDrops", PlatformFeature::file_drops},
    {"appActivationEvents", PlatformFeature::app_activation_events},
    {"gpuSurfaces", PlatformFeature::gpu_surfaces},
}};

std::optional<PlatformFeature> featureNamed(std::string_view name) {
    if (std::optional<PlatformFeature> feature = platformFeatureFromName(name)) return feature;
    for (const FeatureAlias& entry : kFeatureAliases) {
        if (entry.alias == name) return entry.feature;
    }
    return std::nullopt;
}

// "feature" decides whenever it is a string; "name" is read only without it. No feature name is
// long, so a name too long to read is simply not one.
Result<std::string_view> featureSupported(BuiltinCommandContext& context) {
    constexpr Error kInvalid = Error::InvalidPlatformFeature;
    std::optional<std::string_view> name = TRY(firstStringMember(context, {"feature", "name"}, kInvalid));
    std::optional<PlatformFeature> feature = name ? featureNamed(*name) : std::nullopt;
    if (!feature) return fail(kInvalid);
    return supports(context.runtime.platform, *feature) ? kTrueResult : kFalseResult;
}

constexpr std::array<BuiltinCommand, 1> kPlatformCommands = {{
    {"supports", &featureSupported},
}};

}  // namespace

std::string_view dispatchPlatformBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                               BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.platform.", kPlatformCommands,
                                "Unknown platform command");
}

}  // namespace kelvo
