#include "platform/macos/web/navigation_policy.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"

namespace kelvo {
namespace {

using List = std::vector<std::string>;

List fromBytes(std::string_view text, std::span<const std::string_view> defaults = kDefaultNavigationOrigins) {
    return kelvoPolicyListFromBytes(text.data(), text.size(), defaults);
}

TEST(PolicyList, MatchesOriginsWholeUrlsAndPathPatterns) {
    for (const std::string& line : testing::readLines("platform/web/policy_matches.txt")) {
        std::size_t first = line.find(" | ");
        std::size_t second = line.find(" | ", first + 3);
        ASSERT_NE(second, std::string::npos) << line;
        List list;
        std::istringstream entries(line.substr(0, first));
        for (std::string entry; entries >> entry;) {
            if (entry != "-") list.push_back(entry);
        }
        std::string url = line.substr(first + 3, second - first - 3);
        EXPECT_EQ(kelvoPolicyListMatches(list, url), line.substr(second + 3) == "yes") << line;
    }
}

TEST(PolicyList, TextBecomesTrimmedLinesOrTheDefaults) {
    const List defaults(std::begin(kDefaultNavigationOrigins), std::end(kDefaultNavigationOrigins));
    EXPECT_EQ(kelvoPolicyListFromBytes(nullptr, 4, kDefaultNavigationOrigins), defaults);
    EXPECT_EQ(fromBytes(""), defaults);
    EXPECT_EQ(fromBytes(" \n\t\r\n\xC2\xA0\n"), defaults);
    EXPECT_EQ(fromBytes("vexa://app\n\xC3"), defaults);
    EXPECT_EQ(fromBytes("a\nb"), (List{"a", "b"}));
    EXPECT_EQ(fromBytes("  a \r\n\n\t b c\t\n"), (List{"a", "b c"}));
    EXPECT_EQ(fromBytes("\xE3\x80\x80x\xE2\x80\x8A\xE2\x80\xA8\n\xE2\x80\x8By"), (List{"x", "\xE2\x80\x8By"}));
    EXPECT_EQ(fromBytes("\n\n", {}), List{});
}

TEST(SecurityPolicy, ReplacesTheListsWhole) {
    NavigationPolicy policy;
    EXPECT_TRUE(allowsNavigationUrl(policy, "vexa://app/index.html"));
    EXPECT_FALSE(allowsNavigationUrl(policy, "https://x.test/"));

    std::string_view origins = "http://127.0.0.1:5173\n";
    std::string_view links = "https://x.test/*";
    setSecurityPolicy(policy, origins.data(), origins.size(), links.data(), links.size(), 1);
    EXPECT_EQ(policy.allowedNavigationOrigins, List{"http://127.0.0.1:5173"});
    EXPECT_FALSE(allowsNavigationUrl(policy, "vexa://app/index.html"));
    EXPECT_TRUE(allowsNavigationUrl(policy, "http://127.0.0.1:5173/"));
    EXPECT_TRUE(shouldOpenExternalUrl(policy, "https://x.test/docs"));
    EXPECT_FALSE(shouldOpenExternalUrl(policy, "https://y.test/"));

    setSecurityPolicy(policy, nullptr, 0, nullptr, 0, 2);
    EXPECT_EQ(policy.allowedNavigationOrigins.size(), 2u);
    EXPECT_TRUE(policy.allowedExternalUrls.empty());
    EXPECT_EQ(policy.externalLinkAction, 2);
    setSecurityPolicy(policy, nullptr, 0, links.data(), links.size(), 0);
    EXPECT_FALSE(shouldOpenExternalUrl(policy, "https://x.test/docs"));
}

TEST(SecurityPolicy, PagesWithoutOriginMayLoadButTextThatIsNoUrlMayNot) {
    NavigationPolicy policy;
    policy.allowedNavigationOrigins.clear();
    EXPECT_TRUE(allowsNavigationUrl(policy, ""));
    EXPECT_TRUE(allowsNavigationUrl(policy, "about:blank"));
    EXPECT_TRUE(allowsNavigationUrl(policy, "ABOUT:srcdoc"));
    EXPECT_TRUE(allowsNavigationUrl(policy, "index.html"));
    EXPECT_FALSE(allowsNavigationUrl(policy, "vexa://app/"));
    policy.allowedNavigationOrigins = {"*"};
    EXPECT_FALSE(allowsNavigationUrl(policy, "http://h/%zz"));
    EXPECT_FALSE(allowsNavigationUrl(policy, "1http://h/"));
}

TEST(BridgeOrigin, ComesFromTheCommittedUrl) {
    for (const auto& row : testing::readTable("platform/web/bridge_origins.txt")) {
        ASSERT_EQ(row.size(), 2u);
        std::string uri = row[0] == "-" ? "" : row[0];
        EXPECT_EQ(bridgeOriginForUri(uri), row[1]) << row[0];
    }
}

}  // namespace
}  // namespace kelvo
