// A program that takes the display's clipboard and never answers a request for it, as a program
// that hangs does: it never reads its events. It prints "owner" once it holds the clipboard and
// then waits until it is ended.

#include <unistd.h>

#include <cstdio>

// After every other header: Xlib defines macros (None, Status, ...) that clash with their names.
#include <X11/Xlib.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != window) return 2;
    std::puts("owner");
    std::fflush(stdout);
    for (;;) pause();
}
