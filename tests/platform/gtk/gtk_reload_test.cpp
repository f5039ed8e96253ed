// Reload in real windows (label "gtk"): a page given as HTML text comes again by the View menu's
// key and by the page's own reload (also while a frame of it navigates all the time), a frame of
// it that reloads itself reloads alone, and a page whose before-unload handler asks gets WebKit's
// dialog before it is reloaded.

#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <thread>

#include "gtk_harness.hpp"
#include "gtk_waits.hpp"
#include "gtk_widgets.hpp"
#include "screen_input.hpp"
#include "web_page.hpp"

// After the test framework: the X headers define names (None, Bool) it uses.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

constexpr std::string_view kPage =
    "<!doctype html><p id=text>Inline page</p>"
    "<input id=field style='position:fixed;left:0;top:40px;width:100%;height:80%'>"
    "<script>addEventListener('beforeunload', e => { if (window.asks) { e.preventDefault(); e.returnValue = 'x'; } "
    "})</script>";

// What the page shows, and whether it is the document the test marked.
constexpr const char* kState =
    "(window.marked ? 'marked' : 'fresh') + ':' + (document.getElementById('text') || {textContent: 'empty'})"
    ".textContent + ':' + (document.getElementById('field') || {value: ''}).value";

GtkWidget* mainWindow() { return windowTitled("Vostra Studio"); }

void pressReloadKey() { putKeyPress(mainWindow(), GDK_KEY_r, GDK_CONTROL_MASK); }
void runInPage(const char* script) {
    evaluate(mainWebView(), script, [](const std::string&) {});
}

// One step of a test: it acts, then waits until the page shows what it awaits (or, for a step
// with `reached`, until that holds apart from the page).
struct Step {
    std::string awaited;  // what the step waits for, in words, for its failure
    std::function<void()> act;
    std::function<bool(const std::string&)> done;  // takes the page's state
    std::function<bool()> reached;                 // instead of `done`: not the page's state
    // What happens when the step is not done in time; without it, the test fails and stops.
    std::function<void()> late;
};

Step showing(std::string awaited, std::function<void()> act, std::string state) {
    return {std::move(awaited), std::move(act), [state](const std::string& seen) { return seen == state; }, {}, {}};
}

class GtkReload : public GtkHost {
protected:
    static constexpr auto kLimit = std::chrono::seconds(10);

    void loadPage(std::string_view page = kPage) {
        kelvo_appkit_load_window_webview(host, 1, page.data(), page.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    }

    // Runs the host until every step has acted and reached what it awaits, one after another; a
    // step that has not in ten seconds fails the test with what it awaited and what the page
    // showed. The page's state is what `script` gives, asked for again as soon as it answered.
    void runSteps(std::deque<Step> steps, const char* script = kState) {
        pending = std::move(steps);
        startStep();
        if (!finished) poller = gtk().loop.startTimer(gtk().self, 20'000'000, true, [this, script] { poll(script); });
        run();
        stopPolling();
    }

    // The polls and the page's answers end with the test: the main loop outlives it, and would
    // run them in the next test.
    void TearDown() override {
        stopPolling();
        *alive = false;
        GtkHost::TearDown();
    }

    std::string last;

private:
    void poll(const char* script) {
        if (finished) return;
        if (std::chrono::steady_clock::now() > deadline) {
            stepLate();
            return;
        }
        if (pending.front().reached) {
            if (pending.front().reached()) stepDone();
            return;
        }
        WebKitWebView* view = mainWebView();
        if (view == nullptr || asking) return;
        asking = true;
        evaluate(view, script, [this, alive = alive](const std::string& state) {
            if (!*alive) return;
            asking = false;
            last = state;
            if (!finished && !pending.front().reached && pending.front().done(state)) stepDone();
        });
    }
    void stopPolling() {
        if (poller != 0) gtk().loop.cancelTimer(gtk().self, poller);
        poller = 0;
    }
    void startStep() {
        if (pending.empty()) {
            finished = true;
            stopPolling();
            kelvo_appkit_stop(host);
            return;
        }
        deadline = std::chrono::steady_clock::now() + kLimit;
        if (pending.front().act) pending.front().act();
    }
    void stepDone() {
        pending.pop_front();
        startStep();
    }
    void stepLate() {
        Step step = std::move(pending.front());
        pending.pop_front();
        if (!step.late) {
            ADD_FAILURE() << "waited " << kLimit.count() << " s for " << step.awaited << "; the page showed \"" << last
                          << "\"";
            pending.clear();
        } else {
            step.late();
        }
        startStep();
    }

    std::deque<Step> pending;
    std::chrono::steady_clock::time_point deadline;
    bool asking = false;
    bool finished = false;
    standin::TimerId poller = 0;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);  // false once the test ended
};

