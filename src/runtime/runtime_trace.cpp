#include "runtime/runtime_trace.hpp"

#include "runtime/core.hpp"

namespace kelvo {

void runtimeTrace(Runtime& runtime, std::string_view name, std::string_view message,
                  std::span<const TraceField> fields) {
    if (!runtime.traceSinkPresent || runtime.traceSink.write == nullptr) return;
    TraceRecord record;
    record.timestampNs = runtimeWallClockNs(runtime);
    record.name = name;
    record.message = message;
    record.fields = fields;
    if (!runtime.traceSink.write(runtime.traceSink.context, record)) ++runtime.droppedTraceRecords;
}

}  // namespace kelvo
