#pragma once

#include <string_view>

#include "base/error.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

// What the event flow asks of automation at frame time, when an automation server is configured.
// Automation lives above the runtime, so it reaches the dispatcher through these operations; an
// empty record means no automation is configured, and nothing runs.
struct AutomationHooks {
    void* context = nullptr;
    // Runs the complete command files of the queue. A command may dispatch further platform
    // events; a command's own failure is recorded as a dispatch error, not returned.
    Status (*drainCommands)(void* context, Runtime& runtime, const AppBinding& binding) = nullptr;
    // Writes the snapshot, accessibility and window files of the state about to be published. A
    // failure is recorded as "automation.publish_failed" and leaves the state dirty.
    Status (*writeSnapshots)(void* context, Runtime& runtime) = nullptr;
    // The automation directory, where every delivered bridge reply is also written as
    // "bridge-response.txt"; empty: no reply file. The text must outlive the run.
    std::string_view bridgeResponseDirectory{};

    [[nodiscard]] bool configured() const { return drainCommands != nullptr || writeSnapshots != nullptr; }
};

}  // namespace kelvo
