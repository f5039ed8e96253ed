#include "runtime/canvas/canvas_text_context_menu.hpp"

#include <array>

#include "base/bounded_writer.hpp"
#include "base/stderr.hpp"
#include "runtime/canvas/canvas_events.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_clipboard.hpp"
#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

void warnMenuFailed(Error error) {
    std::array<char, 128> buffer;
    BoundedWriter line(buffer);
    line.write("warning(vexa_context_menu): context menu presentation failed: ");
    line.write(errorName(error));
    line.put('\n');
    writeStderr(line.text());
}

GpuSurfaceInput syntheticInput(const RuntimeView& view, GpuSurfaceInputKind kind) {
    GpuSurfaceInput input;
    input.windowId = view.windowId;
    input.label = view.label.view();
    input.kind = kind;
    return input;
}

}  // namespace

TextMenuItems canvasTextContextMenuItems(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                         std::span<ContextMenuItem, kMaxTextMenuItems> out) {
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
    if (!index) return {};
    const RuntimeView& view = runtime.views[viewIndex];
    const WidgetLayoutNode& node = canvasSlotOf(runtime.canvasSlots, view)->tree.nodes[*index];
    if ((node.disabled & 1u) != 0) return {};
    if (isTextEntryKind(node.widgetKind())) {
        const bool selected = !editableSelectionText(runtime, viewIndex, widgetId).empty();
        out[0] = {"Cut", kTextMenuCut, selected, false};
        out[1] = {"Copy", kTextMenuCopy, selected, false};
        out[2] = {"Paste", kTextMenuPaste, true, false};
        out[3] = {"", 0, false, true};
        out[4] = {"Select All", kTextMenuSelectAll, !node.text.empty(), false};
        return {5, ContextMenuKind::editable_text};
    }
    if (node.widgetKind() == WidgetKind::text && view.canvas.interaction.selectionOwner == widgetId) {
        out[0] = {"Copy", kTextMenuCopy, true, false};
        return {1, ContextMenuKind::read_only_text};
    }
    return {};
}

bool showMenu(Runtime& runtime, std::size_t viewIndex, std::uint64_t target, ContextMenuKind kind, Point position,
              std::span<const ContextMenuItem> items) {
    if (viewIndex >= runtime.views.size()) return false;
    const RuntimeView& view = runtime.views[viewIndex];
    const auto show = platformSlots(runtime).showContextMenu;
    if (show == nullptr) return false;
    const Status shown = show(platformServices(runtime), view.windowId, view.label.view(),
                              ContextMenuRequest{position.x, position.y, target, items});
    if (!shown) {
        if (shown.error() != Error::UnsupportedService) warnMenuFailed(shown.error());
        return false;
    }
    runtime.pendingContextMenu = PendingContextMenu{view.windowId, target, kind, true};
    return true;
}

bool showCanvasTextContextMenu(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId, Point position) {
    std::array<ContextMenuItem, kMaxTextMenuItems> items;
    const TextMenuItems menu = canvasTextContextMenuItems(runtime, viewIndex, widgetId, items);
    if (menu.count == 0) return false;
    return showMenu(runtime, viewIndex, widgetId, menu.kind, position, std::span(items).first(menu.count));
}

Status applyTextContextMenuItem(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                ContextMenuKind kind, std::uint32_t item) {
    const RuntimeView& view = runtime.views[viewIndex];
    if (kind == ContextMenuKind::read_only_text) {
        if (item != kTextMenuCopy) return {};
        return copyCanvasWidgetText(runtime, canvasWidgetCopyText(runtime, viewIndex));
    }
    switch (item) {
        case kTextMenuSelectAll: {
            GpuSurfaceInput input = syntheticInput(view, GpuSurfaceInputKind::key_down);
            input.key = "a";
            input.modifiers.command = true;
            return updateCanvasWidgetTextFromKeyboard(runtime, input);
        }
        case kTextMenuCopy:
            return copyCanvasWidgetText(
                runtime, editableSelectionText(runtime, viewIndex, view.canvas.interaction.focusedWidget));
        case kTextMenuCut:
            return cutCanvasWidgetText(runtime, viewIndex);
        case kTextMenuPaste: {
            const std::optional<std::string_view> pasted = TRY(pasteCanvasWidgetText(runtime, viewIndex));
            if (!pasted) return {};
            GpuSurfaceInput input = syntheticInput(view, GpuSurfaceInputKind::text_insert);
            input.text = *pasted;
            return sendCanvasWidgetKeyboardEvent(runtime, binding, viewIndex, input);
        }
        default:
            return {};
    }
}

}  // namespace kelvo
