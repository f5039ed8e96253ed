#include "widgets/widget_render.hpp"

#include "widgets/widget_render_chart.hpp"
#include "widgets/widget_render_content.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"
#include "widgets/widget_render_surfaces.hpp"
#include "widgets/widget_stacking.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr float kSingularDeterminant = 1e-6f;
constexpr unsigned kContentClipPart = 9;
constexpr unsigned kBlurPart = 12;

// Everything one emission passes down the tree. The tokens change below a bubble.
struct Emission {
    WidgetRenderTarget& out;
    WidgetLayoutTree tree;
    const WidgetRenderState& state;
};

Status emitNode(const Emission& e, std::size_t index, const WidgetTokens& tokens, int position, std::size_t level);
Status emitChildren(const Emission& e, std::optional<std::size_t> parent, const WidgetTokens& tokens,
                    std::size_t level);

bool matches(const std::optional<std::uint64_t>& id, std::uint64_t widgetId) {
    return id && widgetId != 0 && *id == widgetId;
}

bool isIdentity(const Affine& m) { return m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1 && m.tx == 0 && m.ty == 0; }

std::uint8_t attachCode(int position) {
    switch (position) {
        case kSiblingFirst:
            return 1;
        case kSiblingMiddle:
            return 2;
        case kSiblingLast:
            return 3;
        default:
            return 0;
    }
}

float backdropBlurRadius(const WidgetDescription& node, const WidgetTokens& tokens) {
    if (node.blur_radius > 0) return node.blur_radius;
    if (!isSet(node.blur_from_token)) return 0;
    switch (node.blur_level & 3u) {
        case 0:
            return std::max(tokens.blur_small, 0.0f);
        case 2:
            return std::max(tokens.blur_large, 0.0f);
        default:
            return std::max(tokens.blur_medium, 0.0f);
    }
}

Status emitContentClipped(const Emission& e, std::size_t index, const WidgetTokens& tokens,
                          const WidgetDescription& record, std::size_t level) {
    if (!isSet(record.clips)) return emitChildren(e, index, tokens, level);
    TRY(e.out.append(CanvasCommand::pushClip(widgetContentClip(record, tokens))));
    TRY(emitChildren(e, index, tokens, level));
    return appendPopClip(e.out);
}

Status emitScrollable(const Emission& e, std::size_t index, const WidgetTokens& tokens, const WidgetDescription& record,
                      std::size_t level) {
    const PushClipCommand clip = isSet(record.clips) ? widgetContentClip(record, tokens)
                                                     : PushClipCommand{widgetCommandId(record.id, 1), record.frame, {}};
    TRY(e.out.append(CanvasCommand::pushClip(clip)));
    TRY(emitChildren(e, index, tokens, level));
    TRY(appendPopClip(e.out));
    if (isSet(record.platform_driven)) return {};
    return emitScrollViewScrollbar(e.out, record.frame, widgetScrollSemantics(e.tree, index), tokens, record.id);
}

using KindEmitter = Status (*)(WidgetRenderTarget&, const WidgetDescription&, const WidgetTokens&);

