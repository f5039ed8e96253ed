#pragma once

#include "runtime/bridge/family.hpp"

namespace kelvo {

// The "kelvo.window." family: create, focus, close and list the application's windows; each
// success answers window objects.
std::string_view dispatchWindowBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers);

// The "kelvo.command." family: list the runtime's commands and invoke one as a menu or shortcut
// would, with the bridge as its source.
std::string_view dispatchCommandBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers);

}  // namespace kelvo
