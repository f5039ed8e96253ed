#pragma once

#include "base/error.hpp"
#include "platform/types/platform_event.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// The one entry through which a script message becomes native work: it counts the request as a
// change of the next frame, routes it to a command family or the application's commands, and
// answers the page that asked. Returns an error only when the reply could not be delivered.
//
// Until the bridge router lands here, a message is counted and marks the runtime changed, and
// nothing answers it.
Status handleBridgeMessage(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message);

}  // namespace kelvo
