#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

struct Runtime;

// Applies a partial update to a view, a child web view or the main web view ("main"). Each step
// tells the platform first and changes the record only when the platform call succeeded.
Result<ViewInfo> updateView(Runtime& runtime, std::uint64_t windowId, std::string_view label, const ViewUpdate& update);

}  // namespace kelvo
