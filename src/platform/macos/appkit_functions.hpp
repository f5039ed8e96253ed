#pragma once

// The host's function interface: the host handle first, texts as UTF-8 pointer and length (a null
// pointer is the empty text; text that is not valid UTF-8 counts as empty), results 1 for success
// and 0 for failure (-1 where a target is unavailable or an output buffer too small), reads into
// a caller buffer answering the full length of the data. Main thread only, except
// `kelvo_appkit_request_frame`, `kelvo_appkit_wake` and `kelvo_appkit_set_dock_icon_rgba`.
//
// The platform adapter reaches these functions through `AppKitFunctions`, a table with one
// pointer per function of the list below, so that its tests can put a recording host in place.
// The host's own table (`appkitFunctions()`) holds the functions the host has; an adapter whose
// function is missing leaves its platform slot empty (the runtime then answers
// UnsupportedService).

#include <cstddef>
#include <cstdint>

#include "platform/macos/host_event.hpp"

namespace kelvo {

// The host object; its state is private to src/platform/macos.
struct KelvoAppKitHost;

// Option records of the dialog functions (fixed layout).
struct KelvoOpenDialogOptions {
    const char* title = nullptr;
    std::uint64_t titleLength = 0;
    const char* defaultPath = nullptr;
    std::uint64_t defaultPathLength = 0;
    const char* extensions = nullptr;  // ";" between extensions
    std::uint64_t extensionsLength = 0;
    std::int32_t allowDirectories = 0;
    std::int32_t allowMultiple = 0;
};
static_assert(sizeof(KelvoOpenDialogOptions) == 56);

struct KelvoSaveDialogOptions {
    const char* title = nullptr;
    std::uint64_t titleLength = 0;
    const char* defaultPath = nullptr;
    std::uint64_t defaultPathLength = 0;
    const char* defaultName = nullptr;
    std::uint64_t defaultNameLength = 0;
    const char* extensions = nullptr;
    std::uint64_t extensionsLength = 0;
};
static_assert(sizeof(KelvoSaveDialogOptions) == 64);

// The message dialog's style, then its title, message, informative text and three button titles.
struct KelvoMessageDialogRecord {
    std::int32_t style = 0;
    std::uint32_t reserved = 0;
    struct Text {
        const char* bytes = nullptr;
        std::uint64_t length = 0;
    } texts[6] = {};
};
static_assert(sizeof(KelvoMessageDialogRecord) == 104);

// A native scroll view that follows a canvas widget.
struct KelvoScrollDriverRecord {
    std::uint64_t id = 0;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double contentWidth = 0;
    double contentHeight = 0;
    double offsetY = 0;
    std::int32_t applyOffset = 0;
    std::int32_t verticalElasticity = 0;
};
static_assert(sizeof(KelvoScrollDriverRecord) == 72);

// One canvas widget as assistive technology sees it. Each "has" field is a presence flag (0:
// absent); texts are UTF-8, borrowed for the call. The pair after the selection is copied through
// by the adapter and not read by the view.
struct KelvoWidgetAccessibilityNodeRecord {
    std::uint64_t widgetId = 0;  // 0 never sends actions
    std::int32_t role = 0;
    std::uint32_t reserved0 = 0;
    const char* label = nullptr;
    std::uint64_t labelLength = 0;
    const char* value = nullptr;
    std::uint64_t valueLength = 0;
    const char* placeholder = nullptr;
    std::uint64_t placeholderLength = 0;
    std::int32_t hasSelection = 0;
    std::uint32_t reserved1 = 0;
    std::uint64_t selectionStart = 0;  // UTF-16 units of the value text
    std::uint64_t selectionEnd = 0;
    std::int32_t hasComposition = 0;
    std::uint32_t reserved2 = 0;
    std::uint64_t compositionStart = 0;
    std::uint64_t compositionEnd = 0;
    std::int32_t hasNumericValue = 0;
    std::uint32_t reserved3 = 0;
    double numericValue = 0;
    std::int32_t hasRowIndex = 0;
    std::uint32_t reserved4 = 0;
    std::uint64_t rowIndex = 0;
    std::int32_t hasColumnIndex = 0;
    std::uint32_t reserved5 = 0;
    std::uint64_t columnIndex = 0;
    std::int32_t hasRowCount = 0;
    std::uint32_t reserved6 = 0;
    std::uint64_t rowCount = 0;
    std::int32_t hasColumnCount = 0;
    std::uint32_t reserved7 = 0;
    std::uint64_t columnCount = 0;
    std::int32_t hasPositionInSet = 0;
    std::uint32_t positionInSet = 0;  // from 0
    std::int32_t hasSetSize = 0;
    std::uint32_t setSize = 0;
    std::int32_t hasRangeValue = 0;
    std::uint32_t reserved8 = 0;
    double rangeValue = 0;
    std::int32_t hasRangeMin = 0;
    std::uint32_t reserved9 = 0;
    double rangeMin = 0;
    std::int32_t hasRangeMax = 0;
    std::uint32_t reserved10 = 0;
    double rangeMax = 0;
    double x = 0;  // points from the view's top-left corner
    double y = 0;
    double width = 0;
    double height = 0;
    std::uint32_t stateFlags = 0;
    std::uint32_t actionFlags = 0;
};
static_assert(sizeof(KelvoWidgetAccessibilityNodeRecord) == 296);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, label) == 16);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, hasSelection) == 64);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, hasComposition) == 88);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, numericValue) == 120);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, hasPositionInSet) == 192);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, setSize) == 204);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, rangeValue) == 216);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, rangeMax) == 248);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, x) == 256);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, stateFlags) == 288);
static_assert(offsetof(KelvoWidgetAccessibilityNodeRecord, actionFlags) == 292);

