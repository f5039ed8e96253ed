// The CLIPBOARD selection. Text goes in as GTK's text (every text target), HTML and RTF as their
// own targets. The selection lives in this process: other programs read it while the main loop
// runs, and it is gone once the process ends (unless a clipboard manager keeps a copy).
//
// Plain text is offered as GTK's own text writer offers it, except that UTF8_STRING carries every
// byte: GTK's writer stops at the first NUL, and refuses an empty text. What this process offers is
// kept until GTK clears it, which it does when another program or another write takes the
// clipboard; so the state knows whether the clipboard still holds a write of this process.
//
// A copy takes the clipboard the moment it is asked for (claimText), before its text is there: a
// long text takes a while to gather, and meanwhile the clipboard is the copy's, as it is in every
// program once the user copies. The take is made at the display server's time of the user's key
// or click, so that the server orders it among every program's copies as it orders theirs: one
// that another program made after the key stands, whoever held the clipboard before (a program
// from before this one started included). A program that asks for the text before it is there is
// answered once it comes (a clipboard keeper that takes each copy over gets the copy, not the one
// before), and gets nothing after kClipboardClaimWaitNs.
//
// Reads go through the backend's own reader (selection_reader.cpp), which waits for no owner in
// any call and gives up on one that does not answer: GTK's wait_for_* reads wait 30 s for each
// target they ask, holding the whole program, and answer a text that never came as an empty one.
//
// Found while checking GTK: some programs offer HTML as UTF-16 with a byte-order mark.

#include <functional>
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

// Whether the display server names another program's window as the clipboard's owner: a take the
// loop has not seen yet (GTK clears the offer once it has).
bool takenByAnotherProgram() {
    GdkDisplay* display = x11Display();
    if (display == nullptr) return false;
    const Window owner = XGetSelectionOwner(gdk_x11_display_get_xdisplay(display),
                                            gdk_x11_get_xatom_by_name_for_display(display, "CLIPBOARD"));
    return owner == None || gdk_x11_window_lookup_for_display(display, owner) == nullptr;
}

GdkAtom utf8Target() { return gdk_atom_intern_static_string("UTF8_STRING"); }

gboolean endClaimWait(gpointer waited) {
    *static_cast<bool*>(waited) = true;
    return G_SOURCE_REMOVE;
}

// The offer with this serial number while the clipboard holds it; null once anything replaced it.
const GtkClipboardOffer* heldOffer(const GtkState& state, std::uint64_t serial) {
    const GtkClipboardOffer* held = state.clipboardOffer.get();
    return held != nullptr && held->serial == serial ? held : nullptr;
}

// Runs the main loop until the claimed text comes, the claim is replaced or given up, the loop is
// told to end, or kClipboardClaimWaitNs have passed; answers the offer then held, if it has come.
// GTK asks for the text from inside its own handling of the request: a request that comes while
// this one waits waits inside it.
const GtkClipboardOffer* awaitClaimedText(GtkState& state, std::uint64_t serial) {
    bool waited = false;
    const guint timer = g_timeout_add(static_cast<guint>(kClipboardClaimWaitNs / 1'000'000), endClaimWait, &waited);
    for (;;) {
        const GtkClipboardOffer* held = heldOffer(state, serial);
        if (held == nullptr || !held->pending || waited || state.quitting) break;
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!waited) g_source_remove(timer);
    const GtkClipboardOffer* held = heldOffer(state, serial);
    return held != nullptr && !held->pending ? held : nullptr;
}

void provide(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
    const auto* offer = static_cast<const GtkClipboardOffer*>(data);
    // A claim gone while its text was awaited took its offer with it: nothing is answered.
    if (offer->pending && (offer = awaitClaimedText(*offer->state, offer->serial)) == nullptr) return;
    const GdkAtom target = gtk_selection_data_get_target(selection);
    const auto length = static_cast<gint>(offer->bytes.size());
    if (offer->type == ClipboardType::plain_text && target != utf8Target()) {
        gtk_selection_data_set_text(selection, offer->bytes.data(), length);
        return;
    }
    gtk_selection_data_set(selection, target, 8, reinterpret_cast<const guchar*>(offer->bytes.data()), length);
}

