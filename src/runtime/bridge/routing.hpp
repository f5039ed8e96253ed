#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/platform_event.hpp"
#include "runtime/bridge/router_state.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// The one entry through which a script message becomes native work. It counts the request as a
// change of the next frame, parses it, and sends it either to the built-in command family of its
// "kelvo." prefix or to the application's commands (`Runtime::bridgeConfig`), each behind its
// policy. Every request is answered exactly once: with the command's reply, with an error reply,
// or later through a deferred responder. The reply goes back to the web view that asked
// (`completeBridgeResponse`), and the runtime is marked changed.
//
// Returns an error only when the reply could not be delivered; every other failure is a reply.
// The router is never re-entered: a message that arrives while another is being handled is
// answered at once with internal_error "BridgeReentered", and traced.
Status handleBridgeMessage(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message);

// The same for a request of the automation "bridge" command: its reply, also a deferred one, is
// written only to the automation directory's "bridge-response.txt" and never reaches a page.
Status handleAutomationBridgeMessage(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message);

// Hands a reply to the web view `label` of window `windowId`: through the platform's web view
// completion when it has one; otherwise, for the main web view ("main"), through the window
// completion, or for window 1 through the generic one. UnsupportedService when none fits; a
// slot's error is returned unchanged. The reply is handed on as it is, also when empty. After a
// delivery, when automation asks for it, the reply is also written as the automation
// directory's "bridge-response.txt" (a failure there is only traced).
Status completeBridgeResponse(Runtime& runtime, std::uint64_t windowId, std::string_view label, std::string_view reply);
// The same with the reply's target: for `automation_file` nothing is delivered to a page and only
// the reply file is written.
Status completeBridgeResponseTo(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                std::string_view reply, BridgeReplyTarget target);

}  // namespace kelvo
