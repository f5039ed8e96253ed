// The shell, credential, clipboard, dialog and platform-feature command families, driven through
// the router with a permissive policy from the cases of tests/data/bridge/service_commands.txt.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bridge_scenario.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::BridgeScenario;
using testing::cat;

// Expands the case file's notation: "{x*N}" is the text x repeated N times, "{0xHH}" one raw byte.
// Braces that hold another brace (a JSON object around a macro) are copied as they are.
std::string expand(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t close = text[at] == '{' ? text.find_first_of("{}", at + 1) : std::string_view::npos;
        bool closed = close != std::string_view::npos && text[close] == '}';
        std::string_view inside = closed ? text.substr(at + 1, close - at - 1) : "";
        std::size_t star = inside.rfind('*');
        if (inside.size() == 4 && inside.starts_with("0x")) {
            out.push_back(static_cast<char>(std::stoi(std::string(inside.substr(2)), nullptr, 16)));
        } else if (star != std::string_view::npos && star > 0 && star + 1 < inside.size() &&
                   inside.find_first_not_of("0123456789", star + 1) == std::string_view::npos) {
            for (int i = std::stoi(std::string(inside.substr(star + 1))); i > 0; --i)
                out.append(inside.substr(0, star));
        } else {
            out.push_back(text[at++]);
            continue;
        }
        at = close + 1;
    }
    return out;
}

// The built-in error table's reply for each error name (tests/data/bridge_errors.txt).
std::map<std::string, std::pair<std::string, std::string>> errorTable() {
    std::map<std::string, std::pair<std::string, std::string>> table;
    for (const std::string& line : testing::readLines("bridge_errors.txt")) {
        std::size_t name = line.find(' ');
        std::size_t code = line.find(' ', name + 1);
        table[line.substr(0, name)] = {line.substr(name + 1, code - name - 1), line.substr(code + 1)};
    }
    return table;
}

std::string word(std::string_view& rest) {
    std::size_t space = rest.find(' ');
    std::string first(rest.substr(0, space));
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    return first;
}

struct Step {
    std::string message;
    std::string reply;
    std::vector<std::string> calls;
    bool checkCalls = false;
    int line = 0;
};

struct Case {
    std::string title;
    std::vector<std::string> setup;
    std::vector<Step> steps;
};

std::vector<Case> readCases() {
    static const auto errors = errorTable();
    std::vector<Case> cases;
    int number = 0;
    std::istringstream text(testing::readData("bridge/service_commands.txt"));
    for (std::string line; std::getline(text, line);) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        std::string_view rest = std::string_view(line).substr(std::min<std::size_t>(2, line.size()));
        if (line.starts_with("case ")) {
            cases.push_back({line.substr(5), {}, {}});
        } else if (line[0] == '~') {
            cases.back().setup.emplace_back(rest);
        } else if (line[0] == '>') {
            std::string command = word(rest);
            cases.back().steps.push_back({testing::request("1", command, expand(rest)), "", {}, false, number});
        } else if (line[0] == '=') {
            cases.back().steps.back().reply = testing::okReply("1", expand(rest));
        } else if (line[0] == '!') {
            std::string first = word(rest);
            auto row = errors.find(first);
            auto [code, message] = !rest.empty() ? std::pair(first, std::string(rest))
                                   : row != errors.end()
                                       ? row->second
                                       : std::pair<std::string, std::string>("internal_error", "Native command failed");
            cases.back().steps.back().reply = testing::errorReply("1", code, message);
        } else if (line[0] == '@') {
            Step& step = cases.back().steps.back();
            step.checkCalls = true;
            if (rest != "none") step.calls.push_back(expand(rest));
        } else {
            ADD_FAILURE() << "service_commands.txt:" << number << ": unreadable line";
        }
    }
    return cases;
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// One case's runtime and platform, with the texts its set-up points the runtime at.
struct CaseWorld {
    BridgeScenario scenario;
    std::vector<std::string> linkTexts;
    std::vector<std::string_view> links;

    CaseWorld() {
        scenario.runtime->securityChecks = false;
        setLinks(1, {"https://vostra.example/*", "http://localhost/*"});
    }

    void setLinks(std::uint32_t action, std::vector<std::string> patterns) {
        linkTexts = std::move(patterns);
        links.assign(linkTexts.begin(), linkTexts.end());
        scenario.runtime->securityPolicy.externalLinks = links;
        scenario.runtime->securityPolicy.externalLinkAction = action;
    }

