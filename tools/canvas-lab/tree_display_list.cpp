#include "tree_display_list.hpp"

#include <array>

#include "widgets/thread_scratch.hpp"
#include "widgets/widget_render.hpp"

namespace kelvo {

namespace {
// The list the lab draws, as a refresh would stage it: commands and their pools, per thread.
struct LabDisplayList {
    std::array<CanvasCommand, kMaxCanvasCommands> items;
    CanvasDisplayListScratch pools;
};
}  // namespace

Result<std::span<const CanvasCommand>> treeDisplayList(const WidgetTreeStorage& tree) {
    auto& list = perThreadCanvasScratch<LabDisplayList>();
    list.pools.reset();
    CanvasCommandArray array{list.items.data(), list.items.size(), 0};
    WidgetRenderTarget target{array, list.pools};
    TRY(emitWidgetTree(target, tree.tree(), tree.tokens, WidgetRenderState{}));
    return array.commands();
}

}  // namespace kelvo
