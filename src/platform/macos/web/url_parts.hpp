#pragma once

// Private to src/platform/macos/web: the URL reading shared by the navigation policy and the asset
// scheme.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo {

// The parts of a URL the web views' rules look at, as views into the text. Nothing is decoded.
struct UrlParts {
    std::string_view scheme;            // as written; empty for a reference without one
    std::string_view host;              // without the brackets of an IPv6 literal; empty when there is none
    std::string_view path;              // percent-encoded, as written
    std::optional<std::uint32_t> port;  // only when digits follow the host's ":"
};

// Splits `text` by the generic URL syntax (scheme ":" ["//" authority] path ["?" query]
// ["#" fragment]). Text that is no URL gives nothing: a byte outside printable ASCII, one of
// `"<>\^`{|}`, a "%" without two hexadecimal digits, a scheme that does not start with a letter,
// a ":" in the first segment of a reference without scheme, a port with a non-digit or above
// 65535, a bracket outside an IPv6 host, or a second "#".
std::optional<UrlParts> parseUrl(std::string_view text);

// `scheme` in lower case equals `lowerCaseWord`.
bool schemeIs(std::string_view scheme, std::string_view lowerCaseWord);

}  // namespace kelvo
