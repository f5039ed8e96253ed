#pragma once

// Configuring a host's menus the way the platform adapter does: menu titles and parallel item
// arrays handed to kelvo_appkit_set_menus.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/macos/appkit_functions.hpp"

namespace kelvo::testing {

struct MenuItemDescription {
    std::uint32_t menu;
    std::string label;
    std::string command;
    std::string key;
    std::uint32_t mask;
    bool separator = false;
    bool enabled = true;
    bool checked = false;
};

inline void setMenus(KelvoAppKitHost* host, const std::vector<std::string>& menuTitles,
                     const std::vector<MenuItemDescription>& items) {
    std::vector<const char*> titles;
    std::vector<std::uint64_t> titleLengths;
    for (const std::string& title : menuTitles) {
        titles.push_back(title.data());
        titleLengths.push_back(title.size());
    }
    std::vector<std::uint32_t> menus;
    std::vector<const char*> labels;
    std::vector<const char*> commands;
    std::vector<const char*> keys;
    std::vector<std::uint64_t> labelLengths;
    std::vector<std::uint64_t> commandLengths;
    std::vector<std::uint64_t> keyLengths;
    std::vector<std::uint32_t> masks;
    std::vector<std::int32_t> separators;
    std::vector<std::int32_t> enabled;
    std::vector<std::int32_t> checked;
    for (const MenuItemDescription& item : items) {
        menus.push_back(item.menu);
        labels.push_back(item.label.data());
        labelLengths.push_back(item.label.size());
        commands.push_back(item.command.data());
        commandLengths.push_back(item.command.size());
        keys.push_back(item.key.data());
        keyLengths.push_back(item.key.size());
        masks.push_back(item.mask);
        separators.push_back(item.separator ? 1 : 0);
        enabled.push_back(item.enabled ? 1 : 0);
        checked.push_back(item.checked ? 1 : 0);
    }
    kelvo_appkit_set_menus(host, titles.data(), titleLengths.data(), titles.size(), menus.data(), labels.data(),
                           labelLengths.data(), commands.data(), commandLengths.data(), keys.data(), keyLengths.data(),
                           masks.data(), separators.data(), enabled.data(), checked.data(), items.size());
}

// Setting no menus brings the standard bar back.
inline void setNoMenus(KelvoAppKitHost* host) {
    kelvo_appkit_set_menus(host, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, 0);
}

}  // namespace kelvo::testing
