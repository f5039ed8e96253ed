#pragma once

// The headless backend of the stand-in layer: everything in memory and deterministic. Time is
// virtual (it moves only when the loop has nothing to do before the next timer), the main queue
// is a plain FIFO, what the user or the system does is scripted by the test, and every request
// of the host is written to a log.
//
//   HeadlessStandIn platform;
//   standin::installStandIn(&platform.record());
//   ... create the host, run it ...
//   EXPECT_EQ(platform.windows()[0]->title, "Vostra Studio");
//
// The loop's `run` returns after `quit`, or, when nothing is left to do (no task, no timer), at
// once unless `waitForPostsWhenIdle` is on: it then waits for a task from another thread.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/headless/headless_services.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct HeadlessState;

class HeadlessStandIn {
public:
    // A window as the host left it. Destroyed windows stay listed.
    struct Window {
        std::uint64_t number = 0;  // 1 for the first window created, and so on
        std::string title;
        RectD content{};
        std::uint32_t style = 0;
        bool transparentTitlebar = false;
        bool tallToolbar = false;
        bool centred = false;
        double minWidth = 0;
        double minHeight = 0;
        std::optional<std::uint32_t> background;
        bool visible = false;
        bool key = false;
        bool miniaturized = false;
        bool zoomed = false;
        bool toolbarVisible = true;
        bool menuBar = false;  // shows the menu bar above its content
        bool destroyed = false;
        bool covered = false;   // wholly hidden behind other windows (set by the test)
        ChromeLayout chrome{};  // what `chrome` answers; bounds follow the content size
        WindowEventSink events{};
        bool keysHeld = false;
        std::vector<std::function<void()>> heldKeys;  // each hands a held key on
    };

    // What an audio file or stream holds, as this backend plays it: a sine tone (amplitude 0 is
    // silence) of the given format, heard as time goes by while it plays.
    struct Media {
        bool decodes = true;  // a file of it holds audio
        bool plays = true;    // a player of it becomes ready; false: it fails instead
        std::uint64_t durationMs = 2000;
        std::uint32_t audioTracks = 1;
        double sampleRate = 44'100;
        std::uint32_t channels = 2;
        bool interleaved = true;
        double toneHz = 1000;
        float amplitude = 0.5f;
        std::optional<std::uint64_t> failsAtMs;  // playing stops on an error there
    };

    // A player as the host left it. Destroyed players stay listed.
    struct Player {
        std::uint64_t number = 0;
        std::string location;
        bool stream = false;
        bool playing = false;
        bool destroyed = false;
        double volume = 1.0;
        std::vector<std::uint64_t> seeks;  // milliseconds, in order
        bool tapAttached = false;
        bool tapFinalized = false;
        std::uint64_t framesHeard = 0;  // frames played so far
    };

    struct Download {
        std::uint64_t id = 0;
        std::string url;
        bool cancelled = false;
        bool finished = false;
    };

    // An accessibility element of a canvas view, with its texts (`shape`'s text views are empty).
    struct Element {
        AccessibleElement shape;
        std::string identifier;
        std::string label;
        std::string value;
        std::string placeholder;
        std::string valueDescription;
        std::string selectedText;
        std::string text;
    };

    // A native view as the host left it. Destroyed views stay listed.
    struct NativeView {
        std::uint64_t number = 0;
        std::uint64_t window = 0;      // the window's number
        NativeView* parent = nullptr;  // null: in the window's content
        NativeControl control = NativeControl::container;
        NativeBackground background = NativeBackground::clear;
        AccessibilityRole role = AccessibilityRole::group;
        std::string identifier;
        std::string title;
        std::string placeholder;
        std::string value;
        std::string accessibilityLabel;
        std::vector<std::string> segments;
        int selectedSegment = -1;
        RectD frame{};  // in the parent's coordinates (y up, as containers here are not flipped)
        bool hidden = true;
        std::int64_t depth = 0;
        bool enabled = true;
        bool focused = false;
        bool destroyed = false;
        NativeActionSink action{};
        std::vector<NativeView*> subviews;  // bottom to top
        // A canvas view's picture as last shown: RGBA rows, top row first.
        std::vector<std::uint8_t> picture;
        std::uint32_t pictureWidth = 0;
        std::uint32_t pictureHeight = 0;
        std::uint64_t picturesShown = 0;
        // A canvas view's input: where it goes, the pointer's shape, the input method's caret.
        CanvasInputSink inputSink{};
        CanvasCursor cursor = CanvasCursor::arrow;
        std::optional<RectD> caret;
        // A canvas view's accessibility elements as last published, and how often they were.
        std::vector<Element> elements;
        std::uint64_t elementUpdates = 0;
        ElementActionSink elementSink{};
    };

