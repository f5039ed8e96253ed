// The two bundle functions: the front-end folder and the link check with its opener.

#include <gtest/gtest.h>

#include <string>

#include "app/app_fixture.hpp"
#include "app/bundle_paths.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

TEST(OpenUrl, OnlyLinksOnTheAllowListReachTheOpener) {
    auto rows = testing::readTable("app/external_urls.txt");
    EXPECT_GE(rows.size(), 30u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 2u) << row[0];
        std::string url = testing::unescapedCell(row[0]);
        testing::RecordingOpener links;
        bool opened = vostra_studio_open_url(links.opener(), url.data(), url.size());
        EXPECT_EQ(opened, row[1] == "open") << row[0];
        EXPECT_EQ(links.opened, opened ? std::vector<std::string>{url} : std::vector<std::string>{}) << row[0];
    }
}

TEST(OpenUrl, LengthOpenerAndItsAnswer) {
    std::string url = "https://vostra.example/";
    url.resize(kMaxExternalUrlBytes, 'p');
    testing::RecordingOpener links;
    EXPECT_TRUE(vostra_studio_open_url(links.opener(), url.data(), url.size()));
    url.push_back('p');
    EXPECT_FALSE(vostra_studio_open_url(links.opener(), url.data(), url.size()));
    EXPECT_FALSE(vostra_studio_open_url(links.opener(), nullptr, 5));
    EXPECT_EQ(links.opened.size(), 1u);

    std::string_view allowed = "https://kelvo.example/";
    EXPECT_FALSE(vostra_studio_open_url(WorkspaceOpener{}, allowed.data(), allowed.size()));
    WorkspaceOpener failing{nullptr, [](void*, std::string_view) { return false; }};
    EXPECT_FALSE(vostra_studio_open_url(failing, allowed.data(), allowed.size()));
}

TEST(ResourcePath, TheFrontEndFolderAndTheIconOfTheExecutableOrItsBundle) {
    using Finder = std::uint64_t (*)(std::string_view, char*, std::uint64_t);
    for (const std::string& line : testing::readLines("app/resource_folders.txt")) {
        std::size_t tab = line.find('\t');
        std::size_t secondTab = line.find('\t', tab + 1);
        ASSERT_NE(secondTab, std::string::npos) << line;
        const std::string executable = line.substr(0, tab);
        const std::pair<Finder, std::string> cases[] = {
            {frontendFolderOf, line.substr(tab + 1, secondTab - tab - 1)},
            {bundleIconOf, line.substr(secondTab + 1)},
        };
        for (const auto& [find, expected] : cases) {
            char buffer[kResourcePathBytes];
            std::uint64_t length = find(executable, buffer, sizeof buffer);
            EXPECT_EQ(length == 0 ? "-" : std::string(buffer, length), expected) << line;
            if (length > 0) {
                EXPECT_EQ(buffer[length], '\0');
                EXPECT_EQ(find(executable, buffer, length), 0u) << "no room for the NUL";
                EXPECT_EQ(find(executable, buffer, length + 1), length);
            }
        }
    }
}

TEST(ResourcePath, ThisProgramsFolderFitsTheStartUpBufferAndNotTenBytes) {
    char buffer[kResourcePathBytes];
    std::uint64_t length = vostra_studio_resource_path(buffer, sizeof buffer);
    ASSERT_GT(length, 0u);
    std::string folder(buffer, length);
    EXPECT_TRUE(folder.starts_with("/") && folder.ends_with("/tests/frontend/dist")) << folder;
    EXPECT_EQ(vostra_studio_resource_path(buffer, 10), 0u);
    EXPECT_EQ(vostra_studio_resource_path(nullptr, sizeof buffer), 0u);
}

}  // namespace
}  // namespace kelvo
