// Native views: create, update, frame, visibility, cursor, focus and close, and the host functions
// behind them. A failed create or update changes nothing.

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/macos/appkit_canvas_input.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/native_view_kinds.hpp"

namespace kelvo {

namespace {

using standin::NativeControl;
using standin::NativeText;

constexpr std::string_view kMainLabel = "main";

standin::NativeViewService& views(KelvoAppKitHost& host) { return host.platform->nativeViews; }

bool isUsableFrame(const standin::RectD& f) { return f.x >= 0 && f.y >= 0 && f.width >= 0 && f.height >= 0; }

// The frame in the container's own coordinates: unchanged when its y axis points down, else
// measured up from its bottom edge.
standin::RectD inContainer(const standin::ContainerBox& box, standin::RectD frame) {
    if (!box.flipped) frame.y = box.height - frame.y - frame.height;
    return frame;
}

standin::ViewRef parentRef(KelvoAppKitHost& host, const HostNativeView& view) {
    if (view.parentKey.empty()) return nullptr;
    auto parent = host.nativeViews.views.find(view.parentKey);
    return parent == host.nativeViews.views.end() ? nullptr : parent->second->ref;
}

void placeView(KelvoAppKitHost& host, HostWindow& window, const HostNativeView& view) {
    standin::StandIn& platform = *host.platform;
    const standin::ContainerBox box = views(host).container(platform.self, window.ref, parentRef(host, view));
    views(host).setFrame(platform.self, view.ref, inContainer(box, view.frame));
}

bool isButton(NativeControl control) {
    switch (control) {
        case NativeControl::push_button:
        case NativeControl::textured_button:
        case NativeControl::list_button:
        case NativeControl::checkbox:
        case NativeControl::toggle_button:
            return true;
        default:
            return false;
    }
}

void applyText(KelvoAppKitHost& host, const HostNativeView& view, std::string_view text) {
    standin::StandIn& platform = *host.platform;
    switch (view.control) {
        case NativeControl::segmented: {
            const std::vector<std::string> labels = segmentLabels(text);
            views(host).setSegments(platform.self, view.ref, labels);
            return;
        }
        case NativeControl::search_field:
        case NativeControl::text_field:  // editable: the text is its placeholder
            views(host).setText(platform.self, view.ref, NativeText::placeholder, text);
            return;
        case NativeControl::label:
            views(host).setText(platform.self, view.ref, NativeText::value, text);
            return;
        default:
            if (isButton(view.control)) views(host).setText(platform.self, view.ref, NativeText::title, text);
            return;
    }
}

// What a create or update sets at once: enabled, the text, and the accessibility label, which is
// the given one, else the role, else (with an empty role) the text.
void applyState(KelvoAppKitHost& host, HostNativeView& view, bool enabled, std::optional<std::string_view> role,
                std::optional<std::string_view> accessibilityLabel, std::optional<std::string_view> text) {
    standin::StandIn& platform = *host.platform;
    if (isNativeControl(view.control)) {
        views(host).setEnabled(platform.self, view.ref, enabled);
        view.enabled = enabled;
    }
    if (text) applyText(host, view, *text);
    std::optional<std::string_view> label = accessibilityLabel;
    if (!label && role) label = !role->empty() ? *role : text.value_or(std::string_view{});
    if (label) views(host).setAccessibilityLabel(platform.self, view.ref, *label);
}

void emitNativeCommand(void* context, standin::ViewRef ref);

void configureCommand(KelvoAppKitHost& host, HostNativeView& view, std::string_view command) {
    view.command = std::string(command);
    if (!isNativeControl(view.control)) return;
    standin::NativeActionSink sink;
    if (!command.empty()) sink = standin::NativeActionSink{emitNativeCommand, &host};
    views(host).setAction(host.platform->self, view.ref, sink);
}

void emitNativeCommand(void* context, standin::ViewRef ref) {
    KelvoAppKitHost& host = *static_cast<KelvoAppKitHost*>(context);
    const HostNativeView* view = nativeViewByRef(host, ref);
    if (view == nullptr || view->command.empty()) return;
    const std::size_t colon = view->key.find(':');
    if (colon == std::string::npos) return;
    KelvoHostEvent event = hostEventOfKind(HostEventKind::native_command);
    std::uint64_t windowId = 0;
    for (char digit : std::string_view(view->key).substr(0, colon)) windowId = windowId * 10 + (digit - '0');
    event.windowId = windowId;
    event.command = hostString(view->command);
    event.viewLabel = hostString(std::string_view(view->key).substr(colon + 1));
    emitEvent(host, event);
}

bool inSubtree(KelvoAppKitHost& host, const HostNativeView& view, const std::string& rootKey) {
    const HostNativeView* at = &view;
    while (at != nullptr) {
        if (at->key == rootKey) return true;
        auto parent = host.nativeViews.views.find(at->parentKey);
        at = parent == host.nativeViews.views.end() ? nullptr : parent->second.get();
    }
    return false;
}

std::size_t depthOf(KelvoAppKitHost& host, const HostNativeView& view) {
    std::size_t depth = 0;
    for (auto parent = host.nativeViews.views.find(view.parentKey); parent != host.nativeViews.views.end();
         parent = host.nativeViews.views.find(parent->second->parentKey)) {
        ++depth;
    }
    return depth;
}

void dropAdoptedSurface(KelvoAppKitHost& host, HostNativeView& view) {
    if (view.adoptedSurface == nullptr) return;
    views(host).detach(host.platform->self, view.adoptedSurface);
    view.adoptedSurface = nullptr;
}

// Removes the views under `keys`, those deepest in the tree first.
void removeNativeViews(KelvoAppKitHost& host, std::vector<std::string> keys) {
    auto& all = host.nativeViews.views;
    std::stable_sort(keys.begin(), keys.end(), [&](const std::string& a, const std::string& b) {
        return depthOf(host, *all.at(a)) > depthOf(host, *all.at(b));
    });
    for (const std::string& key : keys) {
        HostNativeView& view = *all.at(key);
        dropAdoptedSurface(host, view);
        views(host).destroy(host.platform->self, view.ref);
        all.erase(key);
    }
}

std::vector<std::string> keysOfWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    const std::string prefix = nativeViewKey(windowId, "");
    std::vector<std::string> keys;
    for (auto& [key, view] : host.nativeViews.views) {
        if (key.starts_with(prefix)) keys.push_back(key);
    }
    return keys;
}

struct CreateRequest {
    std::uint64_t windowId = 0;
    std::string_view label;
    std::int32_t kind = 0;
    std::string_view parent;
    standin::RectD frame;
    std::int64_t layer = 0;
    bool visible = false;
    bool enabled = false;
    std::string_view role;
    std::string_view accessibilityLabel;
    std::string_view text;
    std::string_view command;
};

bool createNativeView(KelvoAppKitHost& host, const CreateRequest& request) {
    HostNativeViews& native = host.nativeViews;
    if (!isUsableFrame(request.frame) || request.label.empty()) return false;
    if (native.views.size() >= kMaxNativeViews) return false;
    HostWindow* window = findWindow(host, request.windowId);
    if (window == nullptr) return false;
    std::string key = nativeViewKey(request.windowId, request.label);
    if (native.views.contains(key)) return false;
    std::string parentKey;
    if (!request.parent.empty()) {
        parentKey = nativeViewKey(request.windowId, request.parent);
        if (!native.views.contains(parentKey)) return false;
    }
    const std::optional<NativeViewKind> kind = nativeViewKind(request.kind);
    if (!kind) return false;

    auto view = std::make_unique<HostNativeView>();
    view->windowId = request.windowId;
    view->label = std::string(request.label);
    view->key = key;
    view->parentKey = parentKey;
    view->control = kind->control;
    view->frame = request.frame;
    view->layer = request.layer;
    view->hidden = !request.visible;
    view->stackPosition = ++host.web.nextTopPosition;  // above the views placed before it
    standin::NativeViewDescription description;
    description.control = kind->control;
    description.background = kind->background;
    description.role = kind->role;
    description.identifier = request.label;
    description.title = nativeViewCaption(request.text, request.role, request.label);
    standin::StandIn& platform = *host.platform;
    view->ref = views(host).create(platform.self, window->ref, parentRef(host, *view), description);
    if (view->ref == nullptr) return false;

    placeView(host, *window, *view);
    // A segmented control is built with the segments of the text as given ("One|Two" for none).
    if (view->control == NativeControl::segmented) {
        views(host).setSegments(platform.self, view->ref, segmentLabels(request.text));
    }
    views(host).setHidden(platform.self, view->ref, view->hidden);
    views(host).setDepth(platform.self, view->ref, view->layer);
    std::optional<std::string_view> accessibility;
    if (!request.accessibilityLabel.empty()) accessibility = request.accessibilityLabel;
    std::optional<std::string_view> text;
    if (!request.text.empty()) {
        text = request.text;
    } else if (!request.role.empty()) {
        text = request.role;
    }
    applyState(host, *view, request.enabled, request.role, accessibility, text);
    configureCommand(host, *view, request.command);
    view->explicitText = !request.text.empty();
    if (view->control == NativeControl::canvas) {
        view->canvas = makeHostCanvasView(host, view->ref, request.windowId, request.label, view->frame, view->hidden);
    }
    native.views.emplace(std::move(key), std::move(view));
    restackWindow(host, request.windowId);
    scheduleFrame(host);
    return true;
}

struct UpdateRequest {
    std::optional<standin::RectD> frame;
    std::optional<std::int64_t> layer;
    std::optional<bool> visible;
    std::optional<bool> enabled;
    std::optional<std::string_view> role;
    std::optional<std::string_view> accessibilityLabel;
    std::optional<std::string_view> text;
    std::optional<std::string_view> command;
};

bool updateNativeView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label,
                      const UpdateRequest& update) {
    HostNativeView* view = findNativeView(host, windowId, label);
    if (view == nullptr) return false;
    standin::StandIn& platform = *host.platform;
    // The frame comes first: it is the one step that can still fail.
    if (update.frame) {
        HostWindow* window = findWindow(host, windowId);
        if (!isUsableFrame(*update.frame) || window == nullptr) return false;
        view->frame = *update.frame;
        placeView(host, *window, *view);
    }
    if (update.layer) {
        view->layer = *update.layer;
        views(host).setDepth(platform.self, view->ref, view->layer);
    }
    if (update.visible) {
        view->hidden = !*update.visible;
        views(host).setHidden(platform.self, view->ref, view->hidden);
    }
    if (update.text) view->explicitText = !update.text->empty();
    if (update.text || update.enabled || update.role || update.accessibilityLabel) {
        // A role retitles a control only while its text was never given.
        std::optional<std::string_view> text = update.text;
        if (!text && update.role && !view->explicitText) text = update.role;
        applyState(host, *view, update.enabled.value_or(view->enabled), update.role, update.accessibilityLabel, text);
    }
    if (update.command) configureCommand(host, *view, *update.command);
    if (view->canvas && (update.frame || update.visible)) placeHostCanvasView(*view->canvas, view->frame, view->hidden);
    restackWindow(host, windowId);
    scheduleFrame(host);
    return true;
}

}  // namespace

