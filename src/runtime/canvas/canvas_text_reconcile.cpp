#include "runtime/canvas/canvas_text_reconcile.hpp"

#include <cstring>

#include "widgets/text_edit_store.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kSlotMask = kMaxSavedTextStates - 1;
static_assert((kMaxSavedTextStates & kSlotMask) == 0, "the slot count is a power of two");

std::size_t slotOf(std::uint64_t id) {
    std::uint64_t x = id;
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return static_cast<std::size_t>(x ^ (x >> 11) ^ (x >> 22) ^ (x >> 33) ^ (x >> 44) ^ (x >> 55)) & kSlotMask;
}

bool carriesTextState(WidgetLayoutTree tree, std::size_t index) {
    const WidgetLayoutNode& node = tree[index];
    const WidgetKind kind = node.widgetKind();
    return node.id != 0 && (node.disabled & 1u) == 0 && (kind == WidgetKind::text || isTextEntryKind(kind)) &&
           !isWidgetHiddenHereOrAbove(tree, index);
}

}  // namespace

bool addSavedTextState(SavedTextStates& saved, const SavedTextState& state) {
    if (saved.count == kMaxSavedTextStates || state.text.size() > saved.text.size() - saved.textLength) return false;
    SavedTextState& stored = saved.states[saved.count++] = state;
    char* at = saved.text.data() + saved.textLength;
    if (!state.text.empty()) std::memcpy(at, state.text.data(), state.text.size());
    stored.text = std::string_view(at, state.text.size());
    saved.textLength += state.text.size();
    return true;
}

void indexSavedTextStates(SavedTextStates& saved) {
    saved.slots.fill(0);
    for (std::size_t i = 0; i < saved.count; ++i) {
        std::size_t slot = slotOf(saved.states[i].id);
        while (saved.slots[slot] != 0) slot = (slot + 1) & kSlotMask;
        saved.slots[slot] = static_cast<std::uint16_t>(i + 1);
    }
    saved.indexed = true;
}

const SavedTextState* findSavedTextState(const SavedTextStates& saved, std::uint64_t id) {
    if (!saved.indexed) {
        for (std::size_t i = 0; i < saved.count; ++i) {
            if (saved.states[i].id == id) return &saved.states[i];
        }
        return nullptr;
    }
    // A full index has no empty slot to stop at: every slot is probed at most once.
    std::size_t slot = slotOf(id);
    for (std::size_t probes = 0; probes < kMaxSavedTextStates && saved.slots[slot] != 0; ++probes) {
        const SavedTextState& state = saved.states[saved.slots[slot] - 1u];
        if (state.id == id) return &state;
        slot = (slot + 1) & kSlotMask;
    }
    return nullptr;
}

void saveCanvasTextStates(const WidgetTreeStorage& storage, SavedTextStates& saved) {
    saved.count = 0;
    saved.textLength = 0;
    const WidgetLayoutTree tree = storage.tree();
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (!carriesTextState(tree, i)) continue;
        const WidgetLayoutNode& node = tree[i];
        addSavedTextState(saved, {node.id, node.text, node.selection, node.composition, node.value, node.widgetKind()});
    }
    indexSavedTextStates(saved);
}

WidgetLayoutNode canvasWidgetLayoutNodeWithTextReconcileState(WidgetLayoutNode node, WidgetLayoutTree tree,
                                                              std::size_t index, const SavedTextStates& saved) {
    if (!carriesTextState(tree, index)) return node;
    const SavedTextState* state = findSavedTextState(saved, node.id);
    if (state == nullptr || state->kind != node.widgetKind() || state->text != node.text) return node;
    node.selection = state->selection;
    if (isTextEntryKind(node.widgetKind())) {
        node.composition = state->composition;
        node.value = state->scroll_offset;
    }
    return node;
}

void reconcileCanvasTextStates(WidgetTreeStorage& storage, const SavedTextStates& saved) {
    if (saved.count == 0) return;
    for (std::size_t i = 0; i < storage.node_count; ++i) {
        storage.nodes[i] = canvasWidgetLayoutNodeWithTextReconcileState(storage.nodes[i], storage.tree(), i, saved);
        syncWidgetChildDescription(storage, i);
    }
}

}  // namespace kelvo
