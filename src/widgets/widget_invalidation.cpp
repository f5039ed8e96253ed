#include "widgets/widget_invalidation.hpp"

#include <algorithm>

#include "widgets/commands.hpp"
#include "widgets/widget_control_geometry.hpp"
#include "widgets/widget_render.hpp"
#include "widgets/widget_render_chart.hpp"
#include "widgets/widget_render_style.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

Rect grown(Rect rect, float by) {
    rect = normalizeRect(rect);
    return {rect.x - by, rect.y - by, rect.width + 2 * by, rect.height + 2 * by};
}

float atLeastZero(float value) { return value > 0 ? value : 0.0f; }

// The explicit stroke width, else the block's border width, else `fallback`.
float strokeOr(const WidgetDescription& record, const ControlVisualTokens& block, float fallback) {
    if (record.stroke_override) return *record.stroke_override;
    return block.border_width.value_or(fallback);
}

std::optional<Rect> intersected(Rect a, Rect b) {
    const float left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const float right = std::min(a.x + a.width, b.x + b.width), bottom = std::min(a.y + a.height, b.y + b.height);
    if (!(right - left > 0 && bottom - top > 0)) return std::nullopt;
    return Rect{left, top, right - left, bottom - top};
}

}  // namespace

float widgetFrameStrokeWidth(const WidgetDescription& record, const WidgetTokens& tokens) {
    const auto code = static_cast<unsigned>(record.widgetKind());
    const WidgetKind kind = record.widgetKind();
    const bool focused = (record.focused & 1u) != 0;
    if (code >= 14 && code <= 25) {
        return strokeOr(record, surfaceControlVisualTokens(kind, tokens), tokens.surface_border_width);
    }
    switch (kind) {
        case WidgetKind::avatar:
        case WidgetKind::badge:
            return atLeastZero(
                strokeOr(record, componentControlVisualTokens(kind, tokens), tokens.surface_border_width));
        case WidgetKind::button:
        case WidgetKind::toggle_button:
        case WidgetKind::icon_button:
        case WidgetKind::toggle_button_b:
            return focused ? tokens.focus_ring_width : buttonStrokeWidth(record, tokens);
        case WidgetKind::select: {
            const ControlVisualTokens block = controlVisualTokensWithFallback(tokens.block(ControlBlock::select),
                                                                              tokens.block(ControlBlock::button_v3));
            return focused ? tokens.focus_ring_width
                           : atLeastZero(strokeOr(record, block, tokens.control_border_width));
        }
        case WidgetKind::text_field:
        case WidgetKind::text_field_b:
        case WidgetKind::search_field:
        case WidgetKind::combo_box:
        case WidgetKind::text_area:
        case WidgetKind::input_group:
            return focused ? tokens.focus_ring_width
                           : atLeastZero(strokeOr(record, textEntryControlVisualTokens(kind, tokens),
                                                  tokens.control_border_width));
        case WidgetKind::menu_item:
        case WidgetKind::list_item:
            return focused ? tokens.focus_ring_width : 0.0f;
        case WidgetKind::data_cell:
            return focused ? tokens.focus_ring_width
                           : strokeOr(record, listItemControlVisualTokens(kind, tokens), tokens.surface_border_width);
        case WidgetKind::segmented_control:
        case WidgetKind::checkbox:
        case WidgetKind::radio:
        case WidgetKind::switch_:
        case WidgetKind::slider:
            return focused ? tokens.focus_ring_width
                           : strokeOr(record, selectionControlVisualTokens(kind, tokens), tokens.control_border_width);
        default:
            return 0;
    }
}

std::optional<Rect> widgetFrameStrokeBounds(const WidgetDescription& record, const WidgetTokens& tokens) {
    const float width = widgetFrameStrokeWidth(record, tokens);
    if (!(width > 0)) return std::nullopt;
    return grown(widgetInteractiveStatePaintBounds(record, tokens), width / 2);
}

std::optional<Rect> widgetFocusPaintBounds(const WidgetDescription& record, const WidgetTokens& tokens) {
    const float width = tokens.focus_ring_width;
    if ((record.focused & 1u) == 0 || !(width > 0)) return std::nullopt;
    const float offset = atLeastZero(tokens.focus_ring_offset);
    switch (record.widgetKind()) {
        // These draw rings too, though not among the ring kinds: the accordion around its frame
        // at the ring offset, the split divider on its frame.
        case WidgetKind::accordion:
            return grown(record.frame, offset + width / 2);
        case WidgetKind::split_divider:
            return grown(record.frame, width / 2);
        default:
            if (!drawsFocusRing(record.widgetKind())) return std::nullopt;
            return grown(widgetInteractiveStatePaintBounds(record, tokens), offset + width / 2);
    }
}