    void apply(std::string_view directive) {
        TestPlatform& test = scenario.test;
        std::string key = word(directive);
        std::string value = expand(directive);
        std::string_view rest = value;
        if (key == "empty") {
            test.emptySlot(*platformSlotFromName(value));
        } else if (key == "fail") {
            std::string slot = word(rest);
            test.failSlot(*platformSlotFromName(slot), *errorFromName(rest));
        } else if (key == "clipboard") {
            test.answers().clipboardText = value;
        } else if (key == "clipboardData") {
            std::string mime = word(rest);
            test.answers().clipboardData[mime] = std::string(rest);
        } else if (key == "credential") {
            std::string service = word(rest);
            std::string account = word(rest);
            test.answers().credentials[{service, account}] = std::string(rest);
        } else if (key == "openPaths") {
            test.answers().openDialogPaths = split(value, '|');
        } else if (key == "savePath") {
            test.answers().saveDialogPath = value;
        } else if (key == "button") {
            test.answers().messageDialogButton = static_cast<std::uint32_t>(std::stoul(value));
        } else if (key == "links") {
            auto action = static_cast<std::uint32_t>(std::stoul(word(rest)));
            setLinks(action, rest.empty() ? std::vector<std::string>{} : split(rest, '|'));
        } else if (key == "features") {
            std::array<bool, kPlatformFeatureCount> supported{};
            for (const std::string& name : split(value, ',')) {
                supported[static_cast<std::size_t>(*platformFeatureFromName(name))] = true;
            }
            test.answerFeatures(supported);
        } else {
            ADD_FAILURE() << "unknown set-up " << key;
        }
    }
};

TEST(BridgeServiceCommands, EveryCaseAnswersAsWritten) {
    std::vector<Case> cases = readCases();
    ASSERT_GT(cases.size(), 40u);
    for (const Case& c : cases) {
        CaseWorld world;
        BridgeScenario& scenario = world.scenario;
        for (const std::string& directive : c.setup) world.apply(directive);
        scenario.syncPlatform();
        for (const Step& step : c.steps) {
            scenario.test.clearCalls();
            ASSERT_TRUE(scenario.send(step.message)) << c.title;
            EXPECT_EQ(scenario.lastReply(), step.reply) << "case \"" << c.title << "\", line " << step.line;
            if (step.checkCalls) {
                EXPECT_EQ(scenario.serviceCalls(), step.calls) << "case \"" << c.title << "\", line " << step.line;
            }
        }
    }
}

// A backend that let a path holding a line feed through answers more pieces than paths: which of
// them are real paths cannot be told, so none is answered.
TEST(BridgeServiceCommands, AnOpenDialogAnswerThatSplitsAPathIsRefused) {
    BridgeScenario scenario;
    scenario.runtime->securityChecks = false;
    scenario.runtime->platform.slots.showOpenDialog = [](void*, const OpenDialogOptions&,
                                                         std::span<char> paths) -> Result<OpenDialogResult> {
        std::string_view joined = "/a\n/b\nc";
        std::copy(joined.begin(), joined.end(), paths.begin());
        return OpenDialogResult{2, joined.size()};
    };
    ASSERT_TRUE(scenario.send(testing::request("1", "kelvo.dialog.openFile")));
    EXPECT_EQ(scenario.lastReply(), testing::errorReply("1", "internal_error", "Native command failed"));
}

// Each feature answers to its name and its alias, and to nothing else.
TEST(BridgeServiceCommands, EveryFeatureNameAndAliasAsksForItsFeature) {
    auto rows = testing::readTable("bridge/feature_names.txt");
    ASSERT_EQ(rows.size(), kPlatformFeatureCount);
    for (std::size_t feature = 0; feature < rows.size(); ++feature) {
        BridgeScenario scenario;
        std::array<bool, kPlatformFeatureCount> supported{};
        supported[feature] = true;
        scenario.test.answerFeatures(supported);
        scenario.syncPlatform();
        for (std::size_t row = 0; row < rows.size(); ++row) {
            for (const std::string& name : rows[row]) {
                ASSERT_TRUE(scenario.send(
                    testing::request("1", "kelvo.platform.supports", cat(R"({"feature":")", name, R"("})"))));
                EXPECT_EQ(scenario.lastReply(), testing::okReply("1", row == feature ? "true" : "false")) << name;
            }
        }
    }
}

}  // namespace
}  // namespace kelvo
