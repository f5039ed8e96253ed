// A program that takes the display's clipboard and never answers a request for it, as a program
// that hangs does: it never reads its events. It prints "owner" once it holds the clipboard and
// then waits until it is ended. Run as `silent_clipboard_owner trickle TEXT`, it answers instead,
// as a program that takes its time does: it hands TEXT over as UTF8_STRING, incrementally one
// byte every 4 s, to one requestor at a time.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

// After every other header: Xlib defines macros (None, Status, ...) that clash with their names.
#include <X11/Xlib.h>

namespace {

// Answers UTF8_STRING (and refuses anything else), sending `text` one byte every 4 s (the next
// once the requestor took the one before), and the empty piece that ends the transfer after it.
[[noreturn]] void trickle(Display* display, const std::string& text) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Window requestor = None;
    Atom property = None;
    std::size_t sent = 0;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest && requestor == None) {
            XSelectionEvent notify = {SelectionNotify,
                                      0,
                                      True,
                                      display,
                                      event.xselectionrequest.requestor,
                                      event.xselectionrequest.selection,
                                      event.xselectionrequest.target,
                                      event.xselectionrequest.property,
                                      event.xselectionrequest.time};
            if (notify.target == utf8) {
                requestor = notify.requestor;
                property = notify.property;
                sent = 0;
                XSelectInput(display, requestor, PropertyChangeMask);
                XChangeProperty(display, requestor, property, XInternAtom(display, "INCR", False), 32, PropModeReplace,
                                nullptr, 0);
            } else {
                notify.property = None;
            }
            XSendEvent(display, notify.requestor, False, 0, reinterpret_cast<XEvent*>(&notify));
            XFlush(display);
        } else if (event.type == PropertyNotify && event.xproperty.window == requestor &&
                   event.xproperty.state == PropertyDelete) {
            if (sent < text.size()) sleep(4);
            const int length = sent < text.size() ? 1 : 0;
            XChangeProperty(display, requestor, property, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text.data() + sent), length);
            XFlush(display);
            sent += static_cast<std::size_t>(length);
            if (length == 0) requestor = None;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != window) return 2;
    std::puts("owner");
    std::fflush(stdout);
    if (argc == 3 && std::strcmp(argv[1], "trickle") == 0) trickle(display, argv[2]);
    for (;;) pause();
}
