#pragma once

// The responder slots of deferred application commands: claiming one for a request, and
// completing it with the reply.

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "bridge/async_command_handler.hpp"

namespace kelvo {

struct Runtime;

// Claims the first free slot for a request from `origin` in the web view `label` of window
// `windowId`, copying both texts into the slot. AsyncBridgeResponseLimitReached when all 64 slots
// are held, BridgeOriginTooLarge for an origin over 512 bytes, WebViewLabelTooLarge for a label
// over 64 bytes.
Result<AsyncBridgeResponder> claimBridgeResponder(Runtime& runtime, std::string_view origin, std::uint64_t windowId,
                                                  std::string_view label);

// Whether the responder's claim has not been completed or released yet.
bool bridgeResponderOpen(const AsyncBridgeResponder& responder);

// Frees the responder's slot without a reply, when its claim is still open.
void releaseBridgeResponder(const AsyncBridgeResponder& responder);

// Completes the claim `claim` of `slot`: delivers `reply` to the web view that asked, frees the
// slot whatever the delivery gave, and returns the delivery's result.
// AsyncBridgeResponseAlreadyCompleted, with nothing delivered, when the claim was completed or
// released before.
Status asyncBridgeRespond(void* slot, std::uint64_t claim, std::string_view reply);

}  // namespace kelvo
