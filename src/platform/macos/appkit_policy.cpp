// The navigation and external-link lists the runtime installs. Web views consult them.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// One entry a line, trimmed, blank lines dropped; the default list when nothing is left.
std::vector<std::string> policyList(std::string_view text, std::vector<std::string> fallback) {
    std::vector<std::string> entries;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
        while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
        if (!line.empty()) entries.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return entries.empty() ? fallback : entries;
}

}  // namespace

void kelvo_appkit_set_security_policy(KelvoAppKitHost* host, const char* origins, std::size_t originsLength,
                                      const char* externalUrls, std::size_t externalUrlsLength, std::int32_t action) {
    host->allowedNavigationOrigins = policyList(hostText(origins, originsLength), {"vexa://app", "vexa://inline"});
    host->allowedExternalUrls = policyList(hostText(externalUrls, externalUrlsLength), {});
    host->externalLinkAction = action;
}

}  // namespace kelvo
