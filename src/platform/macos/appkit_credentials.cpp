// Stored credentials: secrets by service and account, filed under this application's identifier
// so that no other application's item is read, replaced or deleted.

#include <cstring>

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// A service or account name the keyring can hold faithfully: present, and without a NUL byte
// (the keyring's names end at one, so "a\0b" would name the item "a").
bool isItemName(std::string_view name) { return !name.empty() && name.find('\0') == std::string_view::npos; }

}  // namespace

std::int32_t kelvo_appkit_set_credential(KelvoAppKitHost* host, const char* service, std::size_t serviceLength,
                                         const char* account, std::size_t accountLength, const std::uint8_t* secret,
                                         std::size_t secretLength) {
    std::string_view serviceName = hostText(service, serviceLength);
    std::string_view accountName = hostText(account, accountLength);
    if (!isItemName(serviceName) || !isItemName(accountName) || secret == nullptr || secretLength == 0) return 0;
    std::string_view bytes(reinterpret_cast<const char*>(secret), secretLength);
    return host->platform->keyring.store(host->platform->self, host->bundleIdentifier, serviceName, accountName, bytes)
               ? 1
               : 0;
}

std::uint64_t kelvo_appkit_get_credential(KelvoAppKitHost* host, const char* service, std::size_t serviceLength,
                                          const char* account, std::size_t accountLength, std::uint8_t* buffer,
                                          std::size_t capacity) {
    std::string_view serviceName = hostText(service, serviceLength);
    std::string_view accountName = hostText(account, accountLength);
    if (!isItemName(serviceName) || !isItemName(accountName) || buffer == nullptr) return 0;
    std::optional<std::string> secret =
        host->platform->keyring.lookup(host->platform->self, host->bundleIdentifier, serviceName, accountName);
    if (!secret) return 0;
    if (!secret->empty() && secret->size() <= capacity) std::memcpy(buffer, secret->data(), secret->size());
    return secret->size();
}

std::int32_t kelvo_appkit_delete_credential(KelvoAppKitHost* host, const char* service, std::size_t serviceLength,
                                            const char* account, std::size_t accountLength) {
    std::string_view serviceName = hostText(service, serviceLength);
    std::string_view accountName = hostText(account, accountLength);
    if (!isItemName(serviceName) || !isItemName(accountName)) return 0;
    return host->platform->keyring.remove(host->platform->self, host->bundleIdentifier, serviceName, accountName) ? 1
                                                                                                                  : 0;
}

}  // namespace kelvo
