#pragma once

// A host on the GTK backend for one test, in a real window on the virtual display.

#include <gtest/gtest.h>

#include <string_view>

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

    KelvoAppKitHost* host = nullptr;
};

}  // namespace kelvo::testing
