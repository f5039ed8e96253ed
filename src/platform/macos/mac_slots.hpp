#pragma once

// Private to src/platform/macos: the adapter's slot groups and the helpers they share.

#include <span>
#include <string_view>

#include "platform/macos/mac_platform.hpp"

namespace kelvo {

inline MacPlatform& macOf(void* services) { return *static_cast<MacPlatform*>(services); }

// Each fills the slots of its group whose host functions the table has.
void fillWindowSlots(PlatformSlots& slots, const AppKitFunctions& appkit);
void fillConfigurationSlots(PlatformSlots& slots, const AppKitFunctions& appkit);
void fillServiceSlots(PlatformSlots& slots, const AppKitFunctions& appkit);
void fillWebViewSlots(PlatformSlots& slots, const AppKitFunctions& appkit);
void fillViewSlots(PlatformSlots& slots, const AppKitFunctions& appkit);
void fillMediaSlots(PlatformSlots& slots, const AppKitFunctions& appkit);
void fillCanvasSlots(PlatformSlots& slots, const AppKitFunctions& appkit);

// Whether a menu command or shortcut id may reach the host: 1 to maxLength bytes, neither "."
// nor "..", and free of NUL, tab, line feed, carriage return, "/" and "\".
bool isPlainCommandName(std::string_view name, std::size_t maxLength);

// Joins texts with `separator` into `out`; false when they do not fit.
bool joinInto(std::span<const std::string_view> parts, char separator, std::span<char> out, std::size_t& length);

}  // namespace kelvo
