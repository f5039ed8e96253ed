#include "platform/types/platform.hpp"

#include <array>

namespace kelvo {

namespace {
constexpr std::array<std::string_view, kPlatformSlotCount> kSlotNames = {
#define KELVO_PLATFORM_SLOT_NAME(index, name, R, ...) std::string_view(#name),
    KELVO_PLATFORM_SLOTS(KELVO_PLATFORM_SLOT_NAME)
#undef KELVO_PLATFORM_SLOT_NAME
};
}  // namespace

std::string_view platformSlotName(PlatformSlot slot) {
    auto index = static_cast<std::size_t>(slot);
    if (index >= kSlotNames.size()) return {};
    return kSlotNames[index];
}

std::optional<PlatformSlot> platformSlotFromName(std::string_view name) {
    for (std::size_t i = 0; i < kSlotNames.size(); ++i) {
        if (kSlotNames[i] == name) return static_cast<PlatformSlot>(i);
    }
    return std::nullopt;
}

bool slotFilled(const PlatformSlots& slots, PlatformSlot slot) {
    switch (slot) {
#define KELVO_PLATFORM_SLOT_FILLED(index, name, R, ...) \
    case PlatformSlot::name:                            \
        return slots.name != nullptr;
        KELVO_PLATFORM_SLOTS(KELVO_PLATFORM_SLOT_FILLED)
#undef KELVO_PLATFORM_SLOT_FILLED
    }
    return false;
}

bool supports(const Platform& platform, PlatformFeature feature) {
    if (!isValidPlatformFeature(feature)) return false;
    if (platform.supportsFeature != nullptr) return platform.supportsFeature(platform.context, feature);

    const PlatformSlots& s = platform.slots;
    auto has = [](auto slot) { return slot != nullptr; };
    switch (feature) {
        case PlatformFeature::main_webview:
            return has(s.loadWebView) || has(s.loadWindowWebView);
        case PlatformFeature::child_webviews:
            return has(s.createWebView);
        case PlatformFeature::native_views:
        case PlatformFeature::native_control_commands:
            return has(s.createView);
        case PlatformFeature::menus:
            return has(s.configureMenus);
        case PlatformFeature::tray:
            return has(s.createTray);
        case PlatformFeature::shortcuts:
            return has(s.configureShortcuts);
        case PlatformFeature::dialogs:
            return has(s.showOpenDialog) || has(s.showSaveDialog) || has(s.showMessageDialog);
        case PlatformFeature::clipboard_text:
            return has(s.readClipboard) && has(s.writeClipboard);
        case PlatformFeature::clipboard_rich_data:
            return has(s.readClipboardData) && has(s.writeClipboardData);
        case PlatformFeature::open_url:
            return has(s.openExternalUrl);
        case PlatformFeature::reveal_path:
            return has(s.revealPath);
        case PlatformFeature::notifications:
            return has(s.showNotification);
        case PlatformFeature::recent_documents:
            return has(s.addRecentDocument) || has(s.clearRecentDocuments);
        case PlatformFeature::credentials:
            return has(s.setCredential) && has(s.getCredential) && has(s.deleteCredential);
        case PlatformFeature::audio_playback:
            return has(s.audioLoad);
        case PlatformFeature::audio_streaming:
            return has(s.audioLoadUrl);
        case PlatformFeature::gpu_surface_scroll_drivers:
            return has(s.setGpuSurfaceScrollDrivers);
        case PlatformFeature::context_menus:
            return has(s.showContextMenu);
        case PlatformFeature::view_surface_adoption:
            return has(s.adoptViewSurface);
        // Only the backend can say whether these work.
        case PlatformFeature::file_drops:
        case PlatformFeature::app_activation_events:
        case PlatformFeature::gpu_surfaces:
        case PlatformFeature::audio_spectrum:
            return false;
    }
    return false;
}

}  // namespace kelvo
