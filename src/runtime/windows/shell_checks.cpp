#include "runtime/windows/shell_checks.hpp"

#include <cmath>

#include "runtime/views/view_checks.hpp"

namespace kelvo {
namespace {

constexpr std::size_t kMaxChromeTitle = 128;
constexpr std::size_t kMaxChromeIcon = 64;

// NUL, tab, line feed, carriage return or space.
bool hasUrlBreakByte(std::string_view text) {
    return text.find_first_of(std::string_view("\0\t\n\r ", 5)) != text.npos;
}

Status validateChrome(const ShellChrome& chrome) {
    if (chrome.title.empty() || chrome.title.size() > kMaxChromeTitle) return fail(Error::InvalidName);
    for (unsigned char byte : chrome.title) {
        if (byte < 0x20 || byte == 0x7F) return fail(Error::InvalidName);
    }
    return validateShellChromeIcon(chrome.icon);
}

// A given size must be a finite number; widths and heights above 0, minimums not negative, and a
// minimum never above its maximum.
Status validateSizes(const ShellViewDescription& p) {
    auto positive = [](std::optional<float> v) { return !v || (std::isfinite(*v) && *v > 0); };
    auto nonNegative = [](std::optional<float> v) { return !v || (std::isfinite(*v) && *v >= 0); };
    auto finite = [](std::optional<float> v) { return !v || std::isfinite(*v); };
    auto ordered = [](std::optional<float> minimum, std::optional<float> maximum) {
        return !minimum || !maximum || *minimum <= *maximum;
    };
    const bool valid = positive(p.width) && positive(p.height) && positive(p.maxWidth) && positive(p.maxHeight) &&
                       nonNegative(p.minWidth) && nonNegative(p.minHeight) && ordered(p.minWidth, p.maxWidth) &&
                       ordered(p.minHeight, p.maxHeight) && finite(p.x) && finite(p.y);
    if (!valid) return fail(Error::InvalidDimension);
    return {};
}

Status validateUrl(const ShellViewDescription& shellView) {
    if (!shellView.url) {
        // The main web view already exists and loads the window's source; it needs no address.
        if (shellView.kind == ViewKind::webview && shellView.label != kMainWebViewLabel) {
            return fail(Error::MissingRequiredField);
        }
        return {};
    }
    if (shellView.kind != ViewKind::webview) return fail(Error::InvalidUrl);
    std::string_view url = *shellView.url;
    if (url.size() < 7) return fail(Error::InvalidUrl);
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (!url.starts_with(scheme)) continue;
        std::string_view rest = url.substr(scheme.size());
        std::string_view host = rest.substr(0, rest.find('/'));
        if (host.empty() || hasUrlBreakByte(host)) return fail(Error::InvalidUrl);
        return {};
    }
    for (std::string_view scheme : {std::string_view("file://"), std::string_view("vexa://")}) {
        if (!url.starts_with(scheme)) continue;
        std::string_view rest = url.substr(scheme.size());
        if (rest.empty() || hasUrlBreakByte(rest)) return fail(Error::InvalidUrl);
        return {};
    }
    return fail(Error::InvalidUrl);
}

Status validateShellView(std::span<const ShellViewDescription> descriptions, std::size_t index) {
    const ShellViewDescription& shellView = descriptions[index];
    if (shellView.label.empty() || shellView.label.size() > kMaxViewLabel || !isValidName(shellView.label)) {
        return fail(Error::InvalidName);
    }
    for (std::size_t i = 0; i < index; ++i) {
        if (descriptions[i].label == shellView.label) return fail(Error::DuplicateView);
    }
    if (shellView.parent) {
        if (!isValidName(*shellView.parent)) return fail(Error::InvalidName);
        if (*shellView.parent == shellView.label) return fail(Error::InvalidLayout);
        if (!shellViewIndex(descriptions, *shellView.parent)) return fail(Error::InvalidLayout);
    }
    TRY(validateSizes(shellView));
    if (shellView.role &&
        (shellView.role->empty() || shellView.role->size() > kMaxViewRole || !isValidName(*shellView.role))) {
        return fail(Error::InvalidName);
    }
    if (shellView.accessibilityLabel &&
        (shellView.accessibilityLabel->size() > kMaxViewAccessibilityLabel || hasNul(*shellView.accessibilityLabel))) {
        return fail(Error::InvalidName);
    }
    if (shellView.text && hasNul(*shellView.text)) return fail(Error::InvalidName);
    if (shellView.command) {
        std::string_view command = *shellView.command;
        if (command.empty() || command.size() > kMaxViewCommand || command.find_first_of("\t\n\r") != command.npos) {
            return fail(Error::InvalidCommand);
        }
        if (!isValidName(command)) return fail(Error::InvalidName);
    }
    TRY(validateUrl(shellView));
    if (shellView.kind != ViewKind::gpu_surface && shellView.hasGpuOptions()) return fail(Error::InvalidViewKind);
    return {};
}

}  // namespace

Status validateShellChromeIcon(std::string_view name) {
    if (name.empty()) return {};
    if (name.size() > kMaxChromeIcon) return fail(Error::InvalidName);
    if (name.starts_with("app:")) {
        name.remove_prefix(4);
        if (name.empty()) return fail(Error::InvalidName);
    }
    for (char byte : name) {
        bool allowed = (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '_' || byte == '-';
        if (!allowed) return fail(Error::InvalidName);
    }
    return {};
}

std::optional<std::size_t> shellViewIndex(std::span<const ShellViewDescription> descriptions, std::string_view label) {
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        if (descriptions[i].label == label) return i;
    }
    return std::nullopt;
}

Status validateShellViewParentAcyclic(std::span<const ShellViewDescription> descriptions, std::size_t index,
                                      ShellVisitStates& states) {
    if (index >= descriptions.size() || index >= states.size()) return fail(Error::InvalidLayout);
    if (states[index] == ShellVisit::visiting) return fail(Error::InvalidLayout);
    if (states[index] == ShellVisit::done) return {};
    states[index] = ShellVisit::visiting;
    if (descriptions[index].parent) {
        std::optional<std::size_t> parent = shellViewIndex(descriptions, *descriptions[index].parent);
        if (!parent) return fail(Error::InvalidLayout);
        TRY(validateShellViewParentAcyclic(descriptions, *parent, states));
    }
    states[index] = ShellVisit::done;
    return {};
}

Status validateShellViews(std::span<const ShellViewDescription> descriptions) {
    if (descriptions.size() > kMaxShellViews) return fail(Error::InvalidLayout);
    for (std::size_t i = 0; i < descriptions.size(); ++i) TRY(validateShellView(descriptions, i));
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
        ShellVisitStates states{};
        TRY(validateShellViewParentAcyclic(descriptions, i, states));
    }
    return {};
}

Status validateShellWindows(std::span<const ShellWindowDescription> windows) {
    if (windows.size() > kMaxConfiguredWindows) return fail(Error::InvalidLayout);
    for (const ShellWindowDescription& window : windows) {
        if (!isValidName(window.label)) return fail(Error::InvalidName);
        if (window.secondName && !isValidName(*window.secondName)) return fail(Error::InvalidName);
        if (window.chrome) TRY(validateChrome(*window.chrome));
        if (!(std::isfinite(window.width) && window.width > 0 && std::isfinite(window.height) && window.height > 0)) {
            return fail(Error::InvalidDimension);
        }
        TRY(validateShellViews(window.views));
    }
    return {};
}

}  // namespace kelvo
