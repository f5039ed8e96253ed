// The headless keyring: secrets in memory, each item filed under its application.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

auto itemKey(std::string_view application, std::string_view service, std::string_view account) {
    return std::tuple(std::string(application), std::string(service), std::string(account));
}

std::string describe(std::string_view application, std::string_view service, std::string_view account) {
    return std::string(application) + " service=" + std::string(service) + " account=" + std::string(account);
}

bool store(void* self, std::string_view application, std::string_view service, std::string_view account,
           std::string_view secret) {
    HeadlessState& state = headlessState(self);
    state.note("keyring.store " + describe(application, service, account));
    if (state.services.keyringFails) return false;
    state.services.keyring[itemKey(application, service, account)] = std::string(secret);
    return true;
}

std::optional<std::string> lookup(void* self, std::string_view application, std::string_view service,
                                  std::string_view account) {
    HeadlessState& state = headlessState(self);
    state.note("keyring.lookup " + describe(application, service, account));
    if (state.services.keyringFails) return std::nullopt;
    auto item = state.services.keyring.find(itemKey(application, service, account));
    if (item == state.services.keyring.end()) return std::nullopt;
    return item->second;
}

bool remove(void* self, std::string_view application, std::string_view service, std::string_view account) {
    HeadlessState& state = headlessState(self);
    state.note("keyring.remove " + describe(application, service, account));
    if (state.services.keyringFails) return false;
    return state.services.keyring.erase(itemKey(application, service, account)) == 1;
}

}  // namespace

KeyringService headlessKeyring() {
    KeyringService keyring;
    KELVO_STANDIN_FILL(keyring, KELVO_STANDIN_KEYRING_FUNCTIONS)
    return keyring;
}

}  // namespace kelvo::standin
