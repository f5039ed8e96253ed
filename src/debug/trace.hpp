#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

#include "base/error.hpp"
#include "base/io.hpp"

namespace kelvo {

// Levels 6 and 7 print as "fatal".
enum class TraceLevel : std::uint8_t { trace, debug, info, warn, err, fatal };
// Kinds 6 and 7 print as "frame".
enum class TraceKind : std::uint8_t { event, span_begin, span_end, counter, gauge, frame };

std::string_view traceLevelName(TraceLevel level);
std::string_view traceKindName(TraceKind kind);

// A field value; the alternative's index is its tag: 0 string, 1 bool, 2 i64, 3 u64, 4 f64.
using TraceValue = std::variant<std::string_view, bool, std::int64_t, std::uint64_t, double>;

struct TraceField {
    std::string_view key;
    TraceValue value;
};

inline TraceField traceText(std::string_view key, std::string_view value) {
    return {key, TraceValue(std::in_place_index<0>, value)};
}
inline TraceField traceBool(std::string_view key, bool value) {
    return {key, TraceValue(std::in_place_index<1>, value)};
}
inline TraceField traceI64(std::string_view key, std::int64_t value) {
    return {key, TraceValue(std::in_place_index<2>, value)};
}
inline TraceField traceU64(std::string_view key, std::uint64_t value) {
    return {key, TraceValue(std::in_place_index<3>, value)};
}
inline TraceField traceF64(std::string_view key, double value) {
    return {key, TraceValue(std::in_place_index<4>, value)};
}

// One trace record. It borrows every string and the field list from its emitter; a sink must not
// keep them after its write returns.
struct TraceRecord {
    std::int64_t timestampNs = 0;             // wall clock since the Unix epoch; 0 when the clock failed
    std::string_view name;                    // dotted: "runtime.init", "window.state.save_failed"
    std::optional<std::string_view> message;  // absent is distinct from empty
    std::span<const TraceField> fields;
    std::optional<std::uint64_t> spanId;
    std::optional<std::uint64_t> parentSpanId;
    std::optional<std::uint64_t> durationNs;
    std::optional<TraceField> leading;  // formatted before `fields`
    TraceLevel level = TraceLevel::info;
    TraceKind kind = TraceKind::event;
};

// Where records go: a context and its write operation.
struct TraceSink {
    void* context = nullptr;
    Status (*write)(void* context, const TraceRecord& record) = nullptr;
};

// What the runtime holds for tracing: its sink (nothing is emitted while `present` is false) and
// the count of records a sink refused, which only grows.
struct TraceLog {
    TraceSink sink{};
    bool present = false;
    std::uint64_t droppedRecords = 0;
};

// Sends `record` to the sink when present. A refused record is not an error for the emitter: it
// adds one to `dropped`, however many sinks behind a fan-out failed.
void emitTrace(const TraceSink& sink, bool present, const TraceRecord& record, std::uint64_t& dropped);
inline void emitTrace(TraceLog& log, const TraceRecord& record) {
    emitTrace(log.sink, log.present, record, log.droppedRecords);
}

// The usual emitter: stamps the wall-clock time from `io` (0 without an I/O interface), kind
// event, no span numbers, no duration and no leading field.
void traceEvent(TraceLog& log, const Io& io, std::string_view name, std::optional<std::string_view> message,
                std::span<const TraceField> fields = {}, TraceLevel level = TraceLevel::info);

}  // namespace kelvo
