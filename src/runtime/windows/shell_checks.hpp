#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "base/names.hpp"
#include "runtime/windows/shell_description.hpp"

namespace kelvo {

// Checks of the windows and shells an application declares, run before anything is created.

// Most windows an application may declare.
inline constexpr std::size_t kMaxConfiguredWindows = 16;

// An icon name of the window chrome: empty, or at most 64 bytes of [a-z0-9_-] after an optional
// "app:" prefix ("app:" alone is refused). InvalidName otherwise.
Status validateShellChromeIcon(std::string_view name);

// Index of the first declared view labelled `label`.
std::optional<std::size_t> shellViewIndex(std::span<const ShellViewDescription> descriptions, std::string_view label);

enum class ShellVisit : std::uint8_t { unvisited, visiting, done };
using ShellVisitStates = std::array<ShellVisit, kMaxShellViews>;

// Follows the parent chain of declared view `index`; a cycle or a parent that names no declared
// view is InvalidLayout.
Status validateShellViewParentAcyclic(std::span<const ShellViewDescription> descriptions, std::size_t index,
                                      ShellVisitStates& states);

// Checks one list of declared views (labels, parents, sizes, strings, commands, URLs, GPU options,
// cycles).
Status validateShellViews(std::span<const ShellViewDescription> descriptions);

// Checks every configured window and its shell; the first failing rule decides.
Status validateShellWindows(std::span<const ShellWindowDescription> windows);

}  // namespace kelvo
