#include "debug/trace.hpp"

#include <array>

namespace kelvo {

namespace {
constexpr std::array<std::string_view, 6> kLevelNames = {"trace", "debug", "info", "warn", "err", "fatal"};
constexpr std::array<std::string_view, 6> kKindNames = {"event", "span_begin", "span_end", "counter", "gauge", "frame"};
}  // namespace

std::string_view traceLevelName(TraceLevel level) {
    auto index = static_cast<std::size_t>(level);
    return kLevelNames[index < kLevelNames.size() ? index : kLevelNames.size() - 1];
}

std::string_view traceKindName(TraceKind kind) {
    auto index = static_cast<std::size_t>(kind);
    return kKindNames[index < kKindNames.size() ? index : kKindNames.size() - 1];
}

void emitTrace(const TraceSink& sink, bool present, const TraceRecord& record, std::uint64_t& dropped) {
    if (!present || sink.write == nullptr) return;
    if (!sink.write(sink.context, record)) ++dropped;
}

void traceEvent(TraceLog& log, const Io& io, std::string_view name, std::optional<std::string_view> message,
                std::span<const TraceField> fields, TraceLevel level) {
    if (!log.present) return;
    TraceRecord record;
    record.timestampNs = io.present() ? ioWallClockNs(io) : 0;
    record.name = name;
    record.message = message;
    record.fields = fields;
    record.level = level;
    emitTrace(log, record);
}

}  // namespace kelvo
