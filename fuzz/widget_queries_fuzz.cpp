// Runs every tree query (sizing, semantics, hit testing, hover, routes, focus, paint bounds) over
// trees from arbitrary bytes. Text is parsed and installed as a view would hold it; bytes that
// start with 0xFF are read as raw layout nodes instead, so the queries meet self-parents, cycles,
// depth jumps, undefined kinds, singular transforms and non-finite geometry. Every query must end,
// and its result must point into the tree.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "widgets/thread_scratch.hpp"
#include "widgets/widget_invalidation.hpp"
#include "widgets/widget_layout.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace {

using namespace kelvo;

// Enough raw nodes for every shape of malformation (more children than a stacking walk sorts in
// its buffer among them); more would only slow the search down.
constexpr std::size_t kMaxRawNodes = 96;

struct FuzzState {
    WidgetTreeStorage built;
    WidgetTreeStorage view;
    WidgetLayoutNode raw[kMaxRawNodes];
    WidgetSemanticsNode semantics[kMaxWidgetSemanticsNodes];
    WidgetRouteEntry route[kMaxWidgetRouteEntries];
};

void check(bool holds) {
    if (!holds) std::abort();
}

float byteFloat(std::uint8_t byte) {
    switch (byte) {
        case 0xFD:
            return NAN;
        case 0xFE:
            return INFINITY;
        case 0xFF:
            return -1e30f;
        default:
            return static_cast<float>(byte) - 32.0f;
    }
}

void runQueries(FuzzState& state, WidgetLayoutTree tree, const WidgetTokens& tokens) {
    const std::size_t count = tree.size();
    // A spread of at most 48 nodes keeps large inputs quick; every query still walks the tree.
    // A hit test walks the whole tree from its roots, so one at every eighth of them reaches as far.
    const std::size_t step = count / 48 + 1;
    for (std::size_t i = 0, spread = 0; i < count; i += step, ++spread) {
        if (spread % 8 == 0) {
            const WidgetHit hit = hitTestWidgetLayout(tree, {tree[i].rect.x + 1, tree[i].rect.y + 1}, tokens);
            check(!hit.found || (hit.index < count && hit.id != 0));
            const WidgetHit hover = hoverTargetForHit(tree, hit);
            check(!hover.found || hover.index < count);
        }
        Result<std::span<WidgetRouteEntry>> route = routeWidgetEventPath(tree, i, state.route);
        check(!route || (route->size() % 2 == 1 && route->size() <= kMaxWidgetRouteEntries));
        const WidgetFocusTarget target = focusTargetFromLayoutNode(tree, i);
        check(!target.found || target.index == i);
        std::optional<Rect> dirty = widgetClippedDirtyBounds(tree, i, tree[i].rect);
        check(!dirty || !(dirty->width < 0 || dirty->height < 0));
        (void)widgetFocusPaintBounds(tree[i], tokens);
        (void)widgetFrameStrokeBounds(tree[i], tokens);
        (void)widgetScrollSemantics(tree, i);
        (void)inputGroupFocusWithinBounds(tree, tree[i].id, tokens);
        (void)intrinsicWidgetSizeDepth(tree[i], tokens, 0);
    }
    for (std::uint8_t direction = 0; direction < 8; ++direction) {
        const std::uint64_t focused = count > 0 ? tree[count / 2].id : 0;
        const WidgetFocusTarget next =
            widgetLayoutFocusTarget(tree, focused, static_cast<WidgetFocusDirection>(direction));
        check(!next.found || next.index < count);
    }
    Result<std::size_t> published = collectSemantics(tree, state.semantics);
    if (published) {
        for (std::size_t i = 0; i < *published; ++i)
            check(!state.semantics[i].parent || *state.semantics[i].parent < i);
    }
}

void checkRawNodes(FuzzState& state, const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kRecord = 12;
    const std::size_t count = std::min(size / kRecord, kMaxRawNodes);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = data + i * kRecord;
        WidgetLayoutNode& node = state.raw[i];
        node = WidgetLayoutNode{};
        node.depth = r[0] % 40;
        node.has_parent = r[1] & 1u;
        node.parent = r[2] | (r[3] & 3u) << 8;
        node.kind = r[4];
        node.size = r[4] >> 5;
        node.id = r[5] % 32;
        node.hidden = (r[1] >> 1) & 1u;
        node.out_of_flow = (r[1] >> 2) & 1u;
        node.clips = (r[1] >> 3) & 1u;
        node.disabled = (r[1] >> 4) & 1u;
        node.selected = (r[1] >> 5) & 1u;
        node.scrollable = (r[1] >> 6) & 1u;
        node.focusable = r[1] >> 7;
        node.actions.press = r[3] >> 7;
        node.role = r[3] >> 2;
        node.rect = {byteFloat(r[6]), byteFloat(r[7]), byteFloat(r[8]), byteFloat(r[9])};
        node.frame = node.rect;
        node.value = byteFloat(r[10]) / 16;
        if (r[11] & 1u) node.z_index = static_cast<std::int8_t>(r[11]);
        if (r[11] & 2u) node.transform = {byteFloat(r[6]) / 64, 0, 0, byteFloat(r[7]) / 64, 1, 1};
        node.virtual_count = r[11] >> 4;
    }
    runQueries(state, WidgetLayoutTree(state.raw, count), defaultWidgetTokens());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzState& state = perThreadCanvasScratch<FuzzState>();
    if (size > 0 && data[0] == 0xFF) {
        checkRawNodes(state, data + 1, size - 1);
        return 0;
    }
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!parseWidgetTreeText(text, state.built)) return 0;
    if (!installWidgetTree(state.view, state.built.tree(), state.built.tokens)) return 0;
    runQueries(state, state.view.tree(), state.view.tokens);
    return 0;
}
