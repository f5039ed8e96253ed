#include "runtime/canvas/canvas_widget_accessibility.hpp"

#include <array>
#include <cstring>
#include <type_traits>

#include "base/wyhash.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_stage_timer.hpp"
#include "runtime/runtime.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

constexpr std::array<std::uint8_t, kWidgetSemanticRoleCount> kRoleCodes = [] {
    std::array<std::uint8_t, kWidgetSemanticRoleCount> codes{};
    const auto set = [&](WidgetSemanticRole role, std::uint8_t code) { codes[static_cast<std::size_t>(role)] = code; };
    using R = WidgetSemanticRole;
    set(R::none, 0), set(R::group, 1), set(R::separator, 1), set(R::text, 2), set(R::image, 3), set(R::chart, 3);
    set(R::link, 4), set(R::button, 4), set(R::textbox, 5), set(R::tooltip, 6), set(R::dialog, 7), set(R::menu, 8);
    set(R::menuitem, 9), set(R::list, 10), set(R::tree, 10), set(R::listitem, 11), set(R::treeitem, 11);
    set(R::row, 12), set(R::grid, 13), set(R::gridcell, 14), set(R::tab, 15), set(R::checkbox, 16);
    set(R::switch_, 17), set(R::slider, 18), set(R::progressbar, 19), set(R::radio, 20);
    return codes;
}();

// Roles whose selection a numeric value of at least 0.5 shows (a checked box, the current tab).
bool valueShowsSelection(WidgetSemanticRole role) {
    switch (role) {
        case WidgetSemanticRole::tab:
        case WidgetSemanticRole::checkbox:
        case WidgetSemanticRole::radio:
        case WidgetSemanticRole::switch_:
        case WidgetSemanticRole::listitem:
        case WidgetSemanticRole::gridcell:
            return true;
        default:
            return false;
    }
}

bool bit(std::uint8_t flag) { return (flag & 1u) != 0; }

AccessibilityActions actionsOf(const WidgetActionSet& set) {
    return {bit(set.focus),     bit(set.press),      bit(set.toggle),        bit(set.increment),
            bit(set.decrement), bit(set.set_text),   bit(set.set_selection), bit(set.select),
            bit(set.drag),      bit(set.drop_files), bit(set.dismiss)};
}

std::optional<AccessibilityRange> rangeOf(const std::optional<WidgetTextRange>& range) {
    if (!range) return std::nullopt;
    return AccessibilityRange{range->start, range->end};
}

// Feeds the fingerprint field by field, each value as its bytes.
class FingerprintWriter {
public:
    template <class T>
    void value(const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        hash_.update(bytes);
    }
    template <class T>
    void optional(const std::optional<T>& v) {
        value<std::uint8_t>(v ? 1 : 0);
        if (v) value(*v);
    }
    void text(std::string_view t) {
        hash_.updateU64(t.size());
        hash_.update(t);
    }
    void range(const std::optional<AccessibilityRange>& r) {
        value<std::uint8_t>(r ? 1 : 0);
        if (r) value(r->start), value(r->end);
    }
    [[nodiscard]] std::uint64_t digest() const { return hash_.digest(); }

private:
    Wyhash hash_{0};
};

struct AccessibilityScratch {
    std::array<WidgetAccessibilityNode, kMaxPublishedAccessibilityNodes> nodes{};
};

// The view is published once it waits for no frame.
template <class Wanted>
Status flushDeferred(Runtime& runtime, Wanted wanted) {
    for (std::size_t i = 0; i < runtime.views.size(); ++i) {
        CanvasViewState& canvas = runtime.views[i].canvas;
        if (!canvas.accessibility.deferred || !wanted(runtime.views[i])) continue;
        canvas.accessibility.deferred = false;
        TRY(publishCanvasWidgetAccessibilityMaybeDeferred(runtime, i, false));
    }
    return {};
}

}  // namespace

std::uint32_t accessibilityRoleCode(WidgetSemanticRole role) {
    const auto index = static_cast<std::size_t>(role);
    return index < kRoleCodes.size() ? kRoleCodes[index] : 0;
}

