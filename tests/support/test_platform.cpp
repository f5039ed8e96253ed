#include "test_platform.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/number_text.hpp"
#include "base/stderr.hpp"

namespace kelvo {

namespace {

TestPlatform* self(void* services) { return static_cast<TestPlatform*>(services); }

// Builds the "key=value key=value" text of a call.
class Args {
public:
    Args& add(std::string_view key, std::string_view value) {
        start(key);
        text_.append(value);
        return *this;
    }
    Args& add(std::string_view key, const char* value) { return add(key, std::string_view(value)); }
    Args& add(std::string_view key, const std::string& value) { return add(key, std::string_view(value)); }
    Args& add(std::string_view key, bool value) { return add(key, value ? "1" : "0"); }
    Args& add(std::string_view key, std::uint64_t value) { return add(key, std::to_string(value)); }
    Args& add(std::string_view key, std::uint32_t value) { return add(key, std::to_string(value)); }
    Args& add(std::string_view key, std::int32_t value) { return add(key, std::to_string(value)); }
    Args& add(std::string_view key, double value) { return add(key, number(value)); }
    Args& add(std::string_view key, float value) { return add(key, number(value)); }
    Args& add(std::string_view key, RectF r) {
        return add(key, number(r.x) + "," + number(r.y) + "," + number(r.width) + "," + number(r.height));
    }
    Args& add(std::string_view key, SizeF s) { return add(key, number(s.width) + "," + number(s.height)); }
    Args& add(std::string_view key, KeyModifiers m) { return add(key, std::uint32_t{modifierBits(m)}); }
    Args& addOptional(std::string_view key, const std::optional<std::string_view>& value) {
        return value ? add(key, *value) : *this;
    }
    Args& source(const WindowSource& source) {
        add("kind", std::uint32_t{static_cast<std::uint8_t>(source.kind)});
        add("text", source.text);
        if (source.assets) {
            add("root", source.assets->assetRoot);
            add("entry", source.assets->entry);
            add("origin", source.assets->origin);
            add("spa", source.assets->spaFallback);
        }
        return *this;
    }
    std::string take() { return std::move(text_); }

