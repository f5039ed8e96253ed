#pragma once

// The record in which the host reports one event to the platform adapter: fixed layout, 448
// bytes, little-endian, natural alignment. Every emitter clears it whole, sets `kind` and fills
// only its kind's fields. Strings are borrowed from the emitter for the callback and never null.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

struct KelvoHostString {
    const char* bytes = "";
    std::uint64_t length = 0;

    [[nodiscard]] std::string_view view() const { return {bytes, static_cast<std::size_t>(length)}; }
};

inline KelvoHostString hostString(std::string_view text) {
    return text.empty() ? KelvoHostString{} : KelvoHostString{text.data(), text.size()};
}

enum class HostEventKind : std::uint32_t {
    app_start = 0,
    frame_requested = 1,
    app_shutdown = 2,
    surface_resized = 3,
    window_frame_changed = 4,
    shortcut = 5,
    native_command = 6,
    menu_command = 7,
    app_activated = 8,
    app_deactivated = 9,
    files_dropped = 10,
    gpu_surface_frame = 11,
    gpu_surface_resized = 12,
    gpu_surface_input = 13,
    widget_accessibility_action = 14,
    appearance_changed = 15,
    timer = 16,
    wake = 17,
    scroll_driver = 18,
    context_menu_action = 19,
    audio = 20,
};
inline constexpr std::uint32_t kHostEventKindCount = 21;

struct KelvoHostEvent {
    std::uint32_t kind = 0;
    std::uint32_t reserved0 = 0;
    std::uint64_t windowId = 0;
    double width = 0;
    double height = 0;
    double scale = 0;
    double x = 0;
    double y = 0;
    std::int32_t open = 0;
    std::int32_t focused = 0;
    KelvoHostString windowLabel{};
    KelvoHostString shortcutId{};
    KelvoHostString shortcutKey{};
    std::uint32_t modifiers = 0;  // bit 0 primary, 1 command, 2 control, 3 option, 4 shift
    std::uint32_t reserved1 = 0;
    KelvoHostString command{};
    KelvoHostString viewLabel{};
    KelvoHostString keyText{};
    KelvoHostString inputText{};
    KelvoHostString paths{};  // NUL between paths, none after the last
    std::uint64_t frameIndex = 0;
    std::uint64_t timestampNs = 0;  // wall clock
    std::uint64_t frameIntervalNs = 0;
    std::int32_t nonblank = 0;
    std::uint32_t sampleColor = 0;
    std::int32_t inputKind = 0;
    std::int32_t button = 0;
    double deltaX = 0;
    double deltaY = 0;
    std::uint64_t targetId = 0;  // widget id, scroll-driver id or context-menu token
    std::int32_t action = 0;
    std::uint32_t reserved2 = 0;
    KelvoHostString actionText{};
    std::int32_t hasSelection = 0;
    std::uint32_t reserved3 = 0;
    std::uint64_t selectionStart = 0;
    std::uint64_t selectionEnd = 0;
    std::int32_t hasCompositionCursor = 0;
    std::uint32_t reserved4 = 0;
    std::uint64_t compositionCursor = 0;
    std::int32_t darkAppearance = 0;
    std::int32_t reduceMotion = 0;
    std::int32_t increaseContrast = 0;
    std::uint32_t reserved5 = 0;
    std::uint64_t timerId = 0;
    double scrollOffsetY = 0;
    std::uint32_t menuItemId = 0;
    std::uint32_t reserved6 = 0;
    std::uint64_t packetDecodeNs = 0;
    std::uint64_t packetDrawNs = 0;
    std::int32_t occluded = 0;
    std::int32_t audioEvent = 0;
    std::uint64_t audioPositionMs = 0;
    std::uint64_t audioDurationMs = 0;
    std::int32_t audioPlaying = 0;
    std::int32_t audioBuffering = 0;
    std::uint8_t spectrumBands[32] = {};
};

