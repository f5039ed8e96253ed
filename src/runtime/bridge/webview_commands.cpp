#include "runtime/bridge/webview_commands.hpp"

#include "runtime/bridge/builtin_errors.hpp"
#include "runtime/bridge/family_support.hpp"
#include "runtime/bridge/view_json.hpp"
#include "runtime/bridge/view_payloads.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_close.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_geometry.hpp"
#include "runtime/views/view_list.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kDefaultWebViewLabel = "webview";
constexpr float kMinZoom = 0.25f;
constexpr float kMaxZoom = 5.0f;

// One command of the family at work: the payload's strings decoded into the scratch area, the
// caller's window, and the result written into the output buffer (the scratch area may be taken
// whole by decoded strings).
struct WebViewCommand {
    BuiltinCommandContext& context;
    Runtime& runtime = context.runtime;

    [[nodiscard]] std::string_view payload() const { return context.payload(); }
    [[nodiscard]] std::uint64_t windowId() const { return context.call.callerWindowId; }

    // "label", else "webview".
    Result<std::string_view> label() {
        std::optional<std::string_view> label = TRY(stringMember(context, "label", Error::WebViewLabelTooLarge));
        return label.value_or(kDefaultWebViewLabel);
    }
    Result<std::string_view> url() {
        std::optional<std::string_view> url = TRY(stringMember(context, "url", Error::WebViewUrlTooLarge));
        if (!url) return fail(Error::MissingWebViewUrl);
        return *url;
    }
    Status checkWindowId() const {
        return checkPayloadWindowId(payload(), windowId(), Error::InvalidWebViewWindowId,
                                    Error::CrossWindowWebViewDenied);
    }
    // The caller's window: the first record with its id, which must be open.
    Result<std::size_t> window() const {
        std::optional<std::size_t> index = findWindowIndexById(runtime, windowId());
        if (!index || !runtime.windows[*index].open) return fail(Error::WindowNotFound);
        return *index;
    }
    // The open child web view of the caller's window with that label.
    Result<std::size_t> child(std::string_view label) const {
        std::optional<std::size_t> index = findWebViewIndex(runtime, windowId(), label);
        if (!index) return fail(Error::WebViewNotFound);
        return *index;
    }
    Result<std::string_view> write(const WebViewInfo& webView) {
        return writeJsonText(context.output,
                             [&](BoundedWriter& out) { return writeWebViewJsonToWriter(webView, out); });
    }
    Result<std::string_view> writeMain(std::size_t windowIndex) { return write(mainWebViewInfo(runtime, windowIndex)); }
};

Status checkWebViewLabel(std::string_view label) {
    if (label.size() > kMaxViewLabel) return fail(Error::WebViewLabelTooLarge);
    if (label.empty() || hasControlByte(label)) return fail(Error::InvalidWebViewOptions);
    return {};
}

// "layer": 0 when missing; InvalidWebViewOptions unless a whole number in the signed 32-bit range.
Result<std::int32_t> webViewLayerFromJson(std::string_view payload) {
    NumberField<std::int32_t> layer = jsonWholeNumberField(payload, "layer");
    if (layer.state == NumberFieldState::absent) return 0;
    if (!layer.present()) return fail(Error::InvalidWebViewOptions);
    return layer.value;
}

// Sets one property of the main web view ("main", kept in its window's record) or of a child web
// view: the platform first, then the record.
template <auto Slot, class Value>
Result<std::string_view> setWebViewProperty(WebViewCommand& command, std::size_t windowIndex, std::string_view label,
                                            Value value, Value RuntimeWindow::*mainField,
                                            Value RuntimeWebView::*childField) {
    Runtime& runtime = command.runtime;
    if (label == kMainWebViewLabel) {
        TRY(callNeeded<Slot>(runtime.platform, command.windowId(), label, value));
        runtime.windows[windowIndex].*mainField = value;
        markStateDirty(runtime);
        return command.writeMain(windowIndex);
    }
    const std::size_t index = TRY(command.child(label));
    TRY(callNeeded<Slot>(runtime.platform, command.windowId(), label, value));
    runtime.webViews[index].*childField = value;
    markStateDirty(runtime);
    return command.write(webViewInfo(runtime.webViews[index]));
}

