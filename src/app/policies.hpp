#pragma once

// This application's bridge and web security tables. They are constant: start-up hands them to
// the runtime, which keeps only views of them.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/types/service_records.hpp"
#include "security/policy.hpp"

namespace kelvo {

// Origins the front-end may run under: the bundled files, inline pages, and the development
// server on the loopback address. A KELVO_FRONTEND_URL must use this exact origin for the
// application's commands to be admitted.
extern const std::array<std::string_view, 3> kDevOrigins;
inline constexpr std::string_view kDevServerOrigin = "http://127.0.0.1:5173";

// One rule per application command, each open to kDevOrigins without permission words.
extern const std::array<BridgeCommandRule, 15> kFilePolicies;

// The only built-in commands the front-end may call: the open-file and save-file dialogs, and
// reading the clipboard's plain text (the editor's own paste reads it through the application's
// commands, which take a text of any length).
extern const std::array<BridgeCommandRule, 3> kBuiltinPolicies;

// Links the application may open in the browser: its two sites (bare and "www.") over HTTPS and
// a local host over plain HTTP.
extern const std::array<std::string_view, 5> kExternalLinks;

// Open allowed external links in the default browser.
inline constexpr std::uint32_t kExternalLinkActionOpen = 1;

// The policies start-up installs: enabled, granting no permission words.
Policy appCommandPolicy();
Policy builtinCommandPolicy();
SecurityPolicy appSecurityPolicy();

}  // namespace kelvo