std::optional<standin::ViewRef> focusableWebView(KelvoAppKitHost& host, std::uint64_t windowId,
                                                 std::string_view label) {
    // Web views are never hidden.
    if (label == kMainLabel) {
        auto main = host.web.mains.find(windowId);
        if (main == host.web.mains.end()) return std::nullopt;
        return main->second->ref;
    }
    if (HostWebView* child = findChildWebView(host, windowId, label)) return child->ref;
    return std::nullopt;
}

HostNativeView* findNativeView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label) {
    auto found = host.nativeViews.views.find(nativeViewKey(windowId, label));
    return found == host.nativeViews.views.end() ? nullptr : found->second.get();
}

HostNativeView* nativeViewByRef(KelvoAppKitHost& host, standin::ViewRef ref) {
    for (auto& [key, view] : host.nativeViews.views) {
        if (view->ref == ref) return view.get();
    }
    return nullptr;
}

void closeNativeViewsInWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    removeNativeViews(host, keysOfWindow(host, windowId));
    restackWindow(host, windowId);
}

std::int32_t kelvo_appkit_create_view(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                      std::size_t labelLength, std::int32_t kind, const char* parent,
                                      std::size_t parentLength, std::int32_t layer, std::int32_t visible,
                                      std::int32_t enabled, const char* role, std::size_t roleLength,
                                      const char* accessibilityLabel, std::size_t accessibilityLabelLength,
                                      const char* text, std::size_t textLength, const char* command,
                                      std::size_t commandLength, double x, double y, double width, double height) {
    CreateRequest request;
    request.windowId = windowId;
    request.label = hostText(label, labelLength);
    request.kind = kind;
    request.parent = hostText(parent, parentLength);
    request.frame = standin::RectD{x, y, width, height};
    request.layer = layer;
    request.visible = visible != 0;
    request.enabled = enabled != 0;
    request.role = hostText(role, roleLength);
    request.accessibilityLabel = hostText(accessibilityLabel, accessibilityLabelLength);
    request.text = hostText(text, textLength);
    request.command = hostText(command, commandLength);
    return createNativeView(*host, request) ? 1 : 0;
}