// The emitter that draws a kind before its children, or null for plain containers.
KindEmitter kindEmitter(WidgetKind kind) {
    switch (kind) {
        case WidgetKind::tab_list:
            return emitTabsListWidgetChrome;
        case WidgetKind::resizable_panel:
        case WidgetKind::panel:
            return emitPanelWidgetChrome;
        case WidgetKind::alert:
            return emitAlertWidgetChrome;
        case WidgetKind::card:
            return emitCardWidgetChrome;
        case WidgetKind::dialog:
            return emitDialogSurfaceWidgetChrome;
        case WidgetKind::drawer:
            return emitDrawerSurfaceWidgetChrome;
        case WidgetKind::sheet:
            return emitSheetSurfaceWidgetChrome;
        case WidgetKind::popover:
            return emitPopoverWidgetChrome;
        case WidgetKind::menu:
        case WidgetKind::menu_b:
            return emitMenuSurfaceWidgetChrome;
        case WidgetKind::text:
            return emitTextWidget;
        case WidgetKind::icon:
            return emitIconWidget;
        case WidgetKind::image:
            return emitImageWidget;
        case WidgetKind::avatar:
            return emitAvatarWidget;
        case WidgetKind::badge:
            return emitBadgeWidget;
        case WidgetKind::button:
        case WidgetKind::toggle_button:
        case WidgetKind::toggle_button_b:
            return emitButtonWidget;
        case WidgetKind::icon_button:
            return emitIconButtonWidget;
        case WidgetKind::select:
            return emitSelectWidget;
        case WidgetKind::text_field:
        case WidgetKind::text_field_b:
        case WidgetKind::text_area:
            return emitTextFieldWidget;
        case WidgetKind::search_field:
        case WidgetKind::combo_box:
            return emitSearchFieldWidget;
        case WidgetKind::tooltip:
            return emitTooltipWidget;
        case WidgetKind::menu_item:
            return emitMenuItemWidget;
        case WidgetKind::list_item:
            return emitListItemWidget;
        case WidgetKind::data_row:
            return emitDataRowWidgetWash;
        case WidgetKind::data_cell:
            return emitDataCellContent;
        case WidgetKind::status_bar:
            return emitStatusBarWidget;
        case WidgetKind::segmented_control:
            return emitSegmentedControlWidget;
        case WidgetKind::checkbox:
            return emitCheckboxWidget;
        case WidgetKind::radio:
            return emitRadioWidget;
        case WidgetKind::switch_:
            return emitToggleWidget;
        case WidgetKind::slider:
            return emitSliderWidget;
        case WidgetKind::progress_bar:
            return emitProgressWidget;
        case WidgetKind::separator:
            return emitSeparatorWidget;
        case WidgetKind::skeleton:
            return emitSkeletonWidget;
        case WidgetKind::spinner:
            return emitSpinnerWidget;
        case WidgetKind::split_divider:
            return emitSplitDividerWidget;
        case WidgetKind::chart:
            return emitChartWidget;
        case WidgetKind::input_group:
            return emitInputGroupWidget;
        default:
            return nullptr;
    }
}

// The kind's own commands and its children.
Status emitKind(const Emission& e, std::size_t index, const WidgetTokens& tokens, const WidgetDescription& record,
                std::size_t level) {
    switch (record.widgetKind()) {
        case WidgetKind::virtual_grid:
        case WidgetKind::virtual_list:
            if (isSet(record.scrollable)) return emitScrollable(e, index, tokens, record, level);
            return emitContentClipped(e, index, tokens, record, level);
        case WidgetKind::data_grid:
        case WidgetKind::data_grid_b: {
            const bool scrolls = isSet(record.scrollable);
            TRY(scrolls ? emitScrollable(e, index, tokens, record, level)
                        : emitContentClipped(e, index, tokens, record, level));
            return emitTableRowSeparatorsLayout(e.out, e.tree, index, tokens, scrolls, record);
        }
        case WidgetKind::scroll_view:
            TRY(appendPushClip(e.out, widgetCommandId(record.id, 1), record.frame, {}));
            TRY(emitChildren(e, index, tokens, level));
            TRY(appendPopClip(e.out));
            if (isSet(record.platform_driven)) return {};
            return emitScrollViewScrollbar(e.out, record.frame, widgetScrollSemantics(e.tree, index), tokens,
                                           record.id);
        case WidgetKind::accordion:
            TRY(emitAccordionWidgetChrome(e.out, record, tokens));
            switch (accordionLayoutDisclosure(e.tree, index, record, e.state)) {
                case AccordionDisclosure::collapsed:
                    return {};
                case AccordionDisclosure::open:
                    return emitContentClipped(e, index, tokens, record, level);
                case AccordionDisclosure::clipped:
                    TRY(appendPushClip(e.out, widgetCommandId(record.id, kContentClipPart), record.frame, {}));
                    TRY(emitChildren(e, index, tokens, level));
                    return appendPopClip(e.out);
            }
            return {};
        case WidgetKind::bubble: {
            TRY(emitBubbleWidgetChrome(e.out, record, tokens));
            const WidgetTokens content = bubbleContentTokens(record, tokens);
            TRY(emitContentClipped(e, index, content, record, level));
            return emitBubbleWidgetReactions(e.out, record, tokens);
        }
        case WidgetKind::dialog:
        case WidgetKind::drawer:
        case WidgetKind::sheet:
            TRY(emitModalSurfaceScrim(e.out, record, tokens));
            break;
        default:
            break;
    }
    if (KindEmitter emit = kindEmitter(record.widgetKind())) TRY(emit(e.out, record, tokens));
    return emitContentClipped(e, index, tokens, record, level);
}

