#pragma once

// The automation server record: switching automation on for a runtime means giving it one. It
// names the folder that command files are dropped into and output files are written to, the I/O
// interface every file operation goes through, the name handed to the snapshot gatherer, and how
// long an incomplete command file may wait before it is deleted.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "base/io.hpp"

namespace kelvo {

// Command files are "command-<number>.txt", at most this long.
inline constexpr std::size_t kCommandFileNameBytes = 64;
// The longest folder: a command path ("<folder>/<name>") and every temporary output path must stay
// below the I/O interface's path limit.
inline constexpr std::size_t kMaxAutomationFolderBytes = kMaxIoPath - 1 - kCommandFileNameBytes - 1;
inline constexpr std::size_t kMaxAutomationSnapshotNameBytes = 128;

// The automation folder and what is written into it belong to the user alone: commands run with
// the trusted inline origin and replies can carry secrets.
inline constexpr std::uint16_t kAutomationFolderMode = 0700;
inline constexpr std::uint16_t kAutomationFileMode = 0600;

struct AutomationServer {
    // An incomplete command file (empty, or not ending in a line feed) is deleted once its
    // modification time is at least this far from the wall clock.
    std::int64_t incompleteAgeLimitNs = 0;
    Io io;
    InlineBytes<kMaxAutomationFolderBytes> folder;
    InlineBytes<kMaxAutomationSnapshotNameBytes> snapshotName;
};

// Fills `server`. InvalidCommand for an empty folder, NameTooLong for a folder or name over its
// limit, UnsupportedService without an I/O interface; `server` is left alone then.
Status configureAutomationServer(AutomationServer& server, const Io& io, std::string_view folder,
                                 std::string_view snapshotName, std::int64_t incompleteAgeLimitNs);

// The number of a command file name: "command-" + digits and '_' (neither first nor last; '_' is
// ignored, so "1_000" is 1000) + ".txt", 13 to 64 bytes, the number within 64 bits. None for any
// other name.
std::optional<std::uint64_t> commandFileNumber(std::string_view name);

// The command to run next: of the regular files in the folder (symbolic links and every other
// kind are passed over) with command file names, the one with the smallest number; of equal
// numbers ("7" and "07") the one listed first. Its name is copied into `name`. None when the
// folder cannot be read or holds no command; a listing that fails part way counts what it found.
std::optional<std::string_view> queueHeadName(const AutomationServer& server,
                                              std::span<char, kCommandFileNameBytes> name);

}  // namespace kelvo
