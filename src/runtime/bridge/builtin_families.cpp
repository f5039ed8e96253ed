#include "runtime/bridge/builtin_families.hpp"

#include <array>

#include "runtime/bridge/service_families.hpp"
#include "runtime/bridge/view_commands.hpp"
#include "runtime/bridge/webview_commands.hpp"
#include "runtime/bridge/window_commands.hpp"
#include "runtime/runtime.hpp"
#include "security/policy.hpp"

namespace kelvo {
namespace {

// A family without a dispatcher would answer a permitted call with UnsupportedService.
constexpr std::array<BuiltinBridgeFamily, 9> kBuiltinBridgeFamilies = {{
    {"kelvo.command.", "command", "Command API is not permitted", &dispatchCommandBridgeCommand},
    {"kelvo.window.", "window", "Window API is not permitted", &dispatchWindowBridgeCommand},
    {"kelvo.view.", "view", "View API is not permitted", &dispatchViewBridgeCommand},
    {"kelvo.webview.", "window", "WebView API is not permitted", &dispatchWebViewBridgeCommand},
    {"kelvo.platform.", "window", "Platform API is not permitted", &dispatchPlatformBridgeCommand},
    {"kelvo.dialog.", "", "Dialog API is not permitted", &dispatchDialogBridgeCommand},
    {"kelvo.os.", "", "OS API is not permitted", &dispatchOsBridgeCommand},
    {"kelvo.clipboard.", "", "Clipboard API is not permitted", &dispatchClipboardBridgeCommand},
    {"kelvo.credentials.", "", "Credentials API is not permitted", &dispatchCredentialBridgeCommand},
}};

// The word that stands in for every other family's word.
constexpr std::string_view kWindowPermission = "window";

}  // namespace

const BuiltinBridgeFamily* findBuiltinBridgeFamily(std::string_view command) {
    for (const BuiltinBridgeFamily& family : kBuiltinBridgeFamilies) {
        if (command.starts_with(family.prefix)) return &family;
    }
    return nullptr;
}

bool builtinBridgeCallPermitted(const Runtime& runtime, const BuiltinBridgeFamily& family, std::string_view command,
                                std::string_view origin) {
    const SecurityPolicy& security = runtime.securityPolicy;
    if (runtime.builtinPolicy.enabled)
        return effectiveBridgePolicy(runtime.builtinPolicy, security).allows(command, origin);
    if (!runtime.securityChecks) return true;
    // The families without a word (dialogs, shell services, clipboard, credentials) reach the
    // user's files, links and secrets: they are held to the trusted origins as well.
    if (!allowsOrigin(security.origins, origin)) return false;
    if (family.permission.empty() || security.granted.empty()) return true;
    return hasPermission(security.granted, family.permission) || hasPermission(security.granted, kWindowPermission);
}

Policy effectiveBridgePolicy(const Policy& policy, const SecurityPolicy& security) {
    Policy effective = policy;
    if (!security.granted.empty()) effective.granted = security.granted;
    return effective;
}

}  // namespace kelvo
