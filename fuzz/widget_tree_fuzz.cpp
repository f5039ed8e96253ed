// Feeds arbitrary bytes to the widget tree text parser and the tree installer. Text that parses
// and installs must write back to text that parses to the same tree (the second writing equals
// the first). Bytes that start with 0xFF are read instead as raw layout nodes (depth, parent flag,
// parent index, kind, size, id), so the installer and the ancestor walks meet self-parents,
// cycles, depth jumps and undefined codes; a refused tree must leave the installed one untouched.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "widgets/thread_scratch.hpp"
#include "widgets/widget_tree.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace {

using namespace kelvo;

struct FuzzState {
    WidgetTreeStorage built;
    WidgetTreeStorage view;
    WidgetTreeStorage again;
    WidgetLayoutNode raw[kMaxWidgetNodes + 1];
    char first[8 << 20];
    char second[8 << 20];
};

std::string_view writeTree(const WidgetTreeStorage& storage, char (&buffer)[8 << 20]) {
    BoundedWriter out(buffer);
    if (!writeWidgetTreeText(out, storage.tree(), storage.tokens)) std::abort();
    return out.text();
}

void checkTextRoundTrip(FuzzState& state, std::string_view text) {
    if (!parseWidgetTreeText(text, state.built)) return;
    if (!installWidgetTree(state.view, state.built.tree(), state.built.tokens)) return;
    std::string_view first = writeTree(state.view, state.first);
    if (!parseWidgetTreeText(first, state.again)) std::abort();
    if (writeTree(state.again, state.second) != first) std::abort();
    for (std::size_t i = 0; i < state.view.node_count; ++i) (void)isWidgetConcealedByDisclosure(state.view.tree(), i);
}

void checkRawNodes(FuzzState& state, const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kRecord = 6;
    std::size_t count = std::min(size / kRecord, kMaxWidgetNodes + 1);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = data + i * kRecord;
        WidgetLayoutNode& node = state.raw[i];
        node = WidgetLayoutNode{};
        node.depth = r[0] % 40;
        node.has_parent = r[1];
        node.parent = r[2] | (r[3] & 7u) << 8;
        node.kind = r[4];
        node.size = r[4] >> 3;
        node.id = r[5] % 16;
        node.selected = r[1] >> 1;
        node.rect = {0, float(r[5]), 10, float(r[0])};
    }
    WidgetLayoutTree nodes(state.raw, count);
    for (std::size_t i = 0; i < count; ++i) (void)isWidgetConcealedByDisclosure(nodes, i);

    const std::uint64_t revision = state.view.revision;
    const std::uint32_t installedCount = state.view.node_count;
    std::string before(writeTree(state.view, state.first));
    if (installWidgetTree(state.view, nodes, state.view.tokens)) return;
    if (state.view.revision != revision || state.view.node_count != installedCount) std::abort();
    if (writeTree(state.view, state.second) != before) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzState& state = perThreadCanvasScratch<FuzzState>();
    if (size > 0 && data[0] == 0xFF) {
        checkRawNodes(state, data + 1, size - 1);
    } else {
        checkTextRoundTrip(state, std::string_view(reinterpret_cast<const char*>(data), size));
    }
    return 0;
}
