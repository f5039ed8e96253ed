#pragma once

// Which URLs the web views may load, which refused links go to the default browser, and the
// origin a bridge message carries. Pure functions over URL texts; the host keeps one
// NavigationPolicy and replaces its lists whole when the runtime installs its security policy.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// The navigation origins every host starts with (and falls back to).
inline constexpr std::string_view kDefaultNavigationOrigins[] = {"vexa://app", "vexa://inline"};

// The action value that opens allowed external links in the default browser; any other never opens.
inline constexpr std::int64_t kOpenAllowedExternalLinks = 1;

struct NavigationPolicy {
    std::vector<std::string> allowedNavigationOrigins{std::string(kDefaultNavigationOrigins[0]),
                                                      std::string(kDefaultNavigationOrigins[1])};
    std::vector<std::string> allowedExternalUrls;
    std::int64_t externalLinkAction = 0;
};

// Whether `url` matches an entry of `list`: "*"; the URL's origin text ("vexa://inline" for a URL
// without scheme or with "about", "file://local", "<scheme>://local" without host,
// "<scheme>://<host>[:<port>]" otherwise, the scheme lower-cased and the host as written); the whole
// URL; or an entry "<P>*" where P has a scheme, a host and a path and the URL begins with P. Text
// that is no URL counts as no URL (empty origin and text). Comparisons are exact.
bool kelvoPolicyListMatches(std::span<const std::string> list, std::string_view url);

// A policy list from UTF-8 text: lines split at "\n", trimmed of Unicode white space and line ends,
// blank lines dropped. A null or empty text, invalid UTF-8 or a text of blank lines gives `defaults`.
std::vector<std::string> kelvoPolicyListFromBytes(const char* bytes, std::size_t length,
                                                  std::span<const std::string_view> defaults);

// Installs the runtime's lists (each "\n"-joined, null for none) and external-link action.
void setSecurityPolicy(NavigationPolicy& policy, const char* origins, std::size_t originsLength,
                       const char* externalUrls, std::size_t externalUrlsLength, std::int32_t action);

// Whether a web view may load `url`: yes for no URL (empty text), a URL without scheme and "about:"
// pages, otherwise when the allowed origins match it. Text that is no URL is refused.
bool allowsNavigationUrl(const NavigationPolicy& policy, std::string_view url);

// Whether a refused navigation to `url` is handed to the default browser: only with the open action
// and a match in the allowed external URLs.
bool shouldOpenExternalUrl(const NavigationPolicy& policy, std::string_view url);

// The caller origin of a bridge message posted by the page whose committed URL is `uri`:
// "vexa://inline" for no URL and "about:" pages, "<scheme>://local" without host,
// "<scheme>://<host>:<port>" with a port of 1 or more, else "<scheme>://<host>". Text that is no
// URL gives "null", which no allow-list holds.
std::string bridgeOriginForUri(std::string_view uri);

}  // namespace kelvo
