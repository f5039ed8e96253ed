// File choosers and message dialogs, run modally with gtk_dialog_run. GTK runs a nested main
// loop inside it: our tasks, timers and window events keep being handled, and the host holds
// back what would reach the runtime until the dialog returns. When the main loop is told to end
// (SIGTERM, say), the dialogs it runs end with it, answered as cancelled; one asked for after that
// is answered so at once, never shown.
//
// Found while checking GTK: one chooser action cannot pick both files and folders, and an open
// chooser's Open button enters a selected folder instead of answering it; so a panel that allows
// folders is the open chooser with one more button, which answers the selected folders (or the
// folder shown, when no folder is selected). A save chooser given its name just before it answers
// loses the answer, so the name is set before it shows; filenames come back in the file system's
// bytes, except a name that is not in its encoding and was typed or completed by the name GIO
// shows for it (in an open chooser's location field, or in a save chooser's name field after the
// file was picked from the list, or given to the save chooser), which is found again by that name
// (shown_file_names.hpp).

#include <algorithm>

#include "platform/standin/gtk/gtk_state.hpp"
#include "platform/standin/gtk/shown_file_names.hpp"

namespace kelvo::standin {

namespace {

// The answer of the button that takes folders.
constexpr gint kChooseFolderResponse = 1;

// Admits files whose name ends in "." and one of the extensions, ignoring ASCII case. The filter
// reads display names only: GTK's location field, asked for paths, leaves a copy of the path of
// every file it completes behind. A name that is not in the file system's encoding is read
// without the note GIO shows after it.
gboolean hasExtension(const GtkFileFilterInfo* info, gpointer data) {
    const char* name = info->display_name;
    if (name == nullptr) return FALSE;
    std::string_view file = nameShownAs(name);
    for (const std::string& extension : *static_cast<std::vector<std::string>*>(data)) {
        if (file.size() <= extension.size() + 1) continue;
        std::string_view tail = file.substr(file.size() - extension.size());
        if (file[file.size() - extension.size() - 1] != '.') continue;
        if (std::equal(tail.begin(), tail.end(), extension.begin(), extension.end(),
                       [](char a, char b) { return g_ascii_tolower(a) == g_ascii_tolower(b); })) {
            return TRUE;
        }
    }
    return FALSE;
}

// A choice of files shown, named "<name> (*.a, *.b)" ("*.a, *.b" without a name); borrowed from
// the chooser, which takes the floating reference.
GtkFileFilter* addFilter(GtkFileChooser* chooser, std::string_view name, std::span<const std::string> extensions) {
    auto* kept = new std::vector<std::string>(extensions.begin(), extensions.end());
    std::string patterns;
    for (const std::string& extension : extensions) patterns += (patterns.empty() ? "*." : ", *.") + extension;
    std::string shown = name.empty() ? patterns : std::string(name) + " (" + patterns + ")";
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, shown.c_str());
    gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, hasExtension, kept,
                               [](gpointer data) { delete static_cast<std::vector<std::string>*>(data); });
    gtk_file_chooser_add_filter(chooser, filter);
    return filter;
}

void admitExtensions(GtkFileChooser* chooser, std::span<const std::string> extensions) {
    if (!extensions.empty()) addFilter(chooser, {}, extensions);
}

// An open chooser that names no extensions offers the application's document types, the first
// chosen.
void offerDocumentTypes(GtkFileChooser* chooser, std::span<const DocumentType> types) {
    GtkFileFilter* first = nullptr;
    for (const DocumentType& type : types) {
        if (type.extensions.empty()) continue;
        GtkFileFilter* filter = addFilter(chooser, type.name, type.extensions);
        if (first == nullptr) first = filter;
    }
    if (first != nullptr) gtk_file_chooser_set_filter(chooser, first);
}

GtkWidget* chooser(GtkState& state, std::string_view title, GtkFileChooserAction action, const char* accept,
                   std::string_view folder) {
    std::string text(title);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(text.c_str(), gtkActiveWindow(state), action, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtkWatchAnswer(state, dialog);
    if (!folder.empty()) {
        std::string start(folder);
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start.c_str());
    }
    return dialog;
}

// Answers every dialog shown over `window` (GTK's own, such as the question a save chooser asks
// before it replaces a file, which runs a loop of its own too) as cancelled, innermost first.
void cancelDialogsOver(GtkWindow* window) {
    // A response may destroy a window: each is held until the walk ends.
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) g_object_ref(item->data);
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        GtkWindow* over = GTK_WINDOW(item->data);
        if (gtk_window_get_transient_for(over) != window || !gtk_widget_get_visible(GTK_WIDGET(over))) continue;
        cancelDialogsOver(over);
        if (GTK_IS_DIALOG(over)) gtk_dialog_response(GTK_DIALOG(over), GTK_RESPONSE_CANCEL);
    }
    g_list_free_full(toplevels, g_object_unref);
}

// Runs the dialog modally, unless the loop is ending; answers its response, GTK_RESPONSE_CANCEL
// when the loop ended while it was open.
gint runModal(GtkState& state, GtkWidget* dialog) {
    if (state.quitting) return GTK_RESPONSE_CANCEL;
    state.runningDialogs.push_back(GTK_DIALOG(dialog));
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    std::erase(state.runningDialogs, GTK_DIALOG(dialog));
    return state.quitting ? GTK_RESPONSE_CANCEL : response;
}

std::vector<std::string> selectedPaths(GtkFileChooser* chooser) {
    std::vector<std::string> paths;
    GSList* files = gtk_file_chooser_get_filenames(chooser);
    for (GSList* file = files; file != nullptr; file = file->next) {
        paths.push_back(pathOfShownFile(static_cast<char*>(file->data)));
    }
    g_slist_free_full(files, g_free);
    return paths;
}

