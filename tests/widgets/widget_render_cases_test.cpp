// Small trees drawn one by one and checked against the lines their dumps must (and must not)
// hold; the cases live in tests/data/widgets/render_cases.txt.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "text/fixed_measurer.hpp"
#include "text/text_metrics.hpp"
#include "widgets/render_fixture.hpp"
#include "widgets/tree_fixture.hpp"
#include "widgets/widget_render.hpp"

namespace kelvo {
namespace {

// Every character is `size` wide (em), or 10 points whatever the size (ten).
const TextMeasurer kEmMeasurer = testing::widthOnlyMeasurer();
float tenPerCharacter(void*, std::uint64_t, const char* text, std::size_t length, float) {
    return 10.0f * static_cast<float>(testing::characterCount({text, length}));
}
const TextMeasurer kTenMeasurer{nullptr, &tenPerCharacter, nullptr};

struct RenderCase {
    std::string title;
    std::string tree;
    std::vector<std::string> settings;  // "state ...", "measure ...", "count N"
    std::vector<std::string> present;   // in this order
    std::vector<std::string> absent;
};

std::vector<RenderCase> readCases() {
    std::vector<RenderCase> cases;
    for (const std::string& line : testing::readLines("widgets/render_cases.txt")) {
        if (line.starts_with("== ")) {
            cases.push_back({line.substr(3), {}, {}, {}, {}});
        } else if (cases.empty()) {
            ADD_FAILURE() << "a line before the first case: " << line;
        } else if (line.starts_with("+ ")) {
            cases.back().present.push_back(line.substr(2));
        } else if (line.starts_with("- ")) {
            cases.back().absent.push_back(line.substr(2));
        } else if (line.starts_with("state ") || line.starts_with("measure ") || line.starts_with("count ")) {
            cases.back().settings.push_back(line);
        } else {
            cases.back().tree += line + "\n";
        }
    }
    return cases;
}

std::optional<std::uint64_t> idSetting(const std::string& settings, const std::string& name) {
    const std::size_t at = settings.find(" " + name + "=");
    if (at == std::string::npos) return std::nullopt;
    return std::stoull(settings.substr(at + name.size() + 2));
}

TEST(RenderCases, DrawWhatTheyPromise) {
    for (const RenderCase& c : readCases()) {
        SCOPED_TRACE(c.title);
        auto storage = testing::installedTree(c.tree);
        WidgetTokens tokens = storage->tokens;
        WidgetRenderState state;
        std::vector<std::uint64_t> ids;
        std::optional<std::size_t> count;
        for (const std::string& setting : c.settings) {
            if (setting.starts_with("measure ")) {
                tokens.text_measurer = setting == "measure em" ? &kEmMeasurer : &kTenMeasurer;
            } else if (setting.starts_with("count ")) {
                count = std::stoul(setting.substr(6));
            } else {
                state.focused = idSetting(setting, "focused");
                state.focus_visible = idSetting(setting, "focus_visible");
                state.hovered = idSetting(setting, "hovered");
                state.pressed = idSetting(setting, "pressed");
                if (std::optional<std::uint64_t> id = idSetting(setting, "ids")) ids.push_back(*id);
            }
        }
        state.ids = ids;
        testing::RenderedList list;
        ASSERT_TRUE(emitWidgetTree(list.target, storage->tree(), tokens, state));
        const std::string dump = testing::dumpCommands(list.commands());
        if (count) {
            EXPECT_EQ(list.commands().size(), *count) << dump;
        }
        std::size_t from = 0;
        for (const std::string& expected : c.present) {
            const std::size_t at = dump.find(expected, from);
            EXPECT_NE(at, std::string::npos) << "missing (in order) " << expected << "\n" << dump;
            if (at != std::string::npos) from = at + expected.size();
        }
        for (const std::string& unexpected : c.absent) {
            EXPECT_EQ(dump.find(unexpected), std::string::npos) << "unexpected " << unexpected << "\n" << dump;
        }
    }
}

}  // namespace
}  // namespace kelvo
