#include "runtime/runtime_trace.hpp"

#include "runtime/core.hpp"

namespace kelvo {

void runtimeTrace(Runtime& runtime, std::string_view name, std::optional<std::string_view> message,
                  std::span<const TraceField> fields, TraceLevel level) {
    if (!runtime.trace.present) return;
    TraceRecord record;
    record.timestampNs = runtimeWallClockNs(runtime);
    record.name = name;
    record.message = message;
    record.fields = fields;
    record.level = level;
    emitTrace(runtime.trace, record);
}

}  // namespace kelvo
