#pragma once

// Pure queries over a laid-out tree that turn a point into a widget, a widget into the chain of
// widgets its event travels, and the keyboard focus into the next widget to focus. None of them
// allocates or changes the tree; walks over malformed parent links end (widget_tree.hpp).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// Nothing else of a result without the found flag means anything.
struct WidgetHit {
    std::uint64_t id = 0;
    std::uint64_t depth = 0;
    std::uint64_t index = 0;
    Rect rect;
    std::uint8_t kind = 0;
    WidgetStateBytes state;
    std::uint8_t role = 0;  // the node's own role byte (low 5 bits); 0 leaves the role to the kind
    bool found = false;
};

struct WidgetFocusTarget {
    std::uint64_t id = 0;
    std::uint64_t index = 0;
    Rect rect;
    std::uint8_t kind = 0;
    WidgetStateBytes state;
    bool found = false;
};

enum class WidgetRoutePhase : std::uint8_t { capture = 0, target = 1, bubble = 2 };

struct WidgetRouteEntry {
    std::uint64_t index = 0;
    std::uint64_t id = 0;
    Rect rect;
    WidgetRoutePhase phase = WidgetRoutePhase::capture;
    std::uint8_t kind = 0;
};

// A route holds at most this many entries: 31 ancestors down, the target, 31 ancestors up.
inline constexpr std::size_t kMaxWidgetRouteEntries = 63;

// Stored in 3 bits; 6 and 7 move like `previous`.
enum class WidgetFocusDirection : std::uint8_t { next = 0, previous = 1, left = 2, right = 3, up = 4, down = 5 };

// Whether the pointer can hit the node: a press or toggle action, a window drag region, a kind of
// the pointer set, or an interactive chart.
bool isWidgetPointerTarget(const WidgetDescription& widget);

// The widget under a point in view coordinates: out-of-flow nodes first (highest index first, at
// the untransformed point), then the tree from its roots. `tokens` give the stacking layers.
WidgetHit hitTestWidgetLayout(WidgetLayoutTree tree, Point point, const WidgetTokens& tokens = defaultWidgetTokens());

// The children of `parent` (none: the roots), topmost first, skipping out-of-flow ones; the first
// hit ends the search.
WidgetHit hitTestWidgetLayoutChildren(WidgetLayoutTree tree, std::optional<std::size_t> parent, Point point,
                                      const WidgetTokens& tokens = defaultWidgetTokens());

// One node and its subtree at a point in its parent's coordinates: mapped through the node's
// inverse transform (a transform with |det| <= 0.000001 hides the subtree from the pointer),
// clipped by scroll views and clipping nodes (half-open edges), children before the node.
WidgetHit hitTestWidgetLayoutNode(WidgetLayoutTree tree, std::size_t index, Point point,
                                  const WidgetTokens& tokens = defaultWidgetTokens());

// The widget that shows hover for a hit: an enabled link itself, else the nearest enabled node
// with an id that presses, toggles or is a hover kind (a data cell hands it to its row), else the
// hit itself.
WidgetHit hoverTargetForHit(WidgetLayoutTree tree, const WidgetHit& hit);

// Fills `entries` with the route of an event to `target`: the ancestors from the root down
// (capture), the target, the ancestors back up (bubble). WidgetDepthExceeded for a 32nd ancestor,
// WidgetEventRouteListFull when the route does not fit `entries` (at most 63 are used). An index
// out of range routes nowhere (no entries).
Result<std::span<WidgetRouteEntry>> routeWidgetEventPath(WidgetLayoutTree tree, std::size_t target,
                                                         std::span<WidgetRouteEntry> entries);

// Whether the node's rectangle can be seen through the scroll views and clipping nodes above it:
// each must overlap it (up to the first out-of-flow ancestor, whose own clip still counts).
bool canvasWidgetLayoutNodeFrameVisible(WidgetLayoutTree tree, std::size_t index);

// The node as a keyboard focus target: shown, not concealed, visible, with an id, enabled, and
// either focusable by its flags, role or kind, or scrolling content that overflows.
WidgetFocusTarget focusTargetFromLayoutNode(WidgetLayoutTree tree, std::size_t index);

// Where focus goes from the focused widget: the next or previous focus target in tree order
// (wrapping), or the nearest one in a direction (scored along the direction, ties to the lower
// index).
WidgetFocusTarget widgetLayoutFocusTarget(WidgetLayoutTree tree, std::optional<std::uint64_t> focusedId,
                                          WidgetFocusDirection direction);

}  // namespace kelvo
