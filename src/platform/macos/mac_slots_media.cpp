// Slots of canvas-view frames, the context menu and audio.

#include <algorithm>
#include <array>

#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kMaxContextMenuItems = 32;

Status requestGpuSurfaceFrame(void* services, std::uint64_t windowId, std::string_view label) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    if (mac.appkit->request_gpu_surface_frame(mac.host, windowId, label.data(), label.size()) == 0) {
        return fail(Error::ViewNotFound);
    }
    return {};
}

Status noteGpuSurfaceInput(void* services, std::uint64_t windowId, std::string_view label) {
    MacPlatform& mac = macOf(services);
    if (!mac.nativeFeaturesDisabled)
        (void)mac.appkit->note_gpu_surface_input(mac.host, windowId, label.data(), label.size());
    return {};
}

Status showContextMenu(void* services, std::uint64_t windowId, std::string_view label, const ContextMenuRequest& menu) {
    MacPlatform& mac = macOf(services);
    std::size_t count = std::min(menu.items.size(), kMaxContextMenuItems);
    std::array<KelvoContextMenuItemRecord, kMaxContextMenuItems> records{};
    for (std::size_t i = 0; i < count; ++i) {
        const ContextMenuItem& item = menu.items[i];
        records[i].id = item.id;
        records[i].label = item.label.data();
        records[i].labelLength = item.label.size();
        records[i].enabled = item.enabled ? 1 : 0;
        records[i].separator = item.separator ? 1 : 0;
    }
    if (mac.appkit->show_context_menu(mac.host, windowId, label.data(), label.size(), menu.x, menu.y, menu.token,
                                      records.data(), count) == 0) {
        return fail(Error::WindowNotFound);
    }
    return {};
}

Status audioLoad(void* services, std::string_view path) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    switch (mac.appkit->audio_load(mac.host, path.data(), path.size())) {
        case 0:
            return {};
        case 1:
            return fail(Error::AudioSourceNotFound);
        default:
            return fail(Error::AudioDecodeFailed);
    }
}

Result<bool> audioLoadUrl(void* services, std::string_view url, std::string_view cachePath, std::uint64_t expected) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    switch (
        mac.appkit->audio_load_url(mac.host, url.data(), url.size(), cachePath.data(), cachePath.size(), expected)) {
        case 0:
            return true;
        case 1:
            return false;
        default:
            return fail(Error::InvalidAudioOptions);
    }
}

Status audioPlay(void* services) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->audio_play(mac.host) == 0) return fail(Error::InvalidAudioOptions);
    return {};
}

Status audioPause(void* services) {
    MacPlatform& mac = macOf(services);
    (void)mac.appkit->audio_pause(mac.host);
    return {};
}

Status audioStop(void* services) {
    MacPlatform& mac = macOf(services);
    (void)mac.appkit->audio_stop(mac.host);
    return {};
}

Status audioSeek(void* services, std::uint64_t positionMs) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->audio_seek(mac.host, positionMs) == 0) return fail(Error::InvalidAudioOptions);
    return {};
}

Status audioSetVolume(void* services, float volume) {
    MacPlatform& mac = macOf(services);
    (void)mac.appkit->audio_set_volume(mac.host, volume);
    return {};
}

}  // namespace

void fillMediaSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.request_gpu_surface_frame) slots.requestGpuSurfaceFrame = requestGpuSurfaceFrame;
    if (appkit.note_gpu_surface_input) slots.noteGpuSurfaceInput = noteGpuSurfaceInput;
    if (appkit.show_context_menu) slots.showContextMenu = showContextMenu;
    if (appkit.audio_load) slots.audioLoad = audioLoad;
    if (appkit.audio_load_url) slots.audioLoadUrl = audioLoadUrl;
    if (appkit.audio_play) slots.audioPlay = audioPlay;
    if (appkit.audio_pause) slots.audioPause = audioPause;
    if (appkit.audio_stop) slots.audioStop = audioStop;
    if (appkit.audio_seek) slots.audioSeek = audioSeek;
    if (appkit.audio_set_volume) slots.audioSetVolume = audioSetVolume;
}

}  // namespace kelvo
