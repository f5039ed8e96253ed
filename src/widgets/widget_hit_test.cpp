#include <array>
#include <cmath>

#include "widgets/widget_routing.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_stacking.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

// A transform whose determinant is this small or smaller hides its subtree from the pointer.
constexpr float kSingularDeterminant = 0.000001f;

bool isIdentity(const Affine& m) { return m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1 && m.tx == 0 && m.ty == 0; }

// Left and top edges inside, right and bottom edges outside; an empty rectangle holds nothing.
bool containsHalfOpen(Rect rect, Point p) {
    rect = normalizeRect(rect);
    return rect.width > 0 && rect.height > 0 && p.x >= rect.x && p.x < rect.x + rect.width && p.y >= rect.y &&
           p.y < rect.y + rect.height;
}

WidgetHit hitOf(WidgetLayoutTree tree, std::size_t index) {
    const WidgetLayoutNode& node = tree[index];
    WidgetHit hit;
    hit.id = node.id;
    hit.depth = node.depth;
    hit.index = index;
    hit.rect = node.rect;
    hit.kind = node.kind & 0x3Fu;
    hit.state = widgetStateBytes(node);
    hit.role = node.role & 0x1Fu;
    hit.found = true;
    return hit;
}

bool qualifiesForHover(const WidgetLayoutNode& node) {
    return node.id != 0 && (node.disabled & 1u) == 0 &&
           ((node.actions.press & 1u) || (node.actions.toggle & 1u) || isHoverTargetKind(node.widgetKind()));
}

// Recursion follows children, whose indices only grow, and stops past the deepest level a tree
// may have, so a malformed tree cannot run it away.
constexpr std::size_t kMaxHitLevels = kMaxWidgetAncestorSteps + 1;

WidgetHit hitChildren(WidgetLayoutTree tree, std::optional<std::size_t> parent, Point point, const WidgetTokens& tokens,
                      std::size_t level);

WidgetHit hitNode(WidgetLayoutTree tree, std::size_t index, Point point, const WidgetTokens& tokens,
                  std::size_t level) {
    if (index >= tree.size() || level >= kMaxHitLevels) return {};
    const WidgetLayoutNode& node = tree[index];
    if (!isIdentity(node.transform)) {
        const Affine& m = node.transform;
        const float det = m.a * m.d - m.b * m.c;
        if (!(std::fabs(det) > kSingularDeterminant)) return {};
        point = {(m.d * point.x - m.c * point.y + m.c * m.ty - m.d * m.tx) / det,
                 (m.a * point.y - m.b * point.x + m.b * m.tx - m.a * m.ty) / det};
    }
    if (node.hidden & 1u) return {};
    if (widgetClipsChildren(node) && !containsHalfOpen(node.rect, point)) return {};
    const bool concealing = node.widgetKind() == WidgetKind::accordion && widgetAccordionConcealsContent(tree, index);
    if (!concealing) {
        WidgetHit child = hitChildren(tree, index, point, tokens, level + 1);
        if (child.found) return child;
    }
    if (node.id != 0 && (node.disabled & 1u) == 0 && isWidgetPointerTarget(node) &&
        containsHalfOpen(node.rect, point)) {
        return hitOf(tree, index);
    }
    return {};
}

WidgetHit hitChildren(WidgetLayoutTree tree, std::optional<std::size_t> parent, Point point, const WidgetTokens& tokens,
                      std::size_t level) {
    WidgetStackingCursor children(tree, parent, tokens, true);
    while (std::optional<std::size_t> child = children.next()) {
        if (tree[*child].out_of_flow & 1u) continue;
        WidgetHit hit = hitNode(tree, *child, point, tokens, level);
        if (hit.found) return hit;
    }
    return {};
}

}  // namespace

