// Slots of native views. A view of kind webview becomes a child web view; every other kind a
// native view of the host's class for it, unless native views are switched off.

#include <array>

#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

// The host's kind number for each of the runtime's view kinds (webview is never sent).
constexpr std::array<std::int32_t, kViewKindCount> kHostViewKinds = {
    0, 1, 2, 3, 4, 5, 6, 7, 17, 18, 13, 14, 16, 8, 9, 10, 11, 12, 15,
};

Status viewFound(std::int32_t hostResult) {
    if (hostResult == 0) return fail(Error::ViewNotFound);
    return {};
}

Status createView(void* services, const ViewOptions& options) {
    MacPlatform& mac = macOf(services);
    const RectF& f = options.frame;
    if (options.kind == ViewKind::webview) {
        if (mac.appkit->create_webview == nullptr) return fail(Error::UnsupportedViewKind);
        if (mac.appkit->create_webview(mac.host, options.windowId, options.label.data(), options.label.size(),
                                       options.url.data(), options.url.size(), f.x, f.y, f.width, f.height,
                                       options.layer, options.transparent ? 1 : 0, options.bridge ? 1 : 0) == 0) {
            return fail(Error::CreateFailed);
        }
        return {};
    }
    if (mac.nativeFeaturesDisabled || mac.appkit->create_view == nullptr || !isValidViewKind(options.kind)) {
        return fail(Error::UnsupportedViewKind);
    }
    const std::string_view parent = options.parent.value_or(std::string_view{});
    if (mac.appkit->create_view(mac.host, options.windowId, options.label.data(), options.label.size(),
                                kHostViewKinds[static_cast<std::size_t>(options.kind)], parent.data(), parent.size(),
                                options.layer, options.visible ? 1 : 0, options.enabled ? 1 : 0, options.role.data(),
                                options.role.size(), options.accessibilityLabel.data(),
                                options.accessibilityLabel.size(), options.text.data(), options.text.size(),
                                options.command.data(), options.command.size(), f.x, f.y, f.width, f.height) == 0) {
        return fail(Error::CreateFailed);
    }
    return {};
}

Status updateView(void* services, std::uint64_t windowId, std::string_view label, const ViewUpdate& update) {
    MacPlatform& mac = macOf(services);
    if (update.url) return fail(Error::InvalidViewOptions);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    const RectF frame = update.frame.value_or(RectF{});
    auto text = [](const std::optional<std::string_view>& value) { return value.value_or(std::string_view{}); };
    const std::string_view role = text(update.role);
    const std::string_view accessibility = text(update.accessibilityLabel);
    const std::string_view content = text(update.text);
    const std::string_view command = text(update.command);
    return viewFound(mac.appkit->update_view(
        mac.host, windowId, label.data(), label.size(), update.frame ? 1 : 0, update.layer ? 1 : 0,
        update.layer.value_or(0), update.visible ? 1 : 0, update.visible.value_or(false) ? 1 : 0,
        update.enabled ? 1 : 0, update.enabled.value_or(false) ? 1 : 0, update.role ? 1 : 0, role.data(), role.size(),
        update.accessibilityLabel ? 1 : 0, accessibility.data(), accessibility.size(), update.text ? 1 : 0,
        content.data(), content.size(), update.command ? 1 : 0, command.data(), command.size(), frame.x, frame.y,
        frame.width, frame.height));
}

Status setViewFrame(void* services, std::uint64_t windowId, std::string_view label, RectF frame) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    return viewFound(mac.appkit->set_view_frame(mac.host, windowId, label.data(), label.size(), frame.x, frame.y,
                                                frame.width, frame.height));
}

Status setViewVisible(void* services, std::uint64_t windowId, std::string_view label, bool visible) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    return viewFound(mac.appkit->set_view_visible(mac.host, windowId, label.data(), label.size(), visible ? 1 : 0));
}

Status setViewCursor(void* services, std::uint64_t windowId, std::string_view label, CursorKind cursor) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    return viewFound(
        mac.appkit->set_view_cursor(mac.host, windowId, label.data(), label.size(), static_cast<std::int32_t>(cursor)));
}

Status focusView(void* services, std::uint64_t windowId, std::string_view label) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled || mac.appkit->focus_view(mac.host, windowId, label.data(), label.size()) == 0) {
        return fail(Error::UnsupportedViewFocus);
    }
    return {};
}

Status closeView(void* services, std::uint64_t windowId, std::string_view label) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    return viewFound(mac.appkit->close_view(mac.host, windowId, label.data(), label.size()));
}

Status adoptViewSurface(void* services, std::uint64_t windowId, std::string_view label, void* foreignView) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    return viewFound(mac.appkit->adopt_view_surface(mac.host, windowId, label.data(), label.size(), foreignView));
}

Status releaseViewSurface(void* services, std::uint64_t windowId, std::string_view label) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    return viewFound(mac.appkit->release_view_surface(mac.host, windowId, label.data(), label.size()));
}

}  // namespace

void fillViewSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.create_view || appkit.create_webview) slots.createView = createView;
    if (appkit.update_view) slots.updateView = updateView;
    if (appkit.set_view_frame) slots.setViewFrame = setViewFrame;
    if (appkit.set_view_visible) slots.setViewVisible = setViewVisible;
    if (appkit.set_view_cursor) slots.setViewCursor = setViewCursor;
    if (appkit.focus_view) slots.focusView = focusView;
    if (appkit.close_view) slots.closeView = closeView;
    if (appkit.adopt_view_surface) slots.adoptViewSurface = adoptViewSurface;
    if (appkit.release_view_surface) slots.releaseViewSurface = releaseViewSurface;
}

}  // namespace kelvo
