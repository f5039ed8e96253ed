// Slots that configure the host once at start-up: the security policy, the menus and the global
// shortcuts. Menus and shortcuts are checked whole before anything reaches the host.

#include <array>
#include <memory>

#include "platform/macos/mac_slots.hpp"
#include "platform/types/validation.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kPolicyListBytes = 4096;
constexpr std::size_t kMaxMenus = 16;
constexpr std::size_t kMaxMenuItems = 128;
constexpr std::size_t kMaxMenuTitle = 64;
constexpr std::size_t kMaxMenuLabel = 128;
constexpr std::size_t kMaxMenuCommand = 128;
constexpr std::size_t kMaxShortcutId = 64;
constexpr std::size_t kMaxKey = 32;

// The flat arrays the host takes; too large for the stack.
struct ConfigurationScratch {
    std::array<char, kPolicyListBytes> origins;
    std::array<char, kPolicyListBytes> externalUrls;

    std::array<const char*, kMaxMenus> titles;
    std::array<std::uint64_t, kMaxMenus> titleLengths;
    std::array<std::uint32_t, kMaxMenuItems> itemMenus;
    std::array<const char*, kMaxMenuItems> labels;
    std::array<std::uint64_t, kMaxMenuItems> labelLengths;
    std::array<const char*, kMaxMenuItems> commands;
    std::array<std::uint64_t, kMaxMenuItems> commandLengths;
    std::array<const char*, kMaxMenuItems> keys;
    std::array<std::uint64_t, kMaxMenuItems> keyLengths;
    std::array<std::uint32_t, kMaxMenuItems> modifiers;
    std::array<std::int32_t, kMaxMenuItems> separators;
    std::array<std::int32_t, kMaxMenuItems> enabled;
    std::array<std::int32_t, kMaxMenuItems> checked;

    std::array<const char*, kMaxGlobalShortcuts> ids;
    std::array<std::uint64_t, kMaxGlobalShortcuts> idLengths;
    std::array<const char*, kMaxGlobalShortcuts> shortcutKeys;
    std::array<std::uint64_t, kMaxGlobalShortcuts> shortcutKeyLengths;
    std::array<std::uint32_t, kMaxGlobalShortcuts> shortcutModifiers;
};

ConfigurationScratch& scratch() {
    thread_local std::unique_ptr<ConfigurationScratch> scratch;
    if (!scratch) scratch = std::make_unique<ConfigurationScratch>();
    return *scratch;
}

// A key (when given) must be a known key of at most 32 bytes, and a key that cannot stand alone
// needs a modifier.
bool keyAccepted(std::string_view key, KeyModifiers modifiers) {
    if (key.empty()) return true;
    if (key.size() > kMaxKey || !isValidShortcutKey(key)) return false;
    return !shortcutRequiresModifier(key) || modifiers.any();
}

Status configureSecurityPolicy(void* services, const SecurityPolicy& policy) {
    MacPlatform& mac = macOf(services);
    ConfigurationScratch& s = scratch();
    std::size_t originsLength = 0;
    std::size_t externalLength = 0;
    if (!joinInto(policy.origins, '\n', s.origins, originsLength) ||
        !joinInto(policy.externalLinks, '\n', s.externalUrls, externalLength)) {
        return fail(Error::NoSpaceLeft);
    }
    mac.appkit->set_security_policy(mac.host, s.origins.data(), originsLength, s.externalUrls.data(), externalLength,
                                    static_cast<std::int32_t>(policy.externalLinkAction));
    return {};
}

Status validateMenus(std::span<const AppMenu> menus) {
    if (menus.size() > kMaxMenus) return fail(Error::InvalidMenuOptions);
    std::size_t items = 0;
    for (const AppMenu& menu : menus) {
        if (menu.title.empty() || menu.title.size() > kMaxMenuTitle) return fail(Error::InvalidMenuOptions);
        items += menu.items.size();
        if (items > kMaxMenuItems) return fail(Error::InvalidMenuOptions);
        for (const AppMenuItem& item : menu.items) {
            if (item.separator) continue;
            if (item.label.empty() || item.label.size() > kMaxMenuLabel) return fail(Error::InvalidMenuOptions);
            if (!isPlainCommandName(item.command, kMaxMenuCommand)) return fail(Error::InvalidCommand);
            if (!keyAccepted(item.key, item.modifiers)) return fail(Error::InvalidShortcut);
        }
    }
    return {};
}

Status configureMenus(void* services, std::span<const AppMenu> menus) {
    MacPlatform& mac = macOf(services);
    TRY(validateMenus(menus));
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    ConfigurationScratch& s = scratch();
    std::size_t count = 0;
    for (std::size_t m = 0; m < menus.size(); ++m) {
        s.titles[m] = menus[m].title.data();
        s.titleLengths[m] = menus[m].title.size();
        for (const AppMenuItem& item : menus[m].items) {
            s.itemMenus[count] = static_cast<std::uint32_t>(m);
            s.labels[count] = item.label.data();
            s.labelLengths[count] = item.label.size();
            s.commands[count] = item.command.data();
            s.commandLengths[count] = item.command.size();
            s.keys[count] = item.key.data();
            s.keyLengths[count] = item.key.size();
            s.modifiers[count] = modifierBits(item.modifiers);
            s.separators[count] = item.separator ? 1 : 0;
            s.enabled[count] = item.enabled ? 1 : 0;
            s.checked[count] = item.checked ? 1 : 0;
            ++count;
        }
    }
    mac.appkit->set_menus(mac.host, s.titles.data(), s.titleLengths.data(), menus.size(), s.itemMenus.data(),
                          s.labels.data(), s.labelLengths.data(), s.commands.data(), s.commandLengths.data(),
                          s.keys.data(), s.keyLengths.data(), s.modifiers.data(), s.separators.data(), s.enabled.data(),
                          s.checked.data(), count);
    return {};
}

Status configureShortcuts(void* services, std::span<const GlobalShortcut> shortcuts) {
    MacPlatform& mac = macOf(services);
    if (shortcuts.size() > kMaxGlobalShortcuts) return fail(Error::InvalidShortcut);
    for (const GlobalShortcut& shortcut : shortcuts) {
        if (!isPlainCommandName(shortcut.id, kMaxShortcutId) || shortcut.key.empty() ||
            !keyAccepted(shortcut.key, shortcut.modifiers)) {
            return fail(Error::InvalidShortcut);
        }
    }
    ConfigurationScratch& s = scratch();
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        s.ids[i] = shortcuts[i].id.data();
        s.idLengths[i] = shortcuts[i].id.size();
        s.shortcutKeys[i] = shortcuts[i].key.data();
        s.shortcutKeyLengths[i] = shortcuts[i].key.size();
        s.shortcutModifiers[i] = modifierBits(shortcuts[i].modifiers);
    }
    mac.appkit->set_shortcuts(mac.host, s.ids.data(), s.idLengths.data(), s.shortcutKeys.data(),
                              s.shortcutKeyLengths.data(), s.shortcutModifiers.data(), shortcuts.size());
    return {};
}

}  // namespace

void fillConfigurationSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.set_security_policy) slots.configureSecurityPolicy = configureSecurityPolicy;
    if (appkit.set_menus) slots.configureMenus = configureMenus;
    if (appkit.set_shortcuts) slots.configureShortcuts = configureShortcuts;
}

}  // namespace kelvo
