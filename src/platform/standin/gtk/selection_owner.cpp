// This process's plain text on the CLIPBOARD selection, offered from a window of the clipboard's X
// connection (selection_connection.cpp) and served from the main loop, as the inter-client
// conventions ask of an owner: TARGETS and TIMESTAMP are answered at once; the text targets
// (UTF8_STRING and text/plain;charset=utf-8 with every byte, STRING as Latin-1, COMPOUND_TEXT where
// the text has an exact compound form, TEXT as the first of those that fits) once the text is there,
// whole, or in pieces (INCR) when it is long, each piece sent once the requestor deleted the one
// before; everything else (MULTIPLE among them) is refused.
//
// A text taken before it is there (pending) keeps the programs that ask for it meanwhile in a list,
// none of them waiting inside any call: each is answered when the text comes, or refused when the
// text ends without coming (given up, replaced, taken away by another program, the page that took
// it gone, or its own bound passed), when it waited kClipboardClaimWaitNs, or at the end of the
// process. A take names the display server's time it is made at (the user's key, or the server's
// time now); the server orders it among every program's takes by that time, and a give-up names
// the same time, which the server ignores once anybody took the clipboard later.
//
// The Latin-1 and compound forms of a long text take a while to make: each is made a part each
// turn of the loop, the requests for it waiting in the same list meanwhile; a short text's are made
// at once. No request can hold the loop, nor memory, past a bound: each requestor window has a
// budget of requests (a program that asks faster, broken or hostile, has every request after
// that dropped unanswered until it was quiet a second or its window went, so that no answer meant
// for it reaches a window of another program given its number), and the requests waiting and the
// answers in pieces of one window, and of all of them, are bounded. A request that names a window of this connection as
// its requestor, other than a read's own, is refused: the owner's window must never be watched, nor given up, for a
// transfer.

#include "platform/standin/gtk/selection_owner.hpp"

#include <algorithm>
#include <cstdlib>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include "platform/standin/gtk/selection_x11.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace kelvo::standin {

namespace {

// The size of each piece of a long answer, and the longest answer sent whole: as many bytes as
// programs that serve the clipboard commonly send in one property, or fewer where the display
// server takes no request that long (one without big requests takes 256 KiB).
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
// A ChangeProperty request's own bytes before its value, the big requests' length included.
constexpr std::size_t kChangePropertyBytes = 28;
// Requests waiting at once, for a pending text or for a form being made, and of them from one
// requestor window; the next is refused.
constexpr std::size_t kMostWaiting = 64;
constexpr std::size_t kMostWaitingOfRequestor = 4;
// Answers going in pieces at once, and of them to one requestor window; the next request for a
// long answer is refused.
constexpr std::size_t kMostTransfers = 64;
constexpr std::size_t kMostTransfersOfRequestor = 4;
// Each requestor window's budget: the requests answered in a burst, and each second after that.
// Readers ask a few targets each; a program that asks faster has the rest dropped.
constexpr std::int64_t kRequestBurst = 64;
constexpr std::int64_t kRequestsPerSecond = 64;
constexpr std::int64_t kRequestSpacingUs = 1'000'000 / kRequestsPerSecond;
// Windows whose budget is partly spent kept at once: past that, those whose budget is whole again
// are forgotten (and every one, where none is).
constexpr std::size_t kMostBudgets = 1024;
// A window that asked past its budget is answered nothing more until it was quiet this long, or
// went: the requests it had sent may still come in for a long while after it went, and the server
// may have given its number to another program's window meanwhile, which would take the answers.
constexpr std::int64_t kFloodQuietUs = 1'000'000;
// The UTF-8 bytes of a text made into another form in one turn of the loop: Latin-1 takes a few
// nanoseconds a byte, compound text (Xlib's conversion) about 40 for text beyond Latin-1.
constexpr std::size_t kLatin1PartBytes = std::size_t{1} << 20;
constexpr std::size_t kCompoundPartBytes = std::size_t{1} << 17;
// Compound text's initial state, designated again between parts made apart: ASCII on the left
// half, Latin-1's upper half on the right.
constexpr std::string_view kInitialDesignations = "\x1b(B\x1b-A";

// Whether server time `time` comes before `since` (the times wrap around after 49 days).
bool before(Time time, Time since) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(time) - static_cast<std::uint32_t>(since)) < 0;
}

std::size_t pieceBytes(const GtkSelectionConnection& connection) {
    return std::min(kPieceBytes, connection.requestBytes - kChangePropertyBytes);
}

