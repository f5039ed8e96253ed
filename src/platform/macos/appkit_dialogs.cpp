// The open, save and message dialogs. Each is modal: the main loop runs inside it, and what
// would reach the runtime meanwhile waits until it is closed. Chosen paths are handed back in the
// file system's bytes, also where a file's name is not UTF-8 (the runtime hands such bytes to the
// page escaped, and the page's commands take them back so), and the folder and name a dialog
// starts with are taken so too; a path that holds a line feed (the separator of the answer) is
// left out rather than split.

#include <cstring>
#include <limits>

#include "base/utf8.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/web/bridge_scripts.hpp"

namespace kelvo {

namespace {

// What a caller is told when an answer does not fit its buffer.
std::uint64_t pastCapacity(std::size_t capacity) {
    return capacity == std::numeric_limits<std::size_t>::max() ? capacity : std::uint64_t{capacity} + 1;
}

bool isHandablePath(std::string_view path) { return !path.empty() && path.find('\n') == std::string_view::npos; }

}  // namespace

std::vector<std::string> parseExtensions(std::string_view list) {
    std::vector<std::string> extensions;
    if (!isValidUtf8(list)) return extensions;
    for (;;) {
        std::size_t end = list.find(';');
        std::string_view piece = list.substr(0, end);
        while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t')) piece.remove_prefix(1);
        while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t')) piece.remove_suffix(1);
        // A piece that cannot end a file name has no file type and admits nothing.
        if (!piece.empty() && piece.find('/') == std::string_view::npos) extensions.emplace_back(piece);
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return extensions;
}

KelvoOpenDialogResult kelvo_appkit_show_open_dialog(KelvoAppKitHost* host, const KelvoOpenDialogOptions* options,
                                                    char* buffer, std::size_t capacity) {
    KelvoOpenDialogOptions none;
    const KelvoOpenDialogOptions& o = options != nullptr ? *options : none;
    std::vector<std::string> extensions = parseExtensions(hostText(o.extensions, o.extensionsLength));
    standin::OpenPanel panel;
    panel.title = hostText(o.title, o.titleLength);
    panel.keysAhead = kKeysAheadScript;
    panel.folder = hostPath(o.defaultPath, o.defaultPathLength);
    panel.extensions = extensions;
    panel.chooseDirectories = o.allowDirectories != 0;
    panel.multiple = o.allowMultiple != 0;

    beginModal(*host);
    std::vector<std::string> chosen = host->platform->dialogs.runOpen(host->platform->self, panel);
    endModal(*host);

    if (buffer == nullptr) capacity = 0;
    KelvoOpenDialogResult result;
    for (const std::string& path : chosen) {
        if (!isHandablePath(path)) continue;
        const std::size_t separator = result.count > 0 ? 1 : 0;
        if (path.size() + separator > capacity - result.length) {
            result.length = pastCapacity(capacity);
            return result;
        }
        if (separator) buffer[result.length++] = '\n';
        std::memcpy(buffer + result.length, path.data(), path.size());
        result.length += path.size();
        result.count += 1;
    }
    return result;
}

std::uint64_t kelvo_appkit_show_save_dialog(KelvoAppKitHost* host, const KelvoSaveDialogOptions* options, char* buffer,
                                            std::size_t capacity) {
    KelvoSaveDialogOptions none;
    const KelvoSaveDialogOptions& o = options != nullptr ? *options : none;
    std::vector<std::string> extensions = parseExtensions(hostText(o.extensions, o.extensionsLength));
    standin::SavePanel panel;
    panel.title = hostText(o.title, o.titleLength);
    panel.keysAhead = kKeysAheadScript;
    panel.folder = hostPath(o.defaultPath, o.defaultPathLength);
    panel.name = hostPath(o.defaultName, o.defaultNameLength);
    panel.extensions = extensions;

    beginModal(*host);
    std::optional<std::string> chosen = host->platform->dialogs.runSave(host->platform->self, panel);
    endModal(*host);

    if (!chosen || chosen->empty()) return 0;
    if (buffer == nullptr || chosen->size() > capacity) return pastCapacity(buffer == nullptr ? 0 : capacity);
    std::memcpy(buffer, chosen->data(), chosen->size());
    return chosen->size();
}

std::int32_t kelvo_appkit_show_message_dialog(KelvoAppKitHost* host, const KelvoMessageDialogRecord* record) {
    KelvoMessageDialogRecord none;
    const KelvoMessageDialogRecord& r = record != nullptr ? *record : none;
    std::string_view texts[6];
    for (int i = 0; i < 6; ++i) texts[i] = hostText(r.texts[i].bytes, r.texts[i].length);
    const std::string_view title = texts[0];
    const std::string_view message = texts[1];

    standin::Alert alert;
    alert.keysAhead = kKeysAheadScript;
    alert.style = r.style == 1   ? standin::AlertStyle::warning
                  : r.style == 2 ? standin::AlertStyle::critical
                                 : standin::AlertStyle::informational;
    // Without a message the title is the message, and the window keeps no title.
    alert.message = message.empty() ? title : message;
    alert.windowTitle = message.empty() ? std::string_view{} : title;
    alert.informative = texts[2];
    // Each shown button answers for its own place: a tertiary button shown without a secondary
    // one still answers 2.
    std::string_view buttons[3];
    std::int32_t answers[3];
    std::size_t shown = 0;
    buttons[shown] = texts[3].empty() ? std::string_view("OK") : texts[3];
    answers[shown++] = 0;
    for (std::int32_t place : {1, 2}) {
        if (texts[3 + place].empty()) continue;
        buttons[shown] = texts[3 + place];
        answers[shown++] = place;
    }
    alert.buttons = std::span<const std::string_view>(buttons, shown);

    beginModal(*host);
    int pressed = host->platform->dialogs.runAlert(host->platform->self, alert);
    endModal(*host);
    if (pressed < 0 || static_cast<std::size_t>(pressed) >= shown) return 2;
    return answers[pressed];
}

}  // namespace kelvo
