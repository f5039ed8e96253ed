#include "platform/macos/web/asset_scheme.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/memory_io.hpp"
#include "base/posix_io.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

// "<content> <MIME type>" of a served file, or the failure code.
std::string outcome(const tl::expected<AssetResponse, AssetFailure>& response) {
    if (!response) return std::to_string(static_cast<int>(response.error()));
    return std::string(response->bytes.begin(), response->bytes.end()) + " " + std::string(response->mimeType);
}

// A front-end folder "root" beside the folders "away" (its name as long as the root's, so a path
// into it differs from one into the root only before the separator) and "root-private", in a fresh
// temporary folder; each file holds a word that names it.
class AssetTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kelvo-assets-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = pattern;
        put("root/index.html", "index");
        put("root/app.js", "app");
        put("root/assets/logo.PNG", "logo");
        put("root/assets/data", "data");
        put("root/sub/page.html", "page");
        put("root/100%.txt", "percent");
        put("root/a b.css", "spaced");
        put("away/secret.txt", "secret");
        put("root-private/secret.txt", "private");
        fs::create_symlink("app.js", base_ / "root/link-in");
        fs::create_symlink("../away/secret.txt", base_ / "root/link-out");
        fs::create_symlink("../away", base_ / "root/dir-out");
        fs::create_symlink("../root-private/secret.txt", base_ / "root/link-beside");
        (void)handler.rootPath.assign(path("root"));
    }
    void TearDown() override { fs::remove_all(base_); }

    void put(const std::string& name, const std::string& content) {
        fs::create_directories((base_ / name).parent_path());
        std::ofstream(base_ / name) << content;
    }
    std::string path(const std::string& name) const { return (base_ / name).string(); }
    std::string serve(std::string_view url) { return outcome(serveAssetRequest(handler, io, posixRealPath, url)); }

    fs::path base_;
    Io io = posixIo();
    KelvoAssetSchemeHandler handler = makeAssetSchemeHandler();
};

TEST_F(AssetTree, RequestsServeTheirFileTheEntryOrFail) {
    for (const auto& row : testing::readTable("platform/web/asset_requests.txt")) {
        ASSERT_GE(row.size(), 3u);
        handler.spaFallback = row[0] == "on";
        std::string expected = row[2] + (row.size() > 3 ? " " + row[3] : "");
        EXPECT_EQ(serve(row[1]), expected) << row[0] << " " << row[1];
    }
}

TEST_F(AssetTree, TheEntryObeysTheRulesOfRequestPaths) {
    for (std::string_view entry : {"../away/secret.txt", "link-out", "sub/../index.html", "a\\b"}) {
        (void)handler.entryPath.assign(entry);
        EXPECT_EQ(serve("vexa://app/"), "-1000") << entry;
        EXPECT_EQ(serve("vexa://app/route"), "-1000") << entry;
        EXPECT_EQ(serve("vexa://app/app.js"), "app text/javascript") << entry;
    }
    (void)handler.entryPath.assign("/sub/page.html");
    EXPECT_EQ(serve("vexa://app/"), "page text/html");
    handler.entryPath.clear();
    EXPECT_EQ(serve("vexa://app/"), "index text/html");
}

TEST_F(AssetTree, ARootReachedThroughALinkServesItsFiles) {
    fs::create_directory_symlink(base_ / "root", base_ / "linked-root");
    (void)handler.rootPath.assign(path("linked-root"));
    EXPECT_EQ(serve("vexa://app/app.js"), "app text/javascript");
    EXPECT_EQ(serve("vexa://app/link-out"), "-1000");
}

TEST_F(AssetTree, NoUsableRootServesNothing) {
    handler.rootPath.clear();
    EXPECT_EQ(serve("vexa://app/"), "-1100");
    (void)handler.rootPath.assign(path("missing"));
    EXPECT_EQ(serve("vexa://app/"), "-1100");
    (void)handler.rootPath.assign(path("root/index.html"));
    EXPECT_EQ(serve("vexa://app/x"), "-1100");
    (void)handler.rootPath.assign(path("root"));
    EXPECT_EQ(serve(""), "-1000");
    EXPECT_EQ(serve("vexa://app/" + std::string(2000, 'a')), "index text/html");
    handler.spaFallback = false;
    EXPECT_EQ(serve("vexa://app/" + std::string(2000, 'a')), "-1100");
}

TEST(AssetMimeTypes, FollowTheLowerCasedExtension) {
    for (const auto& row : testing::readTable("platform/web/asset_mime_types.txt")) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(assetMimeType(row[0]), row[1]) << row[0];
    }
}

TEST(AssetRoots, RelativeRootsPreferTheRightFolder) {
    MemoryIo memory;
    memory.putFolder("/work/dist");
    memory.putFolder("/app/Resources/web");
    Io io = memoryIo(memory);
    auto field = [](const std::string& cell) { return cell == "-" ? std::string() : cell; };
    for (const auto& row : testing::readTable("platform/web/asset_roots.txt")) {
        ASSERT_EQ(row.size(), 4u);
        std::string resources = field(row[1]);
        AssetRootPlace place{row[0] == "bundle", resources, "/work"};
        KelvoAssetSchemeHandler handler = makeAssetSchemeHandler();
        EXPECT_TRUE(configureAssetSchemeHandler(handler, io, place, field(row[2]), "", false));
        EXPECT_EQ(handler.rootPath.view(), row[3]) << row[0] << " " << row[1] << " " << row[2];
        EXPECT_EQ(handler.entryPath.view(), "index.html");
        EXPECT_FALSE(handler.spaFallback);
    }
    KelvoAssetSchemeHandler handler = makeAssetSchemeHandler();
    std::string tooLong(kMaxIoPath + 1, 'a');
    EXPECT_EQ(configureAssetSchemeHandler(handler, io, {}, "/" + tooLong, "", true).error(), Error::NameTooLong);
    EXPECT_EQ(configureAssetSchemeHandler(handler, io, {}, "/srv", tooLong, true).error(), Error::NameTooLong);
    EXPECT_TRUE(handler.rootPath.empty());
}

}  // namespace
}  // namespace kelvo
