#pragma once

// Waiting in a GTK test for what it expects: a step runs as soon as the state it needs holds, on
// a machine however busy, and a test that waited in vain fails saying what it waited for.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gtk_widgets.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/gtk/gtk.hpp"

namespace kelvo {

// How long a test waits for what it expects: enough for a heavily loaded machine running a
// sanitizer build; spent in full only when what was expected never comes.
inline constexpr std::chrono::milliseconds kWaitLimit{30'000};

namespace detail {

struct Waiting {
    KelvoAppKitHost* host;
    std::string what;
    std::function<bool()> condition;
    std::function<void()> step;
    std::chrono::steady_clock::time_point end;
    std::chrono::milliseconds limit;
};

// Asks again after `delay`: 20 ms, or twice what the condition took to answer when that is more
// (a condition that reads the screen), so that asking never keeps the machine busy.
inline void askLater(std::shared_ptr<Waiting> waiting, std::chrono::nanoseconds delay) {
    standin::StandIn& gtk = standin::gtkStandIn();
    gtk.loop.startTimer(gtk.self, static_cast<std::uint64_t>(delay.count()), false, [waiting] {
        const auto asked = std::chrono::steady_clock::now();
        if (waiting->condition()) {
            waiting->step();
            // A step stopped by a failed assertion starts nothing that would end the run.
            if (::testing::Test::HasFatalFailure()) kelvo_appkit_stop(waiting->host);
            return;
        }
        const auto answered = std::chrono::steady_clock::now();
        if (answered > waiting->end) {
            ADD_FAILURE() << "waited " << waiting->limit.count() / 1000.0 << " s for " << waiting->what;
            kelvo_appkit_stop(waiting->host);
            return;
        }
        askLater(waiting, std::max<std::chrono::nanoseconds>(std::chrono::milliseconds(20), 2 * (answered - asked)));
    });
}

}  // namespace detail

// Runs `step` on the main loop once `condition` holds (asked from 20 ms on, again and again). When
// it has not held after `limit`, the test fails naming what it waited for, `what`, and the host
// stops, which ends its run; so does a fatal failure in `step`.
inline void when(KelvoAppKitHost* host, std::string what, std::function<bool()> condition, std::function<void()> step,
                 std::chrono::milliseconds limit = kWaitLimit) {
    auto waiting = std::make_shared<detail::Waiting>(detail::Waiting{
        host, std::move(what), std::move(condition), std::move(step), std::chrono::steady_clock::now() + limit, limit});
    detail::askLater(std::move(waiting), std::chrono::milliseconds(20));
}

// A step of a test and what it waits for.
struct Awaited {
    std::string what;
    std::function<bool()> condition;
    std::function<void()> step;
};

// Runs the steps one after the other, each once its condition holds (see when()).
inline void inTurn(KelvoAppKitHost* host, std::vector<Awaited> steps, std::chrono::milliseconds limit = kWaitLimit) {
    if (steps.empty()) return;
    auto rest = std::make_shared<std::vector<Awaited>>(std::move(steps));
    Awaited first = std::move(rest->front());
    rest->erase(rest->begin());
    when(
        host, std::move(first.what), std::move(first.condition),
        [host, step = std::move(first.step), rest, limit] {
            step();
            if (!::testing::Test::HasFatalFailure()) inTurn(host, std::move(*rest), limit);
        },
        limit);
}

// Whether the X server shows the window: GTK mapped it and the server said it did.
inline bool shownOnScreen(GtkWidget* window) {
    if (window == nullptr || !gtk_widget_get_mapped(window)) return false;
    GdkWindow* gdk = gtk_widget_get_window(window);
    return gdk != nullptr && (gdk_window_get_state(gdk) & GDK_WINDOW_STATE_WITHDRAWN) == 0;
}

// Whether a widget is laid out on a shown window: mapped, given its place, its window on screen.
inline bool laidOut(GtkWidget* widget) {
    return widget != nullptr && gtk_widget_get_mapped(widget) && gtk_widget_get_allocated_width(widget) > 1 &&
           shownOnScreen(gtk_widget_get_toplevel(widget));
}

}  // namespace kelvo
