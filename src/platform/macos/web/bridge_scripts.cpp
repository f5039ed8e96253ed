#include "platform/macos/web/bridge_scripts.hpp"

#include "base/bounded_writer.hpp"
#include "base/json_string.hpp"
#include "base/stderr.hpp"
#include "base/utf8.hpp"
#include "bridge/strict_json.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kEmitPrefix = "window.vexa&&window.vexa._emit(";
constexpr std::string_view kScriptEnd = ");";

// Writes `text` (or `whenEmpty`) made valid UTF-8 and checks that what was written is strict JSON.
Status writeJsonValue(BoundedWriter& out, std::string_view text, std::string_view whenEmpty, Error notJson) {
    std::size_t start = out.length();
    writeValidUtf8(out, text.empty() ? whenEmpty : text);
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    if (!isStrictJson(out.text().substr(start))) return fail(notJson);
    return {};
}

Result<std::string_view> finish(BoundedWriter& out) {
    out.write(kScriptEnd);
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    return out.text();
}

// "kelvo: <event> window=<id> <key>=<value>" on standard error.
void reportLine(std::string_view event, std::string_view reason, std::uint64_t windowId, std::string_view key,
                std::string_view value) {
    char buffer[512];
    BoundedWriter line{std::span<char>(buffer)};
    line.write("kelvo: ");
    line.write(event);
    line.write(" (");
    line.write(reason);
    line.write(") window=");
    line.writeUnsigned(windowId);
    line.put(' ');
    line.write(key);
    line.put('=');
    line.write(value.substr(0, 256));
    line.put('\n');
    writeStderr(line.text());
}

}  // namespace

std::size_t bridgeScriptCapacity(std::string_view name, std::string_view text) {
    // An invalid byte grows to three; a JSON string escape of a control byte to six.
    return kEmitPrefix.size() + kCompleteCallee.size() + 1 + kScriptEnd.size() + 8 + 6 * name.size() + 3 * text.size();
}

Result<std::string_view> writeReplyValue(std::span<char> out, std::string_view reply) {
    BoundedWriter value(out);
    TRY(writeJsonValue(value, reply, "{}", Error::InvalidBridgeReply));
    return value.text();
}

Result<std::string_view> writeCompleteScript(std::span<char> out, std::string_view reply) {
    BoundedWriter script(out);
    script.write(kCompleteCallee);
    script.put('(');
    TRY(writeJsonValue(script, reply, "{}", Error::InvalidBridgeReply));
    return finish(script);
}

Result<std::string_view> writeEmitScript(std::span<char> out, std::string_view name, std::string_view detail) {
    BoundedWriter script(out);
    script.write(kEmitPrefix);
    writeJsonStringValidUtf8(script, name);
    script.put(',');
    TRY(writeJsonValue(script, detail, "null", Error::InvalidJsonEventDetail));
    return finish(script);
}

void reportDroppedReply(std::uint64_t windowId, std::string_view label, Error error) {
    reportLine("bridge reply dropped", errorName(error), windowId, "label", label);
}

void reportDroppedEvent(std::uint64_t windowId, std::string_view name, Error error) {
    reportLine("page event dropped", errorName(error), windowId, "name", name);
}

void reportRefusedBridgeMessage(std::uint64_t windowId, std::string_view label) {
    reportLine("bridge message refused", "no page token", windowId, "label", label);
}

}  // namespace kelvo