std::size_t buildWidgetAccessibilityNodes(std::span<const WidgetSemanticsNode> semantics, const RuntimeView& view,
                                          std::span<WidgetAccessibilityNode> out) {
    const CanvasInteraction& ids = view.canvas.interaction;
    const auto is = [](std::uint64_t id, std::uint64_t widget) { return widget != 0 && id == widget; };
    const std::size_t n = std::min({semantics.size(), out.size(), kMaxPublishedAccessibilityNodes});
    for (std::size_t i = 0; i < n; ++i) {
        const WidgetSemanticsNode& s = semantics[i];
        WidgetAccessibilityNode& a = out[i];
        a = WidgetAccessibilityNode{};
        a.columnIndex = s.column_index;
        if (s.parent && *s.parent < semantics.size()) a.parentId = semantics[*s.parent].id;
        a.widgetId = s.id;
        a.label = s.label;
        a.valueText = s.value_text;
        a.placeholder = s.placeholder;
        a.selection = rangeOf(s.selection);
        a.composition = rangeOf(s.composition);
        a.columnCount = s.column_count;
        a.rowCount = s.row_count;
        a.rowIndex = s.row_index;
        if (s.list_position) {
            a.listIndex = s.list_position->index;
            a.listCount = s.list_position->count;
        }
        a.frame = {s.frame.x, s.frame.y, s.frame.width, s.frame.height};
        a.numericValue = s.numeric_value;
        a.role = accessibilityRoleCode(s.role);
        if (bit(s.scrollable)) {
            a.scrollOffset = s.scroll_offset;
            a.viewportExtent = s.scroll_viewport;
            a.contentExtent = s.scroll_content;
        }
        a.enabled = !bit(s.state.disabled);
        a.focused = bit(s.state.focused) || (view.focused && is(s.id, ids.focusedWidget));
        a.hovered = bit(s.state.hovered) || is(s.id, ids.hoveredWidget);
        a.pressed = bit(s.state.pressed) || is(s.id, ids.pressedWidget);
        a.selected =
            bit(s.state.selected) || (valueShowsSelection(s.role) && s.numeric_value && *s.numeric_value >= 0.5f);
        if (bit(s.state.expanded_present)) a.expanded = bit(s.state.expanded);
        a.required = bit(s.state.required);
        a.readOnly = bit(s.state.read_only);
        a.invalid = bit(s.state.invalid);
        a.focusable = bit(s.focusable);
        a.actions = actionsOf(s.actions);
    }
    return n;
}

std::uint64_t widgetAccessibilityFingerprint(std::span<const WidgetAccessibilityNode> nodes) {
    FingerprintWriter w;
    w.value<std::uint64_t>(nodes.size());
    for (const WidgetAccessibilityNode& a : nodes) {
        w.optional(a.columnIndex);
        w.optional(a.parentId);
        w.value(a.widgetId);
        w.text(a.label);
        w.text(a.valueText);
        w.text(a.placeholder);
        w.range(a.selection);
        w.range(a.composition);
        w.optional(a.columnCount);
        w.optional(a.rowCount);
        w.optional(a.rowIndex);
        w.optional(a.listIndex);
        w.value(a.frame.x), w.value(a.frame.y), w.value(a.frame.width), w.value(a.frame.height);
        w.optional(a.numericValue);
        w.value(a.role);
        w.optional(a.listCount);
        w.optional(a.scrollOffset);
        w.optional(a.viewportExtent);
        w.optional(a.contentExtent);
        for (bool flag : {a.enabled, a.focused, a.hovered, a.pressed, a.selected, a.expanded.value_or(false),
                          a.expanded.has_value(), a.required, a.readOnly, a.invalid, a.focusable}) {
            w.value<std::uint8_t>(flag ? 1 : 0);
        }
        const AccessibilityActions& x = a.actions;
        for (bool flag : {x.focus, x.press, x.toggle, x.increment, x.decrement, x.setText, x.setSelection, x.select,
                          x.drag, x.dropFiles, x.dismiss}) {
            w.value<std::uint8_t>(flag ? 1 : 0);
        }
    }
    return w.digest();
}

Status publishCanvasWidgetAccessibilityMaybeDeferred(Runtime& runtime, std::size_t viewIndex, bool deferAllowed) {
    if (viewIndex >= runtime.views.size()) return {};
    RuntimeView& view = runtime.views[viewIndex];
    if (view.kind != ViewKind::gpu_surface) return {};
    const std::optional<std::uint64_t> start = startCanvasStage(runtime);

    std::span<const WidgetSemanticsNode> semantics;
    if (const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view)) semantics = slot->semantics.nodes();
    std::span<WidgetAccessibilityNode> nodes = perThreadCanvasScratch<AccessibilityScratch>().nodes;
    nodes = nodes.first(buildWidgetAccessibilityNodes(semantics, view, nodes));
    const std::uint64_t fingerprint = widgetAccessibilityFingerprint(nodes);

    CanvasAccessibility& state = view.canvas.accessibility;
    if (state.published && state.fingerprint == fingerprint) {
        state.deferred = false;
        return {};
    }
    if (deferAllowed && runtime.canvasBatch.accessibilityDeferral != 0) {
        state.deferred = true;
        return {};
    }
    state.deferred = false;
    if (view.label.empty() || view.label.size() > kMaxViewLabel) return fail(Error::InvalidViewOptions);
    Status sent;
    if (const auto update = platformSlots(runtime).updateWidgetAccessibility) {
        sent = update(platformServices(runtime), view.windowId, view.label.view(), nodes);
    }
    if (sent) {
        state.published = true;
        state.fingerprint = fingerprint;
    }
    finishCanvasStage(runtime, FrameProfileStage::a11y, start);
    return sent;
}

Status flushDeferredCanvasWidgetAccessibility(Runtime& runtime) {
    return flushDeferred(runtime, [](const RuntimeView&) { return true; });
}

Status flushDeferredCanvasWidgetAccessibilityWithoutFrame(Runtime& runtime) {
    return flushDeferred(runtime, [](const RuntimeView& view) { return !view.canvas.frameRequested; });
}

}  // namespace kelvo
