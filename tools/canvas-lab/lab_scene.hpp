#pragma once

// The scene every lab mode shows: one window, "Canvas lab" (id 1, focused), sized to the tree's
// first root node, holding one canvas view, "canvas", that shows the tree, with the lab's image
// (lab_image.hpp) registered for its image widgets.

#include <string_view>

#include "base/error.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

struct Runtime;

inline constexpr std::string_view kLabWindowTitle = "Canvas lab";
inline constexpr std::string_view kLabCanvasLabel = "canvas";

// Builds the scene in `runtime`; `tree` holds at least one node.
Status buildLabScene(Runtime& runtime, const WidgetTreeStorage& tree);

}  // namespace kelvo
