#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "bridge/command_handler.hpp"

namespace kelvo {

// Where the reply of a deferred command must go: a claim on one of the router's responder slots,
// which keeps copies of the caller's origin and web view label. Handed to the handler by value;
// the handler (or whatever it passes the responder to) completes it exactly once, on the main
// thread, now or later.
struct AsyncBridgeResponder {
    void* slot = nullptr;
    std::string_view origin;  // the slot's copy, valid until the responder completes
    std::uint64_t windowId = 0;
    std::string_view label;  // the slot's copy, valid until the responder completes
    // Which claim of the slot this responder holds: a slot freed and claimed again by a later
    // request is not completed by an old responder.
    std::uint64_t claim = 0;
    Status (*respond)(void* slot, std::uint64_t claim, std::string_view reply) = nullptr;

    // Delivers `reply` to the page that asked. The reply is handed on unchanged, so it must be a
    // complete reply for the request's id, written with the reply writers (a handler that answers
    // after returning keeps its own copy of the id). The slot is free again afterwards, whatever
    // the delivery gave; every later completion fails with AsyncBridgeResponseAlreadyCompleted.
    [[nodiscard]] Status complete(std::string_view reply) const { return respond(slot, claim, reply); }
};

// A deferred command: takes the request and answers later through the responder. An error it
// returns while the responder is still open is answered as handler_failed with the error's name.
using AsyncBridgeCommandFn = Status (*)(void* context, const BridgeInvocation& invocation,
                                        AsyncBridgeResponder responder);

// One row of an application's deferred command table.
struct AsyncBridgeCommandHandler {
    std::string_view name;
    void* context = nullptr;
    AsyncBridgeCommandFn handle = nullptr;
};

}  // namespace kelvo
