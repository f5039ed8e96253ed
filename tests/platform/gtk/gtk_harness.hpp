#pragma once

// A host on the GTK backend in real windows, with a runtime stand-in that records every event.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/gtk/gtk.hpp"

namespace kelvo {

struct Seen {
    HostEventKind kind;
    KelvoHostEvent event;  // its strings are not valid after the callback
};

class GtkHost : public ::testing::Test {
protected:
    void SetUp() override {
        standin::installStandIn(&standin::gtkStandIn());
        host = kelvo_appkit_create("Vostra Studio", 13, nullptr, 0, nullptr, 0, nullptr, 0, 1, "Vostra Studio", 13,
                                   nullptr, 0, nullptr, 0, "main", 4, 0, 0, 1280, 820, 0, 1, 0, 0);
        ASSERT_NE(host, nullptr) << "no display: run the gtk tests under xvfb-run";
    }
    void TearDown() override {
        kelvo_appkit_destroy(host);
        standin::installStandIn(nullptr);
    }

    standin::StandIn& gtk() { return standin::gtkStandIn(); }

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

    KelvoAppKitHost* host = nullptr;
    std::vector<Seen> seen;
    // Runs inside the callback, after the event is recorded: the runtime acting on it.
    std::function<void(const KelvoHostEvent&)> onEvent;
    int depth = 0;
    int deepest = 0;
};

}  // namespace kelvo
