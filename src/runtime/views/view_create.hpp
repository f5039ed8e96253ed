#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

struct Runtime;

// Makes a view (kinds 1 to 18) or a child web view (kind webview) after checking every option.
// The platform is told first; the tables change only when it succeeded.
Result<ViewInfo> createView(Runtime& runtime, const ViewOptions& options);

// Appends the record of a child web view the platform has made: `options.frame` in window
// coordinates, `localFrame` as requested inside `parent`. WebViewLimitReached or NoSpaceLeft
// leave the table as it was. Returns the record's index.
Result<std::size_t> appendWebViewRecord(Runtime& runtime, const WebViewOptions& options,
                                        std::optional<std::string_view> parent, const RectF& localFrame);

}  // namespace kelvo
