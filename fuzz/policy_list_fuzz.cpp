// Reads arbitrary policy texts and URLs: the text before the first NUL byte is a policy list, the
// rest a URL. Every parsed entry is a trimmed, non-empty line; a list holding "*" matches every
// URL; opening a link agrees with matching the list; the origin rules always give an origin.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/macos/web/navigation_policy.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\0');
    std::string_view listText = input.substr(0, split);
    std::string_view url = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    kelvo::NavigationPolicy policy;
    kelvo::setSecurityPolicy(policy, listText.data(), listText.size(), listText.data(), listText.size(), 1);
    check(!policy.allowedNavigationOrigins.empty());
    for (const std::string& entry : policy.allowedExternalUrls) {
        check(!entry.empty() && entry.find('\n') == std::string::npos);
        check(entry.front() != ' ' && entry.back() != ' ' && entry.back() != '\r' && entry.back() != '\t');
    }

    bool matches = kelvo::kelvoPolicyListMatches(policy.allowedExternalUrls, url);
    check(kelvo::shouldOpenExternalUrl(policy, url) == matches);

    policy.allowedExternalUrls.push_back("*");
    check(kelvo::kelvoPolicyListMatches(policy.allowedExternalUrls, url));

    std::string origin = kelvo::bridgeOriginForUri(url);
    check(!origin.empty());
    check(origin == "null" || origin.find("://") != std::string::npos);
    return 0;
}