    // A view of the embedding code that the host may adopt over a native view.
    struct Surface {
        NativeView* mountedIn = nullptr;
        RectD frame{};
        bool followsSize = false;
        bool focused = false;
    };

    // What the system answers. Change it between host calls, on the main thread.
    struct Answers {
        bool canOpen = true;
        std::optional<RectD> screen = RectD{0, 0, 1440, 900};
        double scale = 1.0;
        PointerEvent pointer{};      // the pointer event being handled
        bool leftButtonDown = true;  // the pointer's left button is down now
        TitlebarDoubleClick doubleClick = TitlebarDoubleClick::zoom;
        Appearance appearance{};
        bool iconFilesReadable = true;
        std::map<std::string, Media, std::less<>> media;  // by file path or URL; others hold no audio
        bool tracksLoad = true;
        bool tapsAttach = true;
        std::optional<std::string> resourceFolder;  // the bundle's, when the program runs from one
        bool contentFlipped = false;                // window contents measure y down from the top
        bool urlsOpen = true;                       // the desktop has a handler for every URL
        double refreshRate = 60;                    // the screen's frames per second; 0: not said
        bool statusItemShows = true;                // the desktop has a place for a status item
        bool notificationsShow = true;              // the desktop has a notification service
    };

    // A web view as the host left it. Destroyed web views stay listed.
    struct WebView {
        std::uint64_t number = 0;  // 1 for the first web view created, and so on
        WindowRef window = nullptr;
        RectD frame{};
        bool followsWindow = false;
        bool transparent = false;
        std::string scheme;
        double zoom = 1.0;
        std::string uri;                  // the address of the document it shows
        std::vector<std::string> loads;   // "url <address>", "html <text>", "reload <address>" or
                                          // "reload html <text>", in order
        std::optional<std::string> html;  // the HTML text given, while the page shows it
        std::vector<std::string> userScripts;
        std::vector<std::string> handlers;   // the message handlers the page can post to now
        std::vector<std::string> evaluated;  // the scripts run in the page, in order
        // The page's functions called with JSON handed over as data ({callee, json}), in order;
        // each is among `evaluated` too, as the script that does the same.
        std::vector<std::pair<std::string, std::string>> called;
        std::vector<RectD> coveredRects;
        bool inspectorShown = false;
        bool destroyed = false;
        bool cancelsKeys = false;  // its page cancels every key press it sees (set by the test)
        WebViewEvents events{};
        std::vector<std::pair<std::string, ScriptMessageSink>> sinks;
    };

    // How a scheme request was answered: a failure code, or a MIME type and the body.
    struct SchemeAnswer {
        bool answered = false;
        std::int32_t failure = 0;
        std::string mimeType;
        std::string body;
    };

    HeadlessStandIn();
    ~HeadlessStandIn();
    HeadlessStandIn(const HeadlessStandIn&) = delete;
    HeadlessStandIn& operator=(const HeadlessStandIn&) = delete;

    [[nodiscard]] StandIn& record();
    Answers& answers();
    // The system services' contents and the user's answers to dialogs and menus.
    HeadlessServices& services();
    // The user presses a key in a window, picks an item of the status item's menu.
    void userKeyDown(const KeyPress& press);
    void userPickStatusItem(std::uint32_t tag);
    // The user clicks the item of the menu bar with this title in the menu with this title, in
    // the window's bar (through the main queue); false when the bar has no such item, or it is a
    // separator or disabled (it takes no click).
    bool userClickMenuBar(WindowRef window, std::string_view menu, std::string_view item);

