#pragma once

// Trees for the query tests: read from tree text and installed, so that child descriptions are
// nested and every node points into one storage record.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo::testing {

inline std::unique_ptr<WidgetTreeStorage> installedTree(std::string_view text) {
    auto built = std::make_unique<WidgetTreeStorage>();
    auto tree = std::make_unique<WidgetTreeStorage>();
    std::uint32_t line = 0;
    Status parsed = parseWidgetTreeText(text, *built, &line);
    EXPECT_TRUE(parsed) << "tree text line " << line;
    if (parsed) {
        EXPECT_TRUE(installWidgetTree(*tree, built->tree(), built->tokens));
    }
    return tree;
}

// The index of the first node with `id`; the node count when there is none.
inline std::size_t nodeIndex(const WidgetTreeStorage& tree, std::uint64_t id) {
    for (std::size_t i = 0; i < tree.node_count; ++i) {
        if (tree.nodes[i].id == id) return i;
    }
    ADD_FAILURE() << "no node with id " << id;
    return tree.node_count;
}

}  // namespace kelvo::testing
