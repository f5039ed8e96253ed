#pragma once

#include <span>

#include "bridge/async_command_handler.hpp"
#include "bridge/command_handler.hpp"
#include "security/policy.hpp"

namespace kelvo {

// An application's bridge commands and who may call them. Every command not under a built-in
// "kelvo." prefix is looked up here: first among the deferred handlers, then among the immediate
// ones, each time after `policy` admitted it. The default value admits nothing and so refuses
// every application command.
struct BridgeConfig {
    Policy policy{};
    std::span<const BridgeCommandHandler> handlers{};
    std::span<const AsyncBridgeCommandHandler> asyncHandlers{};
};

}  // namespace kelvo
