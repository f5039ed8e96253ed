#include "app/policies.hpp"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

constexpr std::string_view kAppCommands[] = {
    "vostra.file.begin",
    "vostra.file.append",
    "vostra.file.finish",
    "vostra.file.cancel",
    "vostra.file.read.begin",
    "vostra.file.read.chunk",
    "vostra.file.read.finish",
    "vostra.url.open",
    "vostra.clipboard.mark",
    "vostra.clipboard.begin",
    "vostra.clipboard.append",
    "vostra.clipboard.finish",
    "vostra.clipboard.read.begin",
    "vostra.clipboard.read.chunk",
    "vostra.clipboard.read.finish",
};

TEST(AppPolicies, AppCommandsAreOpenToTrustedOriginsOnly) {
    Policy policy = appCommandPolicy();
    EXPECT_TRUE(policy.enabled);
    EXPECT_TRUE(policy.granted.empty());
    ASSERT_EQ(policy.rules.size(), std::size(kAppCommands));
    for (std::size_t i = 0; i < std::size(kAppCommands); ++i) {
        EXPECT_EQ(policy.rules[i].command, kAppCommands[i]);
        EXPECT_TRUE(policy.rules[i].permissions.empty());
    }
    for (std::string_view command : kAppCommands) {
        for (std::string_view origin : kDevOrigins) EXPECT_TRUE(policy.allows(command, origin)) << command << origin;
        for (std::string_view origin : {"", "*", "vexa://app/", "VEXA://app", "https://vostra.example",
                                        "http://localhost:5173", "http://127.0.0.1"}) {
            EXPECT_FALSE(policy.allows(command, origin)) << command << " " << origin;
        }
    }
    for (std::string_view command : {"vostra.file", "vostra.file.delete", "kelvo.dialog.openFile", "VOSTRA.url.open"}) {
        EXPECT_FALSE(policy.allows(command, "vexa://app")) << command;
    }
}

TEST(AppPolicies, OnlyTheFileDialogsAndClipboardTextAreAdmittedAmongBuiltInCommands) {
    Policy policy = builtinCommandPolicy();
    EXPECT_TRUE(policy.enabled);
    EXPECT_TRUE(policy.granted.empty());
    for (std::string_view command : {"kelvo.dialog.openFile", "kelvo.dialog.saveFile", "kelvo.clipboard.readText"}) {
        for (std::string_view origin : kDevOrigins) EXPECT_TRUE(policy.allows(command, origin));
        EXPECT_FALSE(policy.allows(command, "https://elsewhere.example"));
    }
    for (std::string_view command : {"kelvo.dialog.showMessage", "kelvo.window.list", "kelvo.clipboard.writeText",
                                     "kelvo.clipboard.read", "kelvo.clipboard.write", "kelvo.credentials.get",
                                     "kelvo.os.openUrl", "kelvo.view.create", "vostra.file.begin"}) {
        EXPECT_FALSE(policy.allows(command, "vexa://app")) << command;
    }
}

TEST(AppPolicies, SecurityPolicyListsTheTrustedOriginsAndExternalLinks) {
    SecurityPolicy security = appSecurityPolicy();
    EXPECT_TRUE(security.granted.empty());
    EXPECT_EQ(security.externalLinkAction, 1);
    ASSERT_EQ(security.origins.size(), 3u);
    for (std::string_view origin : kDevOrigins) EXPECT_TRUE(allowsOrigin(security.origins, origin));
    EXPECT_FALSE(allowsOrigin(security.origins, "https://vostra.example"));

    // Four HTTPS patterns (two sites, bare and "www.") and one plain-HTTP local host.
    ASSERT_EQ(security.externalLinks.size(), 5u);
    EXPECT_TRUE(security.externalLinks[4].starts_with("http://")) << security.externalLinks[4];
    for (int site = 0; site < 2; ++site) {
        std::string_view bare = security.externalLinks[2 * site];
        std::string_view www = security.externalLinks[2 * site + 1];
        EXPECT_EQ(std::string(www), "https://www." + std::string(bare.substr(8)));
    }
}

}  // namespace
}  // namespace kelvo
