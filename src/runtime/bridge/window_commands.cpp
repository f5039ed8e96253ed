#include "runtime/bridge/window_commands.hpp"

#include "base/json_string.hpp"
#include "runtime/bridge/family_reply.hpp"
#include "runtime/bridge/view_json.hpp"
#include "runtime/bridge/view_payloads.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_geometry.hpp"
#include "runtime/windows/window_close.hpp"
#include "security/command_name.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kDefaultWindowLabel = "window";

Result<std::string_view> writeWindow(BridgeFamilyBuffers& buffers, const WindowInfo& window) {
    return writeResult(buffers.output, [&](BoundedWriter& out) { return writeWindowJsonToWriter(window, out); });
}

// A number of the create payload: used when it is plain (digits, "-" and "." only) and converts,
// otherwise the default stands.
float windowNumber(std::string_view payload, std::string_view name, float fallback) {
    NumberField<float> number = jsonPlainFloatField(payload, name);
    return number.present() ? number.value : fallback;
}

// The window a focus or close names: "id" when it is an unsigned integer, else the window
// labelled "label". A label too long to name any window names none.
Result<std::size_t> targetWindowIndex(const Runtime& runtime, std::string_view payload, PayloadScratch& scratch) {
    std::optional<std::uint64_t> id = jsonIntegerField(payload, "id");
    if (!id) {
        std::optional<std::string_view> label = TRY(readStringMember(payload, "label", scratch, Error::WindowNotFound));
        if (!label) return fail(Error::WindowNotFound);
        std::optional<std::size_t> byLabel = findWindowIndexByLabel(runtime, *label);
        if (!byLabel) return fail(Error::WindowNotFound);
        id = runtime.windows[*byLabel].id;
    }
    std::optional<std::size_t> index = findWindowIndexById(runtime, *id);
    if (!index) return fail(Error::WindowNotFound);
    return *index;
}

// A window made from the payload. Its page shows "url" (an address web views may show) or,
// without one, the application's source.
Result<std::string_view> createWindowFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers) {
    std::string_view payload = call.request.payload;
    PayloadScratch scratch{buffers.scratch};
    WindowCreateOptions options;
    options.label = TRY(readStringMember(payload, "label", scratch, Error::NoSpaceLeft)).value_or(kDefaultWindowLabel);
    if (hasControlByte(options.label)) return fail(Error::InvalidWindowOptions);
    options.title = TRY(readStringMember(payload, "title", scratch, Error::NoSpaceLeft)).value_or("");
    std::optional<std::string_view> url = TRY(readStringMember(payload, "url", scratch, Error::WebViewUrlTooLarge));
    if (url) options.source = WindowSource{*url, std::nullopt, WindowSourceKind::url};
    options.frame = RectF{windowNumber(payload, "x", 0), windowNumber(payload, "y", 0),
                          windowNumber(payload, "width", kDefaultWindowFrame.width),
                          windowNumber(payload, "height", kDefaultWindowFrame.height)};
    options.resizable = true;
    options.restoreFrame = jsonBoolField(payload, "restoreState") != false;

    // The new window's page gets the bridge, so its address passes the rule of every web view.
    if (url) TRY(validateWebViewUrl(runtime, *url));
    WindowInfo window = TRY(createWindowWithSourceMode(runtime, options, !url, false));
    return writeWindow(buffers, window);
}

Result<std::string_view> focusWindowFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    const std::size_t index = TRY(targetWindowIndex(runtime, call.request.payload, scratch));
    TRY(callNeeded<&PlatformSlots::focusWindow>(runtime.platform, runtime.windows[index].id));
    setOnlyFocusedWindow(runtime, index);
    markStateDirty(runtime);
    return writeWindow(buffers, windowInfo(runtime.windows[index]));
}