    // Virtual time since the backend was made, and the wall clock it stands for.
    [[nodiscard]] std::uint64_t nowNs() const;
    void setWallClockStartNs(std::uint64_t ns);

    void waitForPostsWhenIdle(bool wait);
    // Runs `task` on the main loop when virtual time reaches `atNs` (a test's own act; it keeps
    // the loop running until then like any timer).
    void at(std::uint64_t atNs, Task task);
    [[nodiscard]] std::size_t activeTimers() const;  // the host's timers, not the test's

    // Acts of the system and the user. Each reaches the host through the main queue, as it would
    // from a real window system. `raiseTerminate` may be called from any thread.
    void raiseTerminate();
    void changeAppearance(Appearance appearance);
    void userResize(WindowRef window, double width, double height);
    void userMove(WindowRef window, double x, double y);
    void userFocus(WindowRef window);
    void userClose(WindowRef window);
    void userDropFiles(WindowRef window, std::string_view nulSeparatedPaths);
    void sendWindowEvent(WindowRef window, WindowEventKind kind);

    // Acts of a page in a web view, delivered through the main queue. A navigation (a link, or a
    // load the host started) is decided by the host, then commits and finishes when allowed.
    void pagePost(ViewRef view, std::string_view handler, std::string_view body);
    std::shared_ptr<const SchemeAnswer> pageRequest(ViewRef view, std::string_view url);
    void pageNavigate(ViewRef view, std::string_view url, NavigationKind kind = NavigationKind::navigate);
    void userDropFilesOnWebView(ViewRef view, std::string_view nulSeparatedPaths);

    // The host's requests in order, one line each ("loop.run", "window.create title=...").
    [[nodiscard]] std::vector<std::string> log() const;
    [[nodiscard]] std::size_t logCount(std::string_view prefix) const;
    void clearLog();

    // Every window made so far, in creation order.
    [[nodiscard]] std::vector<Window*> windows();
    [[nodiscard]] Window& window(WindowRef ref);
    [[nodiscard]] WindowRef ref(const Window& window);
    // Every player made so far, in creation order. A stream whose data runs short waits while it
    // is asked to play.
    [[nodiscard]] std::vector<Player*> players();
    void setStreamShortOfData(Player& player, bool shortOfData);
    // The player plays on, but its tap hears nothing more (a stalled audio thread).
    void stallAudio(Player& player, bool stalled);

    // Every download started so far; one ends when the test says so, with the file it fetched
    // (deleted afterwards unless moved), or with an error when `file` is empty.
    [[nodiscard]] std::vector<Download*> downloads();
    void finishDownload(Download& download, std::optional<int> httpStatus, std::string file);

    // Native views in creation order; the user operating a control (through the main queue).
    [[nodiscard]] std::vector<NativeView*> nativeViews();
    [[nodiscard]] NativeView* nativeView(std::string_view identifier);  // the live one
    [[nodiscard]] ViewRef ref(const NativeView& view);
    void userOperate(NativeView& view);
    // The user acts in a canvas view (through the main queue).
    void userCanvasInput(NativeView& view, const CanvasInputEvent& event);
    // Assistive technology acts on the element of `widgetId` in a canvas view.
    void userActOnElement(NativeView& view, std::uint64_t widgetId, const ElementAction& action);
    // A new surface of the embedding code, its address as the host is given it; a press on it.
    void* makeSurface();
    [[nodiscard]] Surface& surface(void* handle);
    void userPressSurface(void* handle);

    // The icon the windows show: width and height, none before one was set.
    [[nodiscard]] std::optional<std::pair<std::uint32_t, std::uint32_t>> appIconSize() const;

    // Every web view made so far, in creation order; a window's views from bottom to top.
    [[nodiscard]] std::vector<WebView*> webViews();
    [[nodiscard]] WebView& webView(ViewRef ref);
    [[nodiscard]] ViewRef ref(const WebView& webView);
    [[nodiscard]] std::vector<ViewRef> stack(WindowRef window) const;

private:
    std::unique_ptr<HeadlessState> state_;
};

}  // namespace kelvo::standin
