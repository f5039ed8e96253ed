// Serves arbitrary request URLs from a small front-end folder that has a file and a symbolic link
// beside it, outside the root. Whatever a URL says, the path it names has no "." or ".." component,
// backslash or NUL, and no request is ever answered with a byte of what lies outside the root.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "base/posix_io.hpp"
#include "platform/macos/web/asset_scheme.hpp"

namespace {

namespace fs = std::filesystem;

void check(bool condition) {
    if (!condition) std::abort();
}

struct Tree {
    Tree() {
        std::string pattern = (fs::temp_directory_path() / "kelvo-asset-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        base = pattern;
        fs::create_directories(base / "root/sub");
        fs::create_directories(base / "away");
        std::ofstream(base / "root/index.html") << "index";
        std::ofstream(base / "root/sub/app.js") << "app";
        std::ofstream(base / "away/secret") << "SECRET";
        fs::create_symlink("../away/secret", base / "root/link");
        fs::create_symlink("../away", base / "root/folder");
        (void)handler.rootPath.assign((base / "root").string());
    }
    ~Tree() { fs::remove_all(base); }

    fs::path base;
    kelvo::KelvoAssetSchemeHandler handler = kelvo::makeAssetSchemeHandler();
};

bool isSafeRelativePath(const std::string& path) {
    std::string walled = "/" + path + "/";
    bool dotComponent = walled.find("/./") != std::string::npos || walled.find("/../") != std::string::npos;
    return !dotComponent && path.find('\\') == std::string::npos && path.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Tree tree;
    static const kelvo::Io io = kelvo::posixIo();
    std::string_view input(reinterpret_cast<const char*>(data), size);

    tl::expected<std::string, kelvo::AssetFailure> path = kelvo::assetPathForUrl(input);
    if (path) check(isSafeRelativePath(*path) && !path->starts_with('/'));

    for (bool fallback : {true, false}) {
        tree.handler.spaFallback = fallback;
        auto response = kelvo::serveAssetRequest(tree.handler, io, kelvo::posixRealPath, input);
        if (!response) continue;
        std::string_view body(reinterpret_cast<const char*>(response->bytes.data()), response->bytes.size());
        check(body == "index" || body == "app");
    }
    return 0;
}
