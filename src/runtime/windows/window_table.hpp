#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "platform/types/geometry.hpp"
#include "platform/types/window_records.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

// The window table: every window of the application, open or closed, in one fixed table.

inline constexpr std::size_t kMaxWindows = 16;
inline constexpr std::size_t kMaxWindowTitle = 128;
inline constexpr std::size_t kMaxWindowSourceText = 65536;
inline constexpr std::size_t kMaxWindowSourcePart = 4096;  // asset root, entry, origin
inline constexpr RectF kDefaultWindowFrame{0, 0, 720, 480};

// A window source with its own buffers.
struct WindowSourceStorage {
    InlineBytes<kMaxWindowSourceText> text;
    InlineBytes<kMaxWindowSourcePart> assetRoot;
    InlineBytes<kMaxWindowSourcePart> entry;
    InlineBytes<kMaxWindowSourcePart> origin;
    bool hasAssets = false;
    bool spaFallback = false;
    WindowSourceKind kind = WindowSourceKind::html;

    // The source, referring to these buffers.
    [[nodiscard]] WindowSource get() const;
};

// Copies `source` into `storage`: WindowSourceTooLarge (and `storage` unchanged) when the text is
// over 65,536 bytes or the asset root, entry or origin over 4,096 bytes.
Status storeWindowSource(WindowSourceStorage& storage, const WindowSource& source);

struct RuntimeWindow {
    std::uint64_t id = 1;
    LabelBytes label;
    InlineBytes<kMaxWindowTitle> title;
    RectF frame = kDefaultWindowFrame;
    float scale = 1.0f;
    bool open = true;
    bool focused = false;
    std::uint64_t mainWebViewId = 0;
    bool hasSource = false;
    WindowSourceStorage source;
    OptionalLabel mainWebViewParent;  // the view that hosts the main web view (shell views)
    double mainWebViewZoom = 1.0;
    RectF mainWebViewFrame = kDefaultWindowFrame;
    std::int32_t mainWebViewLayer = 0;
    bool usesAppSource = false;        // shows the application source rather than one of its own
    bool mainWebViewFrameSet = false;  // while false the main web view fills the window
    bool mainWebViewFocused = false;

    [[nodiscard]] std::optional<WindowSource> sourceIfAny() const {
        return hasSource ? std::optional<WindowSource>(source.get()) : std::nullopt;
    }
    // The main web view's frame: the one set explicitly, else the whole window.
    [[nodiscard]] RectF effectiveMainWebViewFrame() const {
        return mainWebViewFrameSet ? mainWebViewFrame : RectF{0, 0, frame.width, frame.height};
    }
};

// The public view of a window; its texts point into the record.
WindowInfo windowInfo(const RuntimeWindow& window);

// What `createWindowWithSourceMode` is given: the window as the platform will receive it (`id` 0:
// the runtime picks one) and the window's own source, if it has one.
struct WindowCreateOptions : WindowConfig {
    std::optional<WindowSource> source;
};

struct Runtime;

// Index of the first record with that id, open or closed.
std::optional<std::size_t> findWindowIndexById(const Runtime& runtime, std::uint64_t id);
// Index of the first record with that label, open or closed.
std::optional<std::size_t> findWindowIndexByLabel(const Runtime& runtime, std::string_view label);
// The record with that id when it exists and is open.
RuntimeWindow* findOpenWindow(Runtime& runtime, std::uint64_t id);
const RuntimeWindow* findOpenWindow(const Runtime& runtime, std::uint64_t id);

// Appends a window record without asking the platform. Errors: WindowLimitReached,
// InvalidWindowOptions (empty label), NoSpaceLeft (label over 64 or title over 128 bytes),
// WindowSourceTooLarge. A failure leaves the table as it was.
Result<std::size_t> reserveWindow(Runtime& runtime, std::uint64_t id, std::string_view label, std::string_view title,
                                  const std::optional<WindowSource>& source, bool usesAppSource);

// The record of a window the platform reports: the existing record with that id, else a new
// record reserved without a source. Id 0 is never adopted (InvalidWindowOptions).
Result<std::size_t> findOrReserveWindow(Runtime& runtime, std::uint64_t id, std::string_view label,
                                        std::string_view title);

// Removes a record (and the window's shell description); later records move down. Views and web
// views of the window are not touched.
void removeWindowAt(Runtime& runtime, std::size_t index);

// Creates a window on the platform and loads its page. With `sourceOptional` a window may have no
// source; otherwise one is required (the options' own or the application source).
Result<WindowInfo> createWindowWithSourceMode(Runtime& runtime, const WindowCreateOptions& options, bool usesAppSource,
                                              bool sourceOptional);

// Makes the window the only focused one.
void setOnlyFocusedWindow(Runtime& runtime, std::size_t index);

// Raises the next automatic window id past `id` (an id of 2^64 - 1 leaves it alone).
void raiseNextWindowId(Runtime& runtime, std::uint64_t id);

// The window the host creates itself; the only one a platform without per-window loading can load.
inline constexpr std::uint64_t kMainWindowId = 1;

// Loads `source` into the window's main web view: through the window's own loader, or for the
// main window through the loader of the first window. UnsupportedService when neither applies.
Status loadWindowSource(Runtime& runtime, std::uint64_t windowId, const WindowSource& source);

}  // namespace kelvo
