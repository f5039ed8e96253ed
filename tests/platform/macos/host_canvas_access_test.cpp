#include <gtest/gtest.h>

#include "host_harness.hpp"
#include "platform/macos/appkit_canvas_access.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "support/accessibility_node.hpp"

namespace kelvo {
namespace {

using testing::accessibilityNode;
using testing::HostHarness;

constexpr std::int32_t kCanvas = 12;
constexpr std::uint64_t kInterval = 16'666'666;

struct HostCanvasAccess : ::testing::Test {
    HostCanvasAccess() {
        h.create();
        const std::string label = "gallery";
        EXPECT_EQ(kelvo_appkit_create_view(h.host, 1, label.data(), label.size(), kCanvas, nullptr, 0, 0, 1, 1, nullptr,
                                           0, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, 300, 200),
                  1);
    }
    std::int32_t publish(std::span<const KelvoWidgetAccessibilityNodeRecord> nodes, std::string label = "gallery") {
        return kelvo_appkit_update_widget_accessibility(h.host, 1, label.data(), label.size(), nodes.data(),
                                                        nodes.size());
    }
    standin::HeadlessStandIn::NativeView& shown() { return *h.platform.nativeView("gallery"); }

    HostHarness h;
};

// Published elements reach the stand-in; a press there comes back as one event for the view; a
// closed view takes its elements' actions with it.
TEST_F(HostCanvasAccess, ElementsArePublishedAndTheirActionsComeBack) {
    const KelvoWidgetAccessibilityNodeRecord nodes[] = {accessibilityNode(41, 4, "Save", 10, 2 | 4),
                                                        accessibilityNode(42, 16, "Wrap", 10, 0)};
    EXPECT_EQ(publish(nodes, "elsewhere"), 0);
    ASSERT_EQ(publish(nodes), 1);
    ASSERT_EQ(shown().elements.size(), 2u);
    EXPECT_EQ(shown().elements[0].label, "Save");
    EXPECT_EQ(shown().elements[1].shape.role, standin::ElementRole::check_box);
    EXPECT_EQ(shown().elements[0].shape.frame, (standin::RectD{10, 20, 80, 24}));

    h.platform.at(kInterval * 3, [&] {
        h.platform.userActOnElement(shown(), 41, {standin::ElementActionKind::press});
        h.platform.userActOnElement(shown(), 42, {standin::ElementActionKind::press});
    });
    standin::HeadlessStandIn::NativeView* view = &shown();
    h.platform.at(kInterval * 6, [&] {
        const std::string label = "gallery";
        EXPECT_EQ(kelvo_appkit_close_view(h.host, 1, label.data(), label.size()), 1);
        // The last elements stay on the destroyed record; acting on them reaches nobody.
        h.platform.userActOnElement(*view, 41, {standin::ElementActionKind::press});
    });
    h.platform.at(kInterval * 9, [&] { kelvo_appkit_stop(h.host); });
    h.run();

    auto actions = h.all(HostEventKind::widget_accessibility_action);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0]->viewLabel, "gallery");
    EXPECT_EQ(actions[0]->event.targetId, 41u);
    EXPECT_EQ(actions[0]->event.action, 2);
}

