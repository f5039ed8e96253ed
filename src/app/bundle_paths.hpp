#pragma once

// Where the application finds its web front-end, the "frontend/dist" folder of the bundle's
// resource folder, and the bundle's icon. The executable inside "<name>.app/Contents/MacOS/" has its resources in
// "<name>.app/Contents/Resources"; an executable anywhere else keeps them in its own folder.

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvo {

// Writes the front-end folder of the running executable, NUL-terminated, into `buffer` of
// `capacity` bytes and returns its length without the NUL. 0 when the buffer is null or empty, the
// executable's path is unknown, or the path does not fit (never a cut path).
std::uint64_t vostra_studio_resource_path(char* buffer, std::uint64_t capacity);

// The path of the running executable, read into `buffer`; empty when it cannot be read or does not
// fit.
std::string_view runningExecutablePath(std::span<char> buffer);

// The same for the executable at `executablePath`.
std::uint64_t frontendFolderOf(std::string_view executablePath, char* buffer, std::uint64_t capacity);

// The application's icon as its bundle carries it, "<name>.app/Contents/Resources/icon.png" (a PNG
// of the icon as the dock shows it), for the executable at `executablePath`, written like
// frontendFolderOf; 0 when the executable lies outside a bundle or the path does not fit.
std::uint64_t bundleIconOf(std::string_view executablePath, char* buffer, std::uint64_t capacity);

}  // namespace kelvo
