// SIGTERM while a modal dialog is open, on the headless backend: the dialog ends at once,
// answered as cancelled, the runtime gets that answer and then the one app_shutdown, and the loop
// ends; a dialog asked for after that is answered as cancelled without being shown.

#include <gtest/gtest.h>

#include <string_view>

#include "platform/macos/host_harness.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using Kind = HostEventKind;
using Answer = standin::HeadlessServices::DialogAnswer;

using testing::kMs;

// Shows a message dialog (every headless dialog takes its answer the same way); answers whether
// the runtime was told it was closed without a button.
bool showCancelled(KelvoAppKitHost* host) {
    KelvoMessageDialogRecord record{};
    const std::string_view message = "Discard the changes?";
    record.texts[1] = {message.data(), message.size()};
    return kelvo_appkit_show_message_dialog(host, &record) == 2;
}

TEST(HostTerminate, SigtermEndsAnOpenDialogAsCancelledAndThenTheLoop) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    // The user would pick something after ten seconds; SIGTERM comes after one.
    bool shown = false;
    bool cancelled = false;
    std::uint64_t openedAt = 0;
    std::uint64_t answeredAt = 0;
    std::size_t eventsAtAnswer = 0;
    bool cancelledAfterShutdown = false;
    h.onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(Kind::app_shutdown)) {
            // Asked for after the loop was told to end: answered at once, its answer untouched.
            h.platform.services().dialogAnswers.push_back(Answer{{"/docs/later.vrs"}, 1, 10'000 * kMs});
            const std::uint64_t askedAt = h.platform.nowNs();
            cancelledAfterShutdown = showCancelled(h.host) && h.platform.nowNs() == askedAt &&
                                     h.platform.services().dialogAnswers.size() == 1;
            return;
        }
        if (event.kind != static_cast<std::uint32_t>(Kind::frame_requested) || shown) return;
        shown = true;
        openedAt = h.platform.nowNs();
        h.platform.services().dialogAnswers.push_back(Answer{{"/docs/a.vrs"}, 0, 10'000 * kMs});
        h.platform.at(openedAt + 1'000 * kMs, [&] { h.platform.raiseTerminate(); });
        cancelled = showCancelled(h.host);
        answeredAt = h.platform.nowNs();
        eventsAtAnswer = h.events.size();
    };
    h.run();

    ASSERT_TRUE(shown);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(answeredAt - openedAt, 1'000 * kMs);
    // The shutdown waited for the dialog's answer, and came once.
    EXPECT_EQ(h.count(Kind::app_shutdown), 1u);
    ASSERT_FALSE(h.events.empty());
    EXPECT_EQ(h.events.back().kind, Kind::app_shutdown);
    EXPECT_EQ(h.events.size(), eventsAtAnswer + 1);
    EXPECT_TRUE(cancelledAfterShutdown);
    EXPECT_EQ(h.platform.logCount("dialog.cancelled"), 2u);
    EXPECT_EQ(h.platform.logCount("loop.quit"), 1u);
}

}  // namespace
}  // namespace kelvo