// The record stays, closed; the answer is the window after the close.
Result<std::string_view> closeWindowFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers) {
    PayloadScratch scratch{buffers.scratch};
    const std::size_t index = TRY(targetWindowIndex(runtime, call.request.payload, scratch));
    const std::uint64_t id = runtime.windows[index].id;
    TRY(closeWindowReporting(runtime, id));
    return writeWindow(buffers, windowInfo(runtime.windows[*findWindowIndexById(runtime, id)]));
}

// Every window record, open or closed, in table order.
Result<std::string_view> listWindowsAsJson(Runtime& runtime, const BridgeFamilyCall&, BridgeFamilyBuffers& buffers) {
    return writeResult(buffers.output, [&](BoundedWriter& out) {
        return writeJsonArray(out, runtime.windows, [](BoundedWriter& o, const RuntimeWindow& window) {
            return writeWindowJsonToWriter(windowInfo(window), o);
        });
    });
}

constexpr FamilyCommand kWindowCommands[] = {
    {"kelvo.window.create", createWindowFromJson},
    {"kelvo.window.focus", focusWindowFromJson},
    {"kelvo.window.close", closeWindowFromJson},
    {"kelvo.window.list", listWindowsAsJson, "Failed to list windows"},
};

Status writeRuntimeCommand(BoundedWriter& out, const RuntimeCommand& command) {
    out.write("{\"id\":");
    writeJsonString(out, command.name);
    out.write(",\"title\":");
    writeJsonString(out, command.title);
    out.write(command.enabled ? ",\"enabled\":true" : ",\"enabled\":false");
    out.write(command.checked ? ",\"checked\":true}" : ",\"checked\":false}");
    return {};
}

Result<std::string_view> listCommandsAsJson(Runtime& runtime, const BridgeFamilyCall&, BridgeFamilyBuffers& buffers) {
    return writeResult(buffers.output,
                       [&](BoundedWriter& out) { return writeJsonArray(out, runtime.commands, writeRuntimeCommand); });
}

// Delivers the named command as a bridge command of the caller's window and web view (no view
// label for the main web view). The name need not be in the runtime's list.
Result<std::string_view> invokeCommandFromJson(Runtime& runtime, const BridgeFamilyCall& call,
                                               BridgeFamilyBuffers& buffers) {
    std::string_view payload = call.request.payload;
    PayloadScratch scratch{buffers.scratch};
    std::optional<std::string_view> name = TRY(readStringMember(payload, "name", scratch, Error::InvalidCommand));
    if (!name) name = TRY(readStringMember(payload, "id", scratch, Error::InvalidCommand));
    if (!name) return fail(Error::InvalidCommand);
    TRY(validateCommandName(*name));

    const std::string_view viewLabel = call.callerLabel == kMainWebViewLabel ? std::string_view{} : call.callerLabel;
    const CommandEvent command{*name, call.callerWindowId, viewLabel, 0, CommandSource::bridge};
    TRY(dispatchEvent(runtime, call.binding, RuntimeEvent(command)));
    return writeResult(buffers.output, [&](BoundedWriter& out) -> Status {
        out.write("{\"name\":");
        writeJsonString(out, command.name);
        out.write(",\"source\":\"bridge\",\"windowId\":");
        out.writeUnsigned(command.windowId);
        out.write(",\"viewLabel\":");
        writeJsonString(out, command.sourceLabel);
        out.write(",\"trayItemId\":0}");
        return {};
    });
}

constexpr FamilyCommand kCommandCommands[] = {
    {"kelvo.command.list", listCommandsAsJson},
    {"kelvo.command.invoke", invokeCommandFromJson},
};

}  // namespace

std::string_view dispatchWindowBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers) {
    return dispatchFamilyCommand(runtime, call, buffers, kWindowCommands, "Unknown window command");
}

std::string_view dispatchCommandBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers) {
    return dispatchFamilyCommand(runtime, call, buffers, kCommandCommands, "Unknown command command");
}

}  // namespace kelvo
