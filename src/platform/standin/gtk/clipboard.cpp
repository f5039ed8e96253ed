// The CLIPBOARD selection. Plain text is offered by the clipboard's own X connection
// (selection_owner.cpp), which serves every text target from the main loop without waiting in any
// call; HTML and RTF through GTK, as their own targets. The selection lives in this process: other
// programs read it while the main loop runs, and it is gone once the process ends (unless a
// clipboard keeper took a copy).
//
// A copy takes the clipboard the moment it is asked for (claimText), before its text is there: a
// long text takes a while to gather, and meanwhile the clipboard is the copy's, as it is in every
// program once the user copies. The take is made at the display server's time of the user's key
// or click, so that the server orders it among every program's copies as it orders theirs (this
// process's other parts, a GTK field or a web view's own copy, included: they own the clipboard from
// a connection of their own): one made after the key stands, whoever held the clipboard before (a
// program from before this one started included). A program that asks for the text before it is
// there is answered once it comes (a clipboard keeper that takes each copy over gets the copy, not
// the one before), and refused after kClipboardClaimWaitNs, or once the claim ends without text:
// given up, replaced, taken away, its page gone (reloaded, navigated, its web process or its view
// gone: the page is the web view whose script message took it), or after kClipboardClaimBoundNs.
//
// Reads go through the backend's own reader (selection_reader.cpp), which waits for no owner in
// any call and gives up on one that does not answer: GTK's wait_for_* reads wait 30 s for each
// target they ask, holding the whole program, and answer a text that never came as an empty one.
//
// Found while checking GTK: some programs offer HTML as UTF-16 with a byte-order mark.

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"
#include "platform/standin/gtk/selection_owner.hpp"
#include "platform/standin/gtk/selection_reader.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include <gdk/gdkx.h>

namespace kelvo::standin {

namespace {

GtkClipboard* clipboard() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }

void provide(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
    const auto* offer = static_cast<const GtkClipboardOffer*>(data);
    gtk_selection_data_set(selection, gtk_selection_data_get_target(selection), 8,
                           reinterpret_cast<const guchar*>(offer->bytes.data()),
                           static_cast<gint>(offer->bytes.size()));
}

// A change of owner noted by GTK. The takes of this process's plain text, and of its HTML or RTF
// through GTK (which holds an offer from the take until the next change), are no one else's.
void onOwnerChange(GtkClipboard*, GdkEvent* event, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    const GdkEventOwnerChange& change = event->owner_change;
    if (change.reason != GDK_OWNER_CHANGE_NEW_OWNER || change.owner == nullptr) return;
    const bool foreign = gdk_window_get_window_type(change.owner) == GDK_WINDOW_FOREIGN;
    if (foreign && gdk_x11_window_get_xid(change.owner) == gtkTextOwnerWindow(state)) return;
    if (!foreign && state.clipboardOffer) return;
    ++state.takesSeen;
}

// GTK is done with the offer: the clipboard holds something else now.
void release(GtkClipboard*, gpointer data) {
    auto* offer = static_cast<GtkClipboardOffer*>(data);
    GtkState& state = *offer->state;
    if (state.clipboardOffer.get() == offer) state.clipboardOffer.reset();
}

// Offers HTML or RTF on the clipboard through GTK.
bool offerRichText(GtkState& state, ClipboardType type, std::string_view bytes) {
    static const GtkTargetEntry html[] = {{const_cast<gchar*>("text/html"), 0, 0}};
    static const GtkTargetEntry rtf[] = {{const_cast<gchar*>("text/rtf"), 0, 0},
                                         {const_cast<gchar*>("application/rtf"), 0, 0}};
    const bool isHtml = type == ClipboardType::html;
    auto offered = std::make_unique<GtkClipboardOffer>(GtkClipboardOffer{&state, type, std::string(bytes)});
    // Taking the clipboard clears the offer before (its release runs inside this call).
    if (!gtk_clipboard_set_with_data(clipboard(), isHtml ? html : rtf, isHtml ? 1 : 2, provide, release,
                                     offered.get())) {
        return false;
    }
    state.clipboardOffer = std::move(offered);
    return true;
}

bool write(void* self, ClipboardType type, std::string_view bytes) {
    GtkState& state = gtkState(self);
    if (bytes.size() > static_cast<std::size_t>(G_MAXINT)) return false;
    if (type != ClipboardType::plain_text) return offerRichText(state, type, bytes);
    return gtkOfferText(state, ++state.clipboardTextWrites, bytes, 0, 0);
}

std::uint64_t heldTextWrite(void* self) { return gtkHeldText(gtkState(self)); }

// A mark without the display server's time: the takes the loop has seen so far.
constexpr std::uint64_t kTakesMark = std::uint64_t{1} << 32;
// The oldest key a mark goes back to: a page that took longer to get to its key marks the clipboard
// as of this long before now.
constexpr std::uint64_t kOldestMarkMs = 60'000;

// The display server's time of the user's key or click made `ageMs` ago: the server's time now less
// that (the server counts milliseconds), never later than the latest key or click, which is the
// mark where the age is not known. (The loop may see input late, when it is busy: its own clock
// tells nothing of when a key was typed.) For input the server did not time (or before any), the
// takes seen so far.
std::uint64_t markTakes(void* self, std::uint64_t ageMs) {
    GtkState& state = gtkState(self);
    if (state.inputTime == 0) return kTakesMark | state.takesSeen;
    const std::uint32_t now = ageMs != 0 ? gtkServerTime(state) : 0;
    if (now == 0) return state.inputTime;
    const std::uint32_t asked = now - static_cast<std::uint32_t>(std::min(ageMs, kOldestMarkMs));
    // Server times wrap around after 49 days; a time of 0 means "now".
    const bool beforeLatest = static_cast<std::int32_t>(asked - state.inputTime) < 0;
    const std::uint32_t mark = beforeLatest ? asked : state.inputTime;
    return mark != 0 ? mark : 1;
}

std::uint64_t claimText(void* self, std::uint64_t mark) {
    GtkState& state = gtkState(self);
    if ((mark & kTakesMark) != 0) {
        if (static_cast<std::uint32_t>(mark) != state.takesSeen) return 0;
        mark = 0;
    }
    const std::uint64_t serial = ++state.clipboardTextWrites;
    return gtkOfferText(state, serial, std::nullopt, static_cast<std::uint32_t>(mark), state.messageWebView) ? serial
                                                                                                             : 0;
}

bool fillClaim(void* self, std::uint64_t serial, std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(G_MAXINT)) return false;
    return gtkFillText(gtkState(self), serial, bytes);
}

void dropClaim(void* self, std::uint64_t serial) { gtkDropText(gtkState(self), serial); }

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
