#pragma once

// Publishing a canvas view's widgets to the platform's accessibility layer: the first 64 nodes of
// the view's semantics, with the view's focus, hover and press folded in, handed to the
// platform's `updateWidgetAccessibility`. A fingerprint of everything published skips a
// publication that would repeat the last one; while the runtime defers accessibility (inside a
// refresh batch) a publication may wait for the frame tick or the batch's end.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "platform/types/canvas_records.hpp"
#include "widgets/widget_semantics.hpp"

namespace kelvo {

struct Runtime;
struct RuntimeView;

inline constexpr std::size_t kMaxPublishedAccessibilityNodes = 64;

// The platform's role code of a semantic role (0 for codes that name no role).
std::uint32_t accessibilityRoleCode(WidgetSemanticRole role);

// The records published for the first nodes of `semantics` (as many as `out` holds, at most 64):
// parents by id, roles by code, and the view's focused, hovered and pressed widgets, and the
// selection shown by a value, folded into the state bytes. Texts are borrowed from the semantics.
std::size_t buildWidgetAccessibilityNodes(std::span<const WidgetSemanticsNode> semantics, const RuntimeView& view,
                                          std::span<WidgetAccessibilityNode> out);

// A hash over every field of the records, in order (presence before optional values, lengths
// before texts); equal records give equal fingerprints within one process.
std::uint64_t widgetAccessibilityFingerprint(std::span<const WidgetAccessibilityNode> nodes);

// Publishes the view's accessibility unless it equals the last publication. With `deferAllowed`
// and the runtime deferring, the view is only marked deferred. Nothing for an index past the
// table or a view that is not a canvas view; InvalidViewOptions for a label outside 1 to 64
// bytes; the platform's error as it is (the view then keeps its last fingerprint).
Status publishCanvasWidgetAccessibilityMaybeDeferred(Runtime& runtime, std::size_t viewIndex, bool deferAllowed);

// Publishes every view marked deferred, in table order; the first error ends it.
Status flushDeferredCanvasWidgetAccessibility(Runtime& runtime);

// The same for the views marked deferred that wait for no frame: a view with a frame requested
// keeps its publication for that frame's tick.
Status flushDeferredCanvasWidgetAccessibilityWithoutFrame(Runtime& runtime);

}  // namespace kelvo
