#include <gtest/gtest.h>

#include <string>

#include "platform/types/platform.hpp"
#include "support/test_platform.hpp"

namespace kelvo {
namespace {

TEST(PlatformRecord, SlotNamesRoundTripAndSlotFilledFollowsEachSlot) {
    TestPlatform test;
    for (std::size_t i = 0; i < kPlatformSlotCount; ++i) {
        auto slot = static_cast<PlatformSlot>(i);
        EXPECT_EQ(platformSlotFromName(platformSlotName(slot)), slot);
        test.emptyAllSlots();
        test.fillSlot(slot);
        for (std::size_t j = 0; j < kPlatformSlotCount; ++j) {
            EXPECT_EQ(slotFilled(test.platform().slots, static_cast<PlatformSlot>(j)), i == j) << i << " " << j;
        }
    }
    EXPECT_EQ(platformSlotName(PlatformSlot::wake), "wake");
    EXPECT_EQ(platformSlotName(PlatformSlot::decodeImage), "decodeImage");
    EXPECT_EQ(platformSlotName(static_cast<PlatformSlot>(75)), "");
    EXPECT_FALSE(platformSlotFromName("nope").has_value());
    EXPECT_FALSE(slotFilled(PlatformSlots{}, static_cast<PlatformSlot>(200)));
}

TEST(PlatformRecord, NeededCallsFailOnEmptySlotsAndHintsAreSkipped) {
    TestPlatform test;
    const Platform& platform = test.platform();
    test.emptySlot(PlatformSlot::focusWindow);
    test.emptySlot(PlatformSlot::measureText);
    EXPECT_FALSE(hasSlot<&PlatformSlots::focusWindow>(platform));
    EXPECT_EQ(callNeeded<&PlatformSlots::focusWindow>(platform, 3).error(), Error::UnsupportedService);
    EXPECT_EQ(callNeeded<&PlatformSlots::measureText>(platform, 1, 2.0f, "ab").error(), Error::UnsupportedService);
    EXPECT_TRUE(callHint<&PlatformSlots::focusWindow>(platform, 9));
    EXPECT_TRUE(test.calls().empty());

    test.fillAllSlots();
    test.failSlot(PlatformSlot::focusWindow, Error::FocusFailed, 2);
    EXPECT_EQ(callNeeded<&PlatformSlots::focusWindow>(platform, 9).error(), Error::FocusFailed);
    EXPECT_EQ(callHint<&PlatformSlots::focusWindow>(platform, 9).error(), Error::FocusFailed);
    EXPECT_TRUE(callNeeded<&PlatformSlots::focusWindow>(platform, 9));
    // A slot whose answer cannot fail has it wrapped.
    EXPECT_EQ(callNeeded<&PlatformSlots::measureText>(platform, 7, 2.0f, "abc").value(), 3.0f);
    EXPECT_EQ(test.callNames(), (std::vector<std::string>{"focusWindow", "focusWindow", "focusWindow", "measureText"}));
}

}  // namespace
}  // namespace kelvo
