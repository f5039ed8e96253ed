#pragma once

// The built-in command families of the system services: shell services ("kelvo.os."), credentials
// ("kelvo.credentials."), the clipboard ("kelvo.clipboard."), dialogs ("kelvo.dialog.") and
// platform features ("kelvo.platform."). Each answers every command of its prefix with exactly
// one reply: unknown names with unknown_command, failures with the built-in error table's code and
// message, successes with the command's JSON result.

#include <string_view>

#include "runtime/bridge/family.hpp"

namespace kelvo {

std::string_view dispatchOsBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers);
std::string_view dispatchCredentialBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                                 BridgeFamilyBuffers& buffers);
std::string_view dispatchClipboardBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                                BridgeFamilyBuffers& buffers);
std::string_view dispatchDialogBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers);
std::string_view dispatchPlatformBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                               BridgeFamilyBuffers& buffers);

}  // namespace kelvo
