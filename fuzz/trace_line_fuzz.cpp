// Trace lines from arbitrary names, messages and field values: a JSON line is empty or ends in a
// line feed, fits its buffer and is valid UTF-8; a text line never exceeds its capacity.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/utf8.hpp"
#include "debug/trace_format.hpp"

namespace {

std::string_view take(const std::uint8_t*& data, std::size_t& size) {
    if (size == 0) return {};
    std::size_t length = data[0] % 64 == 63 ? size - 1 : data[0] % 64;
    ++data;
    --size;
    if (length > size) length = size;
    std::string_view piece(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvo;
    std::uint8_t shape = size > 0 ? data[0] : 0;
    if (size > 0) {
        ++data;
        --size;
    }
    TraceRecord record;
    record.name = take(data, size);
    if (shape & 1) record.message = take(data, size);
    if (shape & 2) record.spanId = shape;
    record.level = static_cast<TraceLevel>(shape % 8);
    record.kind = static_cast<TraceKind>((shape >> 3) % 8);
    std::array<TraceField, 4> fields;
    std::size_t count = 0;
    while (count < fields.size() && size > 0) {
        std::string_view key = take(data, size);
        std::string_view value = take(data, size);
        double number = 0;
        // An empty value may have no storage at all: the number stays zero then.
        if (!value.empty()) std::memcpy(&number, value.data(), std::min(value.size(), sizeof number));
        fields[count] = count % 2 == 0 ? traceText(key, value) : traceF64(key, number);
        ++count;
    }
    record.fields = {fields.data(), count};
    if (shape & 4) record.leading = traceI64("lead", -static_cast<std::int64_t>(shape));

    std::array<char, kTraceJsonLineCapacity> buffer;
    std::string_view line = formatJsonLine(record, buffer);
    if (!line.empty() && line.back() != '\n') std::abort();
    for (std::size_t at = 0; at < line.size();) {
        Utf8Unit unit = utf8UnitAt(line, at);
        if (!unit.valid) std::abort();
        at += unit.length;
    }
    std::array<char, 300> small;
    if (formatTextBounded(record, small).size() > small.size()) std::abort();
    return 0;
}
