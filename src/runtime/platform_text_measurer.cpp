// The runtime's text measurer over the platform's text slots.

#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

// The measurer's context is the runtime's platform record.
float measureWithPlatform(void* context, std::uint64_t font, const char* text, std::size_t length, float size) {
    const Platform& platform = *static_cast<const Platform*>(context);
    // A failed measurement comes back negative; layout then falls back to its own estimate.
    return platform.slots.measureText(platform.services, font, size, std::string_view(text, length));
}

bool measureAdvancesWithPlatform(void* context, std::uint64_t font, const char* text, std::size_t length,
                                 float* advances, std::size_t capacity, float size) {
    const Platform& platform = *static_cast<const Platform*>(context);
    return platform.slots.measureTextAdvances(platform.services, font, size, std::string_view(text, length),
                                              std::span<float>(advances, capacity));
}

}  // namespace

void bindPlatformTextMeasurer(Runtime& runtime) {
    const PlatformSlots& slots = runtime.platform.slots;
    if (slots.measureText == nullptr) return;
    TextMeasurer measurer{&runtime.platform, measureWithPlatform,
                          slots.measureTextAdvances != nullptr ? measureAdvancesWithPlatform : nullptr};
    bindTextMeasurer(runtime.textMeasurer, measurer);
}

}  // namespace kelvo