struct KelvoOpenDialogResult {
    std::uint64_t count = 0;
    std::uint64_t length = 0;
};

struct KelvoContextMenuItemRecord {
    std::uint32_t id = 0;
    std::uint32_t reserved = 0;
    const char* label = nullptr;
    std::uint64_t labelLength = 0;
    std::int32_t enabled = 0;
    std::int32_t separator = 0;
};
static_assert(sizeof(KelvoContextMenuItemRecord) == 32);

#define KELVO_TEXT_ARG(name) const char *name, std::size_t name##Length

// X(name, result, parameters after the host handle...)
#define KELVO_APPKIT_FUNCTIONS(X)                                                                                     \
    /* host core */                                                                                                   \
    X(run, void, KelvoEventCallback callback, void* context)                                                          \
    X(stop, void)                                                                                                     \
    X(set_bridge_callback, void, KelvoBridgeCallback callback, void* context)                                         \
    X(set_tray_callback, void, KelvoTrayCallback callback, void* context)                                             \
    X(request_frame, void)                                                                                            \
    X(wake, void)                                                                                                     \
    X(start_timer, void, std::uint64_t timerId, std::uint64_t intervalNs, std::int32_t repeats)                       \
    X(cancel_timer, void, std::uint64_t timerId)                                                                      \
    /* windows */                                                                                                     \
    X(create_window, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(title), KELVO_TEXT_ARG(label),              \
      std::int32_t restoreFrame, std::int32_t resizable, std::int32_t titlebarStyle, std::int32_t showPolicy,         \
      double x, double y, double width, double height)                                                                \
    X(set_window_content_min_size, std::int32_t, std::uint64_t windowId, double width, double height)                 \
    X(focus_window, std::int32_t, std::uint64_t windowId)                                                             \
    X(close_window, std::int32_t, std::uint64_t windowId)                                                             \
    X(minimize_window, std::int32_t, std::uint64_t windowId)                                                          \
    X(start_window_drag, std::int32_t, std::uint64_t windowId)                                                        \
    X(window_chrome_insets, std::int32_t, std::uint64_t windowId, double* top, double* left, double* bottom,          \
      double* right, double* buttonsX, double* buttonsY, double* buttonsWidth, double* buttonsHeight)                 \
    /* policy */                                                                                                      \
    X(set_security_policy, void, KELVO_TEXT_ARG(origins), KELVO_TEXT_ARG(externalUrls), std::int32_t action)          \
    /* web views and the bridge channel */                                                                            \
    X(load_window_webview, void, std::uint64_t windowId, KELVO_TEXT_ARG(source), std::int32_t kind,                   \
      KELVO_TEXT_ARG(assetRoot), KELVO_TEXT_ARG(entry), KELVO_TEXT_ARG(origin), std::int32_t spaFallback)             \
    X(bridge_respond, void, KELVO_TEXT_ARG(response))                                                                 \
    X(bridge_respond_window, void, std::uint64_t windowId, KELVO_TEXT_ARG(response))                                  \
    X(bridge_respond_webview, void, std::uint64_t windowId, KELVO_TEXT_ARG(label), KELVO_TEXT_ARG(response))          \
    X(emit_window_event, void, std::uint64_t windowId, KELVO_TEXT_ARG(name), KELVO_TEXT_ARG(detail))                  \
    X(create_webview, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), KELVO_TEXT_ARG(url), double x,     \
      double y, double width, double height, std::int32_t layer, std::int32_t transparent, std::int32_t bridge)       \
    X(set_webview_frame, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), double x, double y,             \
      double width, double height)                                                                                    \
    X(navigate_webview, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), KELVO_TEXT_ARG(url))             \
    X(set_webview_zoom, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), double zoom)                     \
    X(set_webview_layer, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), std::int32_t layer)             \
    X(close_webview, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label))                                     \
    /* native views */                                                                                                \
    X(create_view, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), std::int32_t kind,                    \
      KELVO_TEXT_ARG(parent), std::int32_t layer, std::int32_t visible, std::int32_t enabled, KELVO_TEXT_ARG(role),   \
      KELVO_TEXT_ARG(accessibilityLabel), KELVO_TEXT_ARG(text), KELVO_TEXT_ARG(command), double x, double y,          \
      double width, double height)                                                                                    \
    X(update_view, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), std::int32_t hasFrame,                \
      std::int32_t hasLayer, std::int32_t layer, std::int32_t hasVisible, std::int32_t visible,                       \
      std::int32_t hasEnabled, std::int32_t enabled, std::int32_t hasRole, KELVO_TEXT_ARG(role),                      \
      std::int32_t hasAccessibilityLabel, KELVO_TEXT_ARG(accessibilityLabel), std::int32_t hasText,                   \
      KELVO_TEXT_ARG(text), std::int32_t hasCommand, KELVO_TEXT_ARG(command), double x, double y, double width,       \
      double height)                                                                                                  \
    X(set_view_frame, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), double x, double y, double width,  \
      double height)                                                                                                  \
    X(set_view_visible, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), std::int32_t visible)            \
    X(set_view_cursor, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), std::int32_t cursor)              \
    X(focus_view, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label))                                        \
    X(close_view, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label))                                        \
    X(adopt_view_surface, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), void* surface)                 \
    X(release_view_surface, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label))                              \
    /* system services */                                                                                             \
    X(clipboard_read, std::uint64_t, char* buffer, std::size_t capacity)                                              \
    X(clipboard_write, std::int32_t, KELVO_TEXT_ARG(text))                                                            \
    X(clipboard_read_data, std::uint64_t, KELVO_TEXT_ARG(mimeType), std::uint8_t* buffer, std::size_t capacity)       \
    X(clipboard_write_data, std::int32_t, KELVO_TEXT_ARG(mimeType), const std::uint8_t* data, std::size_t length)     \
    X(show_open_dialog, KelvoOpenDialogResult, const KelvoOpenDialogOptions* options, char* buffer,                   \
      std::size_t capacity)                                                                                           \
    X(show_save_dialog, std::uint64_t, const KelvoSaveDialogOptions* options, char* buffer, std::size_t capacity)     \
    X(show_message_dialog, std::int32_t, const KelvoMessageDialogRecord* options)                                     \
    X(show_notification, std::int32_t, KELVO_TEXT_ARG(title), KELVO_TEXT_ARG(subtitle), KELVO_TEXT_ARG(body))         \
    X(set_credential, std::int32_t, KELVO_TEXT_ARG(service), KELVO_TEXT_ARG(account), const std::uint8_t* secret,     \
      std::size_t secretLength)                                                                                       \
    X(get_credential, std::uint64_t, KELVO_TEXT_ARG(service), KELVO_TEXT_ARG(account), std::uint8_t* buffer,          \
      std::size_t capacity)                                                                                           \
    X(delete_credential, std::int32_t, KELVO_TEXT_ARG(service), KELVO_TEXT_ARG(account))                              \
    X(open_external_url, std::int32_t, KELVO_TEXT_ARG(url))                                                           \
    X(reveal_path, std::int32_t, KELVO_TEXT_ARG(path))                                                                \
    X(add_recent_document, std::int32_t, KELVO_TEXT_ARG(path))                                                        \
    X(clear_recent_documents, std::int32_t)                                                                           \
    /* menus, shortcuts, context menu, status item */                                                                 \
    X(set_menus, void, const char* const* titles, const std::uint64_t* titleLengths, std::uint64_t menuCount,         \
      const std::uint32_t* itemMenus, const char* const* labels, const std::uint64_t* labelLengths,                   \
      const char* const* commands, const std::uint64_t* commandLengths, const char* const* keys,                      \
      const std::uint64_t* keyLengths, const std::uint32_t* modifiers, const std::int32_t* separators,                \
      const std::int32_t* enabled, const std::int32_t* checked, std::uint64_t itemCount)                              \
    X(set_shortcuts, void, const char* const* ids, const std::uint64_t* idLengths, const char* const* keys,           \
      const std::uint64_t* keyLengths, const std::uint32_t* modifiers, std::uint64_t count)                           \
    X(show_context_menu, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), double x, double y,             \
      std::uint64_t token, const KelvoContextMenuItemRecord* items, std::uint64_t count)                              \
    X(create_tray, std::int32_t, KELVO_TEXT_ARG(iconPath), KELVO_TEXT_ARG(title), KELVO_TEXT_ARG(tooltip))            \
    X(update_tray_menu, void, const std::uint32_t* ids, const char* const* labels, const std::uint64_t* labelLengths, \
      const std::uint32_t* separators, const std::uint32_t* enabled, std::uint64_t count)                             \
    X(update_tray_title, void, KELVO_TEXT_ARG(title))                                                                 \
    X(remove_tray, void)                                                                                              \
    /* canvas views */                                                                                                \
    X(request_gpu_surface_frame, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label))                         \
    X(note_gpu_surface_input, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label))                            \
    X(present_gpu_surface_pixels, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), std::uint32_t width,   \
      std::uint32_t height, double scale, std::int32_t hasDirtyRect, double dirtyX, double dirtyY, double dirtyWidth, \
      double dirtyHeight, const std::uint8_t* rgba, std::size_t byteLength)                                           \
    X(present_gpu_surface_packet, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), double width,          \
      double height, double scale, std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha,       \
      std::int32_t requiresRender, std::uint32_t commandCount, std::uint32_t unsupportedCommandCount,                 \
      std::int32_t representable, KELVO_TEXT_ARG(json))                                                               \
    X(present_gpu_surface_packet_binary, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label), double width,   \
      double height, double scale, std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha,       \
      std::int32_t requiresRender, std::uint32_t commandCount, std::uint32_t unsupportedCommandCount,                 \
      std::int32_t representable, const std::uint8_t* packet, std::size_t packetLength)                               \
    X(set_gpu_surface_scroll_drivers, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label),                    \
      const KelvoScrollDriverRecord* drivers, std::uint64_t count)                                                    \
    X(update_widget_accessibility, std::int32_t, std::uint64_t windowId, KELVO_TEXT_ARG(label),                       \
      const KelvoWidgetAccessibilityNodeRecord* nodes, std::uint64_t count)                                           \
    X(upload_gpu_surface_image, std::int32_t, std::uint64_t imageId, std::uint32_t width, std::uint32_t height,       \
      const std::uint8_t* rgba, std::size_t byteLength)                                                               \
    X(remove_gpu_surface_image, std::int32_t, std::uint64_t imageId)                                                  \
    X(register_font, std::int32_t, std::uint64_t fontId, const std::uint8_t* bytes, std::size_t length)               \
    X(measure_text, double, std::uint64_t fontId, const char* text, std::size_t length, double size)                  \
    X(measure_text_advances, std::int32_t, std::uint64_t fontId, const char* text, std::size_t length,                \
      float* advances, double size)                                                                                   \
    X(decode_image, std::int32_t, const std::uint8_t* encoded, std::size_t encodedLength, std::uint8_t* pixels,       \
      std::size_t capacity, std::uint32_t* width, std::uint32_t* height)                                              \
    /* audio */                                                                                                       \
    X(audio_load, std::int32_t, KELVO_TEXT_ARG(path))                                                                 \
    X(audio_load_url, std::int32_t, KELVO_TEXT_ARG(url), KELVO_TEXT_ARG(cachePath), std::uint64_t expectedBytes)      \
    X(audio_play, std::int32_t)                                                                                       \
    X(audio_pause, std::int32_t)                                                                                      \
    X(audio_stop, std::int32_t)                                                                                       \
    X(audio_seek, std::int32_t, std::uint64_t positionMs)                                                             \
    X(audio_set_volume, std::int32_t, double volume)

