// Reload in real windows (label "gtk"): a page given as HTML text comes again by the View menu's
// key and by the page's own reload, a frame of it that reloads itself reloads alone, and a page
// whose before-unload handler asks gets WebKit's dialog before it is reloaded.

#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "gtk_harness.hpp"
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

class GtkReload : public GtkHost {
protected:
    void loadPage() {
        kelvo_appkit_load_window_webview(host, 1, kPage.data(), kPage.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    }
    // Polls the page's state (what `script` gives) every 100 ms until `done` takes it, then stops
    // the host; gives up after 15 s.
    void runUntilPage(std::function<bool(const std::string&)> done, const char* script = kState) {
        every(100, [this, done, script, polls = 0]() mutable {
            if (++polls > 150) {
                ADD_FAILURE() << "the page never showed what was awaited; last: " << last;
                kelvo_appkit_stop(host);
                return false;
            }
            WebKitWebView* view = mainWebView();
            if (view == nullptr) return true;
            evaluate(view, script, [this, done](const std::string& state) {
                last = state;
                if (!stopped && done(state)) {
                    stopped = true;
                    kelvo_appkit_stop(host);
                }
            });
            return !stopped;
        });
        run();
    }
    std::string last;
    bool stopped = false;
};

TEST_F(GtkReload, APageGivenAsHtmlComesAgainByTheKeyAndByItsOwnReload) {
    loadPage();
    std::vector<std::string> shown;
    int stage = 0;
    runUntilPage([&](const std::string& state) {
        if (state != "fresh:Inline page:") return false;
        shown.push_back(state);
        evaluate(mainWebView(), "window.marked = true", [](const std::string&) {});
        if (stage++ == 0) {
            // Ctrl+R as the X server would deliver it: the View menu's Reload.
            after(200, [] { putKeyPress(mainWindow(), GDK_KEY_r, GDK_CONTROL_MASK); });
            return false;
        }
        if (stage == 2) {
            // The page's own reload, which its context menu's Reload item does too.
            after(200, [] { evaluate(mainWebView(), "location.reload()", [](const std::string&) {}); });
            return false;
        }
        return true;
    });
    EXPECT_EQ(shown.size(), 3u) << last;
}

// A page that leaves its text for an empty page of its own accord shows the empty page.
TEST_F(GtkReload, APageGivenAsHtmlThatGoesToABlankPageShowsIt) {
    loadPage();
    int polls = 0;
    runUntilPage([&](const std::string& state) {
        if (state == "fresh:Inline page:") {
            evaluate(mainWebView(), "location.href = 'about:blank'; 'asked'", [](const std::string&) {});
            return false;
        }
        // Empty, and still so a moment later.
        return state == "fresh:empty:" && ++polls == 5;
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
    kelvo_appkit_load_window_webview(host, 1, kFramedPage.data(), kFramedPage.size(), 0, nullptr, 0, nullptr, 0,
                                     nullptr, 0, 0);
    std::vector<std::string> shown;
    std::string loadsBefore;
    runUntilPage(
        [&](const std::string& state) {
            if (shown.empty()) {
                // Laid out, with both frames loaded: the page is marked, then its blank frame reloads.
                if (!state.starts_with("fresh:") || state.find(":written:1:Framed page") == std::string::npos) {
                    return false;
                }
                shown.push_back(state);
                loadsBefore = state.substr(6, state.find(':', 6) - 6);
                evaluate(mainWebView(), "window.kept = 'kept'; frames[0].eval('location.reload()'); 'asked'",
                         [](const std::string&) {});
                return false;
            }
            if (shown.size() == 1) {
                // The frame loaded again, empty as a blank frame comes; then the other frame reloads.
                if (state != "kept:" + std::to_string(std::stoi(loadsBefore) + 1) + ":empty:1:Framed page")
                    return false;
                shown.push_back(state);
                evaluate(mainWebView(), "frames[1].eval('location.reload()'); 'asked'", [](const std::string&) {});
                return false;
            }
            if (state.find(":2:") == std::string::npos) return false;
            shown.push_back(state);
            return true;
        },
        kFramedState);
    const std::string loadsAfter = std::to_string(std::stoi(loadsBefore.empty() ? "0" : loadsBefore) + 1);
    EXPECT_EQ(shown, (std::vector<std::string>{"fresh:" + loadsBefore + ":written:1:Framed page",
                                               "kept:" + loadsAfter + ":empty:1:Framed page",
                                               "kept:" + loadsAfter + ":empty:2:Framed page"}))
        << last;
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
    loadPage();
    bool typing = false;
    bool reloaded = false;
    bool asked = false;
    std::thread typist;
    // Each step waits for what the page shows, not for a time, so a busy machine only slows it.
    runUntilPage([&](const std::string& state) {
        if (!typing && state == "fresh:Inline page:") {
            typing = true;
            // Unsaved text, typed as a user types: a page may ask only after the user did something.
            evaluate(mainWebView(), "window.asks = true; window.marked = true", [](const std::string&) {});
            // Into the field, which fills most of the page, then typed by another program while
            // this one's loop runs, as a user types.
            const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(mainWindow()));
            clickUntilFocused(mainWebView(), "field", [&typist, xid] {
                typist = std::thread([xid] {
                    char command[160];
                    std::snprintf(command, sizeof command, "xdotool windowfocus --sync %lu type --delay 50 draft", xid);
                    EXPECT_EQ(std::system(command), 0) << command;
                });
            });
            return false;
        }
        if (!reloaded && state == "marked:Inline page:draft") {
            reloaded = true;
            putKeyPress(mainWindow(), GDK_KEY_r, GDK_CONTROL_MASK);
            // WebKit's own dialog, over the page. The page answers nothing while it is open, so it
            // is looked for apart from the page's state.
            every(100, [&asked] {
                GtkWidget* stay = buttonLabelled(GTK_WIDGET(mainWebView()), "Stay on Page");
                if (stay == nullptr) return true;
                asked = true;
                click(stay);
                return false;
            });
            return false;
        }
        // Told to stay, the page keeps its document and the typed text.
        return asked && state == "marked:Inline page:draft";
    });
    if (typist.joinable()) typist.join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(last, "marked:Inline page:draft");
}

}  // namespace
}  // namespace kelvo
