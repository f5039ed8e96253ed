#include "runtime/windows/shell_checks.hpp"
#include "support/error_of.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace kelvo {
namespace {

ShellViewDescription declaredView(std::string_view label, ViewKind kind = ViewKind::button) {
    ShellViewDescription s;
    s.label = label;
    s.kind = kind;
    return s;
}

using testing::errorOf;

TEST(ShellValidation, ChromeIconNames) {
    for (std::string_view good : {"", "gear", "app:gear", "a_b-9", "app:x1"}) {
        EXPECT_TRUE(validateShellChromeIcon(good)) << good;
    }
    for (std::string_view bad : {"app:", "Gear", "icon.png", "a b", "app:Gear"}) {
        EXPECT_EQ(errorOf(validateShellChromeIcon(bad)), Error::InvalidName) << bad;
    }
    EXPECT_TRUE(validateShellChromeIcon(std::string(64, 'a')));
    EXPECT_EQ(errorOf(validateShellChromeIcon(std::string(65, 'a'))), Error::InvalidName);
}

// Each case changes one view of a valid two-view description and expects one error.
TEST(ShellValidation, EachRuleRefusesWithItsError) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::string longLabel(65, 'l');
    const std::string longRole(65, 'r');
    const std::string longAccessibility(257, 'a');
    const std::string longCommand(129, 'c');
    struct Case {
        const char* name;
        std::function<void(ShellViewDescription&)> change;
        Error expected;
    };
    const std::vector<Case> cases = {
        {"empty label", [](ShellViewDescription& s) { s.label = ""; }, Error::InvalidName},
        {"label of 65 bytes", [&](ShellViewDescription& s) { s.label = longLabel; }, Error::InvalidName},
        {"label with a slash", [](ShellViewDescription& s) { s.label = "a/b"; }, Error::InvalidName},
        {"duplicate label", [](ShellViewDescription& s) { s.label = "bar"; }, Error::DuplicateView},
        {"parent not a name", [](ShellViewDescription& s) { s.parent = ".."; }, Error::InvalidName},
        {"parent is itself", [](ShellViewDescription& s) { s.parent = "b"; }, Error::InvalidLayout},
        {"parent names no declared view", [](ShellViewDescription& s) { s.parent = "ghost"; }, Error::InvalidLayout},
        {"width 0", [](ShellViewDescription& s) { s.width = 0; }, Error::InvalidDimension},
        {"height NaN", [&](ShellViewDescription& s) { s.height = nan; }, Error::InvalidDimension},
        {"negative minimum", [](ShellViewDescription& s) { s.minWidth = -1; }, Error::InvalidDimension},
        {"maximum 0", [](ShellViewDescription& s) { s.maxHeight = 0; }, Error::InvalidDimension},
        {"minimum above maximum",
         [](ShellViewDescription& s) {
             s.minWidth = 300;
             s.maxWidth = 200;
         },
         Error::InvalidDimension},
        {"infinite x", [](ShellViewDescription& s) { s.x = std::numeric_limits<float>::infinity(); },
         Error::InvalidDimension},
        {"empty role", [](ShellViewDescription& s) { s.role = ""; }, Error::InvalidName},
        {"role of 65 bytes", [&](ShellViewDescription& s) { s.role = longRole; }, Error::InvalidName},
        {"accessibility label of 257 bytes", [&](ShellViewDescription& s) { s.accessibilityLabel = longAccessibility; },
         Error::InvalidName},
        {"text with NUL", [](ShellViewDescription& s) { s.text = std::string_view("a\0", 2); }, Error::InvalidName},
        {"empty command", [](ShellViewDescription& s) { s.command = ""; }, Error::InvalidCommand},
        {"command of 129 bytes", [&](ShellViewDescription& s) { s.command = longCommand; }, Error::InvalidCommand},
        {"command with a tab", [](ShellViewDescription& s) { s.command = "a\tb"; }, Error::InvalidCommand},
        {"command with a slash", [](ShellViewDescription& s) { s.command = "a/b"; }, Error::InvalidName},
        {"url on a button", [](ShellViewDescription& s) { s.url = "https://example.com"; }, Error::InvalidUrl},
        {"gpu option on a button", [](ShellViewDescription& s) { s.gpuVsync = true; }, Error::InvalidViewKind},
    };
    for (const Case& c : cases) {
        std::vector<ShellViewDescription> descriptions = {declaredView("bar", ViewKind::toolbar), declaredView("b")};
        descriptions[1].parent = "bar";
        c.change(descriptions[1]);
        EXPECT_EQ(errorOf(validateShellViews(descriptions)), c.expected) << c.name;
    }
}

