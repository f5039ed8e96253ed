#include "runtime/canvas/widget_targets.hpp"

#include <algorithm>
#include <cmath>

#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/windows/window_table.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

// The switch track at regular density; the others scale it.
constexpr float kTrackWidth = 44;
constexpr float kTrackHeight = 24;
constexpr float kTrackWidthPerHeight = 1.75f;
constexpr float kIndicatorPerHeight = 0.55f;

// An edge snapped towards 0 onto the device pixel grid.
float snapEdge(float edge, float scale) { return std::trunc(edge * scale) / scale; }

Rect snapped(Rect rect, float scale) {
    const float left = snapEdge(rect.x, scale);
    const float top = snapEdge(rect.y, scale);
    const float right = snapEdge(rect.x + rect.width, scale);
    const float bottom = snapEdge(rect.y + rect.height, scale);
    return {left, top, std::max(right - left, 0.0f), std::max(bottom - top, 0.0f)};
}

}  // namespace

tl::expected<CanvasWidgetTarget, WidgetTargetRefusal> canvasWidgetPointerTarget(WidgetLayoutTree tree,
                                                                                std::uint64_t widgetId) {
    if (widgetId == 0) return tl::unexpected(WidgetTargetRefusal::unknown);
    const auto found = std::find_if(tree.begin(), tree.end(),
                                    [widgetId](const WidgetLayoutNode& node) { return node.id == widgetId; });
    if (found == tree.end()) return tl::unexpected(WidgetTargetRefusal::unknown);
    const auto index = static_cast<std::size_t>(found - tree.begin());
    const WidgetLayoutNode& node = *found;
    if (isWidgetHiddenHereOrAbove(tree, index) || (node.disabled & 1u) != 0 || !isWidgetPointerTarget(node)) {
        return tl::unexpected(WidgetTargetRefusal::not_interactive);
    }
    // A frame without area is told apart before visibility, which it never has.
    const Rect frame = normalizeRect(node.rect);
    if (!(frame.width > 0) || !(frame.height > 0)) return tl::unexpected(WidgetTargetRefusal::empty_bounds);
    if (!canvasWidgetLayoutNodeFrameVisible(tree, index)) return tl::unexpected(WidgetTargetRefusal::not_interactive);
    return CanvasWidgetTarget{index, frame};
}

Result<CanvasWidgetTarget> canvasWidgetPointerTargetChecked(WidgetLayoutTree tree, std::uint64_t widgetId) {
    auto target = canvasWidgetPointerTarget(tree, widgetId);
    if (!target) return fail(Error::InvalidCommand);
    return *target;
}

Rect canvasWidgetAimRect(const WidgetLayoutNode& node, Rect frame, const WidgetTokens& tokens) {
    const WidgetKind kind = node.widgetKind();
    // The size factor the control is drawn with, so that the aim lands where it is drawn.
    const float s = controlSizeScale(node.size);
    Rect part;
    if (kind == WidgetKind::checkbox || kind == WidgetKind::radio) {
        const float side =
            std::min(std::max(densityIndicatorMin(tokens.density) * s, kIndicatorPerHeight * frame.height),
                     densityIndicatorMax(tokens.density) * s);
        part = {frame.x, frame.y + (frame.height - side) * 0.5f, side, side};
    } else if (kind == WidgetKind::switch_) {
        const float density = densityScale(tokens.density);
        const float width =
            std::min(frame.width, std::max(kTrackWidth * density * s, kTrackWidthPerHeight * frame.height));
        const float height = std::min(frame.height, kTrackHeight * density * s);
        part = {frame.x, frame.y + (frame.height - height) * 0.5f, width, height};
    } else {
        return frame;
    }
    const float scale = tokens.pixel_scale;
    if (tokens.snap_geometry && std::isfinite(scale) && scale > 0) part = snapped(part, scale);
    return part;
}

Point canvasWidgetAimPoint(const WidgetLayoutNode& node, Rect frame, const WidgetTokens& tokens) {
    const Rect aim = canvasWidgetAimRect(node, frame, tokens);
    return {aim.x + aim.width * 0.5f, aim.y + aim.height * 0.5f};
}

Result<std::size_t> canvasViewIndexByLabel(const Runtime& runtime, std::string_view label) {
    TRY(checkViewLabel(label));
    for (std::size_t i = 0; i < runtime.views.size(); ++i) {
        const RuntimeView& view = runtime.views[i];
        if (!view.open || view.kind != ViewKind::gpu_surface || view.label.view() != label) continue;
        if (findOpenWindow(runtime, view.windowId) != nullptr) return i;
    }
    return fail(Error::ViewNotFound);
}

}  // namespace kelvo
