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
        bool destroyed = false;
        ChromeLayout chrome{};  // what `chrome` answers; bounds follow the content size
        WindowEventSink events{};
    };

    // What the system answers. Change it between host calls, on the main thread.
    struct Answers {
        bool canOpen = true;
        std::optional<RectD> screen = RectD{0, 0, 1440, 900};
        double scale = 1.0;
        PointerEvent pointer{};
        TitlebarDoubleClick doubleClick = TitlebarDoubleClick::zoom;
        Appearance appearance{};
        bool iconFilesReadable = true;
        bool urlsOpen = true;  // the desktop has a handler for every URL
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
        std::string uri;                 // the address of the document it shows
        std::vector<std::string> loads;  // "url <address>" or "html <text>", in order
        std::vector<std::string> userScripts;
        std::vector<std::string> handlers;   // the message handlers the page can post to now
        std::vector<std::string> evaluated;  // the scripts run in the page, in order
        std::vector<RectD> coveredRects;
        bool destroyed = false;
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
