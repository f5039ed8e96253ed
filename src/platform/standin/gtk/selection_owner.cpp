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

#include "platform/standin/gtk/selection_owner.hpp"

#include <algorithm>
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

// The longest answer sent whole, and the size of each piece of a longer one: as many bytes as
// programs that serve the clipboard commonly send in one property, far less than the largest
// request the server takes.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
// Requests waiting for a pending text at once; the next is refused.
constexpr std::size_t kMostWaiting = 64;

// Whether server time `time` comes before `since` (the times wrap around after 49 days).
bool before(Time time, Time since) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(time) - static_cast<std::uint32_t>(since)) < 0;
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

Bool isStamp(Display*, XEvent* event, XPointer data) {
    const auto& connection = *reinterpret_cast<const GtkSelectionConnection*>(data);
    return event->type == PropertyNotify && event->xproperty.window == connection.owner.window &&
                   event->xproperty.atom == connection.stamp
               ? True
               : False;
}

// The display server's time now: that of a change of a property of the owner's window. Waits for
// the server, and for no other program.
Time serverTime(GtkSelectionConnection& connection) {
    XChangeProperty(connection.display, connection.owner.window, connection.stamp, XA_STRING, 8, PropModeAppend,
                    nullptr, 0);
    XEvent event;
    XIfEvent(connection.display, &event, isStamp, reinterpret_cast<XPointer>(&connection));
    return event.xproperty.time;
}

bool holds(const GtkSelectionConnection& connection) {
    return XGetSelectionOwner(connection.display, connection.clipboard) == connection.owner.window;
}

void notify(GtkSelectionConnection& connection, const XSelectionRequestEvent& request, Atom property) {
    XEvent event{};
    event.xselection = {
        SelectionNotify, 0,        True,        connection.display, request.requestor, request.selection,
        request.target,  property, request.time};
    XSendEvent(connection.display, request.requestor, False, NoEventMask, &event);
    XFlush(connection.display);
}

void refuse(GtkSelectionConnection& connection, const XSelectionRequestEvent& request) {
    notify(connection, request, None);
}

bool isTextTarget(const GtkSelectionConnection& connection, Atom target) {
    return target == connection.utf8 || target == connection.plainUtf8 || target == XA_STRING ||
           target == connection.text || target == connection.compoundText;
}

// The text as Latin-1: each character its byte, "?" for one Latin-1 lacks (and for a byte that is
// no UTF-8); `exact` tells whether there was none such.
std::string latin1Of(std::string_view utf8, bool& exact) {
    std::string latin1;
    latin1.reserve(utf8.size());
    exact = true;
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
    return latin1;
}

std::shared_ptr<const std::string> latin1Text(GtkOfferedText& text) {
    if (!text.latin1) text.latin1 = std::make_shared<const std::string>(latin1Of(*text.utf8, text.latin1Exact));
    return text.latin1;
}

