// The adapter's record: run, feature answers, window descriptions and the slot table.

#include <cstring>

#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

// Features that need nothing beyond the host's own services.
constexpr std::uint32_t kAlwaysSupported = 0x97FE3;

Status runMacPlatform(void* context, PlatformEventHandler handler, void* handlerContext) {
    MacPlatform& mac = *static_cast<MacPlatform*>(context);
    mac.runState = RunState{&mac, handler, handlerContext, false};
    const AppKitFunctions& appkit = *mac.appkit;
    if (appkit.set_bridge_callback) appkit.set_bridge_callback(mac.host, appkitBridgeCallback, &mac.runState);
    if (appkit.set_tray_callback) appkit.set_tray_callback(mac.host, appkitTrayCallback, &mac.runState);
    appkit.run(mac.host, appkitCallback, &mac.runState);
    if (mac.runState.failed) return fail(Error::CallbackFailed);
    return {};
}

// The written answer, narrowed to what this host can do: a feature whose services it does not
// have yet is not claimed.
bool macSupportsFeature(void* context, PlatformFeature feature) {
    const MacPlatform& mac = *static_cast<const MacPlatform*>(context);
    auto bit = static_cast<std::uint32_t>(feature);
    if (bit >= kPlatformFeatureCount) return false;
    bool written = ((kAlwaysSupported >> bit) & 1u) != 0 || !mac.nativeFeaturesDisabled;
    if (!written) return false;
    switch (feature) {
        case PlatformFeature::file_drops:
        case PlatformFeature::app_activation_events:
            return true;
        case PlatformFeature::native_views:
        case PlatformFeature::native_control_commands:
            return mac.appkit->create_view != nullptr;
        case PlatformFeature::gpu_surfaces:
            return mac.slots.presentGpuSurfacePacket != nullptr;
        case PlatformFeature::audio_spectrum:
            return mac.slots.audioLoad != nullptr;
        default: {
            Platform served;
            served.slots = mac.slots;
            return supports(served, feature);
        }
    }
}

WindowDescription describe(const WindowConfig& options, std::uint64_t id, std::string_view defaultLabel,
                           std::string_view fallbackTitle) {
    WindowDescription description;
    description.id = id;
    description.label = options.label.empty() ? defaultLabel : options.label;
    description.title = options.title.empty() ? fallbackTitle : options.title;
    description.options = options;
    description.configured = true;
    return description;
}

}  // namespace

WindowDescription windowById(const MacPlatform& mac, std::uint64_t windowId) {
    const AppConfig& app = mac.app;
    std::string_view fallbackTitle = !app.windowTitle.empty()        ? app.windowTitle
                                     : !app.mainWindow.title.empty() ? app.mainWindow.title
                                                                     : app.appName;
    if (!app.windows.empty()) {
        for (std::size_t k = 0; k < app.windows.size(); ++k) {
            const WindowConfig& options = app.windows[k];
            std::uint64_t id = 0;
            if (k == 0) {
                id = options.id == 0 ? 1 : options.id;
            } else {
                id = options.id >= 2 ? options.id : k + 1;
            }
            if (id == windowId) return describe(options, id, k == 0 ? "main" : "window", fallbackTitle);
        }
    } else {
        std::uint64_t id = app.mainWindow.id == 0 ? 1 : app.mainWindow.id;
        if (id == windowId) return describe(app.mainWindow, id, "main", fallbackTitle);
    }
    WindowDescription unknown;
    unknown.id = windowId;
    unknown.title = fallbackTitle;
    unknown.options.frame = RectF{0, 0, 720, 480};
    unknown.options.resizable = true;
    unknown.options.restoreFrame = true;
    return unknown;
}

void fillMacPlatform(Platform& platform, MacPlatform& mac) {
    PlatformSlots slots;
    const AppKitFunctions& appkit = *mac.appkit;
    fillWindowSlots(slots, appkit);
    fillConfigurationSlots(slots, appkit);
    fillServiceSlots(slots, appkit);
    fillWebViewSlots(slots, appkit);
    fillViewSlots(slots, appkit);
    fillMediaSlots(slots, appkit);
    fillCanvasSlots(slots, appkit);
    mac.slots = slots;

    platform.context = &mac;
    platform.name = "macos";
    platform.config = mac.app.platform;
    platform.run = runMacPlatform;
    platform.supportsFeature = macSupportsFeature;
    platform.services = &mac;
    platform.slots = slots;
}

bool isPlainCommandName(std::string_view name, std::size_t maxLength) {
    if (name.empty() || name.size() > maxLength || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("\0\t\n\r/\\", 6)) == std::string_view::npos;
}

bool joinInto(std::span<const std::string_view> parts, char separator, std::span<char> out, std::size_t& length) {
    length = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::size_t need = parts[i].size() + (i > 0 ? 1 : 0);
        if (need > out.size() - length) return false;
        if (i > 0) out[length++] = separator;
        if (!parts[i].empty()) std::memcpy(out.data() + length, parts[i].data(), parts[i].size());
        length += parts[i].size();
    }
    return true;
}

}  // namespace kelvo
