#include "platform/macos/web/asset_scheme.hpp"

#include <array>
#include <new>
#include <optional>

#include "base/ascii.hpp"
#include "base/utf8.hpp"
#include "platform/macos/web/url_parts.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kDefaultEntry = "index.html";

using Refusal = tl::unexpected<AssetFailure>;
constexpr Refusal refused(AssetFailure failure) { return Refusal(failure); }

enum class Decoding : std::uint8_t { decoded, malformed, refused };

// Percent-decodes `text` into `out`. An escape that stands for "/", a backslash or NUL is refused:
// once decoded it would split or end the name differently from what the URL says.
Decoding percentDecode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) return Decoding::malformed;
        char byte = static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
        if (byte == '/' || byte == '\\' || byte == '\0') return Decoding::refused;
        out.push_back(byte);
        i += 2;
    }
    return Decoding::decoded;
}

std::string_view withoutLeadingSlashes(std::string_view path) {
    std::size_t start = path.find_first_not_of('/');
    return start == std::string_view::npos ? std::string_view() : path.substr(start);
}

// The rules every served path obeys, the entry included: no "." or ".." component, no backslash and
// no NUL byte. Empty components (from "//") are allowed.
bool isServablePath(std::string_view path) {
    if (path.find_first_of(std::string_view("\\\0", 2)) != std::string_view::npos) return false;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view component = path.substr(start, end - start);
        if (component == "." || component == "..") return false;
        start = end + 1;
    }
    return true;
}

// "<base>/<component>" without doubled separators; false when it does not fit a path.
bool joinPath(InlineBytes<kMaxIoPath>& out, std::string_view base, std::string_view component) {
    while (base.size() > 1 && base.ends_with('/')) base.remove_suffix(1);
    component = withoutLeadingSlashes(component);
    out.clear();
    if (base.empty()) return out.assign(component);
    if (!out.assign(base)) return false;
    if (component.empty()) return true;
    if (!base.ends_with('/') && !out.append("/")) return false;
    return out.append(component);
}

bool isFolder(const Io& io, std::string_view path) {
    Result<FileStat> stat = ioPathStat(io, path);
    return stat && stat->kind == FileKind::directory;
}

// Whether `path` is `root` or lies under it (both resolved).
bool isInside(std::string_view path, std::string_view root) {
    if (!path.starts_with(root)) return false;
    return path.size() == root.size() || root.ends_with('/') || path[root.size()] == '/';
}

tl::expected<std::string_view, AssetFailure> entryOf(const KelvoAssetSchemeHandler& handler) {
    std::string_view entry = withoutLeadingSlashes(handler.entryPath.view());
    if (entry.empty()) entry = kDefaultEntry;
    if (!isServablePath(entry)) return refused(AssetFailure::bad_url);
    return entry;
}

struct ResolvedFile {
    InlineBytes<kMaxIoPath> path;
    std::string_view mimeType;
};

tl::expected<ResolvedFile, AssetFailure> resolveFile(const KelvoAssetSchemeHandler& handler, const Io& io,
                                                     RealPathFn realPath, std::string_view url) {
    std::string_view root = handler.rootPath.view();
    if (root.empty()) return refused(AssetFailure::file_does_not_exist);
    tl::expected<std::string, AssetFailure> relative = assetPathForUrl(url);
    if (!relative) return refused(relative.error());
    ResolvedFile file;
    bool named = false;
    if (!relative->empty()) {
        // A name too long for a path names no file.
        bool fits = joinPath(file.path, root, *relative);
        if (!fits && !handler.spaFallback) return refused(AssetFailure::file_does_not_exist);
        Result<FileStat> stat = fits ? ioPathStat(io, file.path.view()) : fail(Error::NameTooLong);
        named = !handler.spaFallback || (stat && stat->kind != FileKind::directory);
    }
    if (!named) {
        tl::expected<std::string_view, AssetFailure> entry = entryOf(handler);
        if (!entry) return refused(entry.error());
        if (!joinPath(file.path, root, *entry)) return refused(AssetFailure::file_does_not_exist);
    }
    file.mimeType = assetMimeType(file.path.view());

    std::array<char, kMaxIoPath> rootBuffer;
    std::array<char, kMaxIoPath> fileBuffer;
    Result<std::string_view> realRoot = realPath(root, rootBuffer);
    Result<std::string_view> realFile = realPath(file.path.view(), fileBuffer);
    if (!realRoot || !realFile) return refused(AssetFailure::file_does_not_exist);
    if (!isInside(*realFile, *realRoot)) return refused(AssetFailure::bad_url);
    if (!file.path.assign(*realFile)) return refused(AssetFailure::file_does_not_exist);
    return file;
}

// Whether an open file may be served: a regular file small enough to go out in one piece.
bool isServable(const Result<FileStat>& stat) {
    return stat && stat->kind == FileKind::regular && stat->size <= kMaxServedAssetBytes;
}

