#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/types/geometry.hpp"

namespace kelvo {

// Records the window slots take and return. Texts are borrowed for the call.

enum class WindowSourceKind : std::uint8_t { html = 0, url = 1, assets = 2 };

// Pages served from a folder of the application.
struct WindowAssets {
    std::string_view assetRoot{};  // the folder served
    std::string_view entry{};      // the entry file
    std::string_view origin{};     // the origin under which the folder is served
    bool spaFallback = false;      // a path that matches no file is answered with the entry file
    friend bool operator==(const WindowAssets&, const WindowAssets&) = default;
};

// What a window's main web view loads: an HTML document, a URL, or an application's assets
// (`text` is then the address to load).
struct WindowSource {
    std::string_view text{};
    std::optional<WindowAssets> assets{};
    WindowSourceKind kind = WindowSourceKind::html;
    friend bool operator==(const WindowSource&, const WindowSource&) = default;
};

enum class TitlebarStyle : std::uint8_t {
    normal = 0,
    transparent = 1,               // transparent title bar over full-size content
    transparent_tall_toolbar = 2,  // the same with a tall toolbar
    chromeless = 3,
};

enum class ShowPolicy : std::uint8_t {
    immediately = 0,
    after_first_frame = 1,  // hidden until its first canvas frame or a deadline
};

// One window as the application declares it and as `createWindow` receives it.
struct WindowConfig {
    std::uint64_t id = 0;  // 0: the runtime assigns one
    std::string_view label{};
    std::string_view title{};
    RectF frame{0, 0, 720, 480};
    // A component that is not a finite value above 0 sets no minimum for that dimension.
    SizeF minContentSize{};
    bool resizable = true;
    bool restoreFrame = false;
    // Handed to the backend unchanged; no backend gives it a meaning yet.
    bool passThroughFlag = false;
    TitlebarStyle titlebarStyle = TitlebarStyle::normal;
    ShowPolicy showPolicy = ShowPolicy::immediately;
    friend bool operator==(const WindowConfig&, const WindowConfig&) = default;
};

// The public view of a window. A backend's answer borrows its texts until the next platform call.
struct WindowInfo {
    std::uint64_t id = 0;
    std::string_view label{};
    std::string_view title{};
    RectF frame{};
    float scale = 1.0f;
    bool open = true;
    bool focused = false;
    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// Chrome metrics of a window; all 0 for a window that does not exist.
struct WindowChrome {
    float insetTop = 0;
    float insetLeft = 0;
    float insetBottom = 0;
    float insetRight = 0;
    RectF buttons{};  // the window-button rectangle
    friend bool operator==(const WindowChrome&, const WindowChrome&) = default;
};

// The part of the application configuration that the platform record itself carries.
struct PlatformConfig {
    std::string_view text{};  // handed to the backend; this application leaves it empty
    SizeF defaultWindowSize{720, 480};
    float defaultScale = 1.0f;
    friend bool operator==(const PlatformConfig&, const PlatformConfig&) = default;
};

// The application configuration that start-up builds once; a backend receives it whole in its
// own context.
struct AppConfig {
    std::string_view appName{};
    std::string_view displayName{};
    std::string_view version{};
    std::string_view aboutText{};
    std::string_view windowTitle{};
    std::string_view bundleId{};
    std::string_view iconPath{};
    WindowConfig mainWindow{};
    std::span<const WindowConfig> windows{};  // declaration order; empty: the main window alone
    bool webContent = true;
    PlatformConfig platform{};
};

}  // namespace kelvo