bool ownWindow(const GtkSelectionConnection& connection, Window window) {
    return (window & ~Window{connection.idMask}) == connection.idBase;
}

bool ensureWindow(GtkSelectionConnection& connection) {
    GtkSelectionOwner& owner = connection.owner;
    if (owner.window != None) return true;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    owner.window = XCreateWindow(connection.display, DefaultRootWindow(connection.display), -1, -1, 1, 1, 0,
                                 CopyFromParent, InputOnly, CopyFromParent, CWEventMask, &attributes);
    return owner.window != None;
}

// The owner's requests go through XCB: Xlib would keep a record of each until its next wait for a
// reply, and the owner waits for none while it answers.
void setProperty(GtkSelectionConnection& connection, Window window, Atom property, Atom type, int format,
                 const void* data, std::size_t items) {
    xcb_change_property(connection.xcb, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
                        static_cast<xcb_atom_t>(property), static_cast<xcb_atom_t>(type),
                        static_cast<std::uint8_t>(format), static_cast<std::uint32_t>(items), data);
}

void selectEvents(GtkSelectionConnection& connection, Window window, std::uint32_t mask) {
    xcb_change_window_attributes(connection.xcb, static_cast<xcb_window_t>(window), XCB_CW_EVENT_MASK, &mask);
}

bool isStamp(const GtkSelectionConnection& connection, const XEvent& event) {
    return event.type == PropertyNotify && event.xproperty.window == connection.owner.window &&
           event.xproperty.atom == connection.stamp;
}

void changeStamp(GtkSelectionConnection& connection) {
    xcb_change_property(connection.xcb, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(connection.owner.window),
                        static_cast<xcb_atom_t>(connection.stamp), XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection.xcb);
}

// The display server's time now: that of a change of a property of the owner's window. Waits for
// the server, and for no other program; the events that come before are held for the loop.
Time serverTime(GtkSelectionConnection& connection) {
    changeStamp(connection);
    for (;;) {
        xcb_generic_event_t* raw = xcb_wait_for_event(connection.xcb);
        if (raw == nullptr) return CurrentTime;  // the server is gone
        XEvent event;
        if (xEventOf(connection, *raw, event) && isStamp(connection, event)) {
            std::free(raw);
            return event.xproperty.time;
        }
        holdEvent(connection, raw);
    }
}

bool holds(GtkSelectionConnection& connection) {
    const xcb_get_selection_owner_cookie_t asked =
        xcb_get_selection_owner(connection.xcb, static_cast<xcb_atom_t>(connection.clipboard));
    auto* reply = static_cast<xcb_get_selection_owner_reply_t*>(awaitReply(connection, asked.sequence));
    const bool held = reply != nullptr && reply->owner == connection.owner.window;
    std::free(reply);
    return held;
}

// Whether the window is there (it may have gone, its number not given to another yet).
bool exists(GtkSelectionConnection& connection, Window window) {
    const xcb_get_window_attributes_cookie_t asked =
        xcb_get_window_attributes(connection.xcb, static_cast<xcb_window_t>(window));
    void* reply = awaitReply(connection, asked.sequence);
    const bool there = reply != nullptr;
    std::free(reply);
    return there;
}

