#include "runtime/flow/page_events.hpp"

#include "base/json_string.hpp"
#include "base/number_text.hpp"
#include "bridge/strict_json.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

void writeNumberMember(BoundedWriter& out, std::string_view key, float value) {
    writeJsonString(out, key);
    out.put(':');
    writeFloatPlain(out, value);
}

void writeBoolMember(BoundedWriter& out, std::string_view key, bool value) {
    writeJsonString(out, key);
    out.write(value ? ":true" : ":false");
}

void writeInsets(BoundedWriter& out, std::string_view key, const EdgeInsets& insets) {
    writeJsonString(out, key);
    out.write(":{");
    writeNumberMember(out, "top", insets.top);
    out.put(',');
    writeNumberMember(out, "right", insets.right);
    out.put(',');
    writeNumberMember(out, "bottom", insets.bottom);
    out.put(',');
    writeNumberMember(out, "left", insets.left);
    out.put('}');
}

bool isDetailSpace(char byte) { return (byte >= 9 && byte <= 13) || byte == ' '; }

}  // namespace

void writeResizeDetail(BoundedWriter& out, const SurfaceResizedEvent& event) {
    out.put('{');
    writeNumberMember(out, "width", event.width);
    out.put(',');
    writeNumberMember(out, "height", event.height);
    out.put(',');
    writeNumberMember(out, "scale", event.scale);
    out.put(',');
    writeInsets(out, "safeAreaInsets", event.safeArea);
    out.put(',');
    writeInsets(out, "keyboardInsets", event.keyboard);
    out.put('}');
}

void writeShortcutDetail(BoundedWriter& out, const ShortcutEvent& event) {
    out.write("{\"id\":");
    writeJsonString(out, event.id);
    out.write(",\"command\":");
    writeJsonString(out, event.id);
    out.write(",\"key\":");
    writeJsonString(out, event.key);
    out.write(",\"windowId\":");
    out.writeUnsigned(event.windowId);
    out.write(",\"modifiers\":{");
    writeBoolMember(out, "primary", event.modifiers.primary);
    out.put(',');
    writeBoolMember(out, "command", event.modifiers.command);
    out.put(',');
    writeBoolMember(out, "control", event.modifiers.control);
    out.put(',');
    writeBoolMember(out, "option", event.modifiers.option);
    out.put(',');
    writeBoolMember(out, "shift", event.modifiers.shift);
    out.write("}}");
}

void writeDropFilesDetail(BoundedWriter& out, const FilesDroppedEvent& event) {
    out.write("{\"windowId\":");
    out.writeUnsigned(event.windowId);
    out.write(",\"viewLabel\":");
    writeJsonString(out, event.viewLabel);
    if (event.hasPosition) {
        out.put(',');
        writeNumberMember(out, "x", event.x);
        out.put(',');
        writeNumberMember(out, "y", event.y);
    }
    out.write(",\"paths\":[");
    for (std::size_t i = 0; i < event.paths.size(); ++i) {
        if (i > 0) out.put(',');
        writeJsonStringOfBytes(out, event.paths[i]);
        if (out.overflowed()) break;
    }
    out.write("]}");
}

bool isValidEventDetail(std::string_view detail) {
    while (!detail.empty() && isDetailSpace(detail.front())) detail.remove_prefix(1);
    while (!detail.empty() && isDetailSpace(detail.back())) detail.remove_suffix(1);
    return !detail.empty() && isStrictJson(detail);
}

Status sendPageEvent(Runtime& runtime, std::uint64_t windowId, std::string_view name, std::string_view detail) {
    if (!isValidEventDetail(detail)) return fail(Error::InvalidJsonEventDetail);
    return callNeeded<&PlatformSlots::emitWindowEvent>(runtime.platform, windowId, name, detail);
}

BoundedWriter pageEventDetailWriter(Runtime& runtime) { return BoundedWriter(std::span(runtime.pageEventDetail)); }

Status sendWrittenPageEvent(Runtime& runtime, std::uint64_t windowId, std::string_view name,
                            const BoundedWriter& written) {
    if (written.overflowed()) return fail(Error::NoSpaceLeft);
    return sendPageEvent(runtime, windowId, name, written.text());
}

}  // namespace kelvo