// The text as compound text, its NULs parting it into strings as the form has it; null where Xlib
// cannot convert every character.
std::shared_ptr<const std::string> compoundText(GtkSelectionConnection& connection, GtkOfferedText& text) {
    if (text.compoundTried) return text.compound;
    text.compoundTried = true;
    std::vector<std::string> strings(1);
    for (const char c : *text.utf8) {
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
    if (status == Success && property.encoding == connection.compoundText && property.format == 8) {
        text.compound =
            std::make_shared<const std::string>(reinterpret_cast<const char*>(property.value), property.nitems);
    }
    if (property.value != nullptr) XFree(property.value);
    return text.compound;
}

struct TextAnswer {
    Atom type = None;
    std::shared_ptr<const std::string> bytes;  // null: the text has no such form
};

TextAnswer answerFor(GtkSelectionConnection& connection, GtkOfferedText& text, Atom target) {
    if (target == connection.utf8 || target == connection.plainUtf8) return {target, text.utf8};
    if (target == XA_STRING) return {XA_STRING, latin1Text(text)};
    if (target == connection.compoundText) return {connection.compoundText, compoundText(connection, text)};
    // TEXT leaves the form to the owner: Latin-1 where it holds the text, else compound text.
    std::shared_ptr<const std::string> latin1 = latin1Text(text);
    if (text.latin1Exact) return {XA_STRING, latin1};
    if (std::shared_ptr<const std::string> compound = compoundText(connection, text)) {
        return {connection.compoundText, compound};
    }
    return {connection.utf8, text.utf8};
}

GtkTextTransfer* transferTo(GtkSelectionConnection& connection, Window requestor, Atom property) {
    for (const auto& transfer : connection.owner.transfers) {
        if (transfer->requestor == requestor && transfer->property == property) return transfer.get();
    }
    return nullptr;
}

// A requestor's window is watched while a transfer to it goes on (the deletes of its pieces tell
// when to send the next, its going that none is wanted), and while it counts as having waited out
// the text (its going ends that: the display server may give its number to a window of another
// program). A read of this connection watches its own windows already.
void watch(GtkSelectionConnection& connection, Window requestor) {
    if (!readsWindow(connection, requestor)) {
        XSelectInput(connection.display, requestor, PropertyChangeMask | StructureNotifyMask);
    }
}

void unwatch(GtkSelectionConnection& connection, Window requestor) {
    const GtkSelectionOwner& owner = connection.owner;
    const bool watched = std::any_of(owner.transfers.begin(), owner.transfers.end(),
                                     [&](const auto& transfer) { return transfer->requestor == requestor; }) ||
                         (owner.offered && std::find(owner.offered->waitedOut.begin(), owner.offered->waitedOut.end(),
                                                     requestor) != owner.offered->waitedOut.end());
    if (!watched && !readsWindow(connection, requestor)) {
        XSelectInput(connection.display, requestor, NoEventMask);
        XFlush(connection.display);
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
    const std::size_t length = std::min(kPieceBytes, transfer.bytes->size() - transfer.sent);
    XChangeProperty(connection.display, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(transfer.bytes->data() + transfer.sent),
                    static_cast<int>(length));
    XFlush(connection.display);
    transfer.sent += length;
    if (length == 0) {
        endTransfer(connection, transfer);
        return;
    }
    stopSelectionTimer(transfer.timer);
    transfer.timer = startSelectionTimer(kClipboardAnswerWaitNs, transferWaitOver, &transfer);
}

void answerText(GtkSelectionConnection& connection, GtkOfferedText& text, const XSelectionRequestEvent& request,
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
    Display* display = connection.display;
    if (answer.bytes->size() <= kPieceBytes) {
        XChangeProperty(display, request.requestor, property, answer.type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(answer.bytes->data()),
                        static_cast<int>(answer.bytes->size()));
        notify(connection, request, property);
        return;
    }
    watch(connection, request.requestor);
    auto transfer = std::make_unique<GtkTextTransfer>();
    transfer->connection = &connection;
    transfer->requestor = request.requestor;
    transfer->property = property;
    transfer->type = answer.type;
    transfer->bytes = answer.bytes;
    const long size = static_cast<long>(answer.bytes->size());  // the least the text holds
    XChangeProperty(display, request.requestor, property, connection.incr, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&size), 1);
    notify(connection, request, property);
    transfer->timer = startSelectionTimer(kClipboardAnswerWaitNs, transferWaitOver, transfer.get());
    connection.owner.transfers.push_back(std::move(transfer));
}

void answerAtOnce(GtkSelectionConnection& connection, const XSelectionRequestEvent& request, Atom property, Atom type,
                  std::span<const long> items) {
    XChangeProperty(connection.display, request.requestor, property, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()), static_cast<int>(items.size()));
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
    std::vector<Window>& waitedOut = connection.owner.offered->waitedOut;
    const Window requestor = over->request.requestor;
    if (std::find(waitedOut.begin(), waitedOut.end(), requestor) != waitedOut.end()) return G_SOURCE_REMOVE;
    if (waitedOut.size() >= kMostWaiting) {
        const Window oldest = waitedOut.front();
        waitedOut.erase(waitedOut.begin());
        unwatch(connection, oldest);
    }
    waitedOut.push_back(requestor);
    watch(connection, requestor);
    // A window gone already sends no notice of its going.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(connection.display, requestor, &attributes) == 0) forgetWindow(connection, requestor);
    return G_SOURCE_REMOVE;
}