void notify(GtkSelectionConnection& connection, const XSelectionRequestEvent& request, Atom property) {
    xcb_selection_notify_event_t event{};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = static_cast<xcb_timestamp_t>(request.time);
    event.requestor = static_cast<xcb_window_t>(request.requestor);
    event.selection = static_cast<xcb_atom_t>(request.selection);
    event.target = static_cast<xcb_atom_t>(request.target);
    event.property = static_cast<xcb_atom_t>(property);
    xcb_send_event(connection.xcb, 0, event.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
}

void refuse(GtkSelectionConnection& connection, const XSelectionRequestEvent& request) {
    notify(connection, request, None);
}

bool isTextTarget(const GtkSelectionConnection& connection, Atom target) {
    return target == connection.utf8 || target == connection.plainUtf8 || target == XA_STRING ||
           target == connection.text || target == connection.compoundText;
}

// Where a part of `utf8` that begins at `from` and takes at most `most` bytes ends: never inside a
// character.
std::size_t partEnd(std::string_view utf8, std::size_t from, std::size_t most) {
    if (utf8.size() - from <= most) return utf8.size();
    std::size_t end = from + most;
    // A character takes four bytes at most: three that follow its first.
    for (int back = 0; back < 3 && end > from + 1 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80; ++back) {
        --end;
    }
    return end;
}

// Appends the part as Latin-1: each character its byte, "?" for one Latin-1 lacks (and for a byte
// that is no UTF-8), noting in `exact` when there was such.
void appendLatin1(std::string_view utf8, std::string& latin1, bool& exact) {
    latin1.reserve(latin1.size() + utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        // (GLib counts a NUL byte as no character.)
        const gunichar character =
            utf8[at] == '\0' ? 0
                             : g_utf8_get_char_validated(
                                   utf8.data() + at, static_cast<gssize>(std::min<std::size_t>(utf8.size() - at, 6)));
        const bool valid = character < 0x110000;
        if (valid && character <= 0xFF) {
            latin1 += static_cast<char>(character);
        } else {
            latin1 += '?';
            exact = false;
        }
        at += valid ? static_cast<std::size_t>(g_utf8_skip[static_cast<unsigned char>(utf8[at])]) : 1;
    }
}

// Appends the part as compound text, its NULs parting it into strings as the form has it; false
// where Xlib cannot convert every character. Where the part left another state than the initial
// one and `more` follow, the initial one is designated again: each part is made from it.
bool appendCompound(const GtkSelectionConnection& connection, std::string_view utf8, bool more, std::string& compound) {
    std::vector<std::string> strings(1);
    for (const char c : utf8) {
        if (c == '\0') {
            strings.emplace_back();
        } else {
            strings.back() += c;
        }
    }
    std::vector<char*> list;
    for (std::string& string : strings) list.push_back(string.data());
    XTextProperty property{};
    const int status = Xutf8TextListToTextProperty(connection.display, list.data(), static_cast<int>(list.size()),
                                                   XCompoundTextStyle, &property);
    const bool made = status == Success && property.encoding == connection.compoundText && property.format == 8;
    if (made) {
        const std::string_view part(reinterpret_cast<const char*>(property.value), property.nitems);
        compound += part;
        if (more && part.find('\x1b') != std::string_view::npos) compound += kInitialDesignations;
    }
    if (property.value != nullptr) XFree(property.value);
    return made;
}

bool isLatin1(const GtkOfferedText& text, const GtkTextForm& form) { return &form == &text.latin1; }

std::size_t partBytes(const GtkOfferedText& text, const GtkTextForm& form) {
    return isLatin1(text, form) ? kLatin1PartBytes : kCompoundPartBytes;
}

// Makes the form's next part, of at most `most` UTF-8 bytes of the text.
void makePart(const GtkSelectionConnection& connection, GtkOfferedText& text, GtkTextForm& form, std::size_t most) {
    const std::string_view utf8 = *text.utf8;
    const std::size_t end = partEnd(utf8, form.done, most);
    const std::string_view part = utf8.substr(form.done, end - form.done);
    if (isLatin1(text, form)) {
        appendLatin1(part, form.making, form.exact);
    } else if (!appendCompound(connection, part, end < utf8.size(), form.making)) {
        // The text has no exact compound form.
        form.made = true;
        form.making = {};
        return;
    }
    form.done = end;
    if (end == utf8.size()) {
        form.made = true;
        form.bytes = std::make_shared<const std::string>(std::move(form.making));
        form.making = {};
    }
}

// The form an answer to `target` needs and that is not made yet; null when there is none.
GtkTextForm* formToMake(const GtkSelectionConnection& connection, GtkOfferedText& text, Atom target) {
    const bool isText = target == connection.text;
    if ((target == XA_STRING || isText) && !text.latin1.made) return &text.latin1;
    // TEXT leaves the form to the owner: Latin-1 where it holds the text, else compound text.
    if ((target == connection.compoundText || (isText && !text.latin1.exact)) && !text.compound.made) {
        return &text.compound;
    }
    return nullptr;
}

// Whether the answer to `target` can go now: a short text's forms are made at once.
bool readyFor(const GtkSelectionConnection& connection, GtkOfferedText& text, Atom target) {
    for (GtkTextForm* form = formToMake(connection, text, target); form != nullptr;
         form = formToMake(connection, text, target)) {
        if (text.utf8->size() - form->done > partBytes(text, *form)) return false;
        makePart(connection, text, *form, partBytes(text, *form));
    }
    return true;
}

struct TextAnswer {
    Atom type = None;
    std::shared_ptr<const std::string> bytes;  // null: the text has no such form
};

// The answer to `target`, whose forms are made.
TextAnswer answerFor(const GtkSelectionConnection& connection, const GtkOfferedText& text, Atom target) {
    if (target == connection.utf8 || target == connection.plainUtf8) return {target, text.utf8};
    if (target == XA_STRING) return {XA_STRING, text.latin1.bytes};
    if (target == connection.compoundText) return {connection.compoundText, text.compound.bytes};
    if (text.latin1.exact) return {XA_STRING, text.latin1.bytes};
    if (text.compound.bytes) return {connection.compoundText, text.compound.bytes};
    return {connection.utf8, text.utf8};
}

GtkTextTransfer* transferTo(const GtkSelectionConnection& connection, Window requestor, Atom property) {
    for (const auto& transfer : connection.owner.transfers) {
        if (transfer->requestor == requestor && transfer->property == property) return transfer.get();
    }
    return nullptr;
}

std::size_t transfersTo(const GtkSelectionConnection& connection, Window requestor) {
    return static_cast<std::size_t>(
        std::count_if(connection.owner.transfers.begin(), connection.owner.transfers.end(),
                      [&](const auto& transfer) { return transfer->requestor == requestor; }));
}

bool waitedOut(const GtkSelectionConnection& connection, Window window) {
    const GtkOfferedText* text = connection.owner.offered.get();
    return text != nullptr &&
           std::find(text->waitedOut.begin(), text->waitedOut.end(), window) != text->waitedOut.end();
}

// A requestor's window is watched while a transfer to it goes on (the deletes of its pieces tell
// when to send the next, its going that none is wanted), and while it counts as having waited out
// the text (its going ends that: the display server may give its number to a window of another
// program). A read of this connection watches its own windows already.
void watch(GtkSelectionConnection& connection, Window requestor) {
    if (!readsWindow(connection, requestor)) {
        selectEvents(connection, requestor, XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    }
}

void unwatch(GtkSelectionConnection& connection, Window requestor) {
    if (transfersTo(connection, requestor) == 0 && !waitedOut(connection, requestor) &&
        !readsWindow(connection, requestor) && !connection.owner.flooding.contains(requestor)) {
        selectEvents(connection, requestor, XCB_EVENT_MASK_NO_EVENT);
    }
}

// The transfer goes; the requestor's window is no longer watched for it.
void endTransfer(GtkSelectionConnection& connection, GtkTextTransfer& transfer) {
    stopSelectionTimer(transfer.timer);
    const Window requestor = transfer.requestor;
    std::erase_if(connection.owner.transfers, [&](const auto& kept) { return kept.get() == &transfer; });
    unwatch(connection, requestor);
}

gboolean transferWaitOver(gpointer data) {
    auto& transfer = *static_cast<GtkTextTransfer*>(data);
    transfer.timer = 0;
    endTransfer(*transfer.connection, transfer);
    return G_SOURCE_REMOVE;
}

// The requestor deleted the last piece (or the INCR property): the next goes, the empty one last.
void sendPiece(GtkSelectionConnection& connection, GtkTextTransfer& transfer) {
    const std::size_t length = std::min(pieceBytes(connection), transfer.bytes->size() - transfer.sent);
    setProperty(connection, transfer.requestor, transfer.property, transfer.type, 8,
                transfer.bytes->data() + transfer.sent, length);
    connection.turnBytes += length;
    transfer.sent += length;
    if (length == 0) {
        endTransfer(connection, transfer);
        return;
    }
    stopSelectionTimer(transfer.timer);
    transfer.timer = startSelectionTimer(kClipboardAnswerWaitNs, transferWaitOver, &transfer);
}

// Answers with the text in the form `target` asks for, which is made.
void answerText(GtkSelectionConnection& connection, const GtkOfferedText& text, const XSelectionRequestEvent& request,
                Atom property) {
    const TextAnswer answer = answerFor(connection, text, request.target);
    if (!answer.bytes) {
        refuse(connection, request);
        return;
    }
    // The requestor asks again into the same property: what it asked before is done with.
    if (GtkTextTransfer* before = transferTo(connection, request.requestor, property)) {
        endTransfer(connection, *before);
    }
    if (answer.bytes->size() <= pieceBytes(connection)) {
        setProperty(connection, request.requestor, property, answer.type, 8, answer.bytes->data(),
                    answer.bytes->size());
        connection.turnBytes += answer.bytes->size();
        notify(connection, request, property);
        return;
    }
    if (connection.owner.transfers.size() >= kMostTransfers ||
        transfersTo(connection, request.requestor) >= kMostTransfersOfRequestor) {
        refuse(connection, request);
        return;
    }
    watch(connection, request.requestor);
    auto transfer = std::make_unique<GtkTextTransfer>();
    transfer->connection = &connection;
    transfer->requestor = request.requestor;
    transfer->property = property;
    transfer->type = answer.type;
    transfer->bytes = answer.bytes;
    const auto size = static_cast<std::uint32_t>(answer.bytes->size());  // the least the text holds
    setProperty(connection, request.requestor, property, connection.incr, 32, &size, 1);
    notify(connection, request, property);
    transfer->timer = startSelectionTimer(kClipboardAnswerWaitNs, transferWaitOver, transfer.get());
    connection.owner.transfers.push_back(std::move(transfer));
}

void answerAtOnce(GtkSelectionConnection& connection, const XSelectionRequestEvent& request, Atom property, Atom type,
                  std::span<const std::uint32_t> items) {
    setProperty(connection, request.requestor, property, type, 32, items.data(), items.size());
    notify(connection, request, property);
}

std::unique_ptr<GtkWaitingRequest> takeWaiting(GtkSelectionOwner& owner, GtkWaitingRequest& waiting) {
    auto found = std::find_if(owner.waiting.begin(), owner.waiting.end(),
                              [&](const auto& kept) { return kept.get() == &waiting; });
    std::unique_ptr<GtkWaitingRequest> taken = std::move(*found);
    owner.waiting.erase(found);
    stopSelectionTimer(taken->timer);
    return taken;
}

// The requestor's window went: it no longer counts as having waited out the text.
void forgetWindow(GtkSelectionConnection& connection, Window window) {
    GtkOfferedText* text = connection.owner.offered.get();
    if (text == nullptr) return;
    std::erase(text->waitedOut, window);
}

gboolean waitOver(gpointer data) {
    auto& waiting = *static_cast<GtkWaitingRequest*>(data);
    waiting.timer = 0;
    GtkSelectionConnection& connection = *waiting.connection;
    const std::unique_ptr<GtkWaitingRequest> over = takeWaiting(connection.owner, waiting);
    refuse(connection, over->request);
    // A form of a text that is there took too long to make: the requestor may ask for another.
    if (!connection.owner.offered->pending) return G_SOURCE_REMOVE;
    std::vector<Window>& waitedOutWindows = connection.owner.offered->waitedOut;
    const Window requestor = over->request.requestor;
    if (waitedOut(connection, requestor)) return G_SOURCE_REMOVE;
    if (waitedOutWindows.size() >= kMostWaiting) {
        const Window oldest = waitedOutWindows.front();
        waitedOutWindows.erase(waitedOutWindows.begin());
        unwatch(connection, oldest);
    }
    waitedOutWindows.push_back(requestor);
    watch(connection, requestor);
    // A window gone already sends no notice of its going.
    if (!exists(connection, requestor)) forgetWindow(connection, requestor);
    return G_SOURCE_REMOVE;
}

// A reader waits for a pending text kClipboardClaimWaitNs from its first request, whatever it asks
// after that one was refused; for a form being made, as long at most.
void wait(GtkSelectionConnection& connection, const XSelectionRequestEvent& request, Atom property) {
    GtkSelectionOwner& owner = connection.owner;
    const auto ofRequestor = std::count_if(owner.waiting.begin(), owner.waiting.end(), [&](const auto& waiting) {
        return waiting->request.requestor == request.requestor;
    });
    const bool waitedBefore = owner.offered->pending && waitedOut(connection, request.requestor);
    if (owner.waiting.size() >= kMostWaiting || static_cast<std::size_t>(ofRequestor) >= kMostWaitingOfRequestor ||
        waitedBefore) {
        refuse(connection, request);
        return;
    }
    auto waiting = std::make_unique<GtkWaitingRequest>();
    waiting->connection = &connection;
    waiting->request = request;
    waiting->property = property;
    waiting->timer = startSelectionTimer(kClipboardClaimWaitNs, waitOver, waiting.get());
    owner.waiting.push_back(std::move(waiting));
}

gboolean makeNextPart(gpointer data);

// The forms waiting requests ask for are made, a part each turn of the loop.
void makeForms(GtkSelectionConnection& connection) {
    GtkOfferedText& text = *connection.owner.offered;
    if (text.maker == 0) text.maker = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, makeNextPart, &connection, nullptr);
}

// Every waiting request whose answer can go is answered with the text that came, the oldest first,
// or, with `text` null, refused; those that wait for a form being made wait on.
void answerWaiting(GtkSelectionConnection& connection, GtkOfferedText* text) {
    std::vector<std::unique_ptr<GtkWaitingRequest>> waiting = std::exchange(connection.owner.waiting, {});
    for (auto& request : waiting) {
        if (text != nullptr && !readyFor(connection, *text, request->request.target)) {
            connection.owner.waiting.push_back(std::move(request));
            continue;
        }
        stopSelectionTimer(request->timer);
        if (text != nullptr) {
            answerText(connection, *text, request->request, request->property);
        } else {
            refuse(connection, request->request);
        }
    }
    if (!connection.owner.waiting.empty()) makeForms(connection);
}

gboolean makeNextPart(gpointer data) {
    auto& connection = *static_cast<GtkSelectionConnection*>(data);
    GtkOfferedText& text = *connection.owner.offered;
    // The form the oldest request waits for.
    GtkTextForm* form = nullptr;
    for (auto waiting = connection.owner.waiting.begin(); form == nullptr && waiting != connection.owner.waiting.end();
         ++waiting) {
        form = formToMake(connection, text, (*waiting)->request.target);
    }
    if (form == nullptr) {
        text.maker = 0;
        return G_SOURCE_REMOVE;
    }
    makePart(connection, text, *form, partBytes(text, *form));
    if (!form->made) return G_SOURCE_CONTINUE;
    text.maker = 0;
    answerWaiting(connection, &text);
    return G_SOURCE_REMOVE;
}

// A program asked for the clipboard's content in a form (SelectionRequest).
void requested(GtkSelectionConnection& connection, const XSelectionRequestEvent& request) {
    GtkOfferedText* text = connection.owner.offered.get();
    // Obsolete requestors name no property: the target's name serves.
    const Atom property = request.property == None ? request.target : request.property;
    const bool ownRequestor = ownWindow(connection, request.requestor) && !readsWindow(connection, request.requestor);
    if (ownRequestor || text == nullptr || request.selection != connection.clipboard ||
        (request.time != CurrentTime && before(request.time, text->taken))) {
        refuse(connection, request);
    } else if (request.target == connection.targets) {
        const std::uint32_t targets[] = {
            static_cast<std::uint32_t>(connection.targets),     static_cast<std::uint32_t>(connection.timestamp),
            static_cast<std::uint32_t>(connection.utf8),        static_cast<std::uint32_t>(connection.plainUtf8),
            static_cast<std::uint32_t>(connection.text),        static_cast<std::uint32_t>(XA_STRING),
            static_cast<std::uint32_t>(connection.compoundText)};
        answerAtOnce(connection, request, property, XA_ATOM, targets);
    } else if (request.target == connection.timestamp) {
        const std::uint32_t taken[] = {static_cast<std::uint32_t>(text->taken)};
        answerAtOnce(connection, request, property, XA_INTEGER, taken);
    } else if (!isTextTarget(connection, request.target)) {
        refuse(connection, request);
    } else if (text->pending || !readyFor(connection, *text, request.target)) {
        wait(connection, request, property);
        if (!text->pending && !connection.owner.waiting.empty()) makeForms(connection);
    } else {
        answerText(connection, *text, request, property);
    }
}

// The offer goes: given up on the clipboard with `release` (at the time it was taken, which the
// server ignores where anybody took the clipboard since), its waiting requests refused.
void endOffer(GtkSelectionConnection& connection, bool release) {
    std::unique_ptr<GtkOfferedText> text = std::move(connection.owner.offered);
    if (!text) return;
    stopSelectionTimer(text->bound);
    stopSelectionTimer(text->maker);
    if (release) {
        XSetSelectionOwner(connection.display, connection.clipboard, None, text->taken);
        XFlush(connection.display);
    }
    for (const Window requestor : text->waitedOut) unwatch(connection, requestor);
    answerWaiting(connection, nullptr);
}

// A pending text whose bound passed is given up (its readers refused, the clipboard nobody's), and
// noted: should its text come after all, it takes the clipboard again at the time of its take,
// which the server refuses where anybody copied since (gtkFillText).
gboolean claimBoundOver(gpointer data) {
    auto& connection = *static_cast<GtkSelectionConnection*>(data);
    GtkSelectionOwner& owner = connection.owner;
    owner.offered->bound = 0;
    owner.lapsed = owner.offered->serial;
    owner.lapsedTaken = owner.offered->taken;
    owner.lapsedPage = owner.offered->page;
    endOffer(connection, true);
    return G_SOURCE_REMOVE;
}

// The connection of the state, when it is open.
GtkSelectionConnection* openConnection(GtkState& state) {
    return state.selection && state.selection->display != nullptr ? state.selection.get() : nullptr;
}

// The pending text `serial`, while it is offered.
GtkOfferedText* pendingText(GtkSelectionConnection& connection, std::uint64_t serial) {
    GtkOfferedText* text = connection.owner.offered.get();
    return text != nullptr && text->pending && text->serial == serial ? text : nullptr;
}

}  // namespace

