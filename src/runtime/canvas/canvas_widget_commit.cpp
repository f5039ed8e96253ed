#include "runtime/canvas/canvas_widget_commit.hpp"

#include <cassert>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

CanvasWidgetChange::CanvasWidgetChange(WidgetTreeStorage& tree)
    : tree_(tree), journal_(perThreadCanvasScratch<CanvasWidgetChangeJournal>()) {
    assert(!journal_.open && "one widget change at a time");
    journal_.open = true;
    journal_.count = 0;
    journal_.recorded.reset();
}

CanvasWidgetChange::~CanvasWidgetChange() {
    journal_.open = false;
    journal_.count = 0;
    journal_.recorded.reset();
}

WidgetLayoutNode& CanvasWidgetChange::edit(std::size_t index) {
    WidgetLayoutNode& node = tree_.nodes[index];
    if (!journal_.recorded.test(index)) {
        journal_.recorded.set(index);
        journal_.saved[journal_.count++] = {static_cast<std::uint32_t>(index),
                                            node.rect,
                                            node.frame,
                                            node.value,
                                            node.selected,
                                            node.hidden,
                                            node.expanded,
                                            node.selection,
                                            node.composition,
                                            node.text};
    }
    return node;
}

void CanvasWidgetChange::restore() {
    for (std::size_t i = 0; i < journal_.count; ++i) {
        const CanvasWidgetSavedFields& saved = journal_.saved[i];
        WidgetLayoutNode& node = tree_.nodes[saved.index];
        node.rect = saved.rect;
        node.frame = saved.frame;
        node.value = saved.value;
        node.selected = saved.selected;
        node.hidden = saved.hidden;
        node.expanded = saved.expanded;
        node.selection = saved.selection;
        node.composition = saved.composition;
        node.text = saved.text;
    }
    journal_.count = 0;
    journal_.recorded.reset();
}

CanvasWidgetDirty commitCanvasWidgetChange(Runtime& runtime, std::size_t viewIndex, CanvasWidgetChange& change,
                                           std::optional<Rect> dirty) {
    if (viewIndex >= runtime.views.size()) return fail(Error::ViewNotFound);
    RuntimeView& view = runtime.views[viewIndex];
    CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr) return fail(Error::UnsupportedViewKind);
    if (Status collected = refreshCanvasWidgetSemantics(runtime, view); !collected) {
        change.restore();
        return tl::unexpected(collected.error());
    }
    ++view.canvas.semanticsRevision;
    view.canvas.widgetRevision = ++slot->tree.revision;
    markStateDirty(runtime);
    if (dirty) TRY(invalidateForCanvasWidgetDirty(runtime, viewIndex, *dirty));
    return dirty;
}

CanvasSlot* canvasWidgetSlot(Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size() || runtime.views[viewIndex].kind != ViewKind::gpu_surface) return nullptr;
    return canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
}

std::optional<Rect> canvasWidgetNodeDirtyBounds(const Runtime& runtime, std::size_t viewIndex, std::size_t index) {
    if (viewIndex >= runtime.views.size()) return std::nullopt;
    const RuntimeView& view = runtime.views[viewIndex];
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr || index >= slot->tree.node_count) return std::nullopt;
    return canvasWidgetDirtyBounds(runtime, view, index, slot->tree.nodes[index].rect);
}

}  // namespace kelvo
