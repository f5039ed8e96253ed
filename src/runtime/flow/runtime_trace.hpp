#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "debug/trace.hpp"

namespace kelvo {

struct Runtime;

// Writes one trace record through the runtime's sink: kind event, stamped with the wall clock of
// the runtime's I/O interface (0 without one). Nothing is written without a sink; a refused
// record only adds 1 to the dropped count.
void runtimeTrace(Runtime& runtime, std::string_view name, std::optional<std::string_view> message,
                  std::span<const TraceField> fields = {}, TraceLevel level = TraceLevel::info);

inline void runtimeTrace(Runtime& runtime, std::string_view name, std::optional<std::string_view> message,
                         std::initializer_list<TraceField> fields, TraceLevel level = TraceLevel::info) {
    runtimeTrace(runtime, name, message, std::span<const TraceField>(fields.begin(), fields.size()), level);
}

}  // namespace kelvo