bool admitRequest(GtkSelectionConnection& connection, const XSelectionRequestEvent& request) {
    GtkSelectionOwner& owner = connection.owner;
    if (owner.window == None || request.owner != owner.window) return false;
    const std::int64_t now = g_get_monotonic_time();
    const Window requestor = request.requestor;
    if (const auto flood = owner.flooding.find(requestor); flood != owner.flooding.end()) {
        const bool quiet = now - flood->second >= kFloodQuietUs;
        flood->second = now;
        if (!quiet) return false;
        owner.flooding.erase(flood);
    }
    if (owner.budgets.size() >= kMostBudgets) {
        std::erase_if(owner.budgets, [&](const auto& budget) { return budget.second <= now; });
        if (owner.budgets.size() >= kMostBudgets) owner.budgets.clear();
    }
    // The budget is whole again once the requests it took are spaced out to now.
    std::int64_t& whole = owner.budgets.try_emplace(requestor, now).first->second;
    whole = std::max(whole, now);
    if (whole - now < kRequestBurst * kRequestSpacingUs) {
        whole += kRequestSpacingUs;
        return true;
    }
    if (owner.flooding.size() >= kMostBudgets) {
        std::erase_if(owner.flooding, [&](const auto& flood) { return now - flood.second >= kFloodQuietUs; });
        if (owner.flooding.size() >= kMostBudgets) owner.flooding.clear();
    }
    owner.flooding.emplace(requestor, now);
    // Its going is told: a window given its number later is another's, answered as any.
    if (!ownWindow(connection, requestor)) {
        selectEvents(connection, requestor, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    }
    return false;
}

void ownerNoteGone(GtkSelectionConnection& connection, Window window) {
    connection.owner.flooding.erase(window);
    connection.owner.budgets.erase(window);
}

bool ownerWants(const GtkSelectionConnection& connection, const XEvent& event) {
    const GtkSelectionOwner& owner = connection.owner;
    if (owner.window == None) return false;
    switch (event.type) {
        case SelectionRequest:
            return event.xselectionrequest.owner == owner.window;
        case SelectionClear:
            return event.xselectionclear.window == owner.window;
        case PropertyNotify:
            return isStamp(connection, event) ||
                   (event.xproperty.state == PropertyDelete &&
                    transferTo(connection, event.xproperty.window, event.xproperty.atom) != nullptr);
        case DestroyNotify:
            return transfersTo(connection, event.xdestroywindow.window) > 0 ||
                   waitedOut(connection, event.xdestroywindow.window);
        default:
            return false;
    }
}

void handleOwnerEvent(GtkSelectionConnection& connection, const XEvent& event) {
    GtkSelectionOwner& owner = connection.owner;
    if (owner.window == None) return;
    if (event.type == SelectionRequest && event.xselectionrequest.owner == owner.window) {
        requested(connection, event.xselectionrequest);
    } else if (event.type == SelectionClear && event.xselectionclear.window == owner.window &&
               event.xselectionclear.selection == connection.clipboard) {
        // The notice may be of a take older than this offer's own.
        if (owner.offered && !holds(connection)) endOffer(connection, false);
    } else if (isStamp(connection, event)) {
        owner.marking = false;
    } else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) {
        if (GtkTextTransfer* transfer = transferTo(connection, event.xproperty.window, event.xproperty.atom)) {
            sendPiece(connection, *transfer);
        }
    } else if (event.type == DestroyNotify) {
        forgetWindow(connection, event.xdestroywindow.window);
        std::vector<GtkTextTransfer*> gone;
        for (const auto& transfer : owner.transfers) {
            if (transfer->requestor == event.xdestroywindow.window) gone.push_back(transfer.get());
        }
        for (GtkTextTransfer* transfer : gone) endTransfer(connection, *transfer);
    }
}

