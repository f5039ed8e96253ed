#pragma once

#include <span>
#include <string_view>

#include "debug/trace.hpp"

namespace kelvo {

struct Runtime;

// Writes one trace record through the runtime's sink: level info, kind event, stamped with the
// wall clock of the runtime's I/O interface. A refused record only adds 1 to the dropped count.
void runtimeTrace(Runtime& runtime, std::string_view name, std::string_view message,
                  std::span<const TraceField> fields = {});

}  // namespace kelvo
