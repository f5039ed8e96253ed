#pragma once

// File-based automation of a running application. A client drops command files
// ("command-<n>.txt", one command each, ending in a line feed) into the automation folder; at
// every frame request the runtime runs the next one on the main thread, and after every frame in
// which the state changed it rewrites "snapshot.txt", "accessibility.txt" and "windows.txt" there.
// Replies to the "bridge" command go to "bridge-response.txt".
//
//     Automation& automation = ...;                  // one record, kept for the run
//     TRY(configureAutomationServer(automation.server, io, "automation", "Studio", 5'000'000'000));
//     attachAutomation(runtime, automation);        // before the run starts
//     AutomationWatcher watcher;
//     startAutomationWatcher(runtime, automation.server, watcher);
//     ... platform run ...
//     stopAutomationWatcher(watcher);               // before the runtime is released

#include <array>
#include <cstddef>
#include <cstdint>

#include "automation/automation_server.hpp"
#include "base/error.hpp"
#include "base/fixed.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// A command file of this many bytes or more is refused (CommandTooLarge) and deleted unread.
inline constexpr std::size_t kCommandBufferBytes = 16448;

// The automation state of one runtime: its server and the drain's buffers. Main thread only.
struct Automation {
    AutomationServer server;
    std::array<char, kCommandBufferBytes> command{};
    std::array<char, kCommandFileNameBytes> name{};
    InlineBytes<kMaxIoPath> path;
    // The last command file that could not be opened; its error is recorded once.
    InlineBytes<kCommandFileNameBytes> unopenable;
};

// Switches automation on for `runtime` (hooks into the frame flow and the bridge reply file) and
// makes the session journal fingerprint the automation snapshot. `automation` must outlive the run.
void attachAutomation(Runtime& runtime, Automation& automation);

// Only the fingerprint: the session journal's checkpoints hash the accessibility text of the
// snapshot gathered under the name "session".
void attachSessionSnapshotSource(Runtime& runtime);

// Runs the next complete command of the queue, if any. A command's failure is recorded as a
// dispatch error, never returned.
void drainAutomationCommand(Automation& automation, Runtime& runtime, const AppBinding& binding);

// Writes the three snapshot files (folder 0700, files 0600, each written under a temporary name
// and renamed) from one snapshot of `runtime`; the first error.
Status publishAutomationSnapshot(const AutomationServer& server, Runtime& runtime);

}  // namespace kelvo