std::vector<std::string> runOpen(void* self, const OpenPanel& panel) {
    GtkWidget* dialog = chooser(gtkState(self), panel.title, GTK_FILE_CHOOSER_ACTION_OPEN, "_Open", panel.folder);
    GtkFileChooser* files = GTK_FILE_CHOOSER(dialog);
    if (panel.chooseDirectories) gtk_dialog_add_button(GTK_DIALOG(dialog), "Choose _Folder", kChooseFolderResponse);
    gtk_file_chooser_set_select_multiple(files, panel.multiple);
    if (panel.extensions.empty()) {
        offerDocumentTypes(files, gtkState(self).documentTypes);
    } else {
        admitExtensions(files, panel.extensions);
    }
    gtkTakeKeysAhead(gtkState(self), dialog, panel.keysAhead);
    std::vector<std::string> paths;
    const gint response = runModal(gtkState(self), dialog);
    if (response == GTK_RESPONSE_ACCEPT) {
        paths = selectedPaths(files);
    } else if (response == kChooseFolderResponse) {
        for (std::string& path : selectedPaths(files)) {
            if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) paths.push_back(std::move(path));
        }
        if (paths.empty()) {
            GCharPtr shown(gtk_file_chooser_get_current_folder(files));
            if (shown) paths.emplace_back(shown.get());
        }
    }
    gtkEndDialog(gtkState(self), dialog);
    return paths;
}

// Asks over `chooser` whether the file at `path` may be replaced, Replace the default answer as in
// the chooser's own question.
bool replaceConfirmed(GtkState& state, GtkWindow* chooser, const std::string& path) {
    GCharPtr name(g_filename_display_basename(path.c_str()));
    GtkWidget* question = gtk_message_dialog_new(chooser, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
                                                 "\u201c%s\u201d already exists. Replace it?", name.get());
    gtk_dialog_add_buttons(GTK_DIALOG(question), "_Cancel", GTK_RESPONSE_CANCEL, "_Replace", GTK_RESPONSE_ACCEPT,
                           nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(question), GTK_RESPONSE_ACCEPT);
    const bool replace = runModal(state, question) == GTK_RESPONSE_ACCEPT;
    gtkEndDialog(state, question);
    return replace;
}

std::optional<std::string> runSave(void* self, const SavePanel& panel) {
    GtkWidget* dialog = chooser(gtkState(self), panel.title, GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", panel.folder);
    // Replacing a file the user picked asks first, as saving does everywhere else.
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    // A name that is not UTF-8 is shown as GIO shows it in the list, and read back as itself.
    if (!panel.name.empty()) {
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), shownFileName(panel.name).c_str());
    }
    admitExtensions(GTK_FILE_CHOOSER(dialog), panel.extensions);
    gtkTakeKeysAhead(gtkState(self), dialog, panel.keysAhead);
    std::optional<std::string> path;
    while (runModal(gtkState(self), dialog) == GTK_RESPONSE_ACCEPT) {
        GCharPtr file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (!file) break;
        // The chooser asks before it replaces a file it finds under the name it answers, not one
        // found again by its shown name: that one is asked about here, when it is there.
        std::string chosen = pathOfSaveAnswer(file.get(), panel.name);
        const bool there =
            g_file_test(chosen.c_str(), static_cast<GFileTest>(G_FILE_TEST_EXISTS | G_FILE_TEST_IS_SYMLINK));
        if (chosen == file.get() || !there || replaceConfirmed(gtkState(self), GTK_WINDOW(dialog), chosen)) {
            path = std::move(chosen);
            break;
        }
    }
    gtkEndDialog(gtkState(self), dialog);
    return path;
}

int runAlert(void* self, const Alert& alert) {
    static constexpr GtkMessageType kTypes[] = {GTK_MESSAGE_INFO, GTK_MESSAGE_WARNING, GTK_MESSAGE_ERROR};
    std::string message(alert.message);
    GtkWidget* dialog =
        gtk_message_dialog_new(gtkActiveWindow(gtkState(self)), GTK_DIALOG_MODAL, kTypes[static_cast<int>(alert.style)],
                               GTK_BUTTONS_NONE, "%s", message.c_str());
    if (!alert.informative.empty()) {
        std::string informative(alert.informative);
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", informative.c_str());
    }
    std::string title(alert.windowTitle);
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
        std::string label(alert.buttons[i]);
        GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(dialog), label.c_str(), static_cast<gint>(i));
        gtk_button_set_use_underline(GTK_BUTTON(button), FALSE);  // titles are shown as given
    }
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
    gtkTakeKeysAhead(gtkState(self), dialog, alert.keysAhead);
    const gint response = runModal(gtkState(self), dialog);
    gtkEndDialog(gtkState(self), dialog);
    return response >= 0 && static_cast<std::size_t>(response) < alert.buttons.size() ? response : -1;
}

void setDocumentTypes(void* self, std::vector<DocumentType> types) { gtkState(self).documentTypes = std::move(types); }

}  // namespace

void gtkCancelRunningDialogs(GtkState& state) {
    // Each response ends its dialog's loop, which returns once the loops inside it have.
    const std::vector<GtkDialog*> running = state.runningDialogs;
    for (auto dialog = running.rbegin(); dialog != running.rend(); ++dialog) {
        cancelDialogsOver(GTK_WINDOW(*dialog));
        gtk_dialog_response(*dialog, GTK_RESPONSE_CANCEL);
    }
}

DialogService gtkDialogs() {
    DialogService dialogs;
    KELVO_STANDIN_FILL(dialogs, KELVO_STANDIN_DIALOG_FUNCTIONS)
    return dialogs;
}

}  // namespace kelvo::standin