bool isWidgetPointerTarget(const WidgetDescription& widget) {
    return (widget.actions.press & 1u) || (widget.actions.toggle & 1u) || (widget.window_drag_region & 1u) ||
           isPointerTargetKind(widget.widgetKind()) ||
           (widget.widgetKind() == WidgetKind::chart && (widget.chart_interactive & 1u));
}

WidgetHit hitTestWidgetLayout(WidgetLayoutTree tree, Point point, const WidgetTokens& tokens) {
    // Floating nodes lie above the tree; their ancestors' transforms and clips do not apply.
    for (std::size_t i = tree.size(); i-- > 0;) {
        if ((tree[i].out_of_flow & 1u) == 0 || isWidgetHiddenHereOrAbove(tree, i) ||
            isWidgetConcealedByDisclosure(tree, i)) {
            continue;
        }
        WidgetHit hit = hitNode(tree, i, point, tokens, 0);
        if (hit.found) return hit;
    }
    return hitChildren(tree, std::nullopt, point, tokens, 0);
}

WidgetHit hitTestWidgetLayoutChildren(WidgetLayoutTree tree, std::optional<std::size_t> parent, Point point,
                                      const WidgetTokens& tokens) {
    return hitChildren(tree, parent, point, tokens, 0);
}

WidgetHit hitTestWidgetLayoutNode(WidgetLayoutTree tree, std::size_t index, Point point, const WidgetTokens& tokens) {
    return hitNode(tree, index, point, tokens, 0);
}

WidgetHit hoverTargetForHit(WidgetLayoutTree tree, const WidgetHit& hit) {
    if (!hit.found || hit.index >= tree.size()) return {};
    if (hit.role == static_cast<std::uint8_t>(WidgetSemanticRole::link) && (hit.state.disabled & 1u) == 0) return hit;
    const std::size_t from = static_cast<std::size_t>(hit.index);
    std::optional<std::size_t> target;
    if (qualifiesForHover(tree[from])) {
        target = from;
    } else {
        forEachWidgetAncestor(tree, from, [&](std::size_t ancestor) {
            if (qualifiesForHover(tree[ancestor])) target = ancestor;
            return !target;
        });
    }
    if (!target) return hit;
    // A cell hovers its whole row.
    if (tree[*target].widgetKind() == WidgetKind::data_cell) {
        forEachWidgetAncestor(tree, *target, [&](std::size_t ancestor) {
            if (tree[ancestor].widgetKind() != WidgetKind::data_row) return true;
            target = ancestor;
            return false;
        });
    }
    return hitOf(tree, *target);
}

Result<std::span<WidgetRouteEntry>> routeWidgetEventPath(WidgetLayoutTree tree, std::size_t target,
                                                         std::span<WidgetRouteEntry> entries) {
    if (target >= tree.size()) return entries.first(0);
    std::array<std::size_t, kMaxWidgetDepth> ancestors;
    std::size_t count = 0;
    for (std::optional<std::size_t> at = widgetParentIndex(tree, target); at; at = widgetParentIndex(tree, *at)) {
        if (count == ancestors.size()) return fail(Error::WidgetDepthExceeded);
        ancestors[count++] = *at;
    }
    const std::size_t length = 2 * count + 1;
    if (length > std::min(entries.size(), kMaxWidgetRouteEntries)) return fail(Error::WidgetEventRouteListFull);
    auto entry = [&](std::size_t index, WidgetRoutePhase phase) {
        const WidgetLayoutNode& node = tree[index];
        return WidgetRouteEntry{index, node.id, node.rect, phase, static_cast<std::uint8_t>(node.kind & 0x3Fu)};
    };
    std::size_t at = 0;
    for (std::size_t i = count; i-- > 0;) entries[at++] = entry(ancestors[i], WidgetRoutePhase::capture);
    entries[at++] = entry(target, WidgetRoutePhase::target);
    for (std::size_t i = 0; i < count; ++i) entries[at++] = entry(ancestors[i], WidgetRoutePhase::bubble);
    return entries.first(length);
}

}  // namespace kelvo
