#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/types/platform.hpp"
#include "slot_stubs.hpp"

namespace kelvo {
namespace {

TEST(PlatformRecord, SlotNamesInOrder) {
    const std::vector<std::string_view> names = {
        "readClipboard",
        "writeClipboard",
        "readClipboardData",
        "writeClipboardData",
        "loadWebView",
        "loadWindowWebView",
        "completeBridge",
        "completeWindowBridge",
        "completeWebViewBridge",
        "createWindow",
        "focusWindow",
        "closeWindow",
        "minimizeWindow",
        "startWindowDrag",
        "windowChrome",
        "windowChromeReserved",
        "createView",
        "updateView",
        "setViewFrame",
        "setViewVisible",
        "setViewCursor",
        "focusView",
        "closeView",
        "adoptViewSurface",
        "releaseViewSurface",
        "createWebView",
        "setWebViewFrame",
        "navigateWebView",
        "setWebViewZoom",
        "setWebViewLayer",
        "closeWebView",
        "showOpenDialog",
        "showSaveDialog",
        "showMessageDialog",
        "showNotification",
        "setCredential",
        "getCredential",
        "deleteCredential",
        "openExternalUrl",
        "revealPath",
        "addRecentDocument",
        "clearRecentDocuments",
        "createTray",
        "updateTrayMenu",
        "updateTrayTitle",
        "removeTray",
        "configureSecurityPolicy",
        "configureMenus",
        "configureShortcuts",
        "emitWindowEvent",
        "requestGpuSurfaceFrame",
        "noteGpuSurfaceInput",
        "startTimer",
        "cancelTimer",
        "audioLoad",
        "audioLoadUrl",
        "audioPlay",
        "audioPause",
        "audioStop",
        "audioSeek",
        "audioSetVolume",
        "wake",
        "requestFrame",
        "presentGpuSurfacePixels",
        "presentGpuSurfacePacket",
        "presentGpuSurfacePacketBinary",
        "uploadGpuSurfaceImage",
        "removeGpuSurfaceImage",
        "registerGpuSurfaceFont",
        "updateWidgetAccessibility",
        "setGpuSurfaceScrollDrivers",
        "showContextMenu",
        "measureText",
        "measureTextAdvances",
        "decodeImage",
    };
    ASSERT_EQ(names.size(), kPlatformSlotCount);
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto slot = static_cast<PlatformSlot>(i);
        EXPECT_EQ(platformSlotName(slot), names[i]);
        EXPECT_EQ(platformSlotFromName(names[i]), slot);
    }
    EXPECT_EQ(platformSlotName(static_cast<PlatformSlot>(75)), "");
    EXPECT_FALSE(platformSlotFromName("nope").has_value());
}

TEST(PlatformRecord, SlotFilledFollowsEachSlot) {
    for (std::size_t i = 0; i < kPlatformSlotCount; ++i) {
        PlatformSlots slots;
        auto slot = static_cast<PlatformSlot>(i);
        testing_slots::fillSlot(slots, slot);
        for (std::size_t j = 0; j < kPlatformSlotCount; ++j) {
            EXPECT_EQ(slotFilled(slots, static_cast<PlatformSlot>(j)), i == j) << i << " " << j;
        }
    }
    EXPECT_FALSE(slotFilled(PlatformSlots{}, static_cast<PlatformSlot>(200)));
}

struct Recorder {
    std::vector<std::string> calls;
};

Status focusWindow(void* services, std::uint64_t windowId) {
    static_cast<Recorder*>(services)->calls.push_back("focus " + std::to_string(windowId));
    if (windowId == 9) return fail(Error::FocusFailed);
    return {};
}

float measureText(void* services, std::uint64_t fontId, float size, std::string_view text) {
    static_cast<Recorder*>(services)->calls.push_back("measure " + std::to_string(fontId) + " " + std::string(text));
    return size * static_cast<float>(text.size());
}

Result<std::size_t> readClipboard(void* services, std::span<char> out) {
    static_cast<Recorder*>(services)->calls.push_back("read");
    if (out.size() < 2) return fail(Error::NoSpaceLeft);
    out[0] = 'h';
    out[1] = 'i';
    return 2;
}

TEST(PlatformRecord, NeededCallsReachTheServicesContextOrFail) {
    Recorder recorder;
    Platform platform;
    platform.services = &recorder;

    EXPECT_EQ(callNeeded<&PlatformSlots::focusWindow>(platform, 3).error(), Error::UnsupportedService);
    EXPECT_EQ(callNeeded<&PlatformSlots::measureText>(platform, 1, 2.0f, "ab").error(), Error::UnsupportedService);
    EXPECT_TRUE(recorder.calls.empty());

    platform.slots.focusWindow = &focusWindow;
    platform.slots.measureText = &measureText;
    platform.slots.readClipboard = &readClipboard;
    EXPECT_TRUE(callNeeded<&PlatformSlots::focusWindow>(platform, 3));
    EXPECT_EQ(callNeeded<&PlatformSlots::focusWindow>(platform, 9).error(), Error::FocusFailed);
    Result<float> width = callNeeded<&PlatformSlots::measureText>(platform, 7, 2.0f, "abc");
    EXPECT_EQ(width.value(), 6.0f);
    char buffer[4];
    EXPECT_EQ(callNeeded<&PlatformSlots::readClipboard>(platform, std::span(buffer)).value(), 2u);
    EXPECT_EQ(callNeeded<&PlatformSlots::readClipboard>(platform, std::span(buffer, 1)).error(), Error::NoSpaceLeft);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"focus 3", "focus 9", "measure 7 abc", "read", "read"}));
}

TEST(PlatformRecord, HintCallsAreSkippedWhenEmpty) {
    Recorder recorder;
    Platform platform;
    platform.services = &recorder;
    EXPECT_FALSE(hasSlot<&PlatformSlots::focusWindow>(platform));
    EXPECT_TRUE(callHint<&PlatformSlots::focusWindow>(platform, 9));
    EXPECT_TRUE(recorder.calls.empty());

    platform.slots.focusWindow = &focusWindow;
    EXPECT_TRUE(hasSlot<&PlatformSlots::focusWindow>(platform));
    EXPECT_EQ(callHint<&PlatformSlots::focusWindow>(platform, 9).error(), Error::FocusFailed);
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"focus 9"});
}

}  // namespace
}  // namespace kelvo
