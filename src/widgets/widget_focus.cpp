#include <algorithm>
#include <cmath>

#include "widgets/widget_routing.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

bool overlapsOnBothAxes(Rect a, Rect b) {
    return std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x) > 0 &&
           std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y) > 0;
}

bool focusableByFlags(const WidgetLayoutNode& node) {
    return (node.focusable & 1u) || (node.actions.focus & 1u) ||
           (node.role & 0x1Fu) == static_cast<unsigned>(WidgetSemanticRole::treeitem) ||
           isKeyboardFocusKind(node.widgetKind());
}

// Distance between the intervals [a0, a1] and [b0, b1]; 0 when they overlap.
double intervalGap(double a0, double a1, double b0, double b1) { return std::max({0.0, b0 - a1, a0 - b1}); }

struct Candidate {
    WidgetFocusTarget target;
    double score = 0;
};

// The score of `to` seen from `from` in a direction, or none when it does not lie that way: the
// distance of the centres along the direction and the gap across it weigh 4096 times the
// distance of the centres across.
std::optional<double> directionalScore(Rect from, Rect to, WidgetFocusDirection direction) {
    const double cx = from.x + from.width / 2.0, cy = from.y + from.height / 2.0;
    const double tx = to.x + to.width / 2.0, ty = to.y + to.height / 2.0;
    const bool horizontal = direction == WidgetFocusDirection::left || direction == WidgetFocusDirection::right;
    bool inDirection = false;
    switch (direction) {
        case WidgetFocusDirection::left:
            inDirection = to.x + to.width <= cx;
            break;
        case WidgetFocusDirection::right:
            inDirection = to.x >= cx;
            break;
        case WidgetFocusDirection::up:
            inDirection = to.y + to.height <= cy;
            break;
        default:
            inDirection = to.y >= cy;
            break;
    }
    if (!inDirection) return std::nullopt;
    const double along = horizontal ? std::fabs(tx - cx) : std::fabs(ty - cy);
    const double across = horizontal ? std::fabs(ty - cy) : std::fabs(tx - cx);
    const double gap = horizontal ? intervalGap(from.y, from.y + from.height, to.y, to.y + to.height)
                                  : intervalGap(from.x, from.x + from.width, to.x, to.x + to.width);
    return 4096.0 * (along + gap) + across;
}

}  // namespace

bool canvasWidgetLayoutNodeFrameVisible(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return false;
    const WidgetLayoutNode& node = tree[index];
    const Rect rect = normalizeRect(node.rect);
    if (!(rect.width > 0 && rect.height > 0)) return false;
    if (node.out_of_flow & 1u) return true;
    bool visible = true;
    forEachWidgetAncestor(tree, index, [&](std::size_t ancestor) {
        const WidgetLayoutNode& above = tree[ancestor];
        if (widgetClipsChildren(above) && !overlapsOnBothAxes(normalizeRect(above.rect), rect)) {
            visible = false;
            return false;
        }
        return (above.out_of_flow & 1u) == 0;
    });
    return visible;
}

WidgetFocusTarget focusTargetFromLayoutNode(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return {};
    const WidgetLayoutNode& node = tree[index];
    if (node.id == 0 || (node.disabled & 1u) || isWidgetHiddenHereOrAbove(tree, index) ||
        isWidgetConcealedByDisclosure(tree, index) || !canvasWidgetLayoutNodeFrameVisible(tree, index)) {
        return {};
    }
    if (!focusableByFlags(node) && !widgetScrollSemantics(tree, index).overflows) return {};
    WidgetFocusTarget target;
    target.id = node.id;
    target.index = index;
    target.rect = node.rect;
    target.kind = node.kind & 0x3Fu;
    target.state = widgetStateBytes(node);
    target.found = true;
    return target;
}

WidgetFocusTarget widgetLayoutFocusTarget(WidgetLayoutTree tree, std::optional<std::uint64_t> focusedId,
                                          WidgetFocusDirection direction) {
    const std::size_t n = tree.size();
    if (n == 0) return {};
    std::optional<std::size_t> current;
    if (focusedId && *focusedId != 0) {
        for (std::size_t i = 0; i < n && !current; ++i) {
            if (tree[i].id == *focusedId) current = i;
        }
    }
    auto firstIn = [&](std::size_t from, std::size_t to, bool down) -> WidgetFocusTarget {
        // [from, to) walked up, or down from to - 1 to from.
        for (std::size_t k = 0; k < to - std::min(from, to); ++k) {
            WidgetFocusTarget target = focusTargetFromLayoutNode(tree, down ? to - 1 - k : from + k);
            if (target.found) return target;
        }
        return {};
    };

    const auto code = static_cast<std::uint8_t>(static_cast<std::uint8_t>(direction) & 7u);
    if (code == 0) {
        const std::size_t start = current ? *current + 1 : 0;
        WidgetFocusTarget target = firstIn(start, n, false);
        return target.found || !current ? target : firstIn(0, *current, false);
    }
    if (code == 1 || code > 5) {
        if (!current) return firstIn(0, n, true);
        WidgetFocusTarget target = firstIn(0, *current, true);
        return target.found ? target : firstIn(*current + 1, n, true);
    }

    if (!current) return {};
    const WidgetFocusTarget from = focusTargetFromLayoutNode(tree, *current);
    if (!from.found) return {};
    const Rect origin = normalizeRect(from.rect);
    const auto way = static_cast<WidgetFocusDirection>(code);
    std::optional<Candidate> best;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == *current) continue;
        WidgetFocusTarget target = focusTargetFromLayoutNode(tree, i);
        if (!target.found) continue;
        std::optional<double> score = directionalScore(origin, normalizeRect(target.rect), way);
        // Ties keep the earlier node.
        if (score && (!best || *score < best->score)) best = Candidate{target, *score};
    }
    return best ? best->target : WidgetFocusTarget{};
}

}  // namespace kelvo
