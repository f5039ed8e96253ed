#include "security/policy.hpp"

#include <gtest/gtest.h>

#include <array>

namespace kelvo {
namespace {

constexpr std::array<std::string_view, 1> kApp = {"vexa://app"};
constexpr std::array<std::string_view, 2> kAppOrAny = {"vexa://app", "*"};
constexpr std::array<std::string_view, 1> kViewWord = {"view"};
constexpr std::array<std::string_view, 2> kViewAndWindowWords = {"view", "window"};

TEST(Policy, DecidesByTheFirstRuleForTheCommand) {
    const std::array<BridgeCommandRule, 5> rules = {{
        {"open", {}, {}},
        {"app.only", {}, kApp},
        {"anyone", {}, kAppOrAny},
        {"needs.view", kViewAndWindowWords, kApp},
        {"needs.view", {}, {}},  // never reached: only the first rule for a command counts
    }};
    Policy policy{kViewWord, rules, true};
    struct Case {
        std::string_view command;
        std::string_view origin;
        bool allowed;
    };
    const Case cases[] = {
        {"open", "https://anything", true},
        {"open", "", true},
        {"app.only", "vexa://app", true},
        {"app.only", "vexa://app/", false},
        {"app.only", "VEXA://app", false},
        {"app.only", "vexa://ap", false},
        {"app.only", "", false},
        {"anyone", "http://127.0.0.1:1", true},
        {"anyone", "", true},
        {"needs.view", "vexa://app", false},  // "window" is not granted
        {"Open", "vexa://app", false},
        {"ope", "vexa://app", false},
        {"unknown", "vexa://app", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(policy.allows(c.command, c.origin), c.allowed) << c.command << " " << c.origin;

    policy.granted = kViewAndWindowWords;
    EXPECT_TRUE(policy.allows("needs.view", "vexa://app"));
    EXPECT_FALSE(policy.allows("needs.view", "vexa://other"));
}

TEST(Policy, ADisabledOrEmptyPolicyAllowsNothing) {
    const std::array<BridgeCommandRule, 1> rules = {{{"open", {}, {}}}};
    EXPECT_FALSE((Policy{{}, rules, false}).allows("open", "vexa://app"));
    EXPECT_FALSE((Policy{{}, {}, true}).allows("open", "vexa://app"));
    EXPECT_FALSE(Policy{}.allows("", ""));
}

TEST(Policy, PermissionsAndOriginListsMatchExactly) {
    EXPECT_TRUE(hasPermission(kViewAndWindowWords, "window"));
    EXPECT_FALSE(hasPermission(kViewAndWindowWords, "Window"));
    EXPECT_FALSE(hasPermission(kViewAndWindowWords, "win"));
    EXPECT_FALSE(hasPermission({}, ""));

    EXPECT_FALSE(allowsOrigin({}, "vexa://app"));  // unlike a rule, an empty list refuses
    EXPECT_FALSE(allowsOrigin({}, ""));
    EXPECT_TRUE(allowsOrigin(kApp, "vexa://app"));
    EXPECT_FALSE(allowsOrigin(kApp, "vexa://app/"));
    EXPECT_TRUE(allowsOrigin(kAppOrAny, "https://elsewhere"));
    EXPECT_TRUE(allowsOrigin(kAppOrAny, ""));
    constexpr std::array<std::string_view, 1> kStarPrefix = {"*.example"};
    EXPECT_FALSE(allowsOrigin(kStarPrefix, "a.example"));
}

}  // namespace
}  // namespace kelvo