    template <class T>
    static std::string number(T value) {
        char buffer[kMaxPlainFloatText];
        BoundedWriter out(buffer);
        writeFloatPlain(out, value);
        return std::string(out.text());
    }

private:
    void start(std::string_view key) {
        if (!text_.empty()) text_.push_back(' ');
        text_.append(key);
        text_.push_back('=');
    }
    std::string text_;
};

std::string joined(std::span<const std::string_view> items, char separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(separator);
        out.append(items[i]);
    }
    return out;
}

Result<std::size_t> copyOut(std::string_view data, std::span<char> out) {
    if (data.size() > out.size()) return fail(Error::NoSpaceLeft);
    if (!data.empty()) std::memcpy(out.data(), data.data(), data.size());
    return data.size();
}

using S = PlatformSlot;

// Records a call and returns its forced error from the enclosing slot operation.
#define RECORD(services, ...)                                                        \
    do {                                                                             \
        if (auto forced = self(services)->record(__VA_ARGS__)) return fail(*forced); \
    } while (false)

PlatformSlots makeSlots() {
    PlatformSlots s;
    // Clipboard
    s.readClipboard = [](void* p, std::span<char> out) -> Result<std::size_t> {
        RECORD(p, S::readClipboard, 0, "", {}, Args().add("capacity", std::uint64_t{out.size()}).take());
        return copyOut(self(p)->answers().clipboardText, out);
    };
    s.writeClipboard = [](void* p, std::string_view text) -> Status {
        RECORD(p, S::writeClipboard, 0, "", {std::string(text)}, Args().add("text", text).take());
        self(p)->answers().clipboardText = std::string(text);
        return {};
    };
    s.readClipboardData = [](void* p, std::string_view mime, std::span<std::uint8_t> out) -> Result<std::size_t> {
        RECORD(p, S::readClipboardData, 0, "", {std::string(mime)},
               Args().add("mime", mime).add("capacity", std::uint64_t{out.size()}).take());
        auto& data = self(p)->answers().clipboardData;
        auto found = data.find(std::string(mime));
        if (found == data.end()) return std::size_t{0};
        return copyOut(found->second, {reinterpret_cast<char*>(out.data()), out.size()});
    };
    s.writeClipboardData = [](void* p, std::string_view mime, std::span<const std::uint8_t> bytes) -> Status {
        std::string data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        RECORD(p, S::writeClipboardData, 0, "", {std::string(mime), data},
               Args().add("mime", mime).add("bytes", std::uint64_t{bytes.size()}).take());
        self(p)->answers().clipboardData[std::string(mime)] = data;
        return {};
    };
    // Web view loading and bridge replies
    s.loadWebView = [](void* p, const WindowSource& source) -> Status {
        RECORD(p, S::loadWebView, 1, "", {std::string(source.text)}, Args().source(source).take());
        return {};
    };
    s.loadWindowWebView = [](void* p, std::uint64_t windowId, const WindowSource& source) -> Status {
        RECORD(p, S::loadWindowWebView, windowId, "", {std::string(source.text)},
               Args().add("window", windowId).source(source).take());
        return {};
    };
    s.completeBridge = [](void* p, std::string_view reply) -> Status {
        RECORD(p, S::completeBridge, 1, "", {std::string(reply)}, Args().add("reply", reply).take());
        return {};
    };
    s.completeWindowBridge = [](void* p, std::uint64_t windowId, std::string_view reply) -> Status {
        RECORD(p, S::completeWindowBridge, windowId, "", {std::string(reply)},
               Args().add("window", windowId).add("reply", reply).take());
        return {};
    };
    s.completeWebViewBridge = [](void* p, std::uint64_t windowId, std::string_view label,
                                 std::string_view reply) -> Status {
        RECORD(p, S::completeWebViewBridge, windowId, label, {std::string(reply)},
               Args().add("window", windowId).add("label", label).add("reply", reply).take());
        return {};
    };
    // Windows
    s.createWindow = [](void* p, const WindowConfig& w) -> Result<WindowInfo> {
        RECORD(p, S::createWindow, w.id, w.label, {std::string(w.title)},
               Args()
                   .add("id", w.id)
                   .add("label", w.label)
                   .add("title", w.title)
                   .add("frame", w.frame)
                   .add("min", w.minContentSize)
                   .add("resizable", w.resizable)
                   .add("restoreFrame", w.restoreFrame)
                   .add("flag", w.passThroughFlag)
                   .add("titlebar", std::uint32_t{static_cast<std::uint8_t>(w.titlebarStyle)})
                   .add("show", std::uint32_t{static_cast<std::uint8_t>(w.showPolicy)})
                   .take());
        const auto& answers = self(p)->answers();
        return WindowInfo{w.id, w.label, w.title, w.frame, answers.windowScale, true, answers.windowsOpenFocused};
    };
    s.focusWindow = [](void* p, std::uint64_t windowId) -> Status {
        RECORD(p, S::focusWindow, windowId, "", {}, Args().add("window", windowId).take());
        return {};
    };
    s.closeWindow = [](void* p, std::uint64_t windowId) -> Status {
        RECORD(p, S::closeWindow, windowId, "", {}, Args().add("window", windowId).take());
        return {};
    };
    s.minimizeWindow = [](void* p, std::uint64_t windowId) -> Status {
        RECORD(p, S::minimizeWindow, windowId, "", {}, Args().add("window", windowId).take());
        return {};
    };
    s.startWindowDrag = [](void* p, std::uint64_t windowId) -> Status {
        RECORD(p, S::startWindowDrag, windowId, "", {}, Args().add("window", windowId).take());
        return {};
    };
    s.windowChrome = [](void* p, std::uint64_t windowId) -> WindowChrome {
        if (self(p)->record(S::windowChrome, windowId, "", {}, Args().add("window", windowId).take())) return {};
        return self(p)->answers().chrome;
    };
    s.windowChromeReserved = [](void* p) -> Status {
        RECORD(p, S::windowChromeReserved, 0, "", {}, "");
        return {};
    };
    // Native views
    s.createView = [](void* p, const ViewOptions& o) -> Status {
        RECORD(p, S::createView, o.windowId, o.label, {std::string(o.url)},
               Args()
                   .add("window", o.windowId)
                   .add("label", o.label)
                   .add("kind", viewKindName(o.kind))
                   .addOptional("parent", o.parent)
                   .add("role", o.role)
                   .add("accessibilityLabel", o.accessibilityLabel)
                   .add("text", o.text)
                   .add("command", o.command)
                   .add("url", o.url)
                   .add("frame", o.frame)
                   .add("layer", o.layer)
                   .add("visible", o.visible)
                   .add("enabled", o.enabled)
                   .add("transparent", o.transparent)
                   .add("bridge", o.bridge)
                   .take());
        return {};
    };
    s.updateView = [](void* p, std::uint64_t windowId, std::string_view label, const ViewUpdate& u) -> Status {
        Args args;
        args.add("window", windowId).add("label", label);
        args.addOptional("role", u.role).addOptional("accessibilityLabel", u.accessibilityLabel);
        args.addOptional("text", u.text).addOptional("command", u.command).addOptional("url", u.url);
        if (u.frame) args.add("frame", *u.frame);
        if (u.layer) args.add("layer", *u.layer);
        if (u.visible) args.add("visible", *u.visible);
        if (u.enabled) args.add("enabled", *u.enabled);
        RECORD(p, S::updateView, windowId, label, {}, args.take());
        return {};
    };
    s.setViewFrame = [](void* p, std::uint64_t windowId, std::string_view label, RectF frame) -> Status {
        RECORD(p, S::setViewFrame, windowId, label, {},
               Args().add("window", windowId).add("label", label).add("frame", frame).take());
        return {};
    };
    s.setViewVisible = [](void* p, std::uint64_t windowId, std::string_view label, bool visible) -> Status {
        RECORD(p, S::setViewVisible, windowId, label, {},
               Args().add("window", windowId).add("label", label).add("visible", visible).take());
        return {};
    };
    s.setViewCursor = [](void* p, std::uint64_t windowId, std::string_view label, CursorKind cursor) -> Status {
        RECORD(p, S::setViewCursor, windowId, label, {},
               Args()
                   .add("window", windowId)
                   .add("label", label)
                   .add("cursor", std::uint32_t{static_cast<std::uint8_t>(cursor)})
                   .take());
        return {};
    };
    s.focusView = [](void* p, std::uint64_t windowId, std::string_view label) -> Status {
        RECORD(p, S::focusView, windowId, label, {}, Args().add("window", windowId).add("label", label).take());
        return {};
    };
    s.closeView = [](void* p, std::uint64_t windowId, std::string_view label) -> Status {
        RECORD(p, S::closeView, windowId, label, {}, Args().add("window", windowId).add("label", label).take());
        return {};
    };
    s.adoptViewSurface = [](void* p, std::uint64_t windowId, std::string_view label, void*) -> Status {
        RECORD(p, S::adoptViewSurface, windowId, label, {}, Args().add("window", windowId).add("label", label).take());
        return {};
    };
    s.releaseViewSurface = [](void* p, std::uint64_t windowId, std::string_view label) -> Status {
        RECORD(p, S::releaseViewSurface, windowId, label, {},
               Args().add("window", windowId).add("label", label).take());
        return {};
    };
    // Web views
    s.createWebView = [](void* p, const WebViewOptions& o) -> Status {
        RECORD(p, S::createWebView, o.windowId, o.label, {std::string(o.url)},
               Args()
                   .add("window", o.windowId)
                   .add("label", o.label)
                   .add("url", o.url)
                   .add("layer", o.layer)
                   .add("transparent", o.transparent)
                   .add("bridge", o.bridge)
                   .add("frame", o.frame)
                   .take());
        return {};
    };
    s.setWebViewFrame = [](void* p, std::uint64_t windowId, std::string_view label, RectF frame) -> Status {
        RECORD(p, S::setWebViewFrame, windowId, label, {},
               Args().add("window", windowId).add("label", label).add("frame", frame).take());
        return {};
    };
    s.navigateWebView = [](void* p, std::uint64_t windowId, std::string_view label, std::string_view url) -> Status {
        RECORD(p, S::navigateWebView, windowId, label, {std::string(url)},
               Args().add("window", windowId).add("label", label).add("url", url).take());
        return {};
    };
    s.setWebViewZoom = [](void* p, std::uint64_t windowId, std::string_view label, double zoom) -> Status {
        RECORD(p, S::setWebViewZoom, windowId, label, {},
               Args().add("window", windowId).add("label", label).add("zoom", zoom).take());
        return {};
    };
    s.setWebViewLayer = [](void* p, std::uint64_t windowId, std::string_view label, std::int32_t layer) -> Status {
        RECORD(p, S::setWebViewLayer, windowId, label, {},
               Args().add("window", windowId).add("label", label).add("layer", layer).take());
        return {};
    };
    s.closeWebView = [](void* p, std::uint64_t windowId, std::string_view label) -> Status {
        RECORD(p, S::closeWebView, windowId, label, {}, Args().add("window", windowId).add("label", label).take());
        return {};
    };
    // Dialogs, notifications, credentials, shell services
    s.showOpenDialog = [](void* p, const OpenDialogOptions& o, std::span<char> out) -> Result<OpenDialogResult> {
        RECORD(p, S::showOpenDialog, 0, "", {std::string(o.title), std::string(o.defaultPath)},
               Args()
                   .add("title", o.title)
                   .add("defaultPath", o.defaultPath)
                   .add("filters", std::uint64_t{o.filters.size()})
                   .add("directories", o.allowDirectories)
                   .add("multiple", o.allowMultiple)
                   .take());
        const auto& paths = self(p)->answers().openDialogPaths;
        std::string text;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (i > 0) text.push_back('\n');
            text.append(paths[i]);
        }
        std::size_t length = TRY(copyOut(text, out));
        return OpenDialogResult{paths.size(), length};
    };
    s.showSaveDialog = [](void* p, const SaveDialogOptions& o,
                          std::span<char> out) -> Result<std::optional<std::size_t>> {
        RECORD(p, S::showSaveDialog, 0, "",
               {std::string(o.title), std::string(o.defaultPath), std::string(o.defaultName)},
               Args()
                   .add("title", o.title)
                   .add("defaultPath", o.defaultPath)
                   .add("defaultName", o.defaultName)
                   .add("filters", std::uint64_t{o.filters.size()})
                   .take());
        const auto& path = self(p)->answers().saveDialogPath;
        if (!path) return std::optional<std::size_t>{};
        return std::optional<std::size_t>{TRY(copyOut(*path, out))};
    };
    s.showMessageDialog = [](void* p, const MessageDialogOptions& o) -> Result<std::uint32_t> {
        RECORD(p, S::showMessageDialog, 0, "",
               {std::string(o.title), std::string(o.message), std::string(o.informativeText),
                std::string(o.primaryButton), std::string(o.secondaryButton), std::string(o.tertiaryButton)},
               Args()
                   .add("title", o.title)
                   .add("message", o.message)
                   .add("informative", o.informativeText)
                   .add("primary", o.primaryButton)
                   .add("secondary", o.secondaryButton)
                   .add("tertiary", o.tertiaryButton)
                   .add("style", static_cast<std::uint32_t>(o.style))
                   .take());
        return self(p)->answers().messageDialogButton;
    };
    s.showNotification = [](void* p, std::string_view title, std::string_view subtitle,
                            std::string_view body) -> Status {
        RECORD(p, S::showNotification, 0, "", {std::string(title), std::string(subtitle), std::string(body)},
               Args().add("title", title).add("subtitle", subtitle).add("body", body).take());
        return {};
    };
    s.setCredential = [](void* p, std::string_view service, std::string_view account,
                         std::string_view secret) -> Status {
        RECORD(p, S::setCredential, 0, "", {std::string(service), std::string(account), std::string(secret)},
               Args().add("service", service).add("account", account).take());
        self(p)->answers().credentials[{std::string(service), std::string(account)}] = std::string(secret);
        return {};
    };
    s.getCredential = [](void* p, std::string_view service, std::string_view account,
                         std::span<char> out) -> Result<std::size_t> {
        RECORD(p, S::getCredential, 0, "", {std::string(service), std::string(account)},
               Args().add("service", service).add("account", account).take());
        const auto& credentials = self(p)->answers().credentials;
        auto found = credentials.find({std::string(service), std::string(account)});
        if (found == credentials.end() || found->second.empty()) return fail(Error::CredentialNotFound);
        return copyOut(found->second, out);
    };
    s.deleteCredential = [](void* p, std::string_view service, std::string_view account) -> Status {
        RECORD(p, S::deleteCredential, 0, "", {std::string(service), std::string(account)},
               Args().add("service", service).add("account", account).take());
        if (self(p)->answers().credentials.erase({std::string(service), std::string(account)}) == 0) {
            return fail(Error::CredentialNotFound);
        }
        return {};
    };
    s.openExternalUrl = [](void* p, std::string_view url) -> Status {
        RECORD(p, S::openExternalUrl, 0, "", {std::string(url)}, Args().add("url", url).take());
        return {};
    };
    s.revealPath = [](void* p, std::string_view path) -> Status {
        RECORD(p, S::revealPath, 0, "", {std::string(path)}, Args().add("path", path).take());
        return {};
    };
    s.addRecentDocument = [](void* p, std::string_view path) -> Status {
        RECORD(p, S::addRecentDocument, 0, "", {std::string(path)}, Args().add("path", path).take());
        return {};
    };
    s.clearRecentDocuments = [](void* p) -> Status {
        RECORD(p, S::clearRecentDocuments, 0, "", {}, "");
        return {};
    };
    // Status-bar item
    s.createTray = [](void* p, const TrayOptions& o) -> Status {
        RECORD(p, S::createTray, 0, "", {std::string(o.iconPath), std::string(o.title), std::string(o.tooltip)},
               Args()
                   .add("icon", o.iconPath)
                   .add("title", o.title)
                   .add("tooltip", o.tooltip)
                   .add("items", std::uint64_t{o.items.size()})
                   .take());
        return {};
    };
    s.updateTrayMenu = [](void* p, std::span<const TrayItem> items) -> Status {
        std::vector<std::string> labels;
        for (const TrayItem& item : items) labels.emplace_back(item.label);
        RECORD(p, S::updateTrayMenu, 0, "", labels, Args().add("items", std::uint64_t{items.size()}).take());
        return {};
    };
    s.updateTrayTitle = [](void* p, std::string_view title) -> Status {
        RECORD(p, S::updateTrayTitle, 0, "", {std::string(title)}, Args().add("title", title).take());
        return {};
    };
    s.removeTray = [](void* p) -> Status {
        RECORD(p, S::removeTray, 0, "", {}, "");
        return {};
    };
    // Configuration
    s.configureSecurityPolicy = [](void* p, const SecurityPolicy& policy) -> Status {
        RECORD(p, S::configureSecurityPolicy, 0, "", {joined(policy.origins, '\n'), joined(policy.externalLinks, '\n')},
               Args()
                   .add("granted", joined(policy.granted, ','))
                   .add("origins", joined(policy.origins, ','))
                   .add("links", joined(policy.externalLinks, ','))
                   .add("action", policy.externalLinkAction)
                   .take());
        return {};
    };
    s.configureMenus = [](void* p, std::span<const AppMenu> menus) -> Status {
        std::vector<std::string> titles;
        std::uint64_t items = 0;
        for (const AppMenu& menu : menus) {
            titles.emplace_back(menu.title);
            items += menu.items.size();
        }
        RECORD(p, S::configureMenus, 0, "", titles,
               Args().add("menus", std::uint64_t{menus.size()}).add("items", items).take());
        return {};
    };
    s.configureShortcuts = [](void* p, std::span<const GlobalShortcut> shortcuts) -> Status {
        std::vector<std::string> ids;
        Args args;
        args.add("count", std::uint64_t{shortcuts.size()});
        for (const GlobalShortcut& shortcut : shortcuts) {
            ids.emplace_back(shortcut.id);
            args.add(shortcut.id, std::string(shortcut.key) + "+" + std::to_string(modifierBits(shortcut.modifiers)));
        }
        RECORD(p, S::configureShortcuts, 0, "", ids, args.take());
        return {};
    };
    // Events, frames, timers
    s.emitWindowEvent = [](void* p, std::uint64_t windowId, std::string_view name, std::string_view detail) -> Status {
        RECORD(p, S::emitWindowEvent, windowId, "", {std::string(name), std::string(detail)},
               Args().add("window", windowId).add("name", name).add("detail", detail).take());
        return {};
    };
    s.requestGpuSurfaceFrame = [](void* p, std::uint64_t windowId, std::string_view label) -> Status {
        RECORD(p, S::requestGpuSurfaceFrame, windowId, label, {},
               Args().add("window", windowId).add("label", label).take());
        return {};
    };
    s.noteGpuSurfaceInput = [](void* p, std::uint64_t windowId, std::string_view label) -> Status {
        RECORD(p, S::noteGpuSurfaceInput, windowId, label, {},
               Args().add("window", windowId).add("label", label).take());
        return {};
    };
    s.startTimer = [](void* p, std::uint64_t timerId, std::uint64_t intervalNs, bool repeats) -> Status {
        RECORD(p, S::startTimer, 0, "", {},
               Args().add("timer", timerId).add("interval", intervalNs).add("repeats", repeats).take());
        return {};
    };
    s.cancelTimer = [](void* p, std::uint64_t timerId) -> Status {
        RECORD(p, S::cancelTimer, 0, "", {}, Args().add("timer", timerId).take());
        return {};
    };
    // Audio
    s.audioLoad = [](void* p, std::string_view path) -> Status {
        RECORD(p, S::audioLoad, 0, "", {std::string(path)}, Args().add("path", path).take());
        return {};
    };
    s.audioLoadUrl = [](void* p, std::string_view url, std::string_view cachePath,
                        std::uint64_t expectedBytes) -> Result<bool> {
        RECORD(p, S::audioLoadUrl, 0, "", {std::string(url), std::string(cachePath)},
               Args().add("url", url).add("cache", cachePath).add("bytes", expectedBytes).take());
        return self(p)->answers().audioStreams;
    };
    s.audioPlay = [](void* p) -> Status {
        RECORD(p, S::audioPlay, 0, "", {}, "");
        return {};
    };
    s.audioPause = [](void* p) -> Status {
        RECORD(p, S::audioPause, 0, "", {}, "");
        return {};
    };
    s.audioStop = [](void* p) -> Status {
        RECORD(p, S::audioStop, 0, "", {}, "");
        return {};
    };
    s.audioSeek = [](void* p, std::uint64_t positionMs) -> Status {
        RECORD(p, S::audioSeek, 0, "", {}, Args().add("position", positionMs).take());
        return {};
    };
    s.audioSetVolume = [](void* p, float volume) -> Status {
        RECORD(p, S::audioSetVolume, 0, "", {}, Args().add("volume", volume).take());
        return {};
    };
    // Any thread
    s.wake = [](void* p) -> Status {
        RECORD(p, S::wake, 0, "", {}, "");
        self(p)->enqueue(WakeEvent{});
        return {};
    };
    s.requestFrame = [](void* p) -> Status {
        RECORD(p, S::requestFrame, 0, "", {}, "");
        self(p)->enqueue(FrameRequestedEvent{});
        return {};
    };
    // Canvas views and text
    s.presentGpuSurfacePixels = [](void* p, std::uint64_t windowId, std::string_view label,
                                   const GpuSurfacePixels& pixels) -> Status {
        Args args;
        args.add("window", windowId).add("label", label);
        args.add("size", std::to_string(pixels.image.width) + "x" + std::to_string(pixels.image.height));
        args.add("bytes", std::uint64_t{pixels.image.pixels.size()}).add("scale", pixels.scale);
        if (pixels.dirty) args.add("dirty", *pixels.dirty);
        RECORD(p, S::presentGpuSurfacePixels, windowId, label, {}, args.take());
        return {};
    };
    s.presentGpuSurfacePacket = [](void* p, std::uint64_t windowId, std::string_view label,
                                   const GpuSurfacePacketInfo& info, std::string_view json) -> Status {
        RECORD(p, S::presentGpuSurfacePacket, windowId, label, {std::string(json)},
               Args()
                   .add("window", windowId)
                   .add("label", label)
                   .add("size", SizeF{info.width, info.height})
                   .add("commands", info.commandCount)
                   .take());
        return {};
    };
    s.presentGpuSurfacePacketBinary = [](void* p, std::uint64_t windowId, std::string_view label,
                                         const GpuSurfacePacketInfo& info,
                                         std::span<const std::uint8_t> packet) -> Status {
        RECORD(p, S::presentGpuSurfacePacketBinary, windowId, label, {},
               Args()
                   .add("window", windowId)
                   .add("label", label)
                   .add("size", SizeF{info.width, info.height})
                   .add("commands", info.commandCount)
                   .add("bytes", std::uint64_t{packet.size()})
                   .take());
        return {};
    };
    s.uploadGpuSurfaceImage = [](void* p, std::uint64_t imageId, const SurfaceImage& image) -> Status {
        RECORD(p, S::uploadGpuSurfaceImage, 0, "", {},
               Args()
                   .add("image", imageId)
                   .add("size", std::to_string(image.width) + "x" + std::to_string(image.height))
                   .take());
        return {};
    };
    s.removeGpuSurfaceImage = [](void* p, std::uint64_t imageId) -> Status {
        RECORD(p, S::removeGpuSurfaceImage, 0, "", {}, Args().add("image", imageId).take());
        return {};
    };
    s.registerGpuSurfaceFont = [](void* p, std::uint64_t fontId, std::span<const std::uint8_t> bytes) -> Status {
        RECORD(p, S::registerGpuSurfaceFont, 0, "", {},
               Args().add("font", fontId).add("bytes", std::uint64_t{bytes.size()}).take());
        return {};
    };
    s.updateWidgetAccessibility = [](void* p, std::uint64_t windowId, std::string_view label,
                                     std::span<const WidgetAccessibilityNode> nodes) -> Status {
        std::vector<std::string> labels;
        for (const auto& node : nodes) labels.emplace_back(node.label);
        RECORD(p, S::updateWidgetAccessibility, windowId, label, labels,
               Args().add("window", windowId).add("label", label).add("nodes", std::uint64_t{nodes.size()}).take());
        return {};
    };
    s.setGpuSurfaceScrollDrivers = [](void* p, std::uint64_t windowId, std::string_view label,
                                      std::span<const ScrollDriverRegion> regions) -> Status {
        Args args;
        args.add("window", windowId).add("label", label).add("regions", std::uint64_t{regions.size()});
        for (const auto& region : regions) args.add(std::to_string(region.widgetId), region.offsetY);
        RECORD(p, S::setGpuSurfaceScrollDrivers, windowId, label, {}, args.take());
        return {};
    };
    s.showContextMenu = [](void* p, std::uint64_t windowId, std::string_view label,
                           const ContextMenuRequest& menu) -> Status {
        std::vector<std::string> items;
        for (const auto& item : menu.items) items.emplace_back(item.label);
        RECORD(p, S::showContextMenu, windowId, label, items,
               Args()
                   .add("window", windowId)
                   .add("label", label)
                   .add("token", menu.token)
                   .add("at", SizeF{menu.x, menu.y})
                   .add("items", std::uint64_t{menu.items.size()})
                   .take());
        return {};
    };
    s.measureText = [](void* p, std::uint64_t fontId, float size, std::string_view text) -> float {
        if (self(p)->record(S::measureText, 0, "", {std::string(text)},
                            Args().add("font", fontId).add("size", size).add("text", text).take())) {
            return -1.0f;
        }
        return static_cast<float>(text.size()) * size * self(p)->answers().advancePerPoint;
    };
    s.measureTextAdvances = [](void* p, std::uint64_t fontId, float size, std::string_view text,
                               std::span<float> advances) -> bool {
        if (self(p)->record(S::measureTextAdvances, 0, "", {std::string(text)},
                            Args().add("font", fontId).add("size", size).add("text", text).take())) {
            return false;
        }
        if (text.empty()) return true;
        if (advances.size() < text.size()) return false;
        // Each character advances by its byte count; the advance sits on its first byte.
        float perByte = size * self(p)->answers().advancePerPoint;
        std::size_t lead = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
            advances[i] = 0;
            if (!continuation) lead = i;
            advances[lead] += perByte;
        }
        return true;
    };
    s.decodeImage = [](void* p, std::span<const std::uint8_t> encoded,
                       std::span<std::uint8_t> pixels) -> Result<DecodedImage> {
        RECORD(p, S::decodeImage, 0, "", {}, Args().add("bytes", std::uint64_t{encoded.size()}).take());
        const auto& image = self(p)->answers().decodedImage;
        if (!image) return fail(Error::ImageDecodeFailed);
        if (image->pixels.size() > pixels.size()) return fail(Error::ImageTooLarge);
        std::copy(image->pixels.begin(), image->pixels.end(), pixels.begin());
        return DecodedImage{image->width, image->height, image->pixels.size()};
    };
    return s;
}

