#include "platform/macos/web/asset_scheme.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
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

// The POSIX I/O, counting the reads it is asked for.
struct CountingIo {
    static inline int reads = 0;
    static Result<std::size_t> countedRead(void* context, FileHandle file, std::span<std::uint8_t> buffer,
                                           std::uint64_t offset) {
        ++reads;
        return posixIo().ops->fileReadPositional(context, file, buffer, offset);
    }
    static Io io() {
        static const IoOps ops = [] {
            IoOps counted = *posixIo().ops;
            counted.fileReadPositional = countedRead;
            return counted;
        }();
        return Io{nullptr, &ops};
    }
};

// Only regular files are served, and only those small enough to be read whole: a FIFO, a socket or
// a device fails at once (the open never waits for a FIFO's writer), a huge file without a read.
TEST_F(AssetTree, OnlyRegularFilesOfABoundedSizeAreServed) {
    ::alarm(20);  // an open that waits for a FIFO's writer ends the test program instead of hanging it
    ASSERT_EQ(::mkfifo(path("root/pipe.js").c_str(), 0600), 0);
    int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("root/socket.js");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::vector<std::string> special = {"vexa://app/pipe.js", "vexa://app/socket.js"};
    // Making a device node needs root; anyone meets devices when the front-end folder is /dev.
    if (::geteuid() == 0) {
        ASSERT_EQ(::mknod(path("root/null.js").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        special.push_back("vexa://app/null.js");
    }
    for (bool fallback : {true, false}) {
        handler.spaFallback = fallback;
        for (const std::string& url : special) {
            auto started = std::chrono::steady_clock::now();
            EXPECT_EQ(serve(url), "-1100") << url;
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << url;
        }
        KelvoAssetSchemeHandler devices = makeAssetSchemeHandler();
        devices.spaFallback = fallback;
        (void)devices.rootPath.assign("/dev");
        for (std::string_view url : {"vexa://app/null", "vexa://app/zero", "vexa://app/urandom"}) {
            EXPECT_EQ(outcome(serveAssetRequest(devices, io, posixRealPath, url)), "-1100") << url;
        }
    }
    ::close(listener);
    ::alarm(0);

    // A sparse file of 8 TiB, or as large as the file system lets a file be.
    std::uint64_t hugeSize = std::uint64_t{8} << 40;
    int huge = ::open(path("root/huge.wasm").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(huge, 0);
    while (::ftruncate(huge, static_cast<off_t>(hugeSize)) != 0 && hugeSize > kMaxServedAssetBytes * 2) hugeSize /= 2;
    ::close(huge);
    ASSERT_EQ(fs::file_size(path("root/huge.wasm")), hugeSize);
    if (hugeSize != std::uint64_t{8} << 40)
        std::printf("the file system allows sparse files of %llu bytes\n", static_cast<unsigned long long>(hugeSize));
    // The largest file served, and one byte more.
    int limit = ::open(path("root/limit.wasm").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(limit, 0);
    ASSERT_EQ(::ftruncate(limit, static_cast<off_t>(kMaxServedAssetBytes)), 0);
    ::close(limit);
    fs::copy_file(path("root/limit.wasm"), path("root/over.wasm"));
    fs::resize_file(path("root/over.wasm"), kMaxServedAssetBytes + 1);

    Io counting = CountingIo::io();
    for (std::string_view url : {"vexa://app/huge.wasm", "vexa://app/over.wasm"}) {
        CountingIo::reads = 0;
        EXPECT_EQ(outcome(serveAssetRequest(handler, counting, posixRealPath, url)), "-1100") << url;
        EXPECT_EQ(CountingIo::reads, 0) << url;
    }
    auto served = serveAssetRequest(handler, counting, posixRealPath, "vexa://app/limit.wasm");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->bytes.size(), kMaxServedAssetBytes);
    EXPECT_EQ(served->mimeType, "application/wasm");
    fs::remove(path("root/huge.wasm"));
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
