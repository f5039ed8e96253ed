#pragma once

// A host on the GTK backend for one test, in a real window on the virtual display.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gtk_waits.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/gtk/gtk.hpp"
#include "screen_input.hpp"

namespace kelvo::testing {

class GtkHostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        standin::installStandIn(&standin::gtkStandIn());
        host = kelvo_appkit_create("Vostra Studio", 13, nullptr, 0, nullptr, 0, nullptr, 0, 1, "Vostra Studio", 13,
                                   nullptr, 0, nullptr, 0, "main", 4, 0, 0, 1280, 820, 0, 1, 0, 0);
        ASSERT_NE(host, nullptr) << "no display: run the gtk tests under xvfb-run";
        // Tests that run alone are those that move the display's one pointer.
        const std::string_view suite = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        if (suite.starts_with("GtkSerial")) parkPointer();
    }
    void TearDown() override {
        kelvo_appkit_destroy(host);
        standin::installStandIn(nullptr);
    }

    static standin::StandIn& gtk() { return standin::gtkStandIn(); }

    // Runs `step` on the main loop once `condition` holds; fails naming `what` and stops the host
    // when it has not held after `limit`.
    void when(std::string what, std::function<bool()> condition, std::function<void()> step,
              std::chrono::milliseconds limit = kWaitLimit) {
        kelvo::when(host, std::move(what), std::move(condition), std::move(step), limit);
    }
    // Runs the steps one after the other, each once its condition holds.
    void inTurn(std::vector<Awaited> steps, std::chrono::milliseconds limit = kWaitLimit) {
        kelvo::inTurn(host, std::move(steps), limit);
    }
    // Runs `step` on the main loop once the main window is on the screen.
    void whenShown(std::function<void()> step) {
        when(
            "the main window on the screen", [] { return shownOnScreen(windowTitled("Vostra Studio")); },
            std::move(step));
    }

    KelvoAppKitHost* host = nullptr;
};

}  // namespace kelvo::testing