#undef RECORD

void copySlot(PlatformSlots& to, const PlatformSlots& from, PlatformSlot slot) {
    switch (slot) {
#define KELVO_TEST_COPY_SLOT(index, name, R, ...) \
    case PlatformSlot::name:                      \
        to.name = from.name;                      \
        break;
        KELVO_PLATFORM_SLOTS(KELVO_TEST_COPY_SLOT)
#undef KELVO_TEST_COPY_SLOT
    }
}

}  // namespace

TestPlatform::TestPlatform() : allSlots_(makeSlots()) {
    platform_.context = this;
    platform_.name = "test";
    platform_.run = &TestPlatform::runLoop;
    platform_.services = this;
    platform_.slots = allSlots_;
}

void TestPlatform::fillSlot(PlatformSlot slot) { copySlot(platform_.slots, allSlots_, slot); }
void TestPlatform::emptySlot(PlatformSlot slot) { copySlot(platform_.slots, PlatformSlots{}, slot); }
void TestPlatform::fillAllSlots() { platform_.slots = allSlots_; }
void TestPlatform::emptyAllSlots() { platform_.slots = PlatformSlots{}; }

void TestPlatform::failSlot(PlatformSlot slot, Error error, std::uint32_t times) {
    std::lock_guard guard(mutex_);
    failures_[static_cast<std::size_t>(slot)] = {error, times};
}