Rect widgetInteractiveStatePaintBounds(const WidgetDescription& record, const WidgetTokens& tokens) {
    switch (record.widgetKind()) {
        case WidgetKind::checkbox:
        case WidgetKind::radio:
            return checkboxIndicatorRect(record, tokens);
        case WidgetKind::switch_:
            return toggleWidgetTrackRect(record, tokens);
        case WidgetKind::slider:
            return sliderWidgetKnobRect(record, tokens);
        default:
            return normalizeRect(record.frame);
    }
}

std::optional<Rect> widgetClippedDirtyBounds(WidgetLayoutTree tree, std::size_t index, std::optional<Rect> dirty) {
    if (!dirty || isWidgetHiddenHereOrAbove(tree, index)) return std::nullopt;
    std::optional<Rect> rect = normalizeRect(*dirty);
    // Parents come before their children, so the walk ends; a parent index that is not before its
    // child is as unusable as one out of range.
    for (std::size_t at = index;;) {
        const WidgetLayoutNode& node = tree[at];
        if ((node.out_of_flow & 1u) || (node.has_parent & 1u) == 0) return rect;
        if (node.parent >= at) return std::nullopt;
        const std::size_t parent = static_cast<std::size_t>(node.parent);
        if (widgetClipsChildren(tree[parent])) {
            rect = intersected(*rect, normalizeRect(tree[parent].rect));
            if (!rect) return std::nullopt;
        }
        at = parent;
    }
}

std::optional<Rect> inputGroupFocusWithinBounds(WidgetLayoutTree tree, std::optional<std::uint64_t> focusId,
                                                const WidgetTokens& tokens) {
    if (!focusId || *focusId == 0) return std::nullopt;
    std::optional<std::size_t> focused;
    for (std::size_t i = 0; i < tree.size() && !focused; ++i) {
        if (tree[i].id == *focusId) focused = i;
    }
    if (!focused) return std::nullopt;
    std::optional<Rect> bounds;
    forEachWidgetAncestor(tree, *focused, [&](std::size_t ancestor) {
        if (tree[ancestor].widgetKind() != WidgetKind::input_group) return true;
        WidgetDescription group = tree[ancestor];
        group.focused = 1;
        group.frame = tree[ancestor].rect;
        bounds = unionOptionalBounds(bounds,
                                     widgetClippedDirtyBounds(tree, ancestor, widgetFocusPaintBounds(group, tokens)));
        return true;
    });
    return bounds;
}

std::optional<Rect> widgetStateChangePaintBounds(WidgetLayoutTree tree, std::size_t index, const WidgetTokens& tokens,
                                                 const WidgetRenderState& before, const WidgetRenderState& after) {
    if (index >= tree.size()) return std::nullopt;
    const WidgetDescription old = prepareWidgetRenderRecord(tree, index, tokens, before, kSiblingAlone);
    const WidgetDescription now = prepareWidgetRenderRecord(tree, index, tokens, after, kSiblingAlone);
    std::optional<Rect> area;
    if (widgetFrameStrokeWidth(old, tokens) != widgetFrameStrokeWidth(now, tokens)) {
        area = unionOptionalBounds(widgetFrameStrokeBounds(old, tokens), widgetFrameStrokeBounds(now, tokens));
    }
    for (const WidgetDescription* record : {&old, &now}) {
        area = unionOptionalBounds(area, widgetFocusPaintBounds(*record, tokens));
        area = unionOptionalBounds(area, widgetInteractiveStatePaintBounds(*record, tokens));
    }
    return widgetClippedDirtyBounds(tree, index, area);
}

std::optional<Rect> renderStateSurroundingsPaintBounds(WidgetLayoutTree tree, const WidgetTokens& tokens,
                                                       const WidgetRenderState& before,
                                                       const WidgetRenderState& after) {
    std::optional<Rect> area;
    for (const WidgetRenderState* state : {&before, &after}) {
        area = unionOptionalBounds(area, inputGroupFocusWithinBounds(tree, state->focused, tokens));
        area = unionOptionalBounds(area, chartHoverDetailDirtyBounds(tree, tokens, *state));
    }
    return area;
}

}  // namespace kelvo
