#include "app/open_url.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <optional>

#include "app/policies.hpp"
#include "base/ascii.hpp"

namespace kelvo {

namespace {

// Longest DNS name.
constexpr std::size_t kMaxHostBytes = 253;

// Bytes a link may hold: unreserved characters, sub-delimiters, ":/?#@" and "%" for escapes. "["
// and "]" only ever enclose IPv6 hosts, which are never allowed, so they are refused with
// everything else.
bool isUrlByte(char c) {
    if (isAsciiAlnum(c)) return true;
    return std::string_view("-._~!$&'()*+,;=:/?#@%").find(c) != std::string_view::npos;
}

struct UrlParts {
    std::string_view scheme;
    std::string_view host;
};

// Splits an absolute URL with an authority ("scheme://host[:port][/path][?query][#fragment]") and
// refuses everything outside that grammar, including user names and passwords.
std::optional<UrlParts> parseUrl(std::string_view url) {
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (!isUrlByte(url[i])) return std::nullopt;
        if (url[i] == '%' && (i + 2 >= url.size() || !isHexDigit(url[i + 1]) || !isHexDigit(url[i + 2]))) {
            return std::nullopt;
        }
    }
    if (std::count(url.begin(), url.end(), '#') > 1) return std::nullopt;
    std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAsciiLetter(url[0])) return std::nullopt;
    std::string_view scheme = url.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(),
                     [](char c) { return isAsciiAlnum(c) || c == '+' || c == '-' || c == '.'; })) {
        return std::nullopt;
    }
    std::string_view rest = url.substr(colon + 1);
    if (!rest.starts_with("//")) return std::nullopt;
    std::string_view authority = rest.substr(2, rest.find_first_of("/?#", 2) - 2);
    if (authority.find('@') != std::string_view::npos) return std::nullopt;
    std::size_t portAt = authority.find(':');
    std::string_view host = authority.substr(0, portAt);
    std::string_view port = portAt == std::string_view::npos ? std::string_view() : authority.substr(portAt + 1);
    if (host.empty() || !std::all_of(port.begin(), port.end(), isDecimalDigit)) return std::nullopt;
    return UrlParts{scheme, host};
}

// The host with its escapes decoded and its letters lower-cased, as a browser would compare it;
// none unless it is made of letters, digits, "." and "-" only.
std::optional<std::string_view> normalHost(std::string_view host, std::array<char, kMaxHostBytes + 1>& out) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < host.size(); ++i) {
        char c = host[i];
        if (c == '%') {
            c = static_cast<char>(hexDigitValue(host[i + 1]) * 16 + hexDigitValue(host[i + 2]));
            i += 2;
        }
        c = toLowerAscii(c);
        if (!(isAsciiAlnum(c) || c == '.' || c == '-') || length == kMaxHostBytes) return std::nullopt;
        out[length++] = c;
    }
    out[length] = '\0';
    return std::string_view(out.data(), length);
}

// A dotted IPv4 address in 10.0.0.0/8, 172.16.0.0/12 or 192.168.0.0/16. `host` is NUL-terminated.
bool isPrivateIpv4(std::string_view host) {
    std::array<std::uint8_t, 4> address{};
    if (::inet_pton(AF_INET, host.data(), address.data()) != 1) return false;
    return address[0] == 10 || (address[0] == 172 && (address[1] & 0xF0) == 16) ||
           (address[0] == 192 && address[1] == 168);
}

// Whether "<scheme>://<host>/*" is one of the application's external-link patterns.
bool isListedHost(std::string_view scheme, std::string_view host) {
    return std::any_of(kExternalLinks.begin(), kExternalLinks.end(), [&](std::string_view pattern) {
        std::size_t separator = pattern.find("://");
        if (separator == std::string_view::npos || !pattern.ends_with("/*")) return false;
        std::string_view listed = pattern.substr(separator + 3, pattern.size() - separator - 5);
        return pattern.substr(0, separator) == scheme && listed == host;
    });
}

}  // namespace

bool externalUrlAllowed(std::string_view url) {
    if (url.empty() || url.size() > kMaxExternalUrlBytes) return false;
    auto parts = parseUrl(url);
    if (!parts) return false;
    std::array<char, kMaxHostBytes + 1> hostBytes;
    auto host = normalHost(parts->host, hostBytes);
    if (!host) return false;
    if (matchesLowerCaseWord(parts->scheme, "https")) return isListedHost("https", *host);
    if (matchesLowerCaseWord(parts->scheme, "http")) return isListedHost("http", *host) || isPrivateIpv4(*host);
    return false;
}

bool vostra_studio_open_url(const WorkspaceOpener& workspace, const char* bytes, std::uint64_t length) {
    if (bytes == nullptr || length == 0 || length > kMaxExternalUrlBytes) return false;
    std::string_view url(bytes, length);
    if (!externalUrlAllowed(url) || workspace.openUrl == nullptr) return false;
    return workspace.openUrl(workspace.context, url);
}

}  // namespace kelvo
