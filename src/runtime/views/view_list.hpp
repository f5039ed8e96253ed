#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/views/view_table.hpp"

namespace kelvo {

struct Runtime;

// Everything the window shows, in focus order: the main web view (when the window has a source),
// its open views, then its open child web views. Returns the filled prefix of `out`.
std::span<ViewInfo> listViews(const Runtime& runtime, std::uint64_t windowId, std::span<ViewInfo> out);
// The main web view entry of a window's list.
ViewInfo mainWebViewListInfo(const Runtime& runtime, std::size_t windowIndex);
// The main web view of the window at `windowIndex` (a valid index) as a web view.
WebViewInfo mainWebViewInfo(const Runtime& runtime, std::size_t windowIndex);

}  // namespace kelvo