// Whether server time `time` is `since` or later (the times wrap around after 49 days).
bool atOrAfter(guint32 time, guint32 since) { return static_cast<gint32>(time - since) >= 0; }

// Another part of this process (a field, a web view) wrote to the clipboard at `time`.
void noteOtherWrite(GtkState& state, guint32 time) {
    if (state.otherWriteTime == 0 || atOrAfter(time, state.otherWriteTime)) state.otherWriteTime = time;
}

// A change of owner to a window of this process while this service holds no offer is another
// part's write (this service's own takes hold an offer until the next change).
void onOwnerChange(GtkClipboard*, GdkEvent* event, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    const GdkEventOwnerChange& change = event->owner_change;
    if (change.reason != GDK_OWNER_CHANGE_NEW_OWNER || change.owner == nullptr) return;
    if (gdk_window_get_window_type(change.owner) == GDK_WINDOW_FOREIGN) {
        ++state.takesSeen;
        return;
    }
    if (state.clipboardOffer) return;
    ++state.takesSeen;
    noteOtherWrite(state, change.selection_time);
}

// GTK is done with the offer: the clipboard holds something else now. Unless this service took
// it, another part of this process wrote to it just now (another program's take clears the offer
// only as the loop handles it, and another program's times order themselves at the server).
void release(GtkClipboard*, gpointer data) {
    auto* offer = static_cast<GtkClipboardOffer*>(data);
    GtkState& state = *offer->state;
    if (state.clipboardOffer.get() != offer) return;
    state.clipboardOffer.reset();
    if (!state.claiming && !takenByAnotherProgram()) noteOtherWrite(state, state.inputTime);
}

// Runs `call` as GTK's handling of an event at server time `time`, which GTK's clipboard then
// takes the clipboard at (it takes it at the time of the event it handles). The event is a
// property change of a window of this process's own that nothing else reads.
// On the clipboard's timing window: the call to run as it handles its event.
constexpr const char* kTimedCall = "kelvo-timed-call";

void atServerTime(GtkState& state, guint32 time, const std::function<void()>& call) {
    if (time == 0 || x11Display() == nullptr) {
        call();
        return;
    }
    if (state.clipboardTimer == nullptr) {
        state.clipboardTimer = gtk_invisible_new();
        gtk_widget_realize(state.clipboardTimer);
        g_signal_connect(state.clipboardTimer, "property-notify-event",
                         G_CALLBACK(+[](GtkWidget* timer, GdkEventProperty*, gpointer) -> gboolean {
                             auto* pending = static_cast<const std::function<void()>*>(
                                 g_object_get_data(G_OBJECT(timer), kTimedCall));
                             if (pending != nullptr) (*pending)();
                             return TRUE;
                         }),
                         nullptr);
    }
    GdkEvent* event = gdk_event_new(GDK_PROPERTY_NOTIFY);
    event->property.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(state.clipboardTimer)));
    event->property.send_event = TRUE;
    event->property.atom = gdk_atom_intern_static_string("KELVO_CLIPBOARD_TIME");
    event->property.time = time;
    event->property.state = GDK_PROPERTY_NEW_VALUE;
    g_object_set_data(G_OBJECT(state.clipboardTimer), kTimedCall, const_cast<std::function<void()>*>(&call));
    gtk_main_do_event(event);
    g_object_set_data(G_OBJECT(state.clipboardTimer), kTimedCall, nullptr);
    gdk_event_free(event);
}

// Offers `offered` on the clipboard, taken at server time `time` (0: now). The server refuses a
// take older than the clipboard's latest; GTK's clipboard then answers the take as made only
// where its own window still holds the clipboard (nothing else took it since).
bool offer(std::unique_ptr<GtkClipboardOffer> offered, const GtkTargetEntry* targets, guint count, guint32 time = 0) {
    GtkState& state = *offered->state;
    // Taking the clipboard clears the offer before (its release runs inside this call). When the
    // clipboard is not taken, GTK keeps the offer before and has no use for this one.
    bool taken = false;
    state.claiming = true;
    atServerTime(state, time, [&] {
        taken = gtk_clipboard_set_with_data(clipboard(), targets, count, provide, release, offered.get());
    });
    state.claiming = false;
    if (!taken) return false;
    state.clipboardOffer = std::move(offered);
    return true;
}

