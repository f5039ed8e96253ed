#include "tree_display_list.hpp"

namespace kelvo {

// The widget renderers, which turn each kind into display-list commands, come in a later change;
// this is the one place where the lab will call them.
Result<std::span<const CanvasCommand>> treeDisplayList(const WidgetTreeStorage&) {
    return fail(Error::UnsupportedService);
}

}  // namespace kelvo
