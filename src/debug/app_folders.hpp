#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/env.hpp"
#include "base/error.hpp"

namespace kelvo {

// The environment variables the folder resolver may read, borrowed from the environment map.
// Only `home` is read on this platform; the others are carried for other platforms.
struct FolderEnv {
    std::optional<std::string_view> home;           // HOME
    std::optional<std::string_view> xdgConfigHome;  // XDG_CONFIG_HOME
    std::optional<std::string_view> xdgCacheHome;   // XDG_CACHE_HOME
    std::optional<std::string_view> xdgDataHome;    // XDG_DATA_HOME
    std::optional<std::string_view> xdgStateHome;   // XDG_STATE_HOME
    std::optional<std::string_view> localAppData;   // LOCALAPPDATA
    std::optional<std::string_view> appData;        // APPDATA
    std::optional<std::string_view> temp;           // TEMP
    std::optional<std::string_view> tmp;            // TMP
    std::optional<std::string_view> tmpDir;         // TMPDIR
};

FolderEnv envFromMap(const EnvMap& env);

// Whose folders: the application name (start-up passes the bundle identifier) and two further
// names that are checked like it but take no part in the paths here.
struct AppIdentity {
    std::string_view name;
    std::array<std::optional<std::string_view>, 2> furtherNames{};
};

// Which folder: `logs` is "<HOME>/Library/Logs/<name>"; every other value selects the state
// folder "<HOME>/Library/Application Support/<name>/State".
enum class AppFolderKind : std::uint8_t { state = 3, logs = 4 };

inline constexpr std::size_t kAppFolderPathCapacity = 1024;

// Builds one folder path into `buffer` and returns it. A name that is empty, "." or "..", or holds
// NUL, "/" or "\" is InvalidAppName; an absent HOME is MissingHome (an empty HOME gives a relative
// path); a path over 1,024 bytes is NoSpaceLeft. Nothing is created.
Result<std::string_view> resolveOne(const AppIdentity& identity, const FolderEnv& env, AppFolderKind kind,
                                    std::span<char, kAppFolderPathCapacity> buffer);

}  // namespace kelvo