// Offers a plain text (every text target), pending or with its bytes.
bool offerText(GtkState& state, std::string_view bytes, bool pending, guint32 time) {
    auto offered = std::make_unique<GtkClipboardOffer>(
        GtkClipboardOffer{&state, ClipboardType::plain_text, std::string(bytes), 0, pending});
    offered->serial = ++state.clipboardTextWrites;
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, 0);
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    const bool taken = offer(std::move(offered), targets, static_cast<guint>(count), time);
    gtk_target_table_free(targets, count);
    gtk_target_list_unref(list);
    // As GTK's text writer does: a clipboard manager may keep every target once the process ends.
    if (taken && !pending) gtk_clipboard_set_can_store(clipboard(), nullptr, 0);
    return taken;
}

bool write(void* self, ClipboardType type, std::string_view bytes) {
    GtkState& state = gtkState(self);
    if (bytes.size() > static_cast<std::size_t>(G_MAXINT)) return false;
    if (type == ClipboardType::plain_text) return offerText(state, bytes, false, 0);
    static const GtkTargetEntry html[] = {{const_cast<gchar*>("text/html"), 0, 0}};
    static const GtkTargetEntry rtf[] = {{const_cast<gchar*>("text/rtf"), 0, 0},
                                         {const_cast<gchar*>("application/rtf"), 0, 0}};
    const bool isHtml = type == ClipboardType::html;
    return offer(std::make_unique<GtkClipboardOffer>(GtkClipboardOffer{&state, type, std::string(bytes), 0}),
                 isHtml ? html : rtf, isHtml ? 1 : 2);
}

std::uint64_t heldTextWrite(void* self) {
    const GtkClipboardOffer* offered = gtkState(self).clipboardOffer.get();
    if (offered == nullptr || offered->type != ClipboardType::plain_text || takenByAnotherProgram()) return 0;
    return offered->serial;
}

// A mark without the display server's time: the takes the loop has seen so far.
constexpr std::uint64_t kTakesMark = std::uint64_t{1} << 32;

// The display server's time of the user's latest key or click; for input it did not time (or
// before any), the takes seen so far.
std::uint64_t markTakes(void* self) {
    const GtkState& state = gtkState(self);
    return state.inputTime != 0 ? state.inputTime : kTakesMark | state.takesSeen;
}

std::uint64_t claimText(void* self, std::uint64_t mark) {
    GtkState& state = gtkState(self);
    // The display server orders another part of this process's write after the mark no differently
    // from this service's take: GTK's clipboard would take it over as its own.
    if ((mark & kTakesMark) != 0) {
        if (static_cast<std::uint32_t>(mark) != state.takesSeen) return 0;
        mark = 0;
    }
    const auto time = static_cast<guint32>(mark);
    if (time != 0 && state.otherWriteTime != 0 && atOrAfter(state.otherWriteTime, time) && !state.clipboardOffer &&
        !takenByAnotherProgram()) {
        return 0;
    }
    if (!offerText(state, {}, true, time)) return 0;
    return state.clipboardOffer->serial;
}

bool fillClaim(void* self, std::uint64_t serial, std::string_view bytes) {
    GtkState& state = gtkState(self);
    if (bytes.size() > static_cast<std::size_t>(G_MAXINT)) return false;
    GtkClipboardOffer* held = state.clipboardOffer.get();
    if (held == nullptr || held->serial != serial || !held->pending || takenByAnotherProgram()) return false;
    held->bytes.assign(bytes);
    held->pending = false;
    gtk_clipboard_set_can_store(clipboard(), nullptr, 0);
    return true;
}

void dropClaim(void* self, std::uint64_t serial) {
    GtkState& state = gtkState(self);
    const GtkClipboardOffer* held = state.clipboardOffer.get();
    if (held != nullptr && held->serial == serial && held->pending) gtk_clipboard_clear(clipboard());
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

void gtkWatchClipboardWrites(GtkState& state) {
    g_signal_connect(clipboard(), "owner-change", G_CALLBACK(onOwnerChange), &state);
}

ClipboardService gtkClipboard() {
    ClipboardService clipboard;
    KELVO_STANDIN_FILL(clipboard, KELVO_STANDIN_CLIPBOARD_FUNCTIONS)
    return clipboard;
}

}  // namespace kelvo::standin
