#include "debug/trace_format.hpp"

#include "base/json_string.hpp"
#include "base/number_text.hpp"
#include "base/utf8.hpp"

namespace kelvo {

namespace {

void writeNumberOrBool(const TraceValue& value, BoundedWriter& out) {
    switch (value.index()) {
        case 1:
            out.write(std::get<1>(value) ? "true" : "false");
            break;
        case 2:
            out.writeSigned(std::get<2>(value));
            break;
        case 3:
            out.writeUnsigned(std::get<3>(value));
            break;
        case 4:
            writeFloatPlain(out, std::get<4>(value));
            break;
        default:
            break;
    }
}

void writeTextField(const TraceField& field, BoundedWriter& out) {
    out.put(' ');
    out.write(field.key);
    out.put('=');
    formatFieldValueText(field.value, out);
}

void writeJsonField(const TraceField& field, BoundedWriter& out) {
    writeJsonStringValidUtf8(out, field.key);
    out.put(':');
    formatFieldValueJson(field.value, out);
}

void writeJsonHead(const TraceRecord& record, std::string_view name, BoundedWriter& out) {
    out.write("{\"timestamp_ns\":");
    out.writeSigned(record.timestampNs);
    out.write(",\"level\":\"");
    out.write(traceLevelName(record.level));
    out.write("\",\"kind\":\"");
    out.write(traceKindName(record.kind));
    out.write("\",\"name\":");
    writeJsonStringValidUtf8(out, name);
}

void writeOptionalNumber(std::string_view label, const std::optional<std::uint64_t>& number, BoundedWriter& out) {
    if (!number) return;
    out.write(label);
    out.writeUnsigned(*number);
}

}  // namespace

void formatFieldValueText(const TraceValue& value, BoundedWriter& out) {
    if (value.index() == 0) {
        out.put('"');
        out.write(std::get<0>(value));
        out.put('"');
        return;
    }
    writeNumberOrBool(value, out);
}

void formatFieldValueJson(const TraceValue& value, BoundedWriter& out) {
    if (value.index() == 0) {
        writeJsonStringValidUtf8(out, std::get<0>(value));
        return;
    }
    writeNumberOrBool(value, out);
}

std::string_view formatTextBounded(const TraceRecord& record, std::span<char> buffer) {
    BoundedWriter out(buffer);
    out.write("ts=");
    out.writeSigned(record.timestampNs);
    out.write(" level=");
    out.write(traceLevelName(record.level));
    out.write(" kind=");
    out.write(traceKindName(record.kind));
    out.write(" name=\"");
    out.write(record.name);
    out.put('"');
    if (record.message) {
        out.write(" message=\"");
        out.write(*record.message);
        out.put('"');
    }
    writeOptionalNumber(" span_id=", record.spanId, out);
    writeOptionalNumber(" parent_span_id=", record.parentSpanId, out);
    writeOptionalNumber(" duration_ns=", record.durationNs, out);
    if (record.leading) writeTextField(*record.leading, out);
    for (const auto& field : record.fields) {
        if (out.overflowed()) break;
        writeTextField(field, out);
    }
    if (out.overflowed()) {
        std::size_t keep =
            buffer.size() > kTraceTruncatedMarker.size() ? buffer.size() - kTraceTruncatedMarker.size() : 0;
        out.truncate(keep);
        out.clearOverflow();
        out.write(kTraceTruncatedMarker.substr(0, buffer.size() - keep));
    }
    return out.text();
}

std::string_view formatJsonLine(const TraceRecord& record, std::span<char> buffer) {
    BoundedWriter out(buffer);
    writeJsonHead(record, record.name, out);
    if (record.message) {
        out.write(",\"message\":");
        writeJsonStringValidUtf8(out, *record.message);
    }
    writeOptionalNumber(",\"span_id\":", record.spanId, out);
    writeOptionalNumber(",\"parent_span_id\":", record.parentSpanId, out);
    writeOptionalNumber(",\"duration_ns\":", record.durationNs, out);
    out.write(",\"fields\":{");
    bool first = true;
    if (record.leading) {
        writeJsonField(*record.leading, out);
        first = false;
    }
    for (const auto& field : record.fields) {
        if (out.overflowed()) break;
        if (!first) out.put(',');
        writeJsonField(field, out);
        first = false;
    }
    out.write("}}\n");
    if (!out.overflowed()) return out.text();

    // The short form: the head with the name cut between characters, and the truncation flag.
    out.reset();
    writeJsonHead(record, record.name.substr(0, utf8CutLength(record.name, kTraceShortFormNameBytes)), out);
    out.write(",\"truncated\":true}\n");
    if (out.overflowed()) return {};
    return out.text();
}

}  // namespace kelvo
