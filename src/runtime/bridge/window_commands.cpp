#include "runtime/bridge/window_commands.hpp"

#include "base/json_string.hpp"
#include "runtime/bridge/family_support.hpp"
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

// Results go to the output buffer: the scratch area may be taken whole by decoded strings.
Result<std::string_view> writeWindow(BuiltinCommandContext& context, const WindowInfo& window) {
    return writeJsonText(context.output, [&](BoundedWriter& out) { return writeWindowJsonToWriter(window, out); });
}

// A number of the create payload: used when it is plain (digits, "-" and "." only) and converts,
// otherwise the default stands.
float windowNumber(std::string_view payload, std::string_view name, float fallback) {
    NumberField<float> number = jsonPlainFloatField(payload, name);
    return number.present() ? number.value : fallback;
}

// The window a focus or close names: "id" when it is an unsigned integer, else the window
// labelled "label". A label too long to name any window names none.
Result<std::size_t> targetWindowIndex(BuiltinCommandContext& context) {
    const Runtime& runtime = context.runtime;
    std::optional<std::uint64_t> id = jsonIntegerField(context.payload(), "id");
    if (!id) {
        std::optional<std::string_view> label = TRY(stringMember(context, "label", Error::WindowNotFound));
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
Result<std::string_view> createWindowFromJson(BuiltinCommandContext& context) {
    Runtime& runtime = context.runtime;
    std::string_view payload = context.payload();
    WindowCreateOptions options;
    options.label = TRY(stringMember(context, "label", Error::NoSpaceLeft)).value_or(kDefaultWindowLabel);
    if (hasControlByte(options.label)) return fail(Error::InvalidWindowOptions);
    options.title = TRY(stringMember(context, "title", Error::NoSpaceLeft)).value_or("");
    std::optional<std::string_view> url = TRY(stringMember(context, "url", Error::WebViewUrlTooLarge));
    if (url) options.source = WindowSource{*url, std::nullopt, WindowSourceKind::url};
    options.frame = RectF{windowNumber(payload, "x", 0), windowNumber(payload, "y", 0),
                          windowNumber(payload, "width", kDefaultWindowFrame.width),
                          windowNumber(payload, "height", kDefaultWindowFrame.height)};
    options.resizable = true;
    options.restoreFrame = jsonBoolField(payload, "restoreState") != false;

    // The new window's page gets the bridge, so its address passes the rule of every web view.
    if (url) TRY(validateWebViewUrl(runtime, *url));
    WindowInfo window = TRY(createWindowWithSourceMode(runtime, options, !url, false));
    return writeWindow(context, window);
}

Result<std::string_view> focusWindowFromJson(BuiltinCommandContext& context) {
    Runtime& runtime = context.runtime;
    const std::size_t index = TRY(targetWindowIndex(context));
    TRY(callNeeded<&PlatformSlots::focusWindow>(runtime.platform, runtime.windows[index].id));
    setOnlyFocusedWindow(runtime, index);
    markStateDirty(runtime);
    return writeWindow(context, windowInfo(runtime.windows[index]));
}

// The record stays, closed; the answer is the window after the close.
Result<std::string_view> closeWindowFromJson(BuiltinCommandContext& context) {
    Runtime& runtime = context.runtime;
    const std::size_t index = TRY(targetWindowIndex(context));
    const std::uint64_t id = runtime.windows[index].id;
    TRY(closeWindowReporting(runtime, id));
    return writeWindow(context, windowInfo(runtime.windows[*findWindowIndexById(runtime, id)]));
}

// Every window record, open or closed, in table order.
Result<std::string_view> listWindowsAsJson(BuiltinCommandContext& context) {
    Runtime& runtime = context.runtime;
    return writeJsonText(context.output, [&](BoundedWriter& out) {
        return writeJsonArray(out, runtime.windows, [](BoundedWriter& o, const RuntimeWindow& window) {
            return writeWindowJsonToWriter(windowInfo(window), o);
        });
    });
}

constexpr BuiltinCommand kWindowCommands[] = {
    {"create", createWindowFromJson},
    {"focus", focusWindowFromJson},
    {"close", closeWindowFromJson},
    {"list", listWindowsAsJson, "Failed to list windows"},
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

Result<std::string_view> listCommandsAsJson(BuiltinCommandContext& context) {
    Runtime& runtime = context.runtime;
    return writeJsonText(
        context.output, [&](BoundedWriter& out) { return writeJsonArray(out, runtime.commands, writeRuntimeCommand); });
}

// Delivers the named command as a bridge command of the caller's window and web view (no view
// label for the main web view). The name need not be in the runtime's list.
Result<std::string_view> invokeCommandFromJson(BuiltinCommandContext& context) {
    Runtime& runtime = context.runtime;
    std::optional<std::string_view> name = TRY(stringMember(context, "name", Error::InvalidCommand));
    if (!name) name = TRY(stringMember(context, "id", Error::InvalidCommand));
    if (!name) return fail(Error::InvalidCommand);
    TRY(validateCommandName(*name));

    const std::string_view viewLabel =
        context.call.callerLabel == kMainWebViewLabel ? std::string_view{} : context.call.callerLabel;
    const CommandEvent command{*name, context.call.callerWindowId, viewLabel, 0, CommandSource::bridge};
    TRY(dispatchEvent(runtime, context.call.binding, RuntimeEvent(command)));
    return writeJsonText(context.output, [&](BoundedWriter& out) -> Status {
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

constexpr BuiltinCommand kCommandCommands[] = {
    {"list", listCommandsAsJson},
    {"invoke", invokeCommandFromJson},
};

}  // namespace

std::string_view dispatchWindowBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.window.", kWindowCommands, "Unknown window command");
}

std::string_view dispatchCommandBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                              BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.command.", kCommandCommands, "Unknown command command");
}

}  // namespace kelvo