void TestPlatform::clearFailures() {
    std::lock_guard guard(mutex_);
    failures_ = {};
}

void TestPlatform::onCall(PlatformSlot slot, std::function<void(const Call&)> hook) {
    std::lock_guard guard(mutex_);
    hooks_[static_cast<std::size_t>(slot)] = std::move(hook);
}

void TestPlatform::answerFeatures(std::array<bool, kPlatformFeatureCount> answers) {
    featureAnswers_ = answers;
    platform_.supportsFeature = &TestPlatform::answerFeature;
}

void TestPlatform::clearFeatureAnswers() { platform_.supportsFeature = nullptr; }

bool TestPlatform::answerFeature(void* context, PlatformFeature feature) {
    auto index = static_cast<std::size_t>(feature);
    return index < kPlatformFeatureCount && static_cast<TestPlatform*>(context)->featureAnswers_[index];
}

void TestPlatform::script(const PlatformEvent& event) {
    std::lock_guard guard(mutex_);
    queue_.push_back(retain(event));
    wakeUp_.notify_all();
}

void TestPlatform::script(std::initializer_list<PlatformEvent> events) {
    std::lock_guard guard(mutex_);
    for (const PlatformEvent& event : events) queue_.push_back(retain(event));
    wakeUp_.notify_all();
}