Result<std::string_view> createWebViewFromJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    Runtime& runtime = context.runtime;
    WebViewOptions options;
    options.windowId = command.windowId();
    options.label = TRY(command.label());
    options.url = TRY(command.url());
    TRY(command.checkWindowId());
    options.frame = TRY(webViewFrameFromJson(command.payload()));
    options.layer = TRY(webViewLayerFromJson(command.payload()));
    options.transparent = jsonBoolField(command.payload(), "transparent").value_or(false);
    options.bridge = jsonBoolField(command.payload(), "bridge").value_or(false);

    TRY(command.window());
    TRY(checkWebViewLabel(options.label));
    if (options.label == kMainWebViewLabel) return fail(Error::ReservedWebViewLabel);
    TRY(validateWebViewUrl(runtime, options.url));
    if (findWebViewIndex(runtime, options.windowId, options.label)) return fail(Error::DuplicateWebViewLabel);
    if (findViewIndex(runtime, options.windowId, options.label)) return fail(Error::DuplicateViewLabel);
    if (runtime.webViews.full()) return fail(Error::WebViewLimitReached);
    TRY(callNeeded<&PlatformSlots::createWebView>(runtime.platform, options));

    Result<std::size_t> index = appendWebViewRecord(runtime, options, std::nullopt, options.frame);
    if (!index) {
        (void)callNeeded<&PlatformSlots::closeWebView>(runtime.platform, options.windowId, options.label);
        return fail(index.error());
    }
    markStateDirty(runtime);
    Result<std::string_view> json = command.write(webViewInfo(runtime.webViews[*index]));
    if (!json) {
        // A web view the page is not told about must not stay behind.
        removeWebViewAt(runtime, *index);
        (void)callNeeded<&PlatformSlots::closeWebView>(runtime.platform, options.windowId, options.label);
    }
    return json;
}

// The payload is not read.
Result<std::string_view> listWebViewsAsJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    Runtime& runtime = context.runtime;
    const std::size_t windowIndex = TRY(command.window());
    return writeJsonText(context.output, [&](BoundedWriter& out) -> Status {
        out.put('[');
        TRY(writeWebViewJsonToWriter(mainWebViewInfo(runtime, windowIndex), out));
        for (const RuntimeWebView& webView : runtime.webViews) {
            if (webView.windowId != command.windowId() || !webView.open) continue;
            out.put(',');
            TRY(writeWebViewJsonToWriter(webViewInfo(webView), out));
        }
        out.put(']');
        return {};
    });
}

// The frame is in window coordinates; a nested web view keeps it also relative to its parent.
Result<std::string_view> setWebViewFrameFromJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    Runtime& runtime = context.runtime;
    std::string_view label = TRY(command.label());
    TRY(command.checkWindowId());
    RectF frame = TRY(webViewFrameFromJson(command.payload()));
    const std::size_t windowIndex = TRY(command.window());
    TRY(checkWebViewLabel(label));

    if (label == kMainWebViewLabel) {
        TRY(callNeeded<&PlatformSlots::setWebViewFrame>(runtime.platform, command.windowId(), label, frame));
        RuntimeWindow& window = runtime.windows[windowIndex];
        window.mainWebViewFrame = frame;
        window.mainWebViewFrameSet = true;
        markDirtyRegion(runtime, frame);
        TRY(relayoutDescendantWebViewBackendsDepth(runtime, command.windowId(), label, 0));
        return command.writeMain(windowIndex);
    }

    const std::size_t index = TRY(command.child(label));
    // The parent's place is looked up before anything changes, so a parent that cannot be placed
    // leaves the web view where it was.
    RectF origin{};
    if (std::optional<std::string_view> parent = runtime.webViews[index].parent.get()) {
        origin = TRY(absoluteViewFrame(runtime, command.windowId(), *parent, 0));
    }
    TRY(callNeeded<&PlatformSlots::setWebViewFrame>(runtime.platform, command.windowId(), label, frame));
    RuntimeWebView& webView = runtime.webViews[index];
    webView.frame = frame;
    webView.localFrame = RectF{frame.x - origin.x, frame.y - origin.y, frame.width, frame.height};
    markDirtyRegion(runtime, frame);
    TRY(relayoutDescendantWebViewBackendsDepth(runtime, command.windowId(), label, 0));
    return command.write(webViewInfo(runtime.webViews[index]));
}

