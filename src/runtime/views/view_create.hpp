#pragma once

#include "base/error.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

struct Runtime;

// Makes a view (kinds 1 to 18) or a child web view (kind webview) after checking every option.
// The platform is told first; the tables change only when it succeeded.
Result<ViewInfo> createView(Runtime& runtime, const ViewOptions& options);

}  // namespace kelvo