void TestPlatform::enqueue(PlatformEvent event) { script(event); }

std::size_t TestPlatform::pendingEvents() const {
    std::lock_guard guard(mutex_);
    return queue_.size();
}

void TestPlatform::keepRunningWhenIdle(bool wait) {
    std::lock_guard guard(mutex_);
    waitWhenIdle_ = wait;
    wakeUp_.notify_all();
}

void TestPlatform::quit() {
    std::lock_guard guard(mutex_);
    quit_ = true;
    wakeUp_.notify_all();
}

void TestPlatform::stopAfterShutdown(bool stop) {
    std::lock_guard guard(mutex_);
    stopAfterShutdown_ = stop;
}

std::vector<PlatformEventKind> TestPlatform::deliveredKinds() const {
    std::lock_guard guard(mutex_);
    return delivered_;
}

std::vector<TestPlatform::Call> TestPlatform::calls() const {
    std::lock_guard guard(mutex_);
    return calls_;
}

std::vector<TestPlatform::Call> TestPlatform::callsTo(PlatformSlot slot) const {
    std::lock_guard guard(mutex_);
    std::vector<Call> out;
    for (const Call& call : calls_) {
        if (call.slot == slot) out.push_back(call);
    }
    return out;
}

std::size_t TestPlatform::callCount(PlatformSlot slot) const {
    std::lock_guard guard(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [slot](const Call& call) { return call.slot == slot; }));
}

