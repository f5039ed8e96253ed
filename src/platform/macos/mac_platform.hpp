#pragma once

// The platform adapter: fills the runtime's platform record with operations over the host's
// function interface, and turns the host's events into platform events for the runtime.
//
//   MacPlatform mac;
//   mac.host = kelvo_appkit_create(...);
//   mac.app = appConfig;
//   fillMacPlatform(runtime.platform, mac);
//   Status ran = runtime.platform.run(runtime.platform.context, handlePlatformEvent, &runContext);

#include <cstdint>

#include "base/fixed.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/types/platform.hpp"

namespace kelvo {

struct MacPlatform;

// The context of the host's three callbacks while `run` lasts.
struct RunState {
    MacPlatform* platform = nullptr;  // null only in a run state not made by `run`
    PlatformEventHandler handler = nullptr;
    void* handlerContext = nullptr;
    bool failed = false;  // a handler returned an error; never goes back to false
};

struct SurfaceSize {
    std::uint64_t windowId = 0;
    float width = 0;
    float height = 0;
    float scale = 0;
};

inline constexpr std::size_t kMaxCreatedWindowTitles = 16;

// The title a window was created with through the adapter, by window id.
struct CreatedWindowTitle {
    std::uint64_t windowId = 0;
    InlineBytes<128> title;
};

struct MacPlatform {
    KelvoAppKitHost* host = nullptr;
    // The application's texts (the app name is the last fallback of window titles, the window
    // title the default title), the main window and the configured windows.
    AppConfig app{};
    SurfaceSize lastSurfaceSize{};
    RunState runState{};
    // Switches native views, native control commands, menus, file drops, canvas views, scroll
    // drivers, view-surface adoption and audio off. Start-up leaves it false.
    bool nativeFeaturesDisabled = false;
    // The host functions the adapters call; tests put a recording host here.
    const AppKitFunctions* appkit = &appkitFunctions();
    // Filled by fillMacPlatform: which slots the host can serve.
    PlatformSlots slots{};
    FixedVec<CreatedWindowTitle, kMaxCreatedWindowTitles> createdTitles{};
};

// Sets the record's context and services context to `mac`, its name to "macos", its
// configuration, `run`, `supportsFeature`, and every slot whose host functions `mac.appkit`
// has (slot 15 stays empty, like every slot whose host function is missing).
void fillMacPlatform(Platform& platform, MacPlatform& mac);

// What the adapter knows of a window: the configured one with that id, or defaults.
struct WindowDescription {
    std::uint64_t id = 0;
    std::string_view label{};
    std::string_view title{};
    WindowConfig options{};
    bool configured = false;
};
WindowDescription windowById(const MacPlatform& mac, std::uint64_t windowId);

// The host's callbacks (context: the RunState).
void appkitCallback(void* runState, const KelvoHostEvent* event);
void appkitBridgeCallback(void* runState, std::uint64_t windowId, const char* label, std::uint64_t labelLength,
                          const char* message, std::uint64_t messageLength, const char* origin,
                          std::uint64_t originLength);
void appkitTrayCallback(void* runState, std::uint32_t itemId);

// Hands one event to the runtime's handler; a handler error is written to standard error as
// "platform callback failed: <error> (event <kind>)" and stops the host.
void emitPlatformEvent(RunState& state, const PlatformEvent& event);

}  // namespace kelvo
