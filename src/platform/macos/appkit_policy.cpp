// The navigation and external-link lists the runtime installs. Web views consult them.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

void kelvo_appkit_set_security_policy(KelvoAppKitHost* host, const char* origins, std::size_t originsLength,
                                      const char* externalUrls, std::size_t externalUrlsLength, std::int32_t action) {
    setSecurityPolicy(host->web.policy, origins, originsLength, externalUrls, externalUrlsLength, action);
}

}  // namespace kelvo
