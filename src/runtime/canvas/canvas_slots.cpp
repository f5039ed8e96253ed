#include "runtime/canvas/canvas_slots.hpp"

#include <sys/mman.h>

#include <new>

namespace kelvo {

namespace {

CanvasSlot* slotAt(CanvasSlotTable& table, std::size_t index) {
    return std::launder(reinterpret_cast<CanvasSlot*>(table.pages[index].bytes));
}

}  // namespace

Status claimCanvasSlot(CanvasSlotTable& table, RuntimeView& view) {
    if (view.canvas.slot) return {};
    for (std::size_t i = 0; i < kCanvasSlotCount; ++i) {
        if (table.used[i]) continue;
        ::new (table.pages[i].bytes) CanvasSlot;
        table.used[i] = true;
        view.canvas.slot = static_cast<std::uint8_t>(i);
        return {};
    }
    return fail(Error::ViewLimitReached);
}

void releaseCanvasSlot(CanvasSlotTable& table, RuntimeView& view) {
    if (!view.canvas.slot) return;
    const std::size_t index = *view.canvas.slot;
    view.canvas.slot.reset();
    if (index >= kCanvasSlotCount || !table.used[index]) return;
    table.used[index] = false;
    // The record is trivially destructible; dropping the pages gives them back and leaves them
    // zero-filled for the next claim.
    (void)madvise(table.pages[index].bytes, sizeof(table.pages[index].bytes), MADV_DONTNEED);
}

CanvasSlot* canvasSlotOf(CanvasSlotTable& table, const RuntimeView& view) {
    if (!view.canvas.slot || *view.canvas.slot >= kCanvasSlotCount || !table.used[*view.canvas.slot]) return nullptr;
    return slotAt(table, *view.canvas.slot);
}

const CanvasSlot* canvasSlotOf(const CanvasSlotTable& table, const RuntimeView& view) {
    return canvasSlotOf(const_cast<CanvasSlotTable&>(table), view);
}

}  // namespace kelvo
