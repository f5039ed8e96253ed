#pragma once

// Private to src/platform/macos: the canvas views of native views of the canvas kind. Each holds
// one surface view, bound to its window and label, whose frame and resize events go to the
// runtime through the host. Steps the view posts hold it weakly: a view closed meanwhile is
// skipped.

#include <cstdint>
#include <memory>

#include "platform/standin/standin.hpp"

namespace kelvo {

struct KelvoAppKitHost;
struct HostCanvasView;
struct SurfaceView;
enum class CanvasEditCommand : std::uint8_t;

std::shared_ptr<HostCanvasView> makeHostCanvasView(KelvoAppKitHost& host, standin::ViewRef ref, std::uint64_t windowId,
                                                   std::string_view label, const standin::RectD& frame, bool hidden);
void placeHostCanvasView(HostCanvasView& view, const standin::RectD& frame, bool hidden);
SurfaceView& surfaceOf(HostCanvasView& view);
// An Edit menu item chosen for the view: the editing key it stands for, when it is enabled.
void performCanvasEdit(HostCanvasView& view, CanvasEditCommand command);

// At the start of the run: every canvas view's queued first frame request goes out now.
void flushFirstCanvasFrameRequests(KelvoAppKitHost& host);
// After a window's resize: every canvas view of the window reports its size.
void emitCanvasResizesForWindow(KelvoAppKitHost& host, std::uint64_t windowId);
// After a window came into sight or went out of it: its canvas views pace for the new state.
void noteCanvasOcclusionForWindow(KelvoAppKitHost& host, std::uint64_t windowId);

// The canvas view of a native view of the canvas kind under "<window id>:<label>"; null for
// none, or for a view of another kind.
HostCanvasView* findCanvasView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label);

}  // namespace kelvo