TEST(ShellValidation, WebViewUrls) {
    struct Case {
        std::string_view url;
        bool ok;
    };
    const Case cases[] = {
        {"https://example.com/x", true}, {"http://h", true},      {"vexa://app", true},
        {"file:///tmp/a", true},         {"http://", false},      {"https:///path", false},
        {"http://a b/", false},          {"vexa://", false},      {"file://a\tb", false},
        {"ftp://host/x", false},         {"HTTPS://host", false}, {"vexa:/", false},
    };
    for (const Case& c : cases) {
        ShellViewDescription web = declaredView("web", ViewKind::webview);
        web.url = c.url;
        std::vector<ShellViewDescription> descriptions = {web};
        EXPECT_EQ(errorOf(validateShellViews(descriptions)), c.ok ? Error::Unexpected : Error::InvalidUrl) << c.url;
    }
    std::vector<ShellViewDescription> noUrl = {declaredView("web", ViewKind::webview)};
    EXPECT_EQ(errorOf(validateShellViews(noUrl)), Error::MissingRequiredField);
    std::vector<ShellViewDescription> mainWithoutUrl = {declaredView("main", ViewKind::webview)};
    EXPECT_TRUE(validateShellViews(mainWithoutUrl));
}

TEST(ShellValidation, ParentCyclesAreRefused) {
    std::vector<ShellViewDescription> descriptions = {declaredView("a", ViewKind::stack),
                                                      declaredView("b", ViewKind::stack)};
    descriptions[0].parent = "b";
    descriptions[1].parent = "a";
    EXPECT_EQ(errorOf(validateShellViews(descriptions)), Error::InvalidLayout);

    ShellVisitStates states{};
    EXPECT_EQ(errorOf(validateShellViewParentAcyclic(descriptions, 0, states)), Error::InvalidLayout);

    std::vector<ShellViewDescription> chain = {declaredView("a", ViewKind::stack), declaredView("b", ViewKind::stack),
                                               declaredView("c")};
    chain[1].parent = "a";
    chain[2].parent = "b";
    EXPECT_TRUE(validateShellViews(chain));
    EXPECT_EQ(shellViewIndex(chain, "b"), 1u);
    EXPECT_FALSE(shellViewIndex(chain, "z"));
}

TEST(ShellValidation, WindowRules) {
    std::vector<ShellViewDescription> views = {declaredView("bar", ViewKind::toolbar)};
    ShellWindowDescription good{"main", std::nullopt, ShellChrome{"Vostra Studio", "app:logo"}, 800, 600, views};
    std::vector<ShellWindowDescription> windows = {good};
    EXPECT_TRUE(validateShellWindows(windows));

    struct Case {
        const char* name;
        std::function<void(ShellWindowDescription&)> change;
        Error expected;
    };
    static const std::vector<ShellViewDescription> tooMany(kMaxShellViews + 1, declaredView("x"));
    const std::vector<Case> cases = {
        {"label ..", [](ShellWindowDescription& w) { w.label = ".."; }, Error::InvalidName},
        {"second name empty", [](ShellWindowDescription& w) { w.secondName = ""; }, Error::InvalidName},
        {"chrome title empty", [](ShellWindowDescription& w) { w.chrome->title = ""; }, Error::InvalidName},
        {"chrome title with DEL", [](ShellWindowDescription& w) { w.chrome->title = "a\x7f"; }, Error::InvalidName},
        {"chrome icon capital", [](ShellWindowDescription& w) { w.chrome->icon = "Logo"; }, Error::InvalidName},
        {"width 0", [](ShellWindowDescription& w) { w.width = 0; }, Error::InvalidDimension},
        {"129 views", [](ShellWindowDescription& w) { w.views = tooMany; }, Error::InvalidLayout},
    };
    for (const Case& c : cases) {
        ShellWindowDescription window = good;
        c.change(window);
        std::vector<ShellWindowDescription> list = {window};
        EXPECT_EQ(errorOf(validateShellWindows(list)), c.expected) << c.name;
    }
    std::vector<ShellWindowDescription> seventeen(kMaxConfiguredWindows + 1, good);
    EXPECT_EQ(errorOf(validateShellWindows(seventeen)), Error::InvalidLayout);
}

}  // namespace
}  // namespace kelvo
