#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Extension modules: pieces of native code that start with the application, stop with it and
// receive every command the runtime delivers. A registry is a list of entries owned by whoever
// attaches it; the runtime only reads it.

// What every hook and command handler receives besides its own context.
struct ModuleCallContext {
    std::string_view platformName;  // the platform record's name ("macos", "test", ...)
};

// A command handed to the modules: to one module (`hasTarget`) or to all of them.
struct ModuleCommand {
    std::string_view name;
    std::uint64_t target = 0;
    bool hasTarget = false;
};

using ModuleHook = Status (*)(void* context, const ModuleCallContext& call);
using ModuleCommandHandler = Status (*)(void* context, const ModuleCallContext& call, const ModuleCommand& command);

struct ModuleEntry {
    std::uint64_t id = 0;                         // unique within the registry
    std::span<const std::uint64_t> dependencies;  // ids that must all be in the registry
    void* context = nullptr;                      // first argument of every hook
    ModuleHook start = nullptr;                   // optional, run at app_start
    ModuleHook stop = nullptr;                    // optional, run at app_shutdown
    ModuleCommandHandler onCommand = nullptr;     // optional
};

struct ModuleRegistry {
    std::span<const ModuleEntry> entries;
};

// Hands a command to the modules. With a target: the first entry with that id (none:
// MissingDependency); an entry without a handler succeeds; a handler error gives ModuleFailed.
// Without a target: every entry with a handler in registry order; the first failure stops the
// walk with ModuleFailed.
Status dispatchCommand(std::span<const ModuleEntry> entries, const ModuleCallContext& call,
                       const ModuleCommand& command);

// The registry's shape: every id differs from every earlier id (DuplicateModule) and every
// dependency names an entry of the registry (MissingDependency). Dependencies are checked for
// presence only; modules start in registry order whatever they depend on.
Status checkModuleRegistry(std::span<const ModuleEntry> entries);

// Checks the registry, then runs the start hooks in registry order; the first failing hook stops
// the sequence with ModuleFailed.
Status startModules(std::span<const ModuleEntry> entries, const ModuleCallContext& call);

// Runs every stop hook in reverse registry order, also after one has failed, so that each module
// gets its chance to put its state away; ModuleFailed when any of them failed.
Status stopModules(std::span<const ModuleEntry> entries, const ModuleCallContext& call);

}  // namespace kelvo
