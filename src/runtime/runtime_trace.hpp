#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "debug/trace.hpp"

namespace kelvo {

struct Runtime;

inline TraceField traceText(std::string_view key, std::string_view value) { return TraceField{key, value, 0, false}; }
inline TraceField traceUnsigned(std::string_view key, std::uint64_t value) { return TraceField{key, {}, value, true}; }

// Writes one trace record through the runtime's sink (level info, kind event, stamped with the
// wall clock); a refused record only adds 1 to the dropped-record count.
void runtimeTrace(Runtime& runtime, std::string_view name, std::string_view message,
                  std::span<const TraceField> fields);

}  // namespace kelvo
