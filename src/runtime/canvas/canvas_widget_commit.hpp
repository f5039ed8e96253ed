#pragma once

// Every change a user, the platform or automation makes to a canvas view's widgets ends the same
// way: the view's semantics are collected again, the widget revision grows, and the area the
// change touched is repainted. A change writes the nodes through a `CanvasWidgetChange`, which
// remembers what each node held before its first write; when the semantics cannot be collected
// the nodes go back to what they held and the error is returned, so a failed change leaves
// neither changed widgets nor a display that no longer matches them.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

struct Runtime;
struct CanvasSlot;

// What a change to a view's widgets gives back: the area to repaint (view coordinates; none
// when nothing visible changed), or the error that undid it.
using CanvasWidgetDirty = Result<std::optional<Rect>>;

// The fields of a node that widget changes write.
struct CanvasWidgetSavedFields {
    std::uint32_t index = 0;
    Rect rect;
    Rect frame;
    float value = 0;
    std::uint8_t selected = 0;
    std::uint8_t hidden = 0;
    std::optional<bool> expanded;
    std::optional<WidgetTextRange> selection;
    std::optional<WidgetTextRange> composition;
    std::string_view text;
};

// Where a change keeps the saved fields: one per node at most. Per thread, one change at a time.
struct CanvasWidgetChangeJournal {
    std::array<CanvasWidgetSavedFields, kMaxWidgetNodes> saved;
    std::bitset<kMaxWidgetNodes> recorded;
    std::size_t count = 0;
    bool open = false;
};

// One change to the nodes of a widget tree. Nodes are written only through `edit`.
class CanvasWidgetChange {
public:
    explicit CanvasWidgetChange(WidgetTreeStorage& tree);
    ~CanvasWidgetChange();
    CanvasWidgetChange(const CanvasWidgetChange&) = delete;
    CanvasWidgetChange& operator=(const CanvasWidgetChange&) = delete;

    // Node `index` (below the node count) to write; its fields are saved on the first call.
    WidgetLayoutNode& edit(std::size_t index);
    // Whether any node was written.
    [[nodiscard]] bool touched() const { return journal_.count != 0; }
    // Puts every written node back as it was before the change.
    void restore();

    [[nodiscard]] WidgetTreeStorage& tree() { return tree_; }

private:
    WidgetTreeStorage& tree_;
    CanvasWidgetChangeJournal& journal_;
};

// Ends `change` to the widgets of the canvas view at `viewIndex`. The view's semantics are
// collected again; when that fails the change is restored and the error returned, with nothing
// else touched. Otherwise the view's semantics revision and widget revision grow by one and
// `dirty` (view coordinates), when present, is invalidated; `dirty` is returned.
CanvasWidgetDirty commitCanvasWidgetChange(Runtime& runtime, std::size_t viewIndex, CanvasWidgetChange& change,
                                           std::optional<Rect> dirty);

// The canvas slot of the GPU canvas view at `viewIndex`, or null.
CanvasSlot* canvasWidgetSlot(Runtime& runtime, std::size_t viewIndex);

// Node `index`'s laid-out rectangle as it is drawn: clipped by the scroll views and clipping
// nodes above it; none when nothing of it can be seen.
std::optional<Rect> canvasWidgetNodeDirtyBounds(const Runtime& runtime, std::size_t viewIndex, std::size_t index);

}  // namespace kelvo
