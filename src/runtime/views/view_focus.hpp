#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

// The view focus of a window: exactly one of its focus flags (main web view, views, child web
// views) is set, or none.

struct Runtime;

// Moves the window's view focus to the labelled object ("main", a view or a child web view).
Status focusView(Runtime& runtime, std::uint64_t windowId, std::string_view label);
// Focuses the next (or previous) focus candidate; no entry when the window has none.
Result<std::optional<ViewInfo>> focusAdjacentView(Runtime& runtime, std::uint64_t windowId, bool backwards);
// Leaves a focused candidate alone, else focuses the first candidate, else clears the focus.
void ensureFocusableViewFocused(Runtime& runtime, std::uint64_t windowId);
// Gives the window's view focus to `label` without asking the platform (the platform reported
// input there): the main web view is focused exactly when the label is "main", every view and
// child web view exactly when its label is this one; canvas views repaint their focus rings.
// The first failed repaint is returned after every flag is set.
Status setFocusedView(Runtime& runtime, std::uint64_t windowId, std::string_view label);
// Clears every focus flag of the window (no platform call).
void clearFocusedView(Runtime& runtime, std::uint64_t windowId);

}  // namespace kelvo
