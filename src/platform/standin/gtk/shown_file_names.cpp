#include "platform/standin/gtk/shown_file_names.hpp"

#include <errno.h>
#include <gio/gio.h>
#include <sys/stat.h>

#include "platform/standin/gtk/gobject_ptr.hpp"

namespace kelvo::standin {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The note GIO puts after such a name, in the language GIO speaks.
std::string_view invalidEncodingNote() { return g_dgettext("glib20", " (invalid encoding)"); }

}  // namespace

std::string_view nameShownAs(std::string_view shown) {
    if (shown.find(kReplacement) == std::string_view::npos) return shown;
    const std::string_view note = invalidEncodingNote();
    if (shown.size() > note.size() && shown.ends_with(note)) shown.remove_suffix(note.size());
    return shown;
}

std::string shownFileName(std::string_view name) {
    if (g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) return std::string(name);
    const std::string bytes(name);
    GCharPtr shown(g_filename_display_basename(bytes.c_str()));
    std::string text(shown.get());
    if (text.find(kReplacement) != std::string::npos) text += invalidEncodingNote();
    return text;
}

std::string pathOfSaveAnswer(const std::string& path, std::string_view given) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && !given.empty() &&
        !g_utf8_validate(given.data(), static_cast<gssize>(given.size()), nullptr) &&
        std::string_view(path).substr(slash + 1) == shownFileName(given)) {
        return path.substr(0, slash + 1).append(given);
    }
    return pathOfShownFile(path);
}

std::string pathOfShownFile(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    const std::string_view name = std::string_view(path).substr(slash + 1);
    if (name.find(kReplacement) == std::string_view::npos) return path;
    struct stat there {};
    if (lstat(path.c_str(), &there) == 0 || errno != ENOENT) return path;
    const std::string folder = path.substr(0, slash);
    GObjectPtr<GFile> place(g_file_new_for_path(folder.empty() ? "/" : folder.c_str()));
    GObjectPtr<GFileEnumerator> entries(g_file_enumerate_children(
        place.get(), G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME,
        G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, nullptr));
    if (!entries) return path;
    std::string found;
    int matches = 0;
    while (GObjectPtr<GFileInfo> entry{g_file_enumerator_next_file(entries.get(), nullptr, nullptr)}) {
        const char* shown = g_file_info_get_display_name(entry.get());
        if (shown == nullptr || name != shown) continue;
        ++matches;
        found = g_file_info_get_name(entry.get());
    }
    return matches == 1 ? folder + "/" + found : path;
}

}  // namespace kelvo::standin