Status emitNode(const Emission& e, std::size_t index, const WidgetTokens& tokens, int position, std::size_t level) {
    if (index >= e.tree.size()) return {};
    if (level > kMaxWidgetDepth) return fail(Error::WidgetDepthExceeded);
    const WidgetLayoutNode& node = e.tree[index];
    if (isSet(node.hidden)) return {};
    const float opacity = std::min(node.opacity, 1.0f);
    if (!(opacity > 0)) return {};

    const Affine& m = node.transform;
    const bool transformed = !isIdentity(m);
    Affine inverse;
    if (transformed) {
        const float det = m.a * m.d - m.b * m.c;
        // A transform that cannot be undone draws nothing of the subtree, like opacity 0.
        if (!(std::fabs(det) > kSingularDeterminant) || !std::isfinite(det)) return {};
        inverse = {m.d / det,
                   -m.b / det,
                   -m.c / det,
                   m.a / det,
                   (m.c * m.ty - m.d * m.tx) / det,
                   (m.b * m.tx - m.a * m.ty) / det};
    }

    const WidgetDescription record = prepareWidgetRenderRecord(e.tree, index, tokens, e.state, position);
    if (opacity < 1) TRY(e.out.append(CanvasCommand::pushOpacity(opacity)));
    if (transformed) TRY(e.out.append(CanvasCommand::transformBy(m)));
    const float blur = backdropBlurRadius(node, tokens);
    if (blur > 0 && record.frame.width != 0 && record.frame.height != 0) {
        TRY(e.out.append(CanvasCommand::blurOf({widgetCommandId(node.id, kBlurPart), record.frame, blur})));
    }
    TRY(emitKind(e, index, tokens, record, level));
    if (transformed) TRY(e.out.append(CanvasCommand::transformBy(inverse)));
    if (opacity < 1) TRY(e.out.append(CanvasCommand::popOpacity()));
    return {};
}

Status emitChildren(const Emission& e, std::optional<std::size_t> parent, const WidgetTokens& tokens,
                    std::size_t level) {
    const WidgetLayoutTree tree = e.tree;
    if (parent && *parent >= tree.size()) return {};
    // Attached siblings: the children of a spaced row without a gap get position codes among the
    // visible ones, in tree order.
    bool positioned = false;
    std::size_t visible = 0;
    std::size_t end = 0;
    if (parent) {
        const WidgetLayoutNode& p = tree[*parent];
        positioned = p.widgetKind() == WidgetKind::spaced_row && (tokens.attached_groups || p.gap <= 0);
        end = widgetSubtreeEnd(tree, *parent);
        for (std::size_t i = *parent + 1; positioned && i < end; ++i) {
            visible += widgetParentIndex(tree, i) == parent && !isSet(tree[i].hidden);
        }
    }
    const auto positionOf = [&](std::size_t child) {
        if (!positioned || visible <= 1) return kSiblingAlone;
        std::size_t place = 0;
        for (std::size_t i = *parent + 1; i < child; ++i) {
            place += widgetParentIndex(tree, i) == parent && !isSet(tree[i].hidden);
        }
        if (place == 0) return kSiblingFirst;
        return place + 1 == visible ? kSiblingLast : kSiblingMiddle;
    };
    WidgetStackingCursor children(tree, parent, tokens, false);
    while (const std::optional<std::size_t> child = children.next()) {
        if (isSet(tree[*child].out_of_flow)) continue;
        TRY(emitNode(e, *child, tokens, positionOf(*child), level + 1));
    }
    return {};
}

bool isVisibleAndShown(WidgetLayoutTree tree, std::size_t index) {
    return !isWidgetHiddenHereOrAbove(tree, index) && !isWidgetConcealedByDisclosure(tree, index);
}

}  // namespace

WidgetDescription prepareWidgetRenderRecord(WidgetLayoutTree tree, std::size_t index, const WidgetTokens& tokens,
                                            const WidgetRenderState& state, int siblingPosition) {
    const WidgetLayoutNode& node = tree[index];
    WidgetDescription record = node;
    record.frame = snapWidgetRect(node.rect, tokens);
    if (state.focus_visible) {
        record.focused = matches(state.focus_visible, node.id) ? 1 : 0;
    } else if (state.focused) {
        record.focused = 0;
    }
    if (state.hovered) record.hovered = matches(state.hovered, node.id) ? 1 : 0;
    if (state.pressed) record.pressed = matches(state.pressed, node.id) ? 1 : 0;
    record.attach_position = attachCode(siblingPosition);
    if (node.widgetKind() == WidgetKind::input_group && !isSet(record.focused)) {
        const bool within = state.focused || state.focus_visible
                                ? layoutSubtreeHasFocusVisible(tree, index, state.focus_visible)
                                : layoutSubtreeHasBakedFocus(tree, index);
        record.focused = within ? 1 : 0;
    }
    return record;
}

