#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/types/geometry.hpp"

namespace kelvo {

// Records of the dialog, status-bar item, menu, shortcut and security slots. Texts and lists
// are borrowed for the call.

struct DialogFileFilter {
    std::string_view name{};
    std::span<const std::string_view> extensions{};  // without the dot: "vrs"
};

struct OpenDialogOptions {
    std::string_view title{};
    std::string_view defaultPath{};
    std::span<const DialogFileFilter> filters{};
    bool allowDirectories = false;
    bool allowMultiple = false;
};

struct SaveDialogOptions {
    std::string_view title{};
    std::string_view defaultPath{};
    std::string_view defaultName{};
    std::span<const DialogFileFilter> filters{};
};

enum class MessageDialogStyle : std::uint32_t { informational = 0, warning = 1, critical = 2 };

// Empty secondary and tertiary labels mean the button is not shown.
struct MessageDialogOptions {
    std::string_view title{};
    std::string_view message{};
    std::string_view informativeText{};
    std::string_view primaryButton{};
    std::string_view secondaryButton{};
    std::string_view tertiaryButton{};
    MessageDialogStyle style = MessageDialogStyle::informational;
};

// What an open dialog answered: the number of chosen paths (0 when cancelled) and the length of
// the paths, joined with line feeds, in the caller's buffer. A chosen path that holds a line feed
// is left out (and not counted), so the joined list reads back unambiguously.
struct OpenDialogResult {
    std::size_t count = 0;
    std::size_t length = 0;
    friend bool operator==(const OpenDialogResult&, const OpenDialogResult&) = default;
};

struct TrayItem {
    std::string_view label{};
    std::uint32_t id = 0;
    bool separator = false;
    bool enabled = true;
};

struct TrayOptions {
    std::string_view iconPath{};
    std::string_view title{};
    std::string_view tooltip{};
    std::span<const TrayItem> items{};
};

struct AppMenuItem {
    std::string_view label{};
    std::string_view command{};
    std::string_view key{};  // empty: no key equivalent
    KeyModifiers modifiers{};
    bool separator = false;
    bool enabled = true;
    bool checked = false;
};

struct AppMenu {
    std::string_view title{};
    std::span<const AppMenuItem> items{};
};

inline constexpr std::size_t kMaxGlobalShortcuts = 64;

// A global shortcut; its id is also the command it fires.
struct GlobalShortcut {
    std::string_view id{};
    std::string_view key{};
    KeyModifiers modifiers{};
};

// The application's web security settings, as the backend enforces them.
struct SecurityPolicy {
    std::span<const std::string_view> granted{};  // granted permission words
    // Allowed page origins; the same list is the navigation allow-list.
    std::span<const std::string_view> origins{};
    std::span<const std::string_view> externalLinks{};  // external URL patterns
    // 1: allowed external URLs open in the default browser; any other value: never.
    std::uint32_t externalLinkAction = 0;
};

}  // namespace kelvo
