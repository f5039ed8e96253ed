#pragma once

#include "runtime/bridge/family.hpp"

namespace kelvo {

// The "kelvo.webview." family: create, list, move, navigate, zoom, restack and close the web views
// of the caller's own window, its main web view ("main") among them. A payload's "windowId" only
// asserts that window. Without the web view layer every command of the family is refused.
std::string_view dispatchWebViewBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers);

}  // namespace kelvo
