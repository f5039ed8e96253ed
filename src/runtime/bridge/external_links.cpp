#include "runtime/bridge/external_links.hpp"

#include <cstdint>
#include <optional>

namespace kelvo {
namespace {

constexpr std::uint32_t kOpenExternalLinks = 1;

// The part of `text` after "https://" or "http://", or none.
std::optional<std::string_view> afterWebScheme(std::string_view text) {
    for (std::string_view scheme : {std::string_view("https://"), std::string_view("http://")}) {
        if (text.starts_with(scheme)) return text.substr(scheme.size());
    }
    return std::nullopt;
}

}  // namespace

bool externalLinkPatternAdmits(std::string_view pattern, std::string_view url) {
    if (pattern == "*" || pattern == url) return true;
    if (!pattern.ends_with('*')) return false;
    std::string_view stem = pattern.substr(0, pattern.size() - 1);
    std::optional<std::string_view> hostAndPath = afterWebScheme(stem);
    if (!hostAndPath) return false;
    std::size_t slash = hostAndPath->find('/');
    if (slash == std::string_view::npos || slash == 0) return false;
    return url.starts_with(stem);
}

bool externalLinkAllowed(const SecurityPolicy& security, std::string_view url) {
    if (security.externalLinkAction != kOpenExternalLinks) return false;
    for (std::string_view pattern : security.externalLinks) {
        if (externalLinkPatternAdmits(pattern, url)) return true;
    }
    return false;
}

}  // namespace kelvo
