#include "runtime/bridge_routing.hpp"

#include "runtime/core.hpp"

namespace kelvo {

Status handleBridgeMessage(Runtime& runtime, const AppBinding&, const BridgeMessage&) {
    ++runtime.changeCounter;
    markStateDirty(runtime);
    return {};
}

}  // namespace kelvo