std::int32_t kelvo_appkit_update_view(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                      std::size_t labelLength, std::int32_t hasFrame, std::int32_t hasLayer,
                                      std::int32_t layer, std::int32_t hasVisible, std::int32_t visible,
                                      std::int32_t hasEnabled, std::int32_t enabled, std::int32_t hasRole,
                                      const char* role, std::size_t roleLength, std::int32_t hasAccessibilityLabel,
                                      const char* accessibilityLabel, std::size_t accessibilityLabelLength,
                                      std::int32_t hasText, const char* text, std::size_t textLength,
                                      std::int32_t hasCommand, const char* command, std::size_t commandLength, double x,
                                      double y, double width, double height) {
    UpdateRequest update;
    if (hasFrame != 0) update.frame = standin::RectD{x, y, width, height};
    if (hasLayer != 0) update.layer = layer;
    if (hasVisible != 0) update.visible = visible != 0;
    if (hasEnabled != 0) update.enabled = enabled != 0;
    if (hasRole != 0) update.role = hostText(role, roleLength);
    if (hasAccessibilityLabel != 0) update.accessibilityLabel = hostText(accessibilityLabel, accessibilityLabelLength);
    if (hasText != 0) update.text = hostText(text, textLength);
    if (hasCommand != 0) update.command = hostText(command, commandLength);
    return updateNativeView(*host, windowId, hostText(label, labelLength), update) ? 1 : 0;
}

