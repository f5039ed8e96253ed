#include "runtime/runtime_trace.hpp"

#include "runtime/core.hpp"

namespace kelvo {

void runtimeTrace(Runtime& runtime, std::string_view name, std::string_view message,
                  std::span<const TraceField> fields) {
    TraceRecord record;
    record.timestampNs = runtimeWallClockNs(runtime);
    record.name = name;
    record.message = message;
    record.fields = fields;
    emitTrace(runtime.trace, record);
}

}  // namespace kelvo