TEST_F(GtkReload, APageGivenAsHtmlComesAgainByTheKeyAndByItsOwnReload) {
    runSteps({
        showing(
            "the page", [this] { loadPage(); }, "fresh:Inline page:"),
        showing(
            "the page marked", [] { runInPage("window.marked = true"); }, "marked:Inline page:"),
        // Ctrl+R as the X server would deliver it: the View menu's Reload.
        showing("the page again after Ctrl+R", pressReloadKey, "fresh:Inline page:"),
        showing(
            "the page marked", [] { runInPage("window.marked = true"); }, "marked:Inline page:"),
        // The page's own reload, which its context menu's Reload item does too.
        showing(
            "the page again after its own reload", [] { runInPage("location.reload()"); }, "fresh:Inline page:"),
    });
}

// A page that leaves its text for an empty page of its own accord shows the empty page.
TEST_F(GtkReload, APageGivenAsHtmlThatGoesToABlankPageShowsIt) {
    int emptyAnswers = 0;
    runSteps({
        showing(
            "the page", [this] { loadPage(); }, "fresh:Inline page:"),
        // Empty, and still so when the page answered once more after it was seen empty, with the
        // web view loading nothing: had the empty page been taken for a reload of the text, the
        // text would be loading by then.
        {"the empty page, staying so",
         [] { runInPage("location.href = 'about:blank'"); },
         [&](const std::string& state) {
             emptyAnswers = state == "fresh:empty:" ? emptyAnswers + 1 : 0;
             return emptyAnswers >= 2 && !webkit_web_view_is_loading(mainWebView());
         },
         {},
         {}},
    });
    EXPECT_EQ(last, "fresh:empty:");
}

// A page with two frames: one at "about:blank" that the page wrote into, one from its own text.
constexpr std::string_view kFramedPage =
    "<!doctype html><p id=text>Framed page</p><iframe id=blank></iframe>"
    "<iframe srcdoc=\"<script>parent.docLoads = (parent.docLoads || 0) + 1</script><p>own text</p>\"></iframe>"
    "<script>window.blankLoads = 0;"
    "document.getElementById('blank').addEventListener('load', () => blankLoads++);"
    "frames[0].document.body.innerHTML = '<p id=inner>written</p>';</script>";

// The top page's mark, the blank frame's loads and whether it holds what was written into it, the
// other frame's loads, and the top page's text.
constexpr const char* kFramedState =
    "(window.kept || 'fresh') + ':' + window.blankLoads + ':' +"
    "(frames[0].document.getElementById('inner') ? 'written' : 'empty') + ':' + (window.docLoads || 0) + ':' +"
    "(document.getElementById('text') || {textContent: 'none'}).textContent";

TEST_F(GtkReload, AFrameThatReloadsItselfReloadsAloneAndThePageKeepsItsState) {
    // The blank frame's loads before its reload (its first load may be counted or not).
    std::string loads;
    runSteps(
        {
            // Laid out, with both frames loaded.
            {"the page with both frames loaded",
             [this] { loadPage(kFramedPage); },
             [&](const std::string& state) {
                 if (!state.starts_with("fresh:") || !state.ends_with(":written:1:Framed page")) return false;
                 loads = state.substr(6, state.find(':', 6) - 6);
                 return true;
             },
             {},
             {}},
            // The page is marked, then its blank frame reloads: it loads again, empty as a blank
            // frame comes.
            {"the blank frame loaded again, empty, in the marked page",
             [] { runInPage("window.kept = 'kept'; frames[0].eval('location.reload()')"); },
             [&](const std::string& state) {
                 return state == "kept:" + std::to_string(std::stoi(loads) + 1) + ":empty:1:Framed page";
             },
             {},
             {}},
            {"the other frame loaded again in the marked page",
             [] { runInPage("frames[1].eval('location.reload()')"); },
             [&](const std::string& state) {
                 return state == "kept:" + std::to_string(std::stoi(loads) + 1) + ":empty:2:Framed page";
             },
             {},
             {}},
        },
        kFramedState);
}

