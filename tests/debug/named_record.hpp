#pragma once

#include <string_view>

#include "debug/trace_format.hpp"

namespace kelvo::testing {

// A trace record with only its name set.
inline TraceRecord named(std::string_view name) {
    TraceRecord record;
    record.name = name;
    return record;
}

}  // namespace kelvo::testing
