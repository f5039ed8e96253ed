// "kelvo.clipboard.": the system clipboard's text, or data of a named MIME type, carried as JSON
// strings both ways.

#include <array>

#include "base/json_string.hpp"
#include "base/utf8.hpp"
#include "runtime/bridge/clipboard_services.hpp"
#include "runtime/bridge/family_support.hpp"
#include "runtime/bridge/service_families.hpp"

namespace kelvo {
namespace {

constexpr Error kTooLarge = Error::ClipboardFieldTooLarge;

// Clipboard contents reach the page as a JSON string, which must be text: data that is not valid
// UTF-8 (an image, say) is refused rather than sent as a reply the page cannot read.
Status checkReadable(std::string_view data) {
    if (!isValidUtf8(data)) return fail(Error::InvalidClipboardOptions);
    return {};
}

Result<std::string_view> readText(BuiltinCommandContext& context) {
    std::string_view text = TRY(readClipboard(context.runtime, context.output));
    TRY(checkReadable(text));
    return stringResult(context, text);
}

Result<std::string_view> readData(BuiltinCommandContext& context) {
    std::optional<std::string_view> type = TRY(firstStringMember(context, {"mimeType", "type"}, kTooLarge));
    std::string_view mimeType = type.value_or(kPlainTextMimeType);
    TRY(checkClipboardMimeType(mimeType));
    std::string_view data = TRY(readClipboardOfType(context.runtime, mimeType, context.output));
    TRY(checkReadable(data));
    BoundedWriter out = resultWriter(context);
    out.write("{\"mimeType\":");
    writeJsonString(out, mimeType);
    out.write(",\"data\":");
    writeJsonString(out, data);
    out.put('}');
    return writtenResult(out);
}

Result<std::string_view> writeData(BuiltinCommandContext& context) {
    std::optional<std::string_view> type = TRY(firstStringMember(context, {"mimeType", "type"}, kTooLarge));
    std::optional<std::string_view> data = TRY(firstStringMember(context, {"data", "text", "value"}, kTooLarge));
    if (!data) return fail(Error::InvalidClipboardOptions);
    TRY(writeClipboardData(context.runtime, {type.value_or(kPlainTextMimeType), *data}));
    return kTrueResult;
}

Result<std::string_view> writeText(BuiltinCommandContext& context) {
    std::optional<std::string_view> text = TRY(firstStringMember(context, {"text", "data", "value"}, kTooLarge));
    if (!text) return fail(Error::InvalidClipboardOptions);
    TRY(writeClipboardData(context.runtime, {kPlainTextMimeType, *text}));
    return kTrueResult;
}

constexpr std::array<BuiltinCommand, 4> kClipboardCommands = {{
    {"readText", &readText},
    {"read", &readData},
    {"write", &writeData},
    {"writeText", &writeText},
}};

}  // namespace

std::string_view dispatchClipboardBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                                BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.clipboard.", kClipboardCommands,
                                "Unknown clipboard command");
}

}  // namespace kelvo
