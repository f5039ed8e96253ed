// Slots of the clipboard, dialogs, notifications, credentials, shell services and the status
// item. Reads into a caller's buffer learn the full length from the host and refuse what does
// not fit.

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kExtensionListBytes = 1024;
constexpr std::size_t kMaxTrayItems = 32;

template <class Buffer>
Result<std::size_t> fitted(std::uint64_t length, const Buffer& buffer) {
    if (length > buffer.size()) return fail(Error::NoSpaceLeft);
    return static_cast<std::size_t>(length);
}

Status unsupportedUnless(std::int32_t hostResult) {
    if (hostResult == 0) return fail(Error::UnsupportedService);
    return {};
}

// The extensions of every filter, in order, joined with ";". A list longer than the buffer ends
// at the last extension that fits whole, so no cut extension admits the wrong files.
std::string_view joinExtensions(std::span<const DialogFileFilter> filters, std::array<char, kExtensionListBytes>& out) {
    std::size_t length = 0;
    for (const DialogFileFilter& filter : filters) {
        for (std::string_view extension : filter.extensions) {
            std::size_t need = extension.size() + (length > 0 ? 1 : 0);
            if (need > out.size() - length) return {out.data(), length};
            if (length > 0) out[length++] = ';';
            std::memcpy(out.data() + length, extension.data(), extension.size());
            length += extension.size();
        }
    }
    return {out.data(), length};
}

Result<std::size_t> readClipboard(void* services, std::span<char> out) {
    MacPlatform& mac = macOf(services);
    return fitted(mac.appkit->clipboard_read(mac.host, out.data(), out.size()), out);
}

// A text the clipboard did not take (it is not UTF-8, say) is a failure, not a silent no-op.
Status writeClipboard(void* services, std::string_view text) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(mac.appkit->clipboard_write(mac.host, text.data(), text.size()));
}

Result<std::size_t> readClipboardData(void* services, std::string_view mimeType, std::span<std::uint8_t> out) {
    MacPlatform& mac = macOf(services);
    return fitted(mac.appkit->clipboard_read_data(mac.host, mimeType.data(), mimeType.size(), out.data(), out.size()),
                  out);
}

Status writeClipboardData(void* services, std::string_view mimeType, std::span<const std::uint8_t> data) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(
        mac.appkit->clipboard_write_data(mac.host, mimeType.data(), mimeType.size(), data.data(), data.size()));
}

Result<OpenDialogResult> showOpenDialog(void* services, const OpenDialogOptions& options, std::span<char> paths) {
    MacPlatform& mac = macOf(services);
    std::array<char, kExtensionListBytes> extensions;
    std::string_view joined = joinExtensions(options.filters, extensions);
    KelvoOpenDialogOptions record{
        options.title.data(), options.title.size(), options.defaultPath.data(),       options.defaultPath.size(),
        joined.data(),        joined.size(),        options.allowDirectories ? 1 : 0, options.allowMultiple ? 1 : 0};
    KelvoOpenDialogResult answer = mac.appkit->show_open_dialog(mac.host, &record, paths.data(), paths.size());
    std::size_t length = TRY(fitted(answer.length, paths));
    return OpenDialogResult{static_cast<std::size_t>(answer.count), length};
}

Result<std::optional<std::size_t>> showSaveDialog(void* services, const SaveDialogOptions& options,
                                                  std::span<char> path) {
    MacPlatform& mac = macOf(services);
    std::array<char, kExtensionListBytes> extensions;
    std::string_view joined = joinExtensions(options.filters, extensions);
    KelvoSaveDialogOptions record{options.title.data(),
                                  options.title.size(),
                                  options.defaultPath.data(),
                                  options.defaultPath.size(),
                                  options.defaultName.data(),
                                  options.defaultName.size(),
                                  joined.data(),
                                  joined.size()};
    std::uint64_t length = mac.appkit->show_save_dialog(mac.host, &record, path.data(), path.size());
    if (length == 0) return std::optional<std::size_t>{};
    return std::optional<std::size_t>(TRY(fitted(length, path)));
}

Result<std::uint32_t> showMessageDialog(void* services, const MessageDialogOptions& options) {
    MacPlatform& mac = macOf(services);
    KelvoMessageDialogRecord record;
    record.style = static_cast<std::int32_t>(options.style);
    const std::string_view texts[6] = {options.title,         options.message,         options.informativeText,
                                       options.primaryButton, options.secondaryButton, options.tertiaryButton};
    for (std::size_t i = 0; i < 6; ++i) record.texts[i] = {texts[i].data(), texts[i].size()};
    return static_cast<std::uint32_t>(mac.appkit->show_message_dialog(mac.host, &record));
}

Status showNotification(void* services, std::string_view title, std::string_view subtitle, std::string_view body) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(mac.appkit->show_notification(mac.host, title.data(), title.size(), subtitle.data(),
                                                           subtitle.size(), body.data(), body.size()));
}