// A wheel over a driver moves it and reports through the main queue; the runtime's own offset
// does not come back; a view closed before its report is due sends nothing.
TEST_F(HostCanvasAccess, ScrollDriversReportWheelOffsets) {
    const std::string label = "gallery";
    KelvoScrollDriverRecord driver{9, 0, 0, 300, 100, 300, 1000, 50, 0, 0};
    EXPECT_EQ(kelvo_appkit_set_gpu_surface_scroll_drivers(h.host, 1, "nowhere", 7, &driver, 1), 0);
    ASSERT_EQ(kelvo_appkit_set_gpu_surface_scroll_drivers(h.host, 1, label.data(), label.size(), &driver, 1), 1);
    HostCanvasView* canvas = findCanvasView(*h.host, 1, label);
    ASSERT_NE(canvas, nullptr);

    h.platform.at(kInterval * 2, [&] {
        EXPECT_TRUE(routeCanvasWheel(*canvas, 20, 20, 0, 30, ScrollPhase::none, ScrollPhase::none));
        EXPECT_FALSE(routeCanvasWheel(*canvas, 20, 150, 0, 30, ScrollPhase::none, ScrollPhase::none));
    });
    h.platform.at(kInterval * 2 + 1000, [&] {
        EXPECT_TRUE(routeCanvasWheel(*canvas, 20, 20, 0, 5, ScrollPhase::none, ScrollPhase::none));
        EXPECT_EQ(kelvo_appkit_close_view(h.host, 1, label.data(), label.size()), 1);
    });
    h.platform.at(kInterval * 6, [&] { kelvo_appkit_stop(h.host); });
    h.run();

    auto reports = h.all(HostEventKind::scroll_driver);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]->viewLabel, "gallery");
    EXPECT_EQ(reports[0]->event.targetId, 9u);
    EXPECT_EQ(reports[0]->event.scrollOffsetY, 80);
    EXPECT_EQ(reports[0]->atNs, kInterval * 2);
}

}  // namespace
}  // namespace kelvo

namespace kelvo {
namespace {

// The view's input asks its other parts: a wheel over a scroll driver moves the driver (and is not
// sent as input), a wheel elsewhere goes to the runtime; the input method's caret sits in the
// focused text widget the runtime published.
TEST_F(HostCanvasAccess, InputGoesThroughTheDriversAndTheFocusedField) {
    const std::string label = "gallery";
    KelvoScrollDriverRecord driver{9, 0, 0, 300, 100, 300, 1000, 50, 0, 0};
    ASSERT_EQ(kelvo_appkit_set_gpu_surface_scroll_drivers(h.host, 1, label.data(), label.size(), &driver, 1), 1);
    KelvoWidgetAccessibilityNodeRecord field = accessibilityNode(43, 5, "Name", 100, 1);
    field.stateFlags |= 1u << 1;  // focused
    field.value = "abcd";
    field.valueLength = 4;
    ASSERT_EQ(publish(std::span(&field, 1)), 1);

    standin::CanvasInputEvent wheel;
    wheel.type = standin::CanvasInputType::wheel;
    wheel.x = 20;
    wheel.deltaY = -30;  // the content follows the finger up: towards its end
    standin::CanvasInputEvent preedit;
    preedit.type = standin::CanvasInputType::preeditChanged;
    preedit.text = "ka";
    preedit.cursor = 2;
    h.platform.at(kInterval * 2, [&] {
        wheel.y = 20;
        h.platform.userCanvasInput(shown(), wheel);
        wheel.y = 150;
        h.platform.userCanvasInput(shown(), wheel);
        h.platform.userCanvasInput(shown(), preedit);
    });
    h.platform.at(kInterval * 8, [&] { kelvo_appkit_stop(h.host); });
    h.run();

    auto reports = h.all(HostEventKind::scroll_driver);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]->event.targetId, 9u);
    EXPECT_EQ(reports[0]->event.scrollOffsetY, 80);
    std::size_t wheels = 0;
    for (const testing::SeenEvent* input : h.all(HostEventKind::gpu_surface_input)) {
        if (input->event.inputKind != 4) continue;
        ++wheels;
        EXPECT_EQ(input->event.y, 150);
    }
    EXPECT_EQ(wheels, 1u);
    ASSERT_TRUE(shown().caret);
    const standin::RectD caret = *shown().caret;
    EXPECT_GT(caret.x, 100);
    EXPECT_LT(caret.x + caret.width, 180);
    EXPECT_EQ(caret.y, 20);
    EXPECT_EQ(caret.height, 24);
}

}  // namespace
}  // namespace kelvo
