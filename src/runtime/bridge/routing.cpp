#include "runtime/bridge/routing.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

Status handleBridgeMessage(Runtime& runtime, const AppBinding&, const BridgeMessage&) {
    ++runtime.changeCounter;
    markStateDirty(runtime);
    return {};
}

}  // namespace kelvo
