// The bridge channel: a page's requests to the runtime, and replies and named events back into
// pages: a reply as data handed to the page's function (a reply may carry a megabyte of a file,
// which the page's engine would keep with the script it compiled), an event as an evaluated
// script.
//
// Only the web view's own page script knows its page token, and it sends it with every request.
// A message without it (posted by a sub-frame, or by script that went around window.vexa) is
// refused with one standard-error line and gets no reply. The caller origin is taken from the
// address of the document the web view shows, since WebKit on Linux names no frame or origin
// with a message. Replies and event details are evaluated only as strict JSON.

#include "base/bounded_writer.hpp"
#include "base/json_string.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/web/bridge_scripts.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kNavigationEvent = "webview:navigate";

std::span<char> scratch(std::vector<char>& buffer, std::size_t size) {
    if (buffer.size() < size) buffer.resize(size);
    return std::span(buffer).first(size);
}

void receiveBridgeMessage(void* context, standin::ViewRef, std::string_view body) {
    HostWebView& view = *static_cast<HostWebView*>(context);
    KelvoAppKitHost& host = *view.host;
    if (host.bridgeCallback == nullptr) return;
    std::optional<std::string_view> request = stripPageToken(view.token, body);
    if (!request) {
        reportRefusedBridgeMessage(view.windowId, view.label);
        return;
    }
    // The runtime may close this web view while it handles the message: nothing of the view is
    // used afterwards.
    emitBridgeMessage(host, view.windowId, view.label, *request, bridgeOriginForUri(view.committedUri));
    scheduleFrame(host);
}

void evaluateIn(KelvoAppKitHost& host, const HostWebView& view, std::string_view script) {
    host.platform->scriptMessages.evaluate(host.platform->self, view.ref, script);
}

// A reply goes to the web view that asked: "main" (or no label) is the window's main web view,
// else the main window's; a reply for a web view that is gone is dropped.
void completeBridge(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label, std::string_view reply) {
    if (label.empty()) label = kMainWebView;
    HostWebView* target =
        label == kMainWebView ? webViewForWindow(host, windowId) : findChildWebView(host, windowId, label);
    if (target == nullptr) return;
    Result<std::string_view> value = writeReplyValue(scratch(host.web.script, bridgeScriptCapacity("", reply)), reply);
    if (!value) {
        reportDroppedReply(windowId, label, value.error());
        return;
    }
    host.platform->scriptMessages.call(host.platform->self, target->ref, kCompleteCallee, *value);
    scheduleBridgeFrames(host);
}

// Reply and event texts pass as bytes: invalid UTF-8 in them is repaired, not emptied.
std::string_view rawText(const char* bytes, std::size_t length) {
    return bytes == nullptr ? std::string_view{} : std::string_view(bytes, length);
}

}  // namespace

standin::ScriptMessageSink bridgeMessageSink(HostWebView& view) { return {receiveBridgeMessage, &view}; }

void emitPageEvent(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view name, std::string_view detail) {
    if (HostWebView* target = webViewForWindow(host, windowId)) {
        Result<std::string_view> script =
            writeEmitScript(scratch(host.web.script, bridgeScriptCapacity(name, detail)), name, detail);
        if (script) {
            evaluateIn(host, *target, *script);
        } else {
            reportDroppedEvent(windowId, name, script.error());
        }
    }
    scheduleBridgeFrames(host);
}

void emitNavigation(KelvoAppKitHost& host, const HostWebView& child, std::string_view url) {
    std::span<char> room = scratch(host.web.detail, 64 + 6 * (child.label.size() + url.size()));
    BoundedWriter detail(room);
    detail.write("{\"windowId\":");
    detail.writeUnsigned(child.windowId);
    detail.write(",\"label\":");
    writeJsonStringValidUtf8(detail, child.label);
    detail.write(",\"url\":");
    writeJsonStringValidUtf8(detail, url);
    detail.put('}');
    emitPageEvent(host, child.windowId, kNavigationEvent, detail.text());
}

void kelvo_appkit_bridge_respond(KelvoAppKitHost* host, const char* response, std::size_t responseLength) {
    completeBridge(*host, 1, kMainWebView, rawText(response, responseLength));
}

void kelvo_appkit_bridge_respond_window(KelvoAppKitHost* host, std::uint64_t windowId, const char* response,
                                        std::size_t responseLength) {
    completeBridge(*host, windowId, kMainWebView, rawText(response, responseLength));
}

void kelvo_appkit_bridge_respond_webview(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                         std::size_t labelLength, const char* response, std::size_t responseLength) {
    completeBridge(*host, windowId, hostText(label, labelLength), rawText(response, responseLength));
}

void kelvo_appkit_emit_window_event(KelvoAppKitHost* host, std::uint64_t windowId, const char* name,
                                    std::size_t nameLength, const char* detail, std::size_t detailLength) {
    emitPageEvent(*host, windowId, rawText(name, nameLength), rawText(detail, detailLength));
}

}  // namespace kelvo
