#include <gtest/gtest.h>

#include <string>

#include "platform/types/platform.hpp"
#include "support/test_platform.hpp"

namespace kelvo {
namespace {

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
