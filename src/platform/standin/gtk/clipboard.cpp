// The CLIPBOARD selection. Text goes in as GTK's text (every text target), HTML and RTF as their
// own targets. The selection lives in this process: other programs read it while the main loop
// runs, and it is gone once the process ends (unless a clipboard manager keeps a copy).
//
// Found while checking GTK: the wait_for_* reads run the main loop until the owner answers, also
// when this process owns the selection; some programs offer HTML as UTF-16 with a byte-order mark.

#include <cstring>
#include <initializer_list>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

GtkClipboard* clipboard() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }

void provide(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
    const auto& bytes = *static_cast<const std::string*>(data);
    gtk_selection_data_set(selection, gtk_selection_data_get_target(selection), 8,
                           reinterpret_cast<const guchar*>(bytes.data()), static_cast<gint>(bytes.size()));
}

void release(GtkClipboard*, gpointer data) { delete static_cast<std::string*>(data); }

bool write(void*, ClipboardType type, std::string_view bytes) {
    if (type == ClipboardType::plain_text) {
        gtk_clipboard_set_text(clipboard(), bytes.data(), static_cast<gint>(bytes.size()));
        return true;
    }
    GtkTargetEntry html[] = {{const_cast<gchar*>("text/html"), 0, 0}};
    GtkTargetEntry rtf[] = {{const_cast<gchar*>("text/rtf"), 0, 0}, {const_cast<gchar*>("application/rtf"), 0, 0}};
    const bool isHtml = type == ClipboardType::html;
    auto* data = new std::string(bytes);
    // On failure GTK has already called `release`.
    return gtk_clipboard_set_with_data(clipboard(), isHtml ? html : rtf, isHtml ? 1 : 2, provide, release, data) !=
           FALSE;
}

std::string contentsOf(const char* target) {
    GtkSelectionData* selection = gtk_clipboard_wait_for_contents(clipboard(), gdk_atom_intern(target, FALSE));
    if (selection == nullptr) return {};
    std::string bytes;
    const guchar* data = gtk_selection_data_get_data(selection);
    gint length = gtk_selection_data_get_length(selection);
    if (data != nullptr && length > 0)
        bytes.assign(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    gtk_selection_data_free(selection);
    return bytes;
}

std::string utf8FromHtml(std::string bytes) {
    const bool littleEndian = bytes.starts_with("\xFF\xFE");
    if (!littleEndian && !bytes.starts_with("\xFE\xFF")) return bytes;
    gsize written = 0;
    GCharPtr converted(g_convert(bytes.data() + 2, static_cast<gssize>(bytes.size() - 2), "UTF-8",
                                 littleEndian ? "UTF-16LE" : "UTF-16BE", nullptr, &written, nullptr));
    return converted ? std::string(converted.get(), written) : std::string();
}

std::string read(void*, ClipboardType type) {
    switch (type) {
        case ClipboardType::plain_text: {
            GCharPtr text(gtk_clipboard_wait_for_text(clipboard()));
            return text ? std::string(text.get()) : std::string();
        }
        case ClipboardType::html:
            return utf8FromHtml(contentsOf("text/html"));
        case ClipboardType::rtf:
            for (const char* target : {"text/rtf", "application/rtf"}) {
                std::string bytes = contentsOf(target);
                if (!bytes.empty()) return bytes;
            }
            return {};
    }
    return {};
}

}  // namespace

ClipboardService gtkClipboard() {
    ClipboardService clipboard;
    KELVO_STANDIN_FILL(clipboard, KELVO_STANDIN_CLIPBOARD_FUNCTIONS)
    return clipboard;
}

}  // namespace kelvo::standin