// A reader waits for the text kClipboardClaimWaitNs from its first request, whatever it asks
// after that one was refused.
void wait(GtkSelectionConnection& connection, const XSelectionRequestEvent& request, Atom property) {
    GtkSelectionOwner& owner = connection.owner;
    const std::vector<Window>& waitedOut = owner.offered->waitedOut;
    if (owner.waiting.size() >= kMostWaiting ||
        std::find(waitedOut.begin(), waitedOut.end(), request.requestor) != waitedOut.end()) {
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

// Every waiting request is answered with the text that came, or refused; the oldest first.
void answerWaiting(GtkSelectionConnection& connection, GtkOfferedText* text) {
    std::vector<std::unique_ptr<GtkWaitingRequest>> waiting = std::exchange(connection.owner.waiting, {});
    for (const auto& request : waiting) {
        stopSelectionTimer(request->timer);
        if (text != nullptr) {
            answerText(connection, *text, request->request, request->property);
        } else {
            refuse(connection, request->request);
        }
    }
}

// A program asked for the clipboard's content in a form (SelectionRequest).
void requested(GtkSelectionConnection& connection, const XSelectionRequestEvent& request) {
    GtkOfferedText* text = connection.owner.offered.get();
    // Obsolete requestors name no property: the target's name serves.
    const Atom property = request.property == None ? request.target : request.property;
    if (text == nullptr || request.selection != connection.clipboard ||
        (request.time != CurrentTime && before(request.time, text->taken))) {
        refuse(connection, request);
    } else if (request.target == connection.targets) {
        const long targets[] = {static_cast<long>(connection.targets),     static_cast<long>(connection.timestamp),
                                static_cast<long>(connection.utf8),        static_cast<long>(connection.plainUtf8),
                                static_cast<long>(connection.text),        static_cast<long>(XA_STRING),
                                static_cast<long>(connection.compoundText)};
        answerAtOnce(connection, request, property, XA_ATOM, targets);
    } else if (request.target == connection.timestamp) {
        const long taken[] = {static_cast<long>(text->taken)};
        answerAtOnce(connection, request, property, XA_INTEGER, taken);
    } else if (!isTextTarget(connection, request.target)) {
        refuse(connection, request);
    } else if (text->pending) {
        wait(connection, request, property);
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
    if (release) {
        XSetSelectionOwner(connection.display, connection.clipboard, None, text->taken);
        XFlush(connection.display);
    }
    for (const Window requestor : text->waitedOut) unwatch(connection, requestor);
    answerWaiting(connection, nullptr);
}

gboolean claimBoundOver(gpointer data) {
    auto& connection = *static_cast<GtkSelectionConnection*>(data);
    connection.owner.offered->bound = 0;
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

void handleOwnerEvent(GtkSelectionConnection& connection, const XEvent& event) {
    GtkSelectionOwner& owner = connection.owner;
    if (owner.window == None) return;
    if (event.type == SelectionRequest && event.xselectionrequest.owner == owner.window) {
        requested(connection, event.xselectionrequest);
    } else if (event.type == SelectionClear && event.xselectionclear.window == owner.window &&
               event.xselectionclear.selection == connection.clipboard) {
        // The notice may be of a take older than this offer's own.
        if (owner.offered && !holds(connection)) endOffer(connection, false);
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
    // The requests the server sent before it took the give-up in are all here once it answered.
    if (connection.owner.offered) {
        endOffer(connection, true);
        XSync(connection.display, False);
    }
    XEvent event;
    while (XCheckTypedWindowEvent(connection.display, connection.owner.window, SelectionRequest, &event)) {
        requested(connection, event.xselectionrequest);
    }
}

bool gtkOfferText(GtkState& state, std::uint64_t serial, std::optional<std::string_view> text, std::uint32_t time,
                  std::uint64_t page) {
    if (!connectSelection(state)) return false;
    GtkSelectionConnection& connection = *state.selection;
    if (!ensureWindow(connection)) return false;
    GtkSelectionOwner& owner = connection.owner;
    const Time at = time != 0 ? Time{time} : serverTime(connection);
    XSetSelectionOwner(connection.display, connection.clipboard, owner.window, at);
    if (!holds(connection)) return false;
    // Where the clipboard held this window's offer taken later than `at`, the server kept that
    // take's time.
    Time taken = at;
    if (owner.offered && before(at, owner.offered->taken)) taken = owner.offered->taken;
    endOffer(connection, false);
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

std::uint64_t gtkHeldText(GtkState& state) {
    GtkSelectionConnection* connection = openConnection(state);
    if (connection == nullptr || !connection->owner.offered || !holds(*connection)) return 0;
    return connection->owner.offered->serial;
}

bool gtkFillText(GtkState& state, std::uint64_t serial, std::string_view bytes) {
    GtkSelectionConnection* connection = openConnection(state);
    GtkOfferedText* text = connection != nullptr ? pendingText(*connection, serial) : nullptr;
    if (text == nullptr) return false;
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
    if (connection != nullptr && pendingText(*connection, serial) != nullptr) endOffer(*connection, true);
}

void gtkDropTextOfPage(GtkState& state, std::uint64_t page) {
    GtkSelectionConnection* connection = openConnection(state);
    if (connection == nullptr || page == 0) return;
    const GtkOfferedText* text = connection->owner.offered.get();
    if (text != nullptr && text->pending && text->page == page) endOffer(*connection, true);
}

std::uint64_t gtkTextOwnerWindow(const GtkState& state) {
    return state.selection ? static_cast<std::uint64_t>(state.selection->owner.window) : 0;
}

}  // namespace kelvo::standin
