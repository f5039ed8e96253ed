#pragma once

// The display list of an installed widget tree, as the widget renderers draw it.

#include <span>

#include "base/error.hpp"
#include "widgets/commands.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

// The commands that draw `tree` with its tokens, pointing into storage that lives until the next
// call. UnsupportedService while the program has no widget renderers.
Result<std::span<const CanvasCommand>> treeDisplayList(const WidgetTreeStorage& tree);

}  // namespace kelvo
