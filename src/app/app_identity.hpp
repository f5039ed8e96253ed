#pragma once

// The names Vostra Studio goes by.

#include <string_view>

namespace kelvo {

// The application's name, the name the desktop shows, and its main window's title.
inline constexpr std::string_view kAppName = "Vostra Studio";
// The identifier the runtime traces the application under.
inline constexpr std::string_view kAppId = "vostra-studio";
// The reverse-DNS bundle identifier, on a reserved example domain. It names the application's
// folders under the home folder ("Library/Logs/<id>", "Library/Application Support/<id>").
inline constexpr std::string_view kBundleIdentifier = "com.example.vostra-studio.app";

}  // namespace kelvo
