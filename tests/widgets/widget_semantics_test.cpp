#include "widgets/widget_semantics.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "widgets/tree_fixture.hpp"

namespace kelvo {
namespace {

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A text in quotes with its line feeds escaped, so that every node stays on one line.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out + '"';
}

template <class T>
std::string optional(const std::optional<T>& value) {
    return value ? std::to_string(*value) : "-";
}

std::string actionNames(const WidgetActionSet& actions) {
    std::string names;
    for (unsigned a = 0; a < kWidgetActionCount; ++a) {
        if (!(actions.*widgetActionFlags()[a])) continue;
        if (!names.empty()) names += ',';
        names += widgetActionName(a);
    }
    return names;
}

// One line per node: role, id, parent, texts, positions, values, frame, states and actions.
std::string describe(std::span<const WidgetSemanticsNode> nodes) {
    std::ostringstream out;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const WidgetSemanticsNode& node = nodes[i];
        out << i << ' ' << widgetSemanticRoleName(node.role) << " id=" << node.id;
        if (node.parent) out << " parent=" << *node.parent;
        if (!node.label.empty()) out << " label=" << quoted(node.label);
        if (!node.value_text.empty()) out << " value_text=" << quoted(node.value_text);
        if (!node.placeholder.empty()) out << " placeholder=" << quoted(node.placeholder);
        if (node.row_index || node.row_count)
            out << " row=" << optional(node.row_index) << '/' << optional(node.row_count);
        if (node.column_index || node.column_count) {
            out << " column=" << optional(node.column_index) << '/' << optional(node.column_count);
        }
        if (node.selection) out << " selection=" << node.selection->start << ',' << node.selection->end;
        if (node.composition) out << " composition=" << node.composition->start << ',' << node.composition->end;
        if (node.numeric_value) out << " value=" << number(*node.numeric_value);
        if (node.list_position) out << " list=" << node.list_position->index << '/' << node.list_position->count;
        if (node.scrollable) {
            out << " scroll=" << number(node.scroll_offset) << ',' << number(node.scroll_viewport) << ','
                << number(node.scroll_content);
        }
        out << " frame=" << number(node.frame.x) << ',' << number(node.frame.y) << ',' << number(node.frame.width)
            << ',' << number(node.frame.height);
        const WidgetStateBytes& s = node.state;
        const std::pair<const char*, std::uint8_t> states[] = {
            {"hovered", s.hovered},     {"pressed", s.pressed},   {"focused", s.focused},
            {"disabled", s.disabled},   {"selected", s.selected}, {"required", s.required},
            {"read_only", s.read_only}, {"invalid", s.invalid},   {"focusable", node.focusable},
        };
        for (const auto& [name, set] : states) {
            if (set) out << ' ' << name;
        }
        if (s.expanded_present) out << " expanded=" << int(s.expanded);
        const std::string actions = actionNames(node.actions);
        if (!actions.empty()) out << " actions=" << actions;
        out << '\n';
    }
    return out.str();
}

class Semantics : public ::testing::Test {
protected:
    Result<std::size_t> collect(WidgetLayoutTree tree) { return collectSemantics(tree, nodes); }
    std::string collected(WidgetLayoutTree tree) {
        Result<std::size_t> count = collect(tree);
        EXPECT_TRUE(count);
        return count ? describe(std::span(nodes).first(*count)) : std::string();
    }

    std::vector<WidgetSemanticsNode> nodes = std::vector<WidgetSemanticsNode>(kMaxWidgetSemanticsNodes + 8);
};

// Every kind: roles, names, positions in grids and lists, numeric values, scroll state, states,
// actions, hidden and concealed subtrees, anonymous containers and the parents around them.
TEST_F(Semantics, KitchenSinkTree) {
    auto tree = testing::installedTree(testing::readData("widgets/semantics_tree.txt"));
    testing::expectGolden("widgets/semantics.golden.txt", collected(tree->tree()));
}

TEST_F(Semantics, ListLimitsAndDepth) {
    std::vector<WidgetLayoutNode> flat(kMaxWidgetSemanticsNodes + 1);
    for (std::size_t i = 0; i < flat.size(); ++i) {
        flat[i].id = i + 1;
        flat[i].kind = static_cast<std::uint8_t>(WidgetKind::button);
    }
    EXPECT_EQ(collect(flat).error(), Error::WidgetSemanticsListFull);
    flat.back().id = 0;  // the last one publishes nothing: 1,024 fit
    EXPECT_EQ(collect(flat).value(), kMaxWidgetSemanticsNodes);
    EXPECT_EQ(collectSemantics(flat, std::span(nodes).first(10)).error(), Error::WidgetSemanticsListFull);

    std::vector<WidgetLayoutNode> deep(33);
    for (std::size_t i = 0; i < deep.size(); ++i) {
        deep[i].depth = i;
        deep[i].has_parent = i > 0;
        deep[i].parent = i > 0 ? i - 1 : 0;
    }
    // A node at depth 32 fails even anonymous, even under a hidden ancestor.
    deep[3].hidden = 1;
    EXPECT_EQ(collect(deep).error(), Error::WidgetDepthExceeded);
    EXPECT_EQ(collect(std::span(deep).first(32)).value(), 0u);
}

TEST(SemanticActions, FollowKindFlagsAndState) {
    const struct {
        const char* node;
        const char* actions;
    } cases[] = {
        {"button", "focus,press"},
        {"button disabled=1 actions=press focusable=1", ""},
        {"slider disabled=1", ""},
        {"list_item", "focus,select"},
        {"list_item action=\"go\"", "focus,press,select"},
        {"row role=24", "focus,select"},
        {"row role=24 action=\"go\"", "focus,press,select"},
        {"text focusable=1", "focus"},
        {"split_divider", "focus,increment,decrement,drag"},
        {"combo_box", "focus,press,set_text,set_selection"},
        {"tooltip", "dismiss"},
        {"resizable_panel", "drag"},
        {"card", ""},
    };
    for (const auto& c : cases) {
        auto tree = testing::installedTree(c.node);
        EXPECT_EQ(actionNames(defaultSemanticActions(tree->nodes[0])), c.actions) << c.node;
    }
}

TEST(TextSelectionRange, ClampsOrdersAndKeepsWholeCharacters) {
    WidgetDescription field;
    field.kind = static_cast<std::uint8_t>(WidgetKind::text_field);
    field.text = "ab\xC3\xA9\xE2\x82";  // 6 bytes; bytes 3 and 5 continue a character
    const struct {
        std::uint64_t start, end, wantStart, wantEnd;
    } cases[] = {
        {2, 10, 2, 6},  // the end of the text is a boundary: nothing is dropped
        {10, 3, 2, 6},  // ordered; 3 steps back to 2
        {5, 5, 4, 4},   // inside the last character
        {0, 1, 0, 1},
    };
    for (const auto& c : cases) {
        field.selection = WidgetTextRange{c.start, c.end};
        std::optional<WidgetTextRange> range = widgetTextSelectionRange(field);
        ASSERT_TRUE(range);
        EXPECT_EQ(range->start, c.wantStart) << c.start << ".." << c.end;
        EXPECT_EQ(range->end, c.wantEnd) << c.start << ".." << c.end;
    }
    field.kind = static_cast<std::uint8_t>(WidgetKind::button);
    EXPECT_FALSE(widgetTextSelectionRange(field));
    field.kind = static_cast<std::uint8_t>(WidgetKind::text);
    field.selection.reset();
    EXPECT_FALSE(widgetTextSelectionRange(field));
}

}  // namespace
}  // namespace kelvo
