// The status-bar item: an image, a title or, with neither, the first character of the
// application's name; and a menu whose choices reach the runtime as tray actions.

#include "base/utf8.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// The first character (a whole code point) of the application's name, or "V" without a name.
std::string fallbackTitle(const KelvoAppKitHost& host) {
    if (host.appName.empty()) return "V";
    return host.appName.substr(0, utf8UnitAt(host.appName, 0).length);
}

void showTitle(KelvoAppKitHost& host, std::string_view title) {
    HostStatusItem& item = *host.statusItem;
    item.title = title.empty() && !item.hasImage ? fallbackTitle(host) : std::string(title);
    host.platform->statusItem.setTitle(host.platform->self, item.title);
}

}  // namespace

void removeStatusItem(KelvoAppKitHost& host) {
    if (!host.statusItem) return;
    host.platform->statusItem.remove(host.platform->self);
    host.statusItem.reset();
}

std::int32_t kelvo_appkit_create_tray(KelvoAppKitHost* host, const char* iconPath, std::size_t iconPathLength,
                                      const char* title, std::size_t titleLength, const char* tooltip,
                                      std::size_t tooltipLength) {
    standin::StandIn& platform = *host->platform;
    removeStatusItem(*host);
    const bool titleGiven = title != nullptr && titleLength != 0;
    // No item is reported for a desktop that has nowhere to show it.
    if (!platform.statusItem.create(platform.self, titleGiven)) return 0;
    host->statusItem = HostStatusItem{};
    std::string_view icon = hostText(iconPath, iconPathLength);
    // An icon that cannot be read is ignored.
    if (!icon.empty()) host->statusItem->hasImage = platform.statusItem.setImageFromFile(platform.self, icon);
    std::string_view titleText = hostText(title, titleLength);
    // The length chosen above stays, also when the fallback letter shows.
    if (titleGiven || !host->statusItem->hasImage) showTitle(*host, titleText);
    std::string_view tooltipText = hostText(tooltip, tooltipLength);
    if (!tooltipText.empty()) platform.statusItem.setTooltip(platform.self, tooltipText);
    return 1;
}

void kelvo_appkit_update_tray_menu(KelvoAppKitHost* host, const std::uint32_t* ids, const char* const* labels,
                                   const std::uint64_t* labelLengths, const std::uint32_t* separators,
                                   const std::uint32_t* enabled, std::uint64_t count) {
    if (!host->statusItem) return;
    if (ids == nullptr || labels == nullptr || labelLengths == nullptr || separators == nullptr || enabled == nullptr) {
        count = 0;
    }
    std::vector<standin::MenuItem> items;
    for (std::uint64_t i = 0; i < count; ++i) {
        const bool separator = separators[i] != 0;
        std::string_view label =
            separator ? std::string_view{} : hostText(labels[i], static_cast<std::size_t>(labelLengths[i]));
        items.push_back(standin::MenuItem{label, ids[i], enabled[i] != 0, separator});
    }
    std::weak_ptr<HostLife> life = host->life;
    host->platform->statusItem.setMenu(host->platform->self, items, [life](std::uint32_t itemId) {
        if (std::shared_ptr<HostLife> alive = life.lock()) emitTrayAction(*alive->host, itemId);
    });
}

void kelvo_appkit_update_tray_title(KelvoAppKitHost* host, const char* title, std::size_t titleLength) {
    if (!host->statusItem) return;
    showTitle(*host, hostText(title, titleLength));
    host->platform->statusItem.setVariableLength(host->platform->self, !host->statusItem->title.empty());
}

void kelvo_appkit_remove_tray(KelvoAppKitHost* host) { removeStatusItem(*host); }

}  // namespace kelvo