void cutOffOffers(GtkSelectionConnection& connection) { endTextTransfers(connection); }

void endTextTransfers(GtkSelectionConnection& connection) {
    while (!connection.owner.transfers.empty()) endTransfer(connection, *connection.owner.transfers.front());
}

void endOffers(GtkSelectionConnection& connection) {
    if (connection.owner.window == None) return;
    endOffer(connection, true);
    markOffers(connection);
}

void markOffers(GtkSelectionConnection& connection) {
    if (!ensureWindow(connection)) return;
    changeStamp(connection);
    connection.owner.marking = true;
}

namespace {

// Takes the clipboard at `at` for the text (pending where there is none yet), in place of the offer
// before; false where the server refused the take.
bool offer(GtkSelectionConnection& connection, std::uint64_t serial, std::optional<std::string_view> text, Time at,
           std::uint64_t page) {
    GtkSelectionOwner& owner = connection.owner;
    XSetSelectionOwner(connection.display, connection.clipboard, owner.window, at);
    if (!holds(connection)) return false;
    // Where the clipboard held this window's offer taken later than `at`, the server kept that
    // take's time.
    Time taken = at;
    if (owner.offered && before(at, owner.offered->taken)) taken = owner.offered->taken;
    endOffer(connection, false);
    owner.lapsed = 0;
    auto offered = std::make_unique<GtkOfferedText>();
    offered->serial = serial;
    offered->taken = taken;
    offered->page = page;
    offered->pending = !text.has_value();
    if (text) offered->utf8 = std::make_shared<const std::string>(*text);
    if (offered->pending) offered->bound = startSelectionTimer(kClipboardClaimBoundNs, claimBoundOver, &connection);
    owner.offered = std::move(offered);
    return true;
}

// The text of the pending text `serial` given up for its bound, which no other offer followed:
// offered again where the clipboard can still be taken at the time of its take.
bool fillLapsed(GtkSelectionConnection& connection, std::uint64_t serial, std::string_view bytes) {
    GtkSelectionOwner& owner = connection.owner;
    if (serial == 0 || owner.lapsed != serial || owner.offered) return false;
    owner.lapsed = 0;
    return offer(connection, serial, bytes, owner.lapsedTaken, owner.lapsedPage);
}

}  // namespace