// Only child web views navigate here; the main web view follows its window's source.
Result<std::string_view> navigateWebViewFromJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    Runtime& runtime = context.runtime;
    std::string_view label = TRY(command.label());
    std::string_view url = TRY(command.url());
    TRY(command.checkWindowId());
    TRY(command.window());
    TRY(checkWebViewLabel(label));
    TRY(validateWebViewUrl(runtime, url));
    if (label == kMainWebViewLabel) return fail(Error::InvalidWebViewOptions);
    const std::size_t index = TRY(command.child(label));
    TRY(callNeeded<&PlatformSlots::navigateWebView>(runtime.platform, command.windowId(), label, url));
    RuntimeWebView& webView = runtime.webViews[index];
    if (!webView.url.assign(url)) return fail(Error::NoSpaceLeft);
    markStateDirty(runtime);
    return command.write(webViewInfo(webView));
}

// The zoom is read as a 32-bit float and widened: the platform, the record and the reply all see
// the widened value (1.1 is 1.100000023841858).
Result<std::string_view> setWebViewZoomFromJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    std::string_view label = TRY(command.label());
    NumberField<float> zoomField = jsonPlainFloatField(command.payload(), "zoom");
    if (!zoomField.present() || zoomField.value < kMinZoom || zoomField.value > kMaxZoom) {
        return fail(Error::InvalidWebViewOptions);
    }
    const double zoom = zoomField.value;
    TRY(command.checkWindowId());
    const std::size_t windowIndex = TRY(command.window());
    TRY(checkWebViewLabel(label));

    return setWebViewProperty<&PlatformSlots::setWebViewZoom>(command, windowIndex, label, zoom,
                                                              &RuntimeWindow::mainWebViewZoom, &RuntimeWebView::zoom);
}

// A request without "layer" moves the web view to layer 0.
Result<std::string_view> setWebViewLayerFromJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    std::string_view label = TRY(command.label());
    TRY(command.checkWindowId());
    const std::size_t windowIndex = TRY(command.window());
    TRY(checkWebViewLabel(label));
    const std::int32_t layer = TRY(webViewLayerFromJson(command.payload()));

    return setWebViewProperty<&PlatformSlots::setWebViewLayer>(
        command, windowIndex, label, layer, &RuntimeWindow::mainWebViewLayer, &RuntimeWebView::layer);
}

// Closes the web view with everything nested in it, as closing a view does, and answers it as it
// was, closed and without focus. The main web view cannot be closed.
Result<std::string_view> closeWebViewFromJson(BuiltinCommandContext& context) {
    WebViewCommand command{context};
    Runtime& runtime = context.runtime;
    std::string_view label = TRY(command.label());
    TRY(command.checkWindowId());
    TRY(command.window());
    TRY(checkWebViewLabel(label));
    if (label == kMainWebViewLabel) return fail(Error::InvalidWebViewOptions);
    const std::size_t index = TRY(command.child(label));

    WebViewInfo closing = webViewInfo(runtime.webViews[index]);
    closing.focused = false;
    closing.open = false;
    std::string_view json = TRY(command.write(closing));
    if (!hasSlot<&PlatformSlots::closeWebView>(runtime.platform)) return fail(Error::UnsupportedService);
    TRY(closeView(runtime, command.windowId(), label));
    return json;
}

constexpr BuiltinCommand kWebViewCommands[] = {
    {"create", createWebViewFromJson},     {"list", listWebViewsAsJson},        {"setFrame", setWebViewFrameFromJson},
    {"navigate", navigateWebViewFromJson}, {"setZoom", setWebViewZoomFromJson}, {"setLayer", setWebViewLayerFromJson},
    {"close", closeWebViewFromJson},
};

}  // namespace

std::string_view dispatchWebViewBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers) {
    if (!runtime.webViewLayer)
        return writeBuiltinErrorResponse(buffers.reply, call.request.id, Error::WebViewLayerNotBuilt);
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.webview.", kWebViewCommands, "Unknown WebView command");
}

}  // namespace kelvo