tl::expected<std::vector<std::uint8_t>, AssetFailure> readWholeFile(const Io& io, std::string_view path) {
    // The path is resolved: a link found here was put in meanwhile and is not followed. The open
    // never waits, so a FIFO or a device cannot hold the main thread; its kind then refuses it.
    Result<FileHandle> file =
        ioOpenFile(io, path, {.access = FileAccess::read_only, .followSymlinks = false, .nonBlocking = true});
    if (!file) return refused(AssetFailure::file_does_not_exist);
    std::vector<std::uint8_t> bytes;
    Result<FileStat> stat = ioFileStat(io, *file);
    bool readable = isServable(stat);
    if (readable) {
        try {
            bytes.resize(stat->size);
        } catch (const std::bad_alloc&) {
            readable = false;  // no memory for it now: as unreadable as a missing file
        }
    }
    if (readable) {
        Result<std::size_t> count = ioReadAllAt(io, *file, bytes, 0);
        readable = count.has_value();
        if (readable) bytes.resize(*count);
    }
    (void)ioClose(io, *file);
    if (!readable) return refused(AssetFailure::file_does_not_exist);
    return bytes;
}

}  // namespace

KelvoAssetSchemeHandler makeAssetSchemeHandler() {
    KelvoAssetSchemeHandler handler;
    (void)handler.entryPath.assign(kDefaultEntry);
    return handler;
}

Status configureAssetSchemeHandler(KelvoAssetSchemeHandler& handler, const Io& io, const AssetRootPlace& place,
                                   std::string_view root, std::string_view entry, bool spaFallback) {
    InlineBytes<kMaxIoPath>& out = handler.rootPath;
    bool fits = true;
    if (root.empty() || root == ".") {
        bool resources = place.insideAppBundle && !place.resourcesPath.empty();
        fits = out.assign(resources ? place.resourcesPath : place.currentFolder);
    } else if (root.starts_with('/')) {
        fits = out.assign(root);
    } else {
        InlineBytes<kMaxIoPath> underCurrent;
        InlineBytes<kMaxIoPath> underResources;
        bool currentFits = joinPath(underCurrent, place.currentFolder, root);
        bool resourcesFit = !place.resourcesPath.empty() && joinPath(underResources, place.resourcesPath, root);
        if (!place.insideAppBundle && currentFits && isFolder(io, underCurrent.view())) {
            out = underCurrent;
        } else if (resourcesFit && (place.insideAppBundle || isFolder(io, underResources.view()))) {
            out = underResources;
        } else {
            out = underCurrent;
            fits = currentFits;
        }
    }
    handler.spaFallback = spaFallback;
    if (fits && handler.entryPath.assign(entry.empty() ? kDefaultEntry : entry)) return {};
    out.clear();
    return fail(Error::NameTooLong);
}

tl::expected<std::string, AssetFailure> assetPathForUrl(std::string_view url) {
    std::optional<UrlParts> parts = url.empty() ? std::nullopt : parseUrl(url);
    if (!parts) return refused(AssetFailure::bad_url);
    std::string once;
    if (percentDecode(parts->path, once) != Decoding::decoded || !isValidUtf8(once)) {
        return refused(AssetFailure::bad_url);
    }
    std::string twice;
    Decoding second = percentDecode(once, twice);
    if (second == Decoding::refused) return refused(AssetFailure::bad_url);
    std::string path = second == Decoding::decoded && isValidUtf8(twice) ? std::move(twice) : std::move(once);
    std::string_view relative = withoutLeadingSlashes(path);
    if (!isServablePath(relative)) return refused(AssetFailure::bad_url);
    return std::string(relative);
}

tl::expected<AssetResponse, AssetFailure> serveAssetRequest(const KelvoAssetSchemeHandler& handler, const Io& io,
                                                            RealPathFn realPath, std::string_view url) {
    tl::expected<ResolvedFile, AssetFailure> file = resolveFile(handler, io, realPath, url);
    if (!file) return refused(file.error());
    tl::expected<std::vector<std::uint8_t>, AssetFailure> bytes = readWholeFile(io, file->path.view());
    if (!bytes) return refused(bytes.error());
    return AssetResponse{std::move(*bytes), file->mimeType};
}

std::string_view assetMimeType(std::string_view path) {
    struct Row {
        std::string_view extension;
        std::string_view mimeType;
    };
    static constexpr Row kTable[] = {
        {"html", "text/html"},      {"htm", "text/html"},         {"js", "text/javascript"},
        {"mjs", "text/javascript"}, {"css", "text/css"},          {"json", "application/json"},
        {"svg", "image/svg+xml"},   {"png", "image/png"},         {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},     {"gif", "image/gif"},         {"webp", "image/webp"},
        {"woff", "font/woff"},      {"woff2", "font/woff2"},      {"ttf", "font/ttf"},
        {"otf", "font/otf"},        {"wasm", "application/wasm"},
    };
    std::string_view name = path.substr(path.rfind('/') + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return "application/octet-stream";
    std::string_view extension = name.substr(dot + 1);
    for (const Row& row : kTable) {
        if (matchesLowerCaseWord(extension, row.extension)) return row.mimeType;
    }
    return "application/octet-stream";
}

}  // namespace kelvo