std::optional<TestPlatform::Call> TestPlatform::lastCall(PlatformSlot slot) const {
    std::lock_guard guard(mutex_);
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
        if (it->slot == slot) return *it;
    }
    return std::nullopt;
}

std::vector<std::string> TestPlatform::callNames() const {
    std::lock_guard guard(mutex_);
    std::vector<std::string> names;
    for (const Call& call : calls_) names.emplace_back(platformSlotName(call.slot));
    return names;
}

void TestPlatform::clearCalls() {
    std::lock_guard guard(mutex_);
    calls_.clear();
}

std::optional<Error> TestPlatform::record(PlatformSlot slot, std::uint64_t windowId, std::string_view label,
                                          std::vector<std::string> texts, std::string args) {
    Call call{slot, windowId, std::string(label), std::move(texts), std::move(args)};
    std::function<void(const Call&)> hook;
    std::optional<Error> forced;
    {
        std::lock_guard guard(mutex_);
        calls_.push_back(call);
        Failure& failure = failures_[static_cast<std::size_t>(slot)];
        if (failure.remaining > 0) {
            forced = failure.error;
            if (failure.remaining != kAlways) --failure.remaining;
        }
        hook = hooks_[static_cast<std::size_t>(slot)];
    }
    if (hook) hook(call);
    return forced;
}

