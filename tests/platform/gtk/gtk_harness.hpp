#pragma once

// A host on the GTK backend in a real window, run with a runtime stand-in that records every event.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "gtk_host_fixture.hpp"

namespace kelvo {

struct Seen {
    HostEventKind kind;
    KelvoHostEvent event;  // its strings are not valid after the callback
};

// The file chooser on screen, if one is.
inline GtkDialog* shownFileChooser() {
    GList* toplevels = gtk_window_list_toplevels();
    GtkDialog* found = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            found = GTK_DIALOG(item->data);
        }
    }
    g_list_free(toplevels);
    return found;
}

// A file chooser runs a loop of its own until it is answered, so a test that failed while one is
// shown would wait for ever: from now on, once the test has failed, a shown file chooser is
// cancelled.
inline void cancelFileChoosersOnFailure() {
    standin::StandIn& gtk = standin::gtkStandIn();
    gtk.loop.startTimer(gtk.self, 100'000'000, true, [] {
        if (!::testing::Test::HasFailure()) return;
        if (GtkDialog* dialog = shownFileChooser()) gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    });
}

class GtkHost : public testing::GtkHostFixture {
protected:
    // Runs `step` on the main loop after `ms` milliseconds.
    void after(int ms, std::function<void()> step) {
        gtk().loop.startTimer(gtk().self, static_cast<std::uint64_t>(ms) * 1'000'000, false, std::move(step));
    }

    void run() {
        kelvo_appkit_run(
            host,
            [](void* context, const KelvoHostEvent* event) {
                auto& self = *static_cast<GtkHost*>(context);
                self.depth += 1;
                self.deepest = std::max(self.deepest, self.depth);
                self.seen.push_back({static_cast<HostEventKind>(event->kind), *event});
                if (self.onEvent) self.onEvent(*event);
                self.depth -= 1;
            },
            this);
    }

    [[nodiscard]] std::size_t count(HostEventKind kind) const {
        std::size_t n = 0;
        for (const Seen& s : seen) n += s.kind == kind ? 1 : 0;
        return n;
    }

    std::vector<Seen> seen;
    // Runs inside the callback, after the event is recorded: the runtime acting on it.
    std::function<void(const KelvoHostEvent&)> onEvent;
    int depth = 0;
    int deepest = 0;
};

}  // namespace kelvo
