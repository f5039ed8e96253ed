#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

struct Runtime;

// Closes a view or child web view with everything nested in it, then repairs the window's focus
// when the focus was inside.
Status closeView(Runtime& runtime, std::uint64_t windowId, std::string_view label);

// Removes one record; later records move down one slot. The platform objects are the caller's.
void removeViewAt(Runtime& runtime, std::size_t index);
void removeWebViewAt(Runtime& runtime, std::size_t index);

}  // namespace kelvo
