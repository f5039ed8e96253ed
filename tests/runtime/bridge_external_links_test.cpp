#include "runtime/bridge/external_links.hpp"

#include <gtest/gtest.h>

#include "support/golden.hpp"

namespace kelvo {
namespace {

TEST(ExternalLinks, PatternsAdmitAsTheTableSays) {
    auto rows = testing::readTable("bridge/external_links.txt");
    ASSERT_GT(rows.size(), 20u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 3u);
        EXPECT_EQ(externalLinkPatternAdmits(row[0], row[1]), row[2] == "admits") << row[0] << " " << row[1];
    }
}

TEST(ExternalLinks, AnyPatternInTheListAdmitsOnlyWhileLinksOpen) {
    constexpr std::string_view patterns[] = {"https://a.example/*", "https://b.example/*"};
    SecurityPolicy security{{}, {}, patterns, 1};
    EXPECT_TRUE(externalLinkAllowed(security, "https://b.example/x"));
    EXPECT_FALSE(externalLinkAllowed(security, "https://c.example/x"));
    security.externalLinkAction = 2;
    EXPECT_FALSE(externalLinkAllowed(security, "https://b.example/x"));
}

}  // namespace
}  // namespace kelvo
