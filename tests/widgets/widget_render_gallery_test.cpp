// The widget gallery: every kind drawn in every interaction state at compact and large density,
// compared with golden dumps, and the ids of all those lists audited.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "widgets/render_fixture.hpp"
#include "widgets/tree_fixture.hpp"
#include "widgets/widget_render.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {
namespace {

// A state baked into every node: the tree is drawn without render-state ids, so the flags count.
struct GalleryState {
    const char* name;
    std::uint8_t WidgetDescription::*flag;
};

constexpr GalleryState kStates[] = {
    {"rest", nullptr},
    {"hover", &WidgetDescription::hovered},
    {"pressed", &WidgetDescription::pressed},
    {"focus-visible", &WidgetDescription::focused},
    {"disabled", &WidgetDescription::disabled},
    {"checked", &WidgetDescription::selected},
};

struct Density {
    const char* name;
    std::uint8_t code;
};

constexpr Density kDensities[] = {{"compact", 0}, {"large", 2}};

class Gallery : public ::testing::Test {
protected:
    void SetUp() override { storage_ = testing::installedTree(testing::readData("widgets/gallery.tree")); }

    // The gallery's nodes with `state` set on every one of them.
    std::vector<WidgetLayoutNode> nodesIn(const GalleryState& state) const {
        std::vector<WidgetLayoutNode> nodes(storage_->tree().begin(), storage_->tree().end());
        if (state.flag != nullptr) {
            for (WidgetLayoutNode& node : nodes) node.*state.flag = 1;
        }
        return nodes;
    }

    WidgetTokens tokensAt(const Density& density) const {
        WidgetTokens tokens = storage_->tokens;
        tokens.density = density.code;
        return tokens;
    }

    std::unique_ptr<WidgetTreeStorage> storage_;
    testing::RenderedList list_;
};

TEST_F(Gallery, EveryKindInEveryStateMatchesItsGolden) {
    for (const Density& density : kDensities) {
        std::string dump;
        for (const GalleryState& state : kStates) {
            const std::vector<WidgetLayoutNode> nodes = nodesIn(state);
            list_.clear();
            ASSERT_TRUE(emitWidgetTree(list_.target, nodes, tokensAt(density), {})) << state.name;
            dump += std::string("## ") + state.name + "\n" + testing::dumpCommands(list_.commands());
        }
        testing::expectGolden(std::string("widgets/gallery_") + density.name + ".golden.txt", dump);
    }
}

// No two commands of one list share an id, and every id that is not a hashed key belongs to the
// widget that drew it: each node drawn alone (its descendants hidden) stays inside its 16 parts.
TEST_F(Gallery, IdsAreUniqueAndStayInsideTheirWidget) {
    for (const Density& density : kDensities) {
        const WidgetTokens tokens = tokensAt(density);
        for (const GalleryState& state : kStates) {
            SCOPED_TRACE(std::string(state.name) + " " + density.name);
            std::vector<WidgetLayoutNode> nodes = nodesIn(state);
            list_.clear();
            ASSERT_TRUE(emitWidgetTree(list_.target, nodes, tokens, {}));
            std::set<std::uint64_t> seen;
            for (const CanvasCommand& command : list_.commands()) {
                if (!hasCommandIdentity(command)) continue;
                EXPECT_TRUE(seen.insert(canvasCommandId(command)).second)
                    << "duplicate " << testing::commandText(command);
            }

            for (std::size_t i = 0; i < nodes.size(); ++i) {
                std::vector<WidgetLayoutNode> alone = nodes;
                const std::size_t end = widgetSubtreeEnd(alone, i);
                for (std::size_t k = i + 1; k < end; ++k) alone[k].hidden = 1;
                alone[i].out_of_flow = 0;
                list_.clear();
                ASSERT_TRUE(emitWidgetLayoutNode(list_.target, alone, i, tokens, {}, kSiblingAlone));
                for (const CanvasCommand& command : list_.commands()) {
                    const std::uint64_t id = canvasCommandId(command);
                    if (!hasCommandIdentity(command) || id >= testing::kHashedIdFloor) continue;
                    EXPECT_EQ(id >> 4, nodes[i].id) << testing::commandText(command);
                }
            }
        }
    }
}

}  // namespace
}  // namespace kelvo
