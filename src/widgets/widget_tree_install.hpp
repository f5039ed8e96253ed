#pragma once

// The one way a widget tree gets into a view: the whole tree is checked first, and only a tree
// that passes replaces the stored one, so a refused tree changes nothing.

#include "base/error.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

// Checks `nodes` and `tokens`, then replaces the tree in `target` by a deep copy that points only
// into `target`. The nodes' own child arrays are not read: the nested descriptions are rebuilt
// from the flat pre-order array. The first refusal found, walking the nodes in order (ids are
// compared after the walk):
//   more than 1,024 nodes                                   WidgetNodeLimitReached
//   a density of 3                                          InvalidWidgetDensity
//   a kind code 61 to 63                                    InvalidWidgetKind
//   a control size code 6 or 7                              InvalidWidgetControlSize
//   a first node not at depth 0, or a depth more than one
//   below the node before it                                InvalidWidgetDepth
//   a depth above 31                                        WidgetDepthExceeded
//   a parent flag or index that is not the nearest earlier
//   node one level up (self-parents and cycles included)    InvalidWidgetParent
//   a non-zero id used twice                                DuplicateWidgetId
//   texts together over 65,536 bytes                        WidgetTextTooLarge
//   chart, category-label, context-menu or rich-text span
//   records over their capacities                          WidgetDataListFull
// Nodes may point into `target` itself (a tree re-installed from its own storage).
Status installWidgetTree(WidgetTreeStorage& target, WidgetLayoutTree nodes, const WidgetTokens& tokens);

// The checks alone, without installing.
Status validateWidgetTree(WidgetLayoutTree nodes, const WidgetTokens& tokens);

}  // namespace kelvo
