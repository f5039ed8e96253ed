#pragma once

// Carrying what a user did in text widgets (selection, composition, scroll position) across a
// new widget tree from the application: a widget that keeps its id, kind and text keeps them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxSavedTextStates = 2048;

struct SavedTextState {
    std::uint64_t id = 0;
    std::string_view text;  // in the saved states' own text buffer
    std::optional<WidgetTextRange> selection;
    std::optional<WidgetTextRange> composition;
    float scroll_offset = 0;
    WidgetKind kind = WidgetKind::text;
};

// The text states of a tree, with an index by id (open addressing over as many slots as states,
// probing at most every slot once).
struct SavedTextStates {
    std::array<SavedTextState, kMaxSavedTextStates> states;
    std::array<std::uint16_t, kMaxSavedTextStates> slots{};  // state index + 1; 0 empty
    std::array<char, kWidgetTextStoreBytes> text;
    std::size_t count = 0;
    std::size_t textLength = 0;
    bool indexed = false;
};

// Saves the states of the tree's enabled, shown text widgets (static texts and text entries with
// an id) and indexes them.
void saveCanvasTextStates(const WidgetTreeStorage& tree, SavedTextStates& saved);

// Adds one state (ids are unique within a tree); false when full. The index is not updated.
bool addSavedTextState(SavedTextStates& saved, const SavedTextState& state);
// Builds the index over the saved states.
void indexSavedTextStates(SavedTextStates& saved);
// The saved state of `id` (through the index when built, else by a scan), or null.
const SavedTextState* findSavedTextState(const SavedTextStates& saved, std::uint64_t id);

// `node` (at `index` of `tree`) with the saved state of the same id and kind taken over when its
// text is byte for byte the saved one: the selection, and for text entries the composition and
// scroll offset. Other nodes come back as they are.
WidgetLayoutNode canvasWidgetLayoutNodeWithTextReconcileState(WidgetLayoutNode node, WidgetLayoutTree tree,
                                                              std::size_t index, const SavedTextStates& saved);

// Applies the above to every node of an installed tree.
void reconcileCanvasTextStates(WidgetTreeStorage& tree, const SavedTextStates& saved);

}  // namespace kelvo
