#include "platform/macos/web/navigation_policy.hpp"

#include <optional>

#include "base/ascii.hpp"
#include "base/utf8.hpp"
#include "platform/macos/web/url_parts.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kInlineOrigin = "vexa://inline";

bool isInlinePage(const UrlParts& parts) { return parts.scheme.empty() || schemeIs(parts.scheme, "about"); }

// "<scheme>://<host>[:<port>]" with the scheme lower-cased, "<scheme>://local" without host; ports
// below `shownFrom` are left out.
std::string schemeHostText(const UrlParts& parts, std::uint32_t shownFrom) {
    std::string origin;
    for (char byte : parts.scheme) origin.push_back(toLowerAscii(byte));
    origin += "://";
    if (parts.host.empty()) return origin + "local";
    origin += parts.host;
    if (parts.port && *parts.port >= shownFrom) {
        origin += ':';
        origin += std::to_string(*parts.port);
    }
    return origin;
}

// The origin text list entries are compared with; an explicit port is always shown.
std::string originText(const std::optional<UrlParts>& parts) {
    if (!parts) return {};
    if (isInlinePage(*parts)) return std::string(kInlineOrigin);
    if (schemeIs(parts->scheme, "file")) return "file://local";
    return schemeHostText(*parts, 0);
}

bool prefixPatternMatches(std::string_view entry, std::string_view absolute) {
    std::string_view prefix = entry.substr(0, entry.size() - 1);
    std::optional<UrlParts> parts = parseUrl(prefix);
    if (!parts || parts->scheme.empty() || parts->host.empty() || parts->path.empty()) return false;
    return absolute.starts_with(prefix);
}

// The length of the white space or line end (Unicode's White_Space set) that starts at `at`, or 0.
std::size_t whiteSpaceAt(std::string_view text, std::size_t at) {
    static constexpr std::string_view kMultiByteSpaces[] = {
        "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\xA8",
        "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
    };
    char byte = text[at];
    if (byte == ' ' || (byte >= '\t' && byte <= '\r')) return 1;
    std::string_view rest = text.substr(at);
    // U+2000 to U+200A.
    if (rest.size() >= 3 && rest.starts_with("\xE2\x80")) {
        auto last = static_cast<unsigned char>(rest[2]);
        if (last >= 0x80 && last <= 0x8A) return 3;
    }
    for (std::string_view space : kMultiByteSpaces) {
        if (rest.starts_with(space)) return space.size();
    }
    return 0;
}

std::string_view trimmed(std::string_view line) {
    std::size_t start = 0;
    std::size_t end = 0;  // after the last character that is not white space
    std::size_t at = 0;
    bool seenText = false;
    while (at < line.size()) {
        std::size_t space = whiteSpaceAt(line, at);
        std::size_t length = space != 0 ? space : utf8UnitAt(line, at).length;
        if (space == 0) {
            if (!seenText) start = at;
            seenText = true;
            end = at + length;
        }
        at += length;
    }
    return seenText ? line.substr(start, end - start) : std::string_view();
}

std::vector<std::string> listOf(std::span<const std::string_view> entries) {
    return std::vector<std::string>(entries.begin(), entries.end());
}

}  // namespace

bool kelvoPolicyListMatches(std::span<const std::string> list, std::string_view url) {
    std::optional<UrlParts> parts = parseUrl(url);
    std::string origin = originText(parts);
    std::string_view absolute = parts ? url : std::string_view();
    for (const std::string& entry : list) {
        if (entry == "*" || entry == origin || entry == absolute) return true;
        if (entry.ends_with('*') && prefixPatternMatches(entry, absolute)) return true;
    }
    return false;
}

std::vector<std::string> kelvoPolicyListFromBytes(const char* bytes, std::size_t length,
                                                  std::span<const std::string_view> defaults) {
    if (bytes == nullptr || length == 0) return listOf(defaults);
    std::string_view text(bytes, length);
    if (!isValidUtf8(text)) return listOf(defaults);
    std::vector<std::string> list;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view entry = trimmed(text.substr(start, end - start));
        if (!entry.empty()) list.emplace_back(entry);
        start = end + 1;
    }
    return list.empty() ? listOf(defaults) : list;
}

void setSecurityPolicy(NavigationPolicy& policy, const char* origins, std::size_t originsLength,
                       const char* externalUrls, std::size_t externalUrlsLength, std::int32_t action) {
    policy.allowedNavigationOrigins = kelvoPolicyListFromBytes(origins, originsLength, kDefaultNavigationOrigins);
    policy.allowedExternalUrls = kelvoPolicyListFromBytes(externalUrls, externalUrlsLength, {});
    policy.externalLinkAction = action;
}

bool allowsNavigationUrl(const NavigationPolicy& policy, std::string_view url) {
    if (url.empty()) return true;
    std::optional<UrlParts> parts = parseUrl(url);
    if (!parts) return false;
    if (isInlinePage(*parts)) return true;
    return kelvoPolicyListMatches(policy.allowedNavigationOrigins, url);
}

bool shouldOpenExternalUrl(const NavigationPolicy& policy, std::string_view url) {
    return policy.externalLinkAction == kOpenAllowedExternalLinks &&
           kelvoPolicyListMatches(policy.allowedExternalUrls, url);
}

std::string bridgeOriginForUri(std::string_view uri) {
    if (uri.empty()) return std::string(kInlineOrigin);
    std::optional<UrlParts> parts = parseUrl(uri);
    if (!parts) return "null";
    if (isInlinePage(*parts)) return std::string(kInlineOrigin);
    return schemeHostText(*parts, 1);
}

}  // namespace kelvo