PushClipCommand widgetContentClip(const WidgetDescription& record, const WidgetTokens& tokens) {
    float radius = 0;
    switch (record.widgetKind()) {
        case WidgetKind::bubble:
            radius = firstOf(record.radius_override, std::max(tokens.radius_medium, 0.0f) + 12);
            break;
        case WidgetKind::resizable_panel:
        case WidgetKind::alert:
        case WidgetKind::card:
        case WidgetKind::drawer:
        case WidgetKind::sheet:
        case WidgetKind::panel:
        case WidgetKind::menu:
        case WidgetKind::menu_b:
            radius = tokens.radius_medium;
            break;
        case WidgetKind::dialog:
        case WidgetKind::popover:
            radius = tokens.radius_large;
            break;
        case WidgetKind::tooltip:
            radius = tokens.radius_small;
            break;
        default:
            break;
    }
    return {widgetCommandId(record.id, kContentClipPart), record.frame, uniformRadii(radius)};
}

bool layoutSubtreeHasBakedFocus(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return false;
    const std::size_t end = widgetSubtreeEnd(tree, index);
    for (std::size_t i = index + 1; i < end; ++i) {
        if (isSet(tree[i].focused)) return true;
    }
    return false;
}

bool layoutSubtreeHasFocusVisible(WidgetLayoutTree tree, std::size_t index, std::optional<std::uint64_t> focusVisible) {
    if (!focusVisible || *focusVisible == 0 || index >= tree.size()) return false;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].id != *focusVisible) continue;
        if (i == index) return true;
        bool below = false;
        forEachWidgetAncestor(tree, i, [&](std::size_t ancestor) {
            below = ancestor == index;
            return !below;
        });
        return below;
    }
    return false;
}

Status emitWidgetLayoutNode(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t index,
                            const WidgetTokens& tokens, const WidgetRenderState& state, int siblingPosition) {
    return emitNode({out, tree, state}, index, tokens, siblingPosition, 0);
}

Status emitWidgetLayoutChildren(WidgetRenderTarget& out, WidgetLayoutTree tree, std::optional<std::size_t> parent,
                                const WidgetTokens& tokens, const WidgetRenderState& state) {
    return emitChildren({out, tree, state}, parent, tokens, 0);
}

Status emitWidgetLayoutClippedChildren(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t index,
                                       const WidgetTokens& tokens, const WidgetRenderState& state,
                                       const WidgetDescription& record) {
    return emitContentClipped({out, tree, state}, index, tokens, record, 0);
}

Status emitWidgetLayoutScrollableChildren(WidgetRenderTarget& out, WidgetLayoutTree tree, std::size_t index,
                                          const WidgetTokens& tokens, const WidgetRenderState& state,
                                          const WidgetDescription& record) {
    return emitScrollable({out, tree, state}, index, tokens, record, 0);
}

Status emitWidgetTree(WidgetRenderTarget& out, WidgetLayoutTree tree, const WidgetTokens& tokens,
                      const WidgetRenderState& state) {
    WidgetRenderScratch& scratch = widgetRenderScratch();
    scratch.reset();
    for (const WidgetLayoutNode& node : tree) {
        if (!isSet(node.has_parent)) scratch.scrim_viewport = unionOptionalBounds(scratch.scrim_viewport, node.rect);
    }
    const auto emitLayers = [&]() -> Status {
        TRY(emitWidgetLayoutChildren(out, tree, std::nullopt, tokens, state));
        for (std::size_t i = 0; i < tree.size(); ++i) {
            if (!isSet(tree[i].out_of_flow) || !isVisibleAndShown(tree, i)) continue;
            TRY(emitWidgetLayoutNode(out, tree, i, tokens, state, kSiblingAlone));
        }
        return emitChartHoverDetail(out, tree, tokens, state);
    };
    const Status emitted = emitLayers();
    // The scrim covers this tree's roots only while this tree is drawn.
    scratch.scrim_viewport.reset();
    return emitted;
}

}  // namespace kelvo
