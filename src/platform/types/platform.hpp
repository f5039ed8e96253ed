#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "base/error.hpp"
#include "platform/types/canvas_records.hpp"
#include "platform/types/features.hpp"
#include "platform/types/geometry.hpp"
#include "platform/types/platform_event.hpp"
#include "platform/types/service_records.hpp"
#include "platform/types/view_records.hpp"
#include "platform/types/window_records.hpp"

namespace kelvo {

// The one seam between the runtime and an operating-system backend: a context, a name, the
// platform configuration, a run operation, an optional feature query, a services context and
// 75 service slots in a fixed order. The runtime calls the backend in no other way.
//
// Slot conventions: the services context comes first; a window is named by its id, a view or
// web view by window id plus label (1 to 64 bytes); texts, byte spans and records passed by
// reference are borrowed for the call only. Every slot may be empty. All slots are called on
// the main thread, except `wake` and `requestFrame`, which a backend must accept from any
// thread.
//
// X(index, name, result, parameters after the services context...)
#define KELVO_PLATFORM_SLOTS(X)                                                                                       \
    /* clipboard */                                                                                                   \
    X(0, readClipboard, Result<std::size_t>, std::span<char> out)                                                     \
    X(1, writeClipboard, Status, std::string_view text)                                                               \
    X(2, readClipboardData, Result<std::size_t>, std::string_view mimeType, std::span<std::uint8_t> out)              \
    X(3, writeClipboardData, Status, std::string_view mimeType, std::span<const std::uint8_t> data)                   \
    /* web view loading and bridge replies */                                                                         \
    X(4, loadWebView, Status, const WindowSource& source)                                                             \
    X(5, loadWindowWebView, Status, std::uint64_t windowId, const WindowSource& source)                               \
    X(6, completeBridge, Status, std::string_view reply)                                                              \
    X(7, completeWindowBridge, Status, std::uint64_t windowId, std::string_view reply)                                \
    X(8, completeWebViewBridge, Status, std::uint64_t windowId, std::string_view label, std::string_view reply)       \
    /* windows */                                                                                                     \
    X(9, createWindow, Result<WindowInfo>, const WindowConfig& window)                                                \
    X(10, focusWindow, Status, std::uint64_t windowId)                                                                \
    X(11, closeWindow, Status, std::uint64_t windowId)                                                                \
    X(12, minimizeWindow, Status, std::uint64_t windowId)                                                             \
    X(13, startWindowDrag, Status, std::uint64_t windowId)                                                            \
    X(14, windowChrome, WindowChrome, std::uint64_t windowId)                                                         \
    X(15, windowChromeReserved, Status)                                                                               \
    /* native views */                                                                                                \
    X(16, createView, Status, const ViewOptions& options)                                                             \
    X(17, updateView, Status, std::uint64_t windowId, std::string_view label, const ViewUpdate& update)               \
    X(18, setViewFrame, Status, std::uint64_t windowId, std::string_view label, RectF frame)                          \
    X(19, setViewVisible, Status, std::uint64_t windowId, std::string_view label, bool visible)                       \
    X(20, setViewCursor, Status, std::uint64_t windowId, std::string_view label, CursorKind cursor)                   \
    X(21, focusView, Status, std::uint64_t windowId, std::string_view label)                                          \
    X(22, closeView, Status, std::uint64_t windowId, std::string_view label)                                          \
    X(23, adoptViewSurface, Status, std::uint64_t windowId, std::string_view label, void* foreignView)                \
    X(24, releaseViewSurface, Status, std::uint64_t windowId, std::string_view label)                                 \
    /* web views */                                                                                                   \
    X(25, createWebView, Status, const WebViewOptions& options)                                                       \
    X(26, setWebViewFrame, Status, std::uint64_t windowId, std::string_view label, RectF frame)                       \
    X(27, navigateWebView, Status, std::uint64_t windowId, std::string_view label, std::string_view url)              \
    X(28, setWebViewZoom, Status, std::uint64_t windowId, std::string_view label, double zoom)                        \
    X(29, setWebViewLayer, Status, std::uint64_t windowId, std::string_view label, std::int32_t layer)                \
    X(30, closeWebView, Status, std::uint64_t windowId, std::string_view label)                                       \
    /* dialogs, notifications, credentials, shell services */                                                         \
    X(31, showOpenDialog, Result<OpenDialogResult>, const OpenDialogOptions& options, std::span<char> paths)          \
    X(32, showSaveDialog, Result<std::optional<std::size_t>>, const SaveDialogOptions& options, std::span<char> path) \
    X(33, showMessageDialog, Result<std::uint32_t>, const MessageDialogOptions& options)                              \
    X(34, showNotification, Status, std::string_view title, std::string_view subtitle, std::string_view body)         \
    X(35, setCredential, Status, std::string_view service, std::string_view account, std::string_view secret)         \
    X(36, getCredential, Result<std::size_t>, std::string_view service, std::string_view account,                     \
      std::span<char> secret)                                                                                         \
    X(37, deleteCredential, Status, std::string_view service, std::string_view account)                               \
    X(38, openExternalUrl, Status, std::string_view url)                                                              \
    X(39, revealPath, Status, std::string_view path)                                                                  \
    X(40, addRecentDocument, Status, std::string_view path)                                                           \
    X(41, clearRecentDocuments, Status)                                                                               \
    /* status-bar item */                                                                                             \
    X(42, createTray, Status, const TrayOptions& options)                                                             \
    X(43, updateTrayMenu, Status, std::span<const TrayItem> items)                                                    \
    X(44, updateTrayTitle, Status, std::string_view title)                                                            \
    X(45, removeTray, Status)                                                                                         \
    /* configuration */                                                                                               \
    X(46, configureSecurityPolicy, Status, const SecurityPolicy& policy)                                              \
    X(47, configureMenus, Status, std::span<const AppMenu> menus)                                                     \
    X(48, configureShortcuts, Status, std::span<const GlobalShortcut> shortcuts)                                      \
    /* events, frames, timers */                                                                                      \
    X(49, emitWindowEvent, Status, std::uint64_t windowId, std::string_view name, std::string_view detailJson)        \
    X(50, requestGpuSurfaceFrame, Status, std::uint64_t windowId, std::string_view label)                             \
    X(51, noteGpuSurfaceInput, Status, std::uint64_t windowId, std::string_view label)                                \
    X(52, startTimer, Status, std::uint64_t timerId, std::uint64_t intervalNs, bool repeats)                          \
    X(53, cancelTimer, Status, std::uint64_t timerId)                                                                 \
    /* audio; audioLoadUrl answers true while it streams from the URL, false when it plays a complete cache file */   \
    X(54, audioLoad, Status, std::string_view path)                                                                   \
    X(55, audioLoadUrl, Result<bool>, std::string_view url, std::string_view cachePath, std::uint64_t expectedBytes)  \
    X(56, audioPlay, Status)                                                                                          \
    X(57, audioPause, Status)                                                                                         \
    X(58, audioStop, Status)                                                                                          \
    X(59, audioSeek, Status, std::uint64_t positionMs)                                                                \
    X(60, audioSetVolume, Status, float volume)                                                                       \
    /* any thread: a wake event and a frame_requested event follow */                                                 \
    X(61, wake, Status)                                                                                               \
    X(62, requestFrame, Status)                                                                                       \
    /* canvas views and text */                                                                                       \
    X(63, presentGpuSurfacePixels, Status, std::uint64_t windowId, std::string_view label,                            \
      const GpuSurfacePixels& pixels)                                                                                 \
    X(64, presentGpuSurfacePacket, Status, std::uint64_t windowId, std::string_view label,                            \
      const GpuSurfacePacketInfo& info, std::string_view json)                                                        \
    X(65, presentGpuSurfacePacketBinary, Status, std::uint64_t windowId, std::string_view label,                      \
      const GpuSurfacePacketInfo& info, std::span<const std::uint8_t> packet)                                         \
    X(66, uploadGpuSurfaceImage, Status, std::uint64_t imageId, const SurfaceImage& image)                            \
    X(67, removeGpuSurfaceImage, Status, std::uint64_t imageId)                                                       \
    X(68, registerGpuSurfaceFont, Status, std::uint64_t fontId, std::span<const std::uint8_t> fontBytes)              \
    X(69, updateWidgetAccessibility, Status, std::uint64_t windowId, std::string_view label,                          \
      std::span<const WidgetAccessibilityNode> nodes)                                                                 \
    X(70, setGpuSurfaceScrollDrivers, Status, std::uint64_t windowId, std::string_view label,                         \
      std::span<const ScrollDriverRegion> regions)                                                                    \
    X(71, showContextMenu, Status, std::uint64_t windowId, std::string_view label, const ContextMenuRequest& menu)    \
    /* measureText answers -1 on failure; measureTextAdvances stores each character's advance on its first byte */    \
    X(72, measureText, float, std::uint64_t fontId, float size, std::string_view text)                                \
    X(73, measureTextAdvances, bool, std::uint64_t fontId, float size, std::string_view text,                         \
      std::span<float> advances)                                                                                      \
    X(74, decodeImage, Result<DecodedImage>, std::span<const std::uint8_t> encoded, std::span<std::uint8_t> pixels)

// The service slots, each an optional function taking the services context first.
struct PlatformSlots {
#define KELVO_PLATFORM_SLOT_MEMBER(index, name, R, ...) R (*name)(void* services __VA_OPT__(, ) __VA_ARGS__) = nullptr;
    KELVO_PLATFORM_SLOTS(KELVO_PLATFORM_SLOT_MEMBER)
#undef KELVO_PLATFORM_SLOT_MEMBER
};

// The slots by position.
enum class PlatformSlot : std::uint8_t {
#define KELVO_PLATFORM_SLOT_ENUMERATOR(index, name, R, ...) name,
    KELVO_PLATFORM_SLOTS(KELVO_PLATFORM_SLOT_ENUMERATOR)
#undef KELVO_PLATFORM_SLOT_ENUMERATOR
};

inline constexpr std::size_t kPlatformSlotCount = 75;

static_assert(sizeof(PlatformSlots) == kPlatformSlotCount * sizeof(void (*)()));
static_assert(std::is_standard_layout_v<PlatformSlots>);
#define KELVO_PLATFORM_SLOT_POSITION(index, name, R, ...)                                                  \
    static_assert(static_cast<std::size_t>(PlatformSlot::name) == (index), "slot " #name " out of order"); \
    static_assert(offsetof(PlatformSlots, name) == (index) * sizeof(void (*)()), "slot " #name " misplaced");
KELVO_PLATFORM_SLOTS(KELVO_PLATFORM_SLOT_POSITION)
#undef KELVO_PLATFORM_SLOT_POSITION
static_assert(offsetof(PlatformSlots, wake) == 61 * sizeof(void (*)()));
static_assert(offsetof(PlatformSlots, requestFrame) == 62 * sizeof(void (*)()));

// The slot's name ("requestFrame"); empty outside the 75.
std::string_view platformSlotName(PlatformSlot slot);
std::optional<PlatformSlot> platformSlotFromName(std::string_view name);

// Whether the record's slot holds an operation.
bool slotFilled(const PlatformSlots& slots, PlatformSlot slot);

using PlatformRunFn = Status (*)(void* context, PlatformEventHandler handler, void* handlerContext);
using PlatformSupportsFeatureFn = bool (*)(void* context, PlatformFeature feature);

struct Platform {
    void* context = nullptr;  // the backend's own state; passed to run and supportsFeature
    std::string_view name{};  // "macos", "test", ...
    PlatformConfig config{};
    // Runs the backend's event loop on the calling thread until the application ends, handing
    // every event to handler(handlerContext, event), one at a time, each to its end. A handler
    // error stops the loop, and run then fails with CallbackFailed.
    PlatformRunFn run = nullptr;
    PlatformSupportsFeatureFn supportsFeature = nullptr;  // optional
    void* services = nullptr;                             // the first argument of every slot
    PlatformSlots slots{};
};

// Whether the platform supports a feature: the backend's own answer when it gives one,
// otherwise an answer derived from which slots are filled. False for a value outside the 24.
bool supports(const Platform& platform, PlatformFeature feature);

namespace detail {
template <class T>
struct IsResult : std::false_type {};
template <class T>
struct IsResult<tl::expected<T, Error>> : std::true_type {};

template <auto Slot>
using SlotFn = std::remove_cvref_t<decltype(std::declval<const PlatformSlots&>().*Slot)>;
}  // namespace detail

// Whether the slot holds an operation, e.g. `hasSlot<&PlatformSlots::createTray>(platform)`.
template <auto Slot>
[[nodiscard]] bool hasSlot(const Platform& platform) {
    return platform.slots.*Slot != nullptr;
}

// Calls a service the caller needs: an empty slot gives UnsupportedService. The answer is
// always a Result (a slot that cannot fail has its value wrapped).
//   TRY(callNeeded<&PlatformSlots::focusWindow>(platform, windowId));
template <auto Slot, class... Args>
auto callNeeded(const Platform& platform, Args&&... args) {
    using R = std::invoke_result_t<detail::SlotFn<Slot>, void*, Args...>;
    using Out = std::conditional_t<detail::IsResult<R>::value, R, Result<R>>;
    auto fn = platform.slots.*Slot;
    if (fn == nullptr) return Out(fail(Error::UnsupportedService));
    if constexpr (detail::IsResult<R>::value) {
        return fn(platform.services, std::forward<Args>(args)...);
    } else {
        return Out(fn(platform.services, std::forward<Args>(args)...));
    }
}

// Calls a service that is only a hint (frame requests, cursor shapes, input notes, scroll
// drivers, accessibility updates, window drags, timer cancels): an empty slot is skipped and
// counts as success. A filled slot's error is returned for the caller to record or ignore.
template <auto Slot, class... Args>
Status callHint(const Platform& platform, Args&&... args) {
    using R = std::invoke_result_t<detail::SlotFn<Slot>, void*, Args...>;
    static_assert(std::is_same_v<R, Status>, "only slots that answer a Status can be hints");
    auto fn = platform.slots.*Slot;
    if (fn == nullptr) return {};
    return fn(platform.services, std::forward<Args>(args)...);
}

}  // namespace kelvo