#define KELVO_APPKIT_DECLARE(name, R, ...) R kelvo_appkit_##name(KelvoAppKitHost* host __VA_OPT__(, ) __VA_ARGS__);
KELVO_APPKIT_FUNCTIONS(KELVO_APPKIT_DECLARE)
#undef KELVO_APPKIT_DECLARE

// Creating and releasing the host, and the dock icon (any thread); start-up and the dock-icon
// thread call these directly.
KelvoAppKitHost* kelvo_appkit_create(KELVO_TEXT_ARG(appName), KELVO_TEXT_ARG(displayName), KELVO_TEXT_ARG(version),
                                     KELVO_TEXT_ARG(about), std::int32_t hasWebContent, KELVO_TEXT_ARG(windowTitle),
                                     KELVO_TEXT_ARG(bundleIdentifier), KELVO_TEXT_ARG(iconPath),
                                     KELVO_TEXT_ARG(windowLabel), double x, double y, double width, double height,
                                     std::int32_t restoreFrame, std::int32_t resizable, std::int32_t titlebarStyle,
                                     std::int32_t showPolicy);
void kelvo_appkit_destroy(KelvoAppKitHost* host);
void kelvo_appkit_set_dock_icon_rgba(KelvoAppKitHost* host, const std::uint8_t* pixels, std::uint32_t width,
                                     std::uint32_t height);

struct AppKitFunctions {
#define KELVO_APPKIT_MEMBER(name, R, ...) R (*name)(KelvoAppKitHost * host __VA_OPT__(, ) __VA_ARGS__) = nullptr;
    KELVO_APPKIT_FUNCTIONS(KELVO_APPKIT_MEMBER)
#undef KELVO_APPKIT_MEMBER
};

// The functions this host has.
const AppKitFunctions& appkitFunctions();

}  // namespace kelvo
