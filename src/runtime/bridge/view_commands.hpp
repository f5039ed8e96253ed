#pragma once

#include "runtime/bridge/family.hpp"

namespace kelvo {

// The "kelvo.view." family: create, update, move, show or hide, focus, step the focus, list and
// close the native views and child web views of the caller's own window. A payload's "windowId"
// only asserts that window. Every success but the list answers one view object.
std::string_view dispatchViewBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                           BridgeFamilyBuffers& buffers);

}  // namespace kelvo
