#pragma once

#include "platform/types/platform.hpp"

namespace kelvo::testing_slots {

// A do-nothing operation of any slot's type, so a test can fill a slot by its position.
template <class F>
struct Stub;
template <class R, class... A>
struct Stub<R (*)(void*, A...)> {
    static R call(void*, A...) { return R{}; }
};

inline void fillSlot(PlatformSlots& slots, PlatformSlot slot) {
    switch (slot) {
#define KELVO_TEST_FILL_SLOT(index, name, R, ...)                \
    case PlatformSlot::name:                                     \
        slots.name = &Stub<decltype(PlatformSlots::name)>::call; \
        break;
        KELVO_PLATFORM_SLOTS(KELVO_TEST_FILL_SLOT)
#undef KELVO_TEST_FILL_SLOT
    }
}

inline void clearSlot(PlatformSlots& slots, PlatformSlot slot) {
    switch (slot) {
#define KELVO_TEST_CLEAR_SLOT(index, name, R, ...) \
    case PlatformSlot::name:                       \
        slots.name = nullptr;                      \
        break;
        KELVO_PLATFORM_SLOTS(KELVO_TEST_CLEAR_SLOT)
#undef KELVO_TEST_CLEAR_SLOT
    }
}

inline void fillAllSlots(PlatformSlots& slots) {
    for (std::size_t i = 0; i < kPlatformSlotCount; ++i) fillSlot(slots, static_cast<PlatformSlot>(i));
}

}  // namespace kelvo::testing_slots
