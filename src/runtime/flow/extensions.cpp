#include "runtime/flow/extensions.hpp"

namespace kelvo {

namespace {

bool registryHasId(std::span<const ModuleEntry> entries, std::uint64_t id) {
    for (const ModuleEntry& entry : entries) {
        if (entry.id == id) return true;
    }
    return false;
}

}  // namespace

Status dispatchCommand(std::span<const ModuleEntry> entries, const ModuleCallContext& call,
                       const ModuleCommand& command) {
    if (command.hasTarget) {
        for (const ModuleEntry& entry : entries) {
            if (entry.id != command.target) continue;
            if (entry.onCommand == nullptr) return {};
            if (!entry.onCommand(entry.context, call, command)) return fail(Error::ModuleFailed);
            return {};
        }
        return fail(Error::MissingDependency);
    }
    for (const ModuleEntry& entry : entries) {
        if (entry.onCommand == nullptr) continue;
        if (!entry.onCommand(entry.context, call, command)) return fail(Error::ModuleFailed);
    }
    return {};
}

Status checkModuleRegistry(std::span<const ModuleEntry> entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (registryHasId(entries.first(i), entries[i].id)) return fail(Error::DuplicateModule);
    }
    for (const ModuleEntry& entry : entries) {
        for (std::uint64_t dependency : entry.dependencies) {
            if (!registryHasId(entries, dependency)) return fail(Error::MissingDependency);
        }
    }
    return {};
}

Status startModules(std::span<const ModuleEntry> entries, const ModuleCallContext& call) {
    TRY(checkModuleRegistry(entries));
    for (const ModuleEntry& entry : entries) {
        if (entry.start == nullptr) continue;
        if (!entry.start(entry.context, call)) return fail(Error::ModuleFailed);
    }
    return {};
}

Status stopModules(std::span<const ModuleEntry> entries, const ModuleCallContext& call) {
    bool failed = false;
    for (std::size_t i = entries.size(); i-- > 0;) {
        const ModuleEntry& entry = entries[i];
        if (entry.stop == nullptr) continue;
        if (!entry.stop(entry.context, call)) failed = true;
    }
    if (failed) return fail(Error::ModuleFailed);
    return {};
}

}  // namespace kelvo