bool gtkOfferText(GtkState& state, std::uint64_t serial, std::optional<std::string_view> text, std::uint32_t time,
                  std::uint64_t page) {
    if (!connectSelection(state)) return false;
    GtkSelectionConnection& connection = *state.selection;
    if (!ensureWindow(connection)) return false;
    return offer(connection, serial, text, time != 0 ? Time{time} : serverTime(connection), page);
}

std::uint32_t gtkServerTime(GtkState& state) {
    if (!connectSelection(state)) return 0;
    GtkSelectionConnection& connection = *state.selection;
    if (!ensureWindow(connection)) return 0;
    return static_cast<std::uint32_t>(serverTime(connection));
}

std::uint64_t gtkHeldText(GtkState& state) {
    GtkSelectionConnection* connection = openConnection(state);
    if (connection == nullptr || !connection->owner.offered || !holds(*connection)) return 0;
    return connection->owner.offered->serial;
}

bool gtkFillText(GtkState& state, std::uint64_t serial, std::string_view bytes) {
    GtkSelectionConnection* connection = openConnection(state);
    if (connection == nullptr) return false;
    GtkOfferedText* text = pendingText(*connection, serial);
    if (text == nullptr) return fillLapsed(*connection, serial, bytes);
    if (!holds(*connection)) {
        endOffer(*connection, false);
        return false;
    }
    stopSelectionTimer(text->bound);
    text->utf8 = std::make_shared<const std::string>(bytes);
    text->pending = false;
    answerWaiting(*connection, text);
    return true;
}

void gtkDropText(GtkState& state, std::uint64_t serial) {
    GtkSelectionConnection* connection = openConnection(state);
    if (connection == nullptr) return;
    if (connection->owner.lapsed == serial) connection->owner.lapsed = 0;
    if (pendingText(*connection, serial) != nullptr) endOffer(*connection, true);
}

void gtkDropTextOfPage(GtkState& state, std::uint64_t page) {
    GtkSelectionConnection* connection = openConnection(state);
    if (connection == nullptr || page == 0) return;
    if (connection->owner.lapsedPage == page) connection->owner.lapsed = 0;
    const GtkOfferedText* text = connection->owner.offered.get();
    if (text != nullptr && text->pending && text->page == page) endOffer(*connection, true);
}

std::uint64_t gtkTextOwnerWindow(const GtkState& state) {
    return state.selection ? static_cast<std::uint64_t>(state.selection->owner.window) : 0;
}

}  // namespace kelvo::standin