// A page whose frame goes to an empty page every 2 ms: the page still comes again on each of
// twenty reloads. (Each reload of the page is decided while the frame's navigations are decided
// too.) A reload that leaves the page empty is counted, and the page loaded anew for the next.
constexpr std::string_view kBusyPage =
    "<!doctype html><p id=text>Busy page</p><iframe id=f></iframe>"
    "<script>const f = document.getElementById('f');"
    "setInterval(() => f.contentWindow.location.replace('about:blank'), 2);</script>";

TEST_F(GtkReload, APageWhoseFrameKeepsNavigatingComesAgainOnEveryReload) {
    constexpr int kReloads = 20;
    // Each reload after which the page did not come again, with what it showed.
    std::vector<std::string> missed;
    std::deque<Step> steps{showing(
        "the busy page", [this] { loadPage(kBusyPage); }, "fresh:Busy page:")};
    for (int reload = 1; reload <= kReloads; ++reload) {
        // Marked once it shows (also when it was loaded anew after an empty reload).
        steps.push_back({"the busy page marked",
                         {},
                         [](const std::string& state) {
                             if (state == "fresh:Busy page:") runInPage("window.marked = true");
                             return state == "marked:Busy page:";
                         },
                         {},
                         {}});
        Step again = showing("the busy page again after Ctrl+R", pressReloadKey, "fresh:Busy page:");
        again.late = [this, reload, &missed] {
            missed.push_back("reload " + std::to_string(reload) + " showed \"" + last + "\"");
            loadPage(kBusyPage);
        };
        steps.push_back(std::move(again));
    }
    runSteps(std::move(steps));
    EXPECT_EQ(missed, std::vector<std::string>{})
        << "the page did not come again after " << missed.size() << " of " << kReloads << " reloads";
}

// It types into the page and clicks: it runs alone.
using GtkSerialReload = GtkReload;

// The first widget under `root` (itself included, and parts its container keeps to itself, such
// as the dialogs a web view shows over its page) that `matches`.
template <typename Matches>
GtkWidget* findAmongAll(GtkWidget* root, const Matches& matches) {
    if (root == nullptr || matches(root)) return root;
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    struct Search {
        const Matches& matches;
        GtkWidget* found = nullptr;
    } search{matches};
    gtk_container_forall(
        GTK_CONTAINER(root),
        [](GtkWidget* child, gpointer data) {
            auto& s = *static_cast<Search*>(data);
            if (s.found == nullptr) s.found = findAmongAll(child, s.matches);
        },
        &search);
    return search.found;
}

GtkWidget* buttonLabelled(GtkWidget* root, std::string_view label) {
    return findAmongAll(root, [label](GtkWidget* widget) {
        const gchar* text = GTK_IS_BUTTON(widget) ? gtk_button_get_label(GTK_BUTTON(widget)) : nullptr;
        return text != nullptr && label == text && gtk_widget_get_mapped(widget);
    });
}

TEST_F(GtkSerialReload, APageThatAsksBeforeItIsLeftGetsADialogAndStaysWhenTheUserSaysSo) {
    std::thread typist;
    runSteps({
        showing(
            "the page", [this] { loadPage(); }, "fresh:Inline page:"),
        // Unsaved text, typed as a user types: a page may ask only after the user did something.
        // Into the field, which fills most of the page, then typed by another program while this
        // one's loop runs, as a user types.
        showing(
            "the text typed into the marked page",
            [&typist] {
                runInPage("window.asks = true; window.marked = true");
                const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(mainWindow()));
                clickUntilFocused(mainWebView(), "field", [&typist, xid] {
                    typist = std::thread([xid] {
                        char command[160];
                        std::snprintf(command, sizeof command, "xdotool windowfocus --sync %lu type --delay 50 draft",
                                      xid);
                        EXPECT_EQ(std::system(command), 0) << command;
                    });
                });
            },
            "marked:Inline page:draft"),
        // WebKit's own dialog, over the page. The page answers nothing while it is open, so it is
        // looked for apart from the page's state.
        {"the dialog's Stay on Page button",
         pressReloadKey,
         {},
         [] {
             // Clicked once laid out: a dialog just shown has its buttons before their places.
             GtkWidget* stay = buttonLabelled(GTK_WIDGET(mainWebView()), "Stay on Page");
             if (!laidOut(stay)) return false;
             click(stay);
             return true;
         },
         {}},
        // Told to stay, the page keeps its document and the typed text.
        showing("the marked page with its text after the dialog", {}, "marked:Inline page:draft"),
    });
    if (typist.joinable()) typist.join();
}

}  // namespace
}  // namespace kelvo