Status setCredential(void* services, std::string_view service, std::string_view account, std::string_view secret) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(
        mac.appkit->set_credential(mac.host, service.data(), service.size(), account.data(), account.size(),
                                   reinterpret_cast<const std::uint8_t*>(secret.data()), secret.size()));
}

Result<std::size_t> getCredential(void* services, std::string_view service, std::string_view account,
                                  std::span<char> secret) {
    MacPlatform& mac = macOf(services);
    std::uint64_t length =
        mac.appkit->get_credential(mac.host, service.data(), service.size(), account.data(), account.size(),
                                   reinterpret_cast<std::uint8_t*>(secret.data()), secret.size());
    if (length == 0) return fail(Error::CredentialNotFound);
    return fitted(length, secret);
}

Status deleteCredential(void* services, std::string_view service, std::string_view account) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->delete_credential(mac.host, service.data(), service.size(), account.data(), account.size()) == 0) {
        return fail(Error::CredentialNotFound);
    }
    return {};
}

Status openExternalUrl(void* services, std::string_view url) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(mac.appkit->open_external_url(mac.host, url.data(), url.size()));
}

Status revealPath(void* services, std::string_view path) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(mac.appkit->reveal_path(mac.host, path.data(), path.size()));
}

Status addRecentDocument(void* services, std::string_view path) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(mac.appkit->add_recent_document(mac.host, path.data(), path.size()));
}

Status clearRecentDocuments(void* services) {
    MacPlatform& mac = macOf(services);
    return unsupportedUnless(mac.appkit->clear_recent_documents(mac.host));
}

Status updateTrayMenu(void* services, std::span<const TrayItem> items) {
    MacPlatform& mac = macOf(services);
    std::size_t count = std::min(items.size(), kMaxTrayItems);
    std::array<std::uint32_t, kMaxTrayItems> ids{};
    std::array<const char*, kMaxTrayItems> labels{};
    std::array<std::uint64_t, kMaxTrayItems> labelLengths{};
    std::array<std::uint32_t, kMaxTrayItems> separators{};
    std::array<std::uint32_t, kMaxTrayItems> enabled{};
    for (std::size_t i = 0; i < count; ++i) {
        ids[i] = items[i].id;
        labels[i] = items[i].label.data();
        labelLengths[i] = items[i].label.size();
        separators[i] = items[i].separator ? 1 : 0;
        enabled[i] = items[i].enabled ? 1 : 0;
    }
    mac.appkit->update_tray_menu(mac.host, ids.data(), labels.data(), labelLengths.data(), separators.data(),
                                 enabled.data(), count);
    return {};
}

Status createTray(void* services, const TrayOptions& options) {
    MacPlatform& mac = macOf(services);
    // An item the desktop has nowhere to show is not made.
    TRY(unsupportedUnless(mac.appkit->create_tray(mac.host, options.iconPath.data(), options.iconPath.size(),
                                                  options.title.data(), options.title.size(), options.tooltip.data(),
                                                  options.tooltip.size())));
    if (!options.items.empty()) return updateTrayMenu(services, options.items);
    return {};
}

Status updateTrayTitle(void* services, std::string_view title) {
    MacPlatform& mac = macOf(services);
    mac.appkit->update_tray_title(mac.host, title.data(), title.size());
    return {};
}

Status removeTray(void* services) {
    MacPlatform& mac = macOf(services);
    mac.appkit->remove_tray(mac.host);
    return {};
}

}  // namespace

void fillServiceSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.clipboard_read) slots.readClipboard = readClipboard;
    if (appkit.clipboard_write) slots.writeClipboard = writeClipboard;
    if (appkit.clipboard_read_data) slots.readClipboardData = readClipboardData;
    if (appkit.clipboard_write_data) slots.writeClipboardData = writeClipboardData;
    if (appkit.show_open_dialog) slots.showOpenDialog = showOpenDialog;
    if (appkit.show_save_dialog) slots.showSaveDialog = showSaveDialog;
    if (appkit.show_message_dialog) slots.showMessageDialog = showMessageDialog;
    if (appkit.show_notification) slots.showNotification = showNotification;
    if (appkit.set_credential) slots.setCredential = setCredential;
    if (appkit.get_credential) slots.getCredential = getCredential;
    if (appkit.delete_credential) slots.deleteCredential = deleteCredential;
    if (appkit.open_external_url) slots.openExternalUrl = openExternalUrl;
    if (appkit.reveal_path) slots.revealPath = revealPath;
    if (appkit.add_recent_document) slots.addRecentDocument = addRecentDocument;
    if (appkit.clear_recent_documents) slots.clearRecentDocuments = clearRecentDocuments;
    if (appkit.create_tray && appkit.update_tray_menu) slots.createTray = createTray;
    if (appkit.update_tray_menu) slots.updateTrayMenu = updateTrayMenu;
    if (appkit.update_tray_title) slots.updateTrayTitle = updateTrayTitle;
    if (appkit.remove_tray) slots.removeTray = removeTray;
}

}  // namespace kelvo
