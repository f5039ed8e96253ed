#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "platform/types/platform_event.hpp"
#include "runtime/canvas/context_menu_state.hpp"

namespace kelvo {

// What the event dispatcher asks of the canvas widget runtime for the events of GPU canvas
// views. The widget trees, display lists and frame planning live there; until a view can hold
// canvas widgets, these do what a canvas view without widgets needs.

struct Runtime;
struct AppBinding;
struct RuntimeView;

// A canvas view's surface changed: the next frame must be drawn in full, and when the size or
// scale changed the size-dependent canvas state starts again.
void noteGpuSurfaceResized(RuntimeView& view, bool sizeOrScaleChanged);

// Applies the offset a native scroll driver reports to the scroll view it drives, limited to the
// content; the driver's offset counts as synced. ViewNotFound for no such view; nothing for a
// widget that is not a scroll view of it.
Status applyGpuSurfaceScrollDriver(Runtime& runtime, const AppBinding& binding,
                                   const GpuSurfaceScrollDriverEvent& event);

// The widget under a drop position that accepts dropped files, if any.
std::optional<std::uint64_t> canvasWidgetFileDropTarget(const Runtime& runtime, std::size_t viewIndex, float x,
                                                        float y);

// Carries out the chosen item of a text context menu (cut, copy, paste, select all; only copy
// on a read-only text) on the view's focused text widget.
Status applyTextContextMenuItem(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                ContextMenuKind kind, std::uint32_t item);

}  // namespace kelvo
