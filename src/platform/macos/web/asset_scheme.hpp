#pragma once

// The "vexa" URL scheme's side that needs no web view: where a window's front-end files live, which
// file a request names, and the file's bytes and MIME type. The host hands each scheme request's URL
// to serveAssetRequest and answers the web view with the result.

#include <cstdint>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "base/fixed.hpp"
#include "base/io.hpp"
#include "platform/macos/web/real_path.hpp"

namespace kelvo {

// How a request fails; the values are the codes the web view receives.
enum class AssetFailure : std::int32_t {
    bad_url = -1000,              // no URL, or a path the scheme refuses
    file_does_not_exist = -1100,  // nothing readable there, after the single-page fallback
};

// The largest file the scheme serves. A response goes to the web view whole, held in memory twice
// (here and in the page's process), so a file is read only when that is affordable: 64 MiB is
// several times the largest front-end bundles and WebAssembly modules, and far below what a
// machine that runs a web view has to spare. Larger files fail like unreadable ones.
inline constexpr std::uint64_t kMaxServedAssetBytes = std::uint64_t{64} * 1024 * 1024;

// One window's asset root, shared by all of the window's web views.
struct KelvoAssetSchemeHandler {
    InlineBytes<kMaxIoPath> rootPath;   // empty: every request fails
    InlineBytes<kMaxIoPath> entryPath;  // served for "/" and, with spaFallback, for missing files
    bool spaFallback = true;
};

// A handler with no root, the entry "index.html" and the single-page fallback on.
KelvoAssetSchemeHandler makeAssetSchemeHandler();

// Where the process runs, for resolving a relative asset root.
struct AssetRootPlace {
    bool insideAppBundle = false;    // the main bundle's path has the extension "app"
    std::string_view resourcesPath;  // the main bundle's resources folder, possibly empty
    std::string_view currentFolder;
};

// Points the handler at a root: "" or "." is the bundle's resources inside an app bundle (else the
// current folder); an absolute root is taken as given; a relative one prefers an existing folder
// under the current folder outside a bundle, and the resources folder inside one. An empty entry
// is "index.html". A root or entry too long for a path fails with NameTooLong and leaves the handler
// serving nothing.
Status configureAssetSchemeHandler(KelvoAssetSchemeHandler& handler, const Io& io, const AssetRootPlace& place,
                                   std::string_view root, std::string_view entry, bool spaFallback);

// The relative file path a request URL names ("" for the entry; no URL is bad_url). The URL's path is percent-decoded
// twice (when the second decoding fails, the once-decoded path stands) and refused (bad_url) when it
// holds a ".." or "." component, a backslash, a NUL byte, an encoded "/", or is not valid UTF-8.
// Host, query and fragment play no part.
tl::expected<std::string, AssetFailure> assetPathForUrl(std::string_view url);

struct AssetResponse {
    std::vector<std::uint8_t> bytes;  // the whole file
    std::string_view mimeType;
};

// Answers one request: the named file under the root, or the entry when the name finds nothing (or
// a folder) and the fallback is on. The entry obeys the rules of request paths; a file whose
// resolved path leaves the resolved root is refused (bad_url); one that cannot be read as a
// regular file of at most kMaxServedAssetBytes fails with file_does_not_exist, at once and without
// reading it (a FIFO, a socket, a device or a huge file alike).
tl::expected<AssetResponse, AssetFailure> serveAssetRequest(const KelvoAssetSchemeHandler& handler, const Io& io,
                                                            RealPathFn realPath, std::string_view url);

// The MIME type by the lower-cased extension of the path's last component.
std::string_view assetMimeType(std::string_view path);

}  // namespace kelvo
