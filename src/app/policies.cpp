#include "app/policies.hpp"

namespace kelvo {

constexpr std::array<std::string_view, 3> kDevOrigins = {"vexa://app", "vexa://inline", kDevServerOrigin};

constexpr std::array<BridgeCommandRule, 15> kFilePolicies = {{
    {"vostra.file.begin", {}, kDevOrigins},
    {"vostra.file.append", {}, kDevOrigins},
    {"vostra.file.finish", {}, kDevOrigins},
    {"vostra.file.cancel", {}, kDevOrigins},
    {"vostra.file.read.begin", {}, kDevOrigins},
    {"vostra.file.read.chunk", {}, kDevOrigins},
    {"vostra.file.read.finish", {}, kDevOrigins},
    {"vostra.url.open", {}, kDevOrigins},
    {"vostra.clipboard.mark", {}, kDevOrigins},
    {"vostra.clipboard.begin", {}, kDevOrigins},
    {"vostra.clipboard.append", {}, kDevOrigins},
    {"vostra.clipboard.finish", {}, kDevOrigins},
    {"vostra.clipboard.read.begin", {}, kDevOrigins},
    {"vostra.clipboard.read.chunk", {}, kDevOrigins},
    {"vostra.clipboard.read.finish", {}, kDevOrigins},
}};

constexpr std::array<BridgeCommandRule, 3> kBuiltinPolicies = {{
    {"kelvo.dialog.openFile", {}, kDevOrigins},
    {"kelvo.dialog.saveFile", {}, kDevOrigins},
    {"kelvo.clipboard.readText", {}, kDevOrigins},
}};

constexpr std::array<std::string_view, 5> kExternalLinks = {
    "https://vostra.example/*",    "https://www.vostra.example/*", "https://kelvo.example/*",
    "https://www.kelvo.example/*", "http://localhost/*",
};

Policy appCommandPolicy() { return {{}, kFilePolicies, true}; }

Policy builtinCommandPolicy() { return {{}, kBuiltinPolicies, true}; }

SecurityPolicy appSecurityPolicy() { return {{}, kDevOrigins, kExternalLinks, kExternalLinkActionOpen}; }

}  // namespace kelvo