std::int32_t kelvo_appkit_set_view_frame(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                         std::size_t labelLength, double x, double y, double width, double height) {
    UpdateRequest update;
    update.frame = standin::RectD{x, y, width, height};
    return updateNativeView(*host, windowId, hostText(label, labelLength), update) ? 1 : 0;
}

std::int32_t kelvo_appkit_set_view_visible(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                           std::size_t labelLength, std::int32_t visible) {
    UpdateRequest update;
    update.visible = visible != 0;
    return updateNativeView(*host, windowId, hostText(label, labelLength), update) ? 1 : 0;
}

// Only canvas views take a cursor.
std::int32_t kelvo_appkit_set_view_cursor(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                          std::size_t labelLength, std::int32_t cursor) {
    const HostNativeView* view = findNativeView(*host, windowId, hostText(label, labelLength));
    if (view == nullptr || view->control != NativeControl::canvas) return 0;
    showCanvasCursor(*host, view->ref, cursor);
    return 1;
}

std::int32_t kelvo_appkit_focus_view(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                     std::size_t labelLength) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    const std::string_view name = hostText(label, labelLength);
    standin::StandIn& platform = *host->platform;
    if (std::optional<standin::ViewRef> web = focusableWebView(*host, windowId, name)) {
        return views(*host).focus(platform.self, *web, window->ref) ? 1 : 0;
    }
    if (name == kMainLabel) return 0;
    const HostNativeView* view = findNativeView(*host, windowId, name);
    if (view == nullptr || view->hidden) return 0;
    return views(*host).focus(platform.self, view->ref, nullptr) ? 1 : 0;
}

std::int32_t kelvo_appkit_close_view(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                     std::size_t labelLength) {
    const std::string rootKey = nativeViewKey(windowId, hostText(label, labelLength));
    std::vector<std::string> keys;
    for (auto& [key, view] : host->nativeViews.views) {
        if (inSubtree(*host, *view, rootKey)) keys.push_back(key);
    }
    if (keys.empty()) return 0;
    removeNativeViews(*host, std::move(keys));
    restackWindow(*host, windowId);
    scheduleFrame(*host);
    return 1;
}

}  // namespace kelvo
