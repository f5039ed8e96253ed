#include "runtime/flow/runtime_trace.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

void runtimeTrace(Runtime& runtime, std::string_view name, std::optional<std::string_view> message,
                  std::span<const TraceField> fields, TraceLevel level) {
    traceEvent(runtime.trace, runtime.io, name, message, fields, level);
}

}  // namespace kelvo
