#pragma once

// Reaching the page of a real web view from a GTK test: the main web view, scripts evaluated in
// it, and steps repeated on the main loop while the page works.

#include <webkit2/webkit2.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/standin/gtk/gtk.hpp"
#include "screen_input.hpp"

namespace kelvo {

// Runs `step` every `ms` milliseconds on the main loop until it answers false.
inline void every(int ms, std::function<bool()> step) {
    auto timer = std::make_shared<standin::TimerId>(0);
    *timer = standin::gtkStandIn().loop.startTimer(
        standin::gtkStandIn().self, static_cast<std::uint64_t>(ms) * 1'000'000, true, [step, timer] {
            if (!step()) standin::gtkStandIn().loop.cancelTimer(standin::gtkStandIn().self, *timer);
        });
}

// A web view placed in a window's content (an overlay, below the menu bar when there is one),
// searched depth first; the inspector's own web view lies in no overlay.
inline WebKitWebView* placedWebViewIn(GtkWidget* widget) {
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    WebKitWebView* found = nullptr;
    for (GList* child = children; child != nullptr; child = child->next) {
        if (GTK_IS_OVERLAY(widget) && WEBKIT_IS_WEB_VIEW(child->data)) found = WEBKIT_WEB_VIEW(child->data);
    }
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        found = placedWebViewIn(GTK_WIDGET(child->data));
    }
    g_list_free(children);
    return found;
}

inline WebKitWebView* mainWebView() {
    GList* toplevels = gtk_window_list_toplevels();
    WebKitWebView* found = nullptr;
    for (GList* item = toplevels; item != nullptr && found == nullptr; item = item->next) {
        found = placedWebViewIn(GTK_WIDGET(item->data));
    }
    g_list_free(toplevels);
    return found;
}

// Evaluates `script` in the page and hands its string value to `then` (empty on failure).
inline void evaluate(WebKitWebView* view, const char* script, std::function<void(const std::string&)> then) {
    auto* done = new std::function<void(const std::string&)>(std::move(then));
    webkit_web_view_evaluate_javascript(
        view, script, -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void(const std::string&)>> then(
                static_cast<std::function<void(const std::string&)>*>(data));
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
            std::string text;
            if (value != nullptr) {
                gchar* string = jsc_value_to_string(value);
                text = string;
                g_free(string);
                g_object_unref(value);
            }
            (*then)(text);
        },
        done);
}

// Runs the main loop (from inside a step of it, as a modal dialog does) until `done` holds or
// `limit` passed; answers whether `done` held.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::steady_clock::duration limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(500);
    }
    return true;
}

// The string value of `script` evaluated in the page, waited for on the main loop; empty on
// failure or after ten seconds.
inline std::string evaluateNow(WebKitWebView* view, const std::string& script) {
    auto answer = std::make_shared<std::pair<bool, std::string>>();
    evaluate(view, script.c_str(), [answer](const std::string& text) { *answer = {true, text}; });
    pumpUntil([&] { return answer->first; }, std::chrono::seconds(10));
    return answer->second;
}

// A condition for when(): whether the page's answer to `script` satisfied `wanted`. The page is
// asked again each time it answered otherwise; the answer that satisfied is put in `answer`.
inline std::function<bool()> pageAnswers(std::function<WebKitWebView*()> page, std::string script,
                                         std::function<bool(const std::string&)> wanted,
                                         std::string* answer = nullptr) {
    struct Asking {
        bool waiting = false;
        bool satisfied = false;
        std::string last;
    };
    auto asking = std::make_shared<Asking>();
    return [page = std::move(page), script = std::move(script), wanted = std::move(wanted), answer, asking] {
        if (asking->satisfied) {
            if (answer != nullptr) *answer = asking->last;
            return true;
        }
        WebKitWebView* view = page();
        if (view == nullptr || asking->waiting) return false;
        asking->waiting = true;
        evaluate(view, script.c_str(), [asking, wanted](const std::string& text) {
            asking->waiting = false;
            asking->last = text;
            asking->satisfied = wanted(text);
        });
        return false;
    };
}

// Clicks into the page as a user does, again each second until its element with this id has the
// keyboard, then runs `then`. The page takes a click only once it has laid the element out, and
// gives the element the keyboard only when it has handled the click, which keys typed at once by
// another program may overtake.
inline void clickUntilFocused(WebKitWebView* view, const std::string& id, std::function<void()> then) {
    const std::string script = "document.activeElement && document.activeElement.id === '" + id + "' ? 'yes' : 'no'";
    auto done = std::make_shared<bool>(false);
    auto asking = std::make_shared<bool>(false);
    every(100, [view, script, then, done, asking, polls = 0]() mutable {
        if (!*done && polls++ % 10 == 0) click(GTK_WIDGET(view));
        if (!*done && !*asking) {
            *asking = true;
            evaluate(view, script.c_str(), [then, done, asking](const std::string& answer) {
                *asking = false;
                if (answer != "yes" || *done) return;
                *done = true;
                then();
            });
        }
        return !*done;
    });
}

}  // namespace kelvo
