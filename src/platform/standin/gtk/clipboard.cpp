// The CLIPBOARD selection. Text goes in as GTK's text (every text target), HTML and RTF as their
// own targets. The selection lives in this process: other programs read it while the main loop
// runs, and it is gone once the process ends (unless a clipboard manager keeps a copy).
//
// Plain text is offered as GTK's own text writer offers it, except that UTF8_STRING carries every
// byte: GTK's writer stops at the first NUL, and refuses an empty text. What this process offers is
// kept until GTK clears it, which it does when another program or another write takes the
// clipboard; so the state knows whether the clipboard still holds a write of this process.
//
// Reads go through the backend's own reader (selection_reader.cpp), which waits for no owner in
// any call and gives up on one that does not answer: GTK's wait_for_* reads wait 30 s for each
// target they ask, holding the whole program, and answer a text that never came as an empty one.
//
// Found while checking GTK: some programs offer HTML as UTF-16 with a byte-order mark.

#include <optional>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

GtkClipboard* clipboard() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }

GdkAtom utf8Target() { return gdk_atom_intern_static_string("UTF8_STRING"); }

void provide(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
    const auto& offer = *static_cast<const GtkClipboardOffer*>(data);
    const GdkAtom target = gtk_selection_data_get_target(selection);
    const auto length = static_cast<gint>(offer.bytes.size());
    if (offer.type == ClipboardType::plain_text && target != utf8Target()) {
        gtk_selection_data_set_text(selection, offer.bytes.data(), length);
        return;
    }
    gtk_selection_data_set(selection, target, 8, reinterpret_cast<const guchar*>(offer.bytes.data()), length);
}

// GTK is done with the offer: the clipboard holds something else now.
void release(GtkClipboard*, gpointer data) {
    auto* offer = static_cast<GtkClipboardOffer*>(data);
    if (offer->state->clipboardOffer.get() == offer) offer->state->clipboardOffer.reset();
}

bool offer(std::unique_ptr<GtkClipboardOffer> offered, const GtkTargetEntry* targets, guint count) {
    GtkState& state = *offered->state;
    // Taking the clipboard clears the offer before (its release runs inside this call). When the
    // clipboard is not taken, GTK keeps the offer before and has no use for this one.
    if (!gtk_clipboard_set_with_data(clipboard(), targets, count, provide, release, offered.get())) return false;
    state.clipboardOffer = std::move(offered);
    return true;
}

bool writeText(GtkState& state, std::string_view bytes) {
    auto offered = std::make_unique<GtkClipboardOffer>(
        GtkClipboardOffer{&state, ClipboardType::plain_text, std::string(bytes), 0});
    offered->serial = ++state.clipboardTextWrites;
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, 0);
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    const bool taken = offer(std::move(offered), targets, static_cast<guint>(count));
    gtk_target_table_free(targets, count);
    gtk_target_list_unref(list);
    // As GTK's text writer does: a clipboard manager may keep every target once the process ends.
    if (taken) gtk_clipboard_set_can_store(clipboard(), nullptr, 0);
    return taken;
}

bool write(void* self, ClipboardType type, std::string_view bytes) {
    GtkState& state = gtkState(self);
    if (bytes.size() > static_cast<std::size_t>(G_MAXINT)) return false;
    if (type == ClipboardType::plain_text) return writeText(state, bytes);
    static const GtkTargetEntry html[] = {{const_cast<gchar*>("text/html"), 0, 0}};
    static const GtkTargetEntry rtf[] = {{const_cast<gchar*>("text/rtf"), 0, 0},
                                         {const_cast<gchar*>("application/rtf"), 0, 0}};
    const bool isHtml = type == ClipboardType::html;
    return offer(std::make_unique<GtkClipboardOffer>(GtkClipboardOffer{&state, type, std::string(bytes), 0}),
                 isHtml ? html : rtf, isHtml ? 1 : 2);
}

std::uint64_t heldTextWrite(void* self) {
    const GtkClipboardOffer* offered = gtkState(self).clipboardOffer.get();
    return offered != nullptr && offered->type == ClipboardType::plain_text ? offered->serial : 0;
}

std::string utf8FromHtml(std::string bytes) {
    const bool littleEndian = bytes.starts_with("\xFF\xFE");
    if (!littleEndian && !bytes.starts_with("\xFE\xFF")) return bytes;
    gsize written = 0;
    GCharPtr converted(g_convert(bytes.data() + 2, static_cast<gssize>(bytes.size() - 2), "UTF-8",
                                 littleEndian ? "UTF-16LE" : "UTF-16BE", nullptr, &written, nullptr));
    return converted ? std::string(converted.get(), written) : std::string();
}

// Waits for the read, running the main loop meanwhile, and gives up once the loop is told to end.
// Every way a read can fail answers empty, and so does an item longer than G_MAXINT bytes, the
// most GTK's own reads could hand over. Plain text comes with every byte UTF8_STRING offers.
std::string read(void* self, ClipboardType type) {
    GtkState& state = gtkState(self);
    if (state.quitting) return {};
    std::optional<ClipboardRead> answer;
    const std::uint64_t number = gtkStartSelectionRead(state, type, static_cast<std::uint64_t>(G_MAXINT),
                                                       [&answer](ClipboardRead read) { answer = std::move(read); });
    while (!answer && !state.quitting) g_main_context_iteration(nullptr, TRUE);
    if (!answer) {
        gtkCancelSelectionRead(state, number);
        return {};
    }
    if (answer->end != ClipboardReadEnd::text) return {};
    return type == ClipboardType::html ? utf8FromHtml(std::move(answer->bytes)) : std::move(answer->bytes);
}

// One read at a time: a new one ends the one going on.
void readTextLater(void* self, std::uint64_t limit, ClipboardReadDone done) {
    GtkState& state = gtkState(self);
    gtkCancelSelectionRead(state, state.clipboardTextRead);
    state.clipboardTextRead = gtkStartSelectionRead(state, ClipboardType::plain_text, limit,
                                                    [&state, done = std::move(done)](ClipboardRead read) {
                                                        state.clipboardTextRead = 0;
                                                        done(std::move(read));
                                                    });
}

void cancelTextRead(void* self) {
    GtkState& state = gtkState(self);
    gtkCancelSelectionRead(state, std::exchange(state.clipboardTextRead, 0));
}

}  // namespace

ClipboardService gtkClipboard() {
    ClipboardService clipboard;
    KELVO_STANDIN_FILL(clipboard, KELVO_STANDIN_CLIPBOARD_FUNCTIONS)
    return clipboard;
}

}  // namespace kelvo::standin
