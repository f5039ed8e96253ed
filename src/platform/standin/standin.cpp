#include "platform/standin/standin.hpp"

#include <atomic>

namespace kelvo::standin {

namespace {
std::atomic<StandIn*> gInstalled{nullptr};
}  // namespace

StandIn* installedStandIn() { return gInstalled.load(std::memory_order_acquire); }

void installStandIn(StandIn* standIn) { gInstalled.store(standIn, std::memory_order_release); }

}  // namespace kelvo::standin
