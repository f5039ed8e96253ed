// Draws whatever tree the bytes describe. The first byte picks the render state (which of the
// first nodes' ids are focused, focus-visible, hovered and pressed, and where the pointer is); the
// rest is tree text, installed and emitted whole, then emitted again from every node with the raw
// nodes (no installer checks) so emitters meet undefined kinds, odd flags and odd geometry. An
// emission may fail with a capacity error, never crash or loop.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "widgets/display_list.hpp"
#include "widgets/thread_scratch.hpp"
#include "widgets/widget_render.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace {

using namespace kelvo;

struct FuzzState {
    WidgetTreeStorage built;
    WidgetTreeStorage view;
    CanvasCommand items[kMaxCanvasCommands];
    CanvasDisplayListScratch pools;
};

void emitAll(FuzzState& state, WidgetLayoutTree tree, const WidgetTokens& tokens, const WidgetRenderState& render) {
    CanvasCommandArray array{state.items, kMaxCanvasCommands, 0};
    WidgetRenderTarget target{array, state.pools};
    state.pools.reset();
    (void)emitWidgetTree(target, tree, tokens, render);
    for (std::size_t i = 0; i < tree.size(); ++i) {
        array.count = 0;
        state.pools.reset();
        (void)emitWidgetLayoutNode(target, tree, i, tokens, render, static_cast<int>(i % 4) - 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzState& state = perThreadCanvasScratch<FuzzState>();
    if (size == 0) return 0;
    const std::uint8_t pick = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!parseWidgetTreeText(text, state.built)) return 0;

    WidgetRenderState render;
    const auto idOf = [&](unsigned bits) -> std::optional<std::uint64_t> {
        if (state.built.node_count == 0 || (bits & 3u) == 0) return std::nullopt;
        return state.built.nodes[(bits >> 2) % state.built.node_count].id;
    };
    render.focused = idOf(pick);
    render.focus_visible = pick & 0x10u ? render.focused : std::nullopt;
    render.hovered = idOf(pick >> 3);
    render.pressed = pick & 0x80u ? render.hovered : std::nullopt;
    if (render.hovered) render.pointer = Point{static_cast<float>(pick), static_cast<float>(pick >> 1)};

    emitAll(state, state.built.tree(), state.built.tokens, render);
    if (installWidgetTree(state.view, state.built.tree(), state.built.tokens)) {
        emitAll(state, state.view.tree(), state.view.tokens, render);
    }
    return 0;
}
