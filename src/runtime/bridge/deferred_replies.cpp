#include "runtime/bridge/deferred_replies.hpp"

#include "runtime/bridge/routing.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

BridgeResponderSlot* openSlot(void* slot, std::uint64_t claim) {
    auto* held = static_cast<BridgeResponderSlot*>(slot);
    if (held == nullptr || !held->active || held->runtime == nullptr || held->claim != claim) return nullptr;
    return held;
}

void freeSlot(BridgeResponderSlot& slot) {
    slot.active = false;
    slot.runtime = nullptr;
    slot.origin.clear();
    slot.label.clear();
    slot.target = BridgeReplyTarget::page;
}

}  // namespace

Result<AsyncBridgeResponder> claimBridgeResponder(Runtime& runtime, std::string_view origin, std::uint64_t windowId,
                                                  std::string_view label) {
    BridgeRouterState& router = runtime.bridgeRouter;
    BridgeResponderSlot* slot = nullptr;
    for (BridgeResponderSlot& candidate : router.responders) {
        if (!candidate.active) {
            slot = &candidate;
            break;
        }
    }
    if (slot == nullptr) return fail(Error::AsyncBridgeResponseLimitReached);
    if (origin.size() > kMaxResponderOriginBytes) return fail(Error::BridgeOriginTooLarge);
    if (label.size() > kMaxViewLabel) return fail(Error::WebViewLabelTooLarge);

    (void)slot->origin.assign(origin);
    (void)slot->label.assign(label);
    slot->runtime = &runtime;
    slot->windowId = windowId;
    slot->target = router.target;
    slot->claim = ++router.claims;
    slot->active = true;
    return AsyncBridgeResponder{slot,        slot->origin.view(), windowId, slot->label.view(),
                                slot->claim, &asyncBridgeRespond};
}

bool bridgeResponderOpen(const AsyncBridgeResponder& responder) {
    return openSlot(responder.slot, responder.claim) != nullptr;
}

void releaseBridgeResponder(const AsyncBridgeResponder& responder) {
    if (BridgeResponderSlot* slot = openSlot(responder.slot, responder.claim)) freeSlot(*slot);
}

Status asyncBridgeRespond(void* slot, std::uint64_t claim, std::string_view reply) {
    BridgeResponderSlot* held = openSlot(slot, claim);
    if (held == nullptr) return fail(Error::AsyncBridgeResponseAlreadyCompleted);
    // Freed before the delivery, so nothing the platform does while delivering can complete the
    // claim a second time.
    Runtime& runtime = *held->runtime;
    const std::uint64_t windowId = held->windowId;
    const InlineBytes<kMaxViewLabel> label = held->label;
    const BridgeReplyTarget target = held->target;
    freeSlot(*held);
    return completeBridgeResponseTo(runtime, windowId, label.view(), reply, target);
}

}  // namespace kelvo
