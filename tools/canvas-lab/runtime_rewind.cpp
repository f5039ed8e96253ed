#include "runtime_rewind.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

// The parts of the record a rewind keeps, in address order.
std::vector<std::span<unsigned char>> rewoundState(Runtime& runtime) {
    const auto bytes = [](auto& member) {
        unsigned char* const begin = reinterpret_cast<unsigned char*>(&member);
        return std::span<unsigned char>(begin, sizeof member);
    };
    std::array<std::span<unsigned char>, 5> untouched = {
        bytes(runtime.pageEventDetail), bytes(runtime.bridgeRouter.reply), bytes(runtime.bridgeRouter.output),
        bytes(runtime.bridgeRouter.scratch), bytes(runtime.canvasImages.store)};
    std::sort(untouched.begin(), untouched.end(), [](auto a, auto b) { return a.data() < b.data(); });
    std::vector<std::span<unsigned char>> state;
    unsigned char* at = reinterpret_cast<unsigned char*>(&runtime);
    for (const std::span<unsigned char> skipped : untouched) {
        if (at < skipped.data()) state.emplace_back(at, skipped.data());
        at = std::max(at, skipped.data() + skipped.size());
    }
    unsigned char* const slots = reinterpret_cast<unsigned char*>(runtime.canvasSlots.pages.data());
    if (at < slots) state.emplace_back(at, slots);
    for (std::size_t i = 0; i < kCanvasSlotCount; ++i) {
        if (runtime.canvasSlots.used[i]) state.emplace_back(runtime.canvasSlots.pages[i].bytes, sizeof(CanvasSlot));
    }
    return state;
}

}  // namespace

void saveRuntimeState(Runtime& runtime, RuntimeRewind& rewind) {
    rewind.saved.clear();
    for (const std::span<unsigned char> part : rewoundState(runtime)) {
        rewind.saved.insert(rewind.saved.end(), part.begin(), part.end());
    }
}

void rewindRuntime(Runtime& runtime, const RuntimeRewind& rewind) {
    // A replay changes few pages of the record: comparing a page costs less than copying it.
    const unsigned char* from = rewind.saved.data();
    for (const std::span<unsigned char> part : rewoundState(runtime)) {
        for (std::size_t at = 0; at < part.size(); at += kCanvasSlotPageBytes) {
            const std::size_t n = std::min(kCanvasSlotPageBytes, part.size() - at);
            if (std::memcmp(part.data() + at, from + at, n) != 0) std::memcpy(part.data() + at, from + at, n);
        }
        from += part.size();
    }
}

}  // namespace kelvo