// Copies the event's texts and path list into storage that lives as long as the platform.
PlatformEvent TestPlatform::retain(const PlatformEvent& event) {
    auto keep = [this](std::string_view& text) { text = texts_.emplace_back(text); };
    return std::visit(
        [&](auto payload) -> PlatformEvent {
            if constexpr (requires { payload.label; }) keep(payload.label);
            if constexpr (requires { payload.title; }) keep(payload.title);
            if constexpr (requires { payload.message; }) keep(payload.message);
            if constexpr (requires { payload.origin; }) keep(payload.origin);
            if constexpr (requires { payload.webViewLabel; }) keep(payload.webViewLabel);
            if constexpr (requires { payload.viewLabel; }) keep(payload.viewLabel);
            if constexpr (requires { payload.command; }) keep(payload.command);
            if constexpr (requires { payload.key; }) keep(payload.key);
            if constexpr (requires { payload.text; }) keep(payload.text);
            if constexpr (std::is_same_v<decltype(payload), ShortcutEvent>) keep(payload.id);
            if constexpr (requires { payload.paths; }) {
                auto& list = lists_.emplace_back();
                for (std::string_view path : payload.paths) list.push_back(texts_.emplace_back(path));
                payload.paths = list;
            }
            return payload;
        },
        event);
}

Status TestPlatform::runLoop(void* context, PlatformEventHandler handler, void* handlerContext) {
    auto* self = static_cast<TestPlatform*>(context);
    for (;;) {
        PlatformEvent event;
        bool stopAfter = false;
        {
            std::unique_lock lock(self->mutex_);
            self->wakeUp_.wait(lock, [self] { return self->quit_ || !self->queue_.empty() || !self->waitWhenIdle_; });
            if (self->quit_ || self->queue_.empty()) {
                self->quit_ = false;
                return {};
            }
            event = self->queue_.front();
            self->queue_.pop_front();
            stopAfter = self->stopAfterShutdown_ && std::holds_alternative<AppShutdownEvent>(event);
        }
        Status status = handler(handlerContext, event);
        {
            std::lock_guard guard(self->mutex_);
            self->delivered_.push_back(platformEventKind(event));
        }
        if (!status) {
            std::string line = "platform callback failed: ";
            line.append(errorName(status.error()));
            line.append(" (event ");
            line.append(platformEventName(event));
            line.append(")\n");
            writeStderr(line);
            return fail(Error::CallbackFailed);
        }
        if (stopAfter) return {};
    }
}

}  // namespace kelvo
