#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo {

// The one way to find a view or child web view: by window id and label, or as the first child
// of a parent label. Indices are valid only until the next removal from the tables.

struct Runtime;

// The first open view of the window with that label.
std::optional<std::size_t> findViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view label);
// The first open child web view of the window with that label.
std::optional<std::size_t> findWebViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view label);
// The first open view (or child web view) of the window whose parent is `parent`.
std::optional<std::size_t> findChildViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view parent);
std::optional<std::size_t> findChildWebViewIndex(const Runtime& runtime, std::uint64_t windowId,
                                                 std::string_view parent);
// Whether the label names something in the window: "main" (its main web view), an open view or an
// open child web view.
bool windowHasViewLabel(const Runtime& runtime, std::uint64_t windowId, std::string_view label);

}  // namespace kelvo
