#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "runtime/flow/extensions.hpp"

namespace kelvo {
namespace {

// Module order, start and stop rules run through app_start and app_shutdown in
// flow_lifecycle_test; these are the targeted-command rules.
TEST(ModuleCommands, TargetedCommandReachesOnlyItsModule) {
    std::vector<std::uint64_t> reached;
    auto handler = [](void* context, const ModuleCallContext&, const ModuleCommand& command) -> Status {
        static_cast<std::vector<std::uint64_t>*>(context)->push_back(command.target);
        if (command.target == 2) return fail(Error::Unexpected);
        return {};
    };
    std::array<ModuleEntry, 3> entries{};
    entries[0] = ModuleEntry{1, {}, &reached, nullptr, nullptr, handler};
    entries[1] = ModuleEntry{2, {}, &reached, nullptr, nullptr, handler};
    entries[2] = ModuleEntry{3, {}, &reached, nullptr, nullptr, nullptr};
    struct Case {
        std::uint64_t target;
        std::optional<Error> error;
        std::vector<std::uint64_t> reached;
    };
    const std::vector<Case> cases = {
        {1, std::nullopt, {1}},
        {2, Error::ModuleFailed, {2}},
        {3, std::nullopt, {}},  // a module without a handler takes the command silently
        {9, Error::MissingDependency, {}},
    };
    for (const Case& c : cases) {
        reached.clear();
        Status status = dispatchCommand(entries, ModuleCallContext{"test"}, ModuleCommand{"open", c.target, true});
        EXPECT_EQ(status ? std::nullopt : std::optional(status.error()), c.error) << c.target;
        EXPECT_EQ(reached, c.reached) << c.target;
    }
}

}  // namespace
}  // namespace kelvo
