#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "automation/command_parsers.hpp"
#include "automation_scenario.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kActionNames[] = {"focus",
                                             "press",
                                             "toggle",
                                             "increment",
                                             "decrement",
                                             "set_text",
                                             "set_selection",
                                             "set_composition",
                                             "commit_composition",
                                             "cancel_composition",
                                             "select",
                                             "drag",
                                             "drop_files",
                                             "dismiss"};

// One parser applied and its record written as text; "invalid" for a refusal.
template <class T, class Render>
std::string rendered(const Result<T>& result, Render render) {
    if (!result) return result.error() == Error::InvalidCommand ? "invalid" : "wrong error";
    std::ostringstream out;
    render(out, *result);
    return out.str();
}

std::string parse(std::string_view parser, std::string_view input) {
    using O = std::ostringstream;
    if (parser == "name") return rendered(parseAutomationCommandName(input), [](O& o, auto v) { o << v; });
    if (parser == "label") return rendered(parseAutomationViewLabel(input), [](O& o, auto v) { o << v; });
    if (parser == "tray") return rendered(parseAutomationTrayItemId(input), [](O& o, auto v) { o << v; });
    if (parser == "resize") {
        return rendered(parseAutomationResizeCommand(input),
                        [](O& o, const auto& r) { o << r.width << 'x' << r.height << '@' << r.scale; });
    }
    if (parser == "native") {
        return rendered(parseAutomationNativeCommand(input),
                        [](O& o, const auto& r) { o << "name=" << r.name << " payload=" << r.payload; });
    }
    if (parser == "target") {
        return rendered(parseAutomationWidgetTarget(input),
                        [](O& o, const auto& r) { o << r.view << '#' << r.widgetId; });
    }
    if (parser == "action") {
        return rendered(parseAutomationWidgetAction(input), [](O& o, const auto& r) {
            o << r.view << '#' << r.widgetId << ' ' << kActionNames[static_cast<int>(r.action)] << " \"" << r.argument
              << '"';
        });
    }
    if (parser == "menu_item") {
        return rendered(parseAutomationWidgetContextMenuItem(input),
                        [](O& o, const auto& r) { o << r.view << '#' << r.widgetId << " item=" << r.itemIndex; });
    }
    if (parser == "drag") {
        return rendered(parseAutomationWidgetPointerDrag(input), [](O& o, const auto& r) {
            o << r.view << '#' << r.widgetId << " x=" << r.startX << ".." << r.endX << " y=" << r.startY << ".."
              << r.endY;
        });
    }
    if (parser == "wheel") {
        return rendered(parseAutomationWidgetWheel(input),
                        [](O& o, const auto& r) { o << r.view << '#' << r.widgetId << " delta=" << r.delta; });
    }
    if (parser == "key") {
        return rendered(parseAutomationWidgetKey(input), [](O& o, const auto& r) {
            std::string mods;
            auto add = [&mods](bool on, std::string_view name) {
                if (on) mods.append(mods.empty() ? "" : ",").append(name);
            };
            add(r.shift, "shift");
            add(r.control, "control");
            add(r.alt, "alt");
            add(r.super, "super");
            add(r.meta, "meta");
            o << r.view << " key=" << r.key << " mods=" << mods << " text=" << r.text;
        });
    }
    if (parser == "provenance") {
        return rendered(parseAutomationProvenanceTarget(input), [](O& o, const auto& r) {
            if (r.pointGiven) {
                o << r.view << " at " << r.x << ',' << r.y;
            } else {
                o << r.view << '#' << r.widgetId;
            }
        });
    }
    return "unknown parser";
}

TEST(AutomationParsers, EveryCaseOfTheTableParsesAsWritten) {
    std::size_t cases = 0;
    for (const std::string& line : testing::readLines("automation/parser_cases.txt")) {
        const std::size_t first = line.find(" | ");
        const std::size_t second = line.find(" | ", first + 3);
        ASSERT_NE(second, std::string::npos) << line;
        const std::string parser = line.substr(0, first);
        const std::string input = testing::unescapeCase(line.substr(first + 3, second - first - 3));
        const std::string expected = testing::unescapeCase(line.substr(second + 3));
        EXPECT_EQ(parse(parser, input), expected) << line;
        ++cases;
    }
    EXPECT_GT(cases, 60u);
}

}  // namespace
}  // namespace kelvo
