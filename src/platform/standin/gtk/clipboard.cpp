// The CLIPBOARD selection. Text goes in as GTK's text (every text target), HTML and RTF as their
// own targets. The selection lives in this process: other programs read it while the main loop
// runs, and it is gone once the process ends (unless a clipboard manager keeps a copy).
//
// Plain text is offered as GTK's own text writer offers it, except that UTF8_STRING carries every
// byte: GTK's writer stops at the first NUL, and refuses an empty text. What this process offers is
// kept until GTK clears it, which it does when another program or another write takes the
// clipboard; so the state knows whether the clipboard still holds a write of this process.
//
// Whether another program took the clipboard after the user asked for a write that comes later (a
// long copy whose text is still on its way) is told by the display server's times: the user's
// latest key or click in this process (GDK's user time) marks the asking, and each change of the
// clipboard's owner carries the server's time of the change. A change the loop has not seen yet
// when the write comes is found by asking the server which window owns the clipboard now.
//
// Reads go through the backend's own reader (selection_reader.cpp), which waits for no owner in
// any call and gives up on one that does not answer: GTK's wait_for_* reads wait 30 s for each
// target they ask, holding the whole program, and answer a text that never came as an empty one.
//
// Found while checking GTK: some programs offer HTML as UTF-16 with a byte-order mark.

#include <optional>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include <gdk/gdkx.h>

namespace kelvo::standin {

namespace {

GtkClipboard* clipboard() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }

GdkDisplay* x11Display() {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_X11_DISPLAY(display) ? display : nullptr;
}

// The display server's time of the user's latest key or click in this process; 0 before any.
guint32 userTime() {
    GdkDisplay* display = x11Display();
    return display != nullptr ? gdk_x11_display_get_user_time(display) : 0;
}

// Whether server time `time` is `since` or later (the times wrap around after 49 days).
bool atOrAfter(guint32 time, guint32 since) { return static_cast<gint32>(time - since) >= 0; }

// Counts a take at server time `time`, keeping the latest time of all.
void noteTake(GtkState& state, guint32 time) {
    GtkClipboardTakes& takes = state.clipboardTakes;
    if (takes.count++ == 0 || atOrAfter(time, takes.lastTime)) takes.lastTime = time;
}

// An owner change comes after every change before it and before every later input. One that this
// service's write made is no take; one that only lost the owner (it ended) is none either.
void onOwnerChange(GtkClipboard*, GdkEvent* event, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    const GdkEventOwnerChange& change = event->owner_change;
    if (change.reason != GDK_OWNER_CHANGE_NEW_OWNER) return;
    GtkClipboardTakes& takes = state.clipboardTakes;
    GdkWindow* owner = change.owner;
    takes.lastOwner = owner != nullptr ? gdk_x11_window_get_xid(owner) : 0;
    const bool ours = owner != nullptr && gdk_window_get_window_type(owner) != GDK_WINDOW_FOREIGN;
    if (ours && takes.ownClaims > 0) {
        --takes.ownClaims;
        return;
    }
    noteTake(state, change.time);
}

// Whether another program took the clipboard and the loop has not seen it yet: the server names an
// owner that is no window of this process and not the one the latest owner change named. A server
// that reports no owner changes tells nothing of them.
bool takeNotSeenYet(const GtkState& state) {
    GdkDisplay* display = x11Display();
    if (display == nullptr || !gdk_display_supports_selection_notification(display)) return false;
    const Window owner = XGetSelectionOwner(gdk_x11_display_get_xdisplay(display),
                                            gdk_x11_get_xatom_by_name_for_display(display, "CLIPBOARD"));
    if (owner == None || gdk_x11_window_lookup_for_display(display, owner) != nullptr) return false;
    return owner != state.clipboardTakes.lastOwner;
}

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

// GTK is done with the offer: the clipboard holds something else now. Unless this service wrote
// it, that is a take, at once: another part of this process may have written, whose owner change
// the loop sees only later.
void release(GtkClipboard*, gpointer data) {
    auto* offer = static_cast<GtkClipboardOffer*>(data);
    GtkState& state = *offer->state;
    if (state.clipboardOffer.get() != offer) return;
    state.clipboardOffer.reset();
    if (!state.clipboardTakes.writing) noteTake(state, userTime());
}

bool offer(std::unique_ptr<GtkClipboardOffer> offered, const GtkTargetEntry* targets, guint count) {
    GtkState& state = *offered->state;
    // Taking the clipboard clears the offer before (its release runs inside this call). When the
    // clipboard is not taken, GTK keeps the offer before and has no use for this one.
    state.clipboardTakes.writing = true;
    const bool taken = gtk_clipboard_set_with_data(clipboard(), targets, count, provide, release, offered.get());
    state.clipboardTakes.writing = false;
    if (!taken) return false;
    ++state.clipboardTakes.ownClaims;
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

// A take the loop saw at the user's latest input or after it came after what the user asks for now.
std::uint64_t markTakes(void* self) {
    const GtkClipboardTakes& takes = gtkState(self).clipboardTakes;
    const guint32 input = userTime();
    if (takes.count > 0 && input != 0 && atOrAfter(takes.lastTime, input)) return takes.count - 1;
    return takes.count;
}

bool takenSince(void* self, std::uint64_t mark) {
    const GtkState& state = gtkState(self);
    return state.clipboardTakes.count != mark || takeNotSeenYet(state);
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

void gtkWatchClipboardTakes(GtkState& state) {
    g_signal_connect(clipboard(), "owner-change", G_CALLBACK(onOwnerChange), &state);
}

ClipboardService gtkClipboard() {
    ClipboardService clipboard;
    KELVO_STANDIN_FILL(clipboard, KELVO_STANDIN_CLIPBOARD_FUNCTIONS)
    return clipboard;
}

}  // namespace kelvo::standin
