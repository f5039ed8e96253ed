#pragma once

// Private to src/startup: the folders and files start-up picks from the environment and the
// working folder.

#include <optional>
#include <span>
#include <string_view>

#include "base/env.hpp"
#include "base/io.hpp"
#include "debug/app_folders.hpp"
#include "runtime/persist/window_state_store.hpp"

namespace kelvo {

// The folder of the trace log and the panic file: KELVO_LOG_DIR when it is set (empty: the
// working folder; over 1,024 bytes: none), else the "Logs" folder of `bundleId`; none when that
// cannot be resolved (no HOME, for one).
std::optional<std::string_view> chooseLogFolder(const EnvMap& environment, std::string_view bundleId,
                                                std::span<char, kAppFolderPathCapacity> buffer);

// The window-state store in the "State" folder of `bundleId`; empty and disabled when the folder
// cannot be resolved or the paths do not fit.
WindowStateStore chooseWindowStateStore(const EnvMap& environment, std::string_view bundleId, const Io& io);

// The icon the host is given, and whether the dock icon is rendered instead.
struct IconChoice {
    std::string_view hostIconPath{};
    bool renderDockIcon = false;
};

inline constexpr std::string_view kIconFile = "assets/icon.png";
// The longest executable path that is looked at for a bundle.
inline constexpr std::size_t kMaxExecutablePath = 4096;
// Room for the path of the icon a bundle carries, beside an executable path of any usable length.
inline constexpr std::size_t kIconPathBytes = kMaxExecutablePath + 64;

// "assets/icon.png" when that file exists in the working folder; else, when the executable lies
// inside a bundle ("<name>.app/Contents/MacOS/"), the icon the bundle carries (its path written
// into `buffer`); otherwise no icon path, and the program, running outside a bundle without an
// icon, renders its own.
IconChoice chooseIcon(const Io& io, std::string_view executablePath, std::span<char, kIconPathBytes> buffer);

}  // namespace kelvo