static_assert(sizeof(KelvoHostString) == 16);
static_assert(sizeof(KelvoHostEvent) == 448);
static_assert(alignof(KelvoHostEvent) == 8);
static_assert(offsetof(KelvoHostEvent, windowId) == 8);
static_assert(offsetof(KelvoHostEvent, width) == 16);
static_assert(offsetof(KelvoHostEvent, height) == 24);
static_assert(offsetof(KelvoHostEvent, scale) == 32);
static_assert(offsetof(KelvoHostEvent, x) == 40);
static_assert(offsetof(KelvoHostEvent, y) == 48);
static_assert(offsetof(KelvoHostEvent, open) == 56);
static_assert(offsetof(KelvoHostEvent, focused) == 60);
static_assert(offsetof(KelvoHostEvent, windowLabel) == 64);
static_assert(offsetof(KelvoHostEvent, shortcutId) == 80);
static_assert(offsetof(KelvoHostEvent, shortcutKey) == 96);
static_assert(offsetof(KelvoHostEvent, modifiers) == 112);
static_assert(offsetof(KelvoHostEvent, command) == 120);
static_assert(offsetof(KelvoHostEvent, viewLabel) == 136);
static_assert(offsetof(KelvoHostEvent, keyText) == 152);
static_assert(offsetof(KelvoHostEvent, inputText) == 168);
static_assert(offsetof(KelvoHostEvent, paths) == 184);
static_assert(offsetof(KelvoHostEvent, frameIndex) == 200);
static_assert(offsetof(KelvoHostEvent, timestampNs) == 208);
static_assert(offsetof(KelvoHostEvent, frameIntervalNs) == 216);
static_assert(offsetof(KelvoHostEvent, nonblank) == 224);
static_assert(offsetof(KelvoHostEvent, sampleColor) == 228);
static_assert(offsetof(KelvoHostEvent, inputKind) == 232);
static_assert(offsetof(KelvoHostEvent, button) == 236);
static_assert(offsetof(KelvoHostEvent, deltaX) == 240);
static_assert(offsetof(KelvoHostEvent, deltaY) == 248);
static_assert(offsetof(KelvoHostEvent, targetId) == 256);
static_assert(offsetof(KelvoHostEvent, action) == 264);
static_assert(offsetof(KelvoHostEvent, actionText) == 272);
static_assert(offsetof(KelvoHostEvent, hasSelection) == 288);
static_assert(offsetof(KelvoHostEvent, selectionStart) == 296);
static_assert(offsetof(KelvoHostEvent, selectionEnd) == 304);
static_assert(offsetof(KelvoHostEvent, hasCompositionCursor) == 312);
static_assert(offsetof(KelvoHostEvent, compositionCursor) == 320);
static_assert(offsetof(KelvoHostEvent, darkAppearance) == 328);
static_assert(offsetof(KelvoHostEvent, reduceMotion) == 332);
static_assert(offsetof(KelvoHostEvent, increaseContrast) == 336);
static_assert(offsetof(KelvoHostEvent, timerId) == 344);
static_assert(offsetof(KelvoHostEvent, scrollOffsetY) == 352);
static_assert(offsetof(KelvoHostEvent, menuItemId) == 360);
static_assert(offsetof(KelvoHostEvent, packetDecodeNs) == 368);
static_assert(offsetof(KelvoHostEvent, packetDrawNs) == 376);
static_assert(offsetof(KelvoHostEvent, occluded) == 384);
static_assert(offsetof(KelvoHostEvent, audioEvent) == 388);
static_assert(offsetof(KelvoHostEvent, audioPositionMs) == 392);
static_assert(offsetof(KelvoHostEvent, audioDurationMs) == 400);
static_assert(offsetof(KelvoHostEvent, audioPlaying) == 408);
static_assert(offsetof(KelvoHostEvent, audioBuffering) == 412);
static_assert(offsetof(KelvoHostEvent, spectrumBands) == 416);

inline KelvoHostEvent hostEventOfKind(HostEventKind kind) {
    KelvoHostEvent event;
    event.kind = static_cast<std::uint32_t>(kind);
    return event;
}

// The host's event callback (context, record) and the two further callbacks of the adapter.
using KelvoEventCallback = void (*)(void* context, const KelvoHostEvent* event);
using KelvoBridgeCallback = void (*)(void* context, std::uint64_t windowId, const char* label,
                                     std::uint64_t labelLength, const char* message, std::uint64_t messageLength,
                                     const char* origin, std::uint64_t originLength);
using KelvoTrayCallback = void (*)(void* context, std::uint32_t itemId);

}  // namespace kelvo
