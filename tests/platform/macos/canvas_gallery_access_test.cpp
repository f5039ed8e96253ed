// The widget gallery's accessibility and scrolling end to end on the headless backend: what the
// runtime publishes reaches the view's elements through the adapter and the host, actions on the
// elements edit the widgets, and the gallery's scroll views stay the runtime's own.

#include <gtest/gtest.h>

#include <fstream>

#include "host_harness.hpp"
#include "platform/macos/appkit_canvas_access.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "support/app_on_host.hpp"
#include "support/canvas_gallery.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using standin::HeadlessStandIn;

// The gallery opened by a page at 200 ms of virtual time; `act` runs at the times given.
class GalleryOnHeadless : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(h.create(), nullptr);
        std::ofstream(root.path("index.html")) << "<p>gallery</p>";
        app = std::make_unique<testing::AppOnHost>(h.host, root.path());
        app->runtime->builtinPolicy = Policy{{}, testing::kGalleryViewRules, true};
        app->onEvent = [this](Runtime& runtime, const RuntimeEvent& event) { install(runtime, event); };
        h.platform.at(200'000'000, [this] {
            HeadlessStandIn::WebView& page = *h.platform.webViews().at(0);
            const std::string token = h.pageToken(page);
            h.platform.pagePost(h.platform.ref(page), "kelvoBridge",
                                token + R"({"id":"1","command":"kelvo.view.create","payload":{"label":"gallery",)"
                                        R"("kind":"gpuSurface","frame":{"x":0,"y":0,"width":1280,"height":800}}})");
        });
    }

    void runUntil(std::uint64_t endNs) {
        h.platform.at(endNs, [this] { kelvo_appkit_stop(h.host); });
        ASSERT_TRUE(app->run());
    }

    HeadlessStandIn::NativeView& gallery() { return *h.platform.nativeView("gallery"); }

    const HeadlessStandIn::Element* element(std::uint64_t widgetId) {
        for (const HeadlessStandIn::Element& e : gallery().elements) {
            if (e.shape.widgetId == widgetId) return &e;
        }
        return nullptr;
    }

    const WidgetLayoutNode& node(std::uint64_t widgetId) {
        const Runtime& runtime = *app->runtime;
        const std::size_t view = *findViewIndex(runtime, 1, "gallery");
        return canvasSlotOf(runtime.canvasSlots, runtime.views[view])
            ->tree.nodes[*canvasWidgetNodeIndex(runtime, view, widgetId)];
    }

    testing::HostHarness h;
    testing::TempFolder root;
    std::unique_ptr<testing::AppOnHost> app;
    testing::GalleryInstaller install;
};

std::string selectionOf(const HeadlessStandIn::Element& e) {
    if (!e.shape.selectionStart) return "none";
    return std::to_string(*e.shape.selectionStart) + "+" + std::to_string(e.shape.selectionLength) + " " +
           e.selectedText;
}

// Text offsets count bytes in the runtime and UTF-16 units at the elements: both ways they are
// converted, here across characters of two and four bytes (one and two units).
TEST_F(GalleryOnHeadless, TextFieldsReachTheirElementsAndTheirActionsEditThem) {
    std::string seen;
    h.platform.at(400'000'000, [&] {
        const HeadlessStandIn::Element* named = element(42);
        const HeadlessStandIn::Element* empty = element(43);
        ASSERT_NE(named, nullptr);
        ASSERT_NE(empty, nullptr);
        // "Zoë édits", bytes 1 to 6 selected in the tree: the end falls inside "é" and moves back.
        EXPECT_EQ(named->text, "Zoë édits");
        EXPECT_EQ(named->shape.characterCount, 9u);
        EXPECT_EQ(selectionOf(*named), "1+3 oë ");
        EXPECT_EQ(named->shape.caretOffset, 4u);
        EXPECT_EQ(empty->text, "");
        EXPECT_EQ(empty->placeholder, "Placeholder");
        EXPECT_EQ(empty->shape.caretOffset, 0u);
        EXPECT_TRUE(empty->shape.valueSettable);
        EXPECT_TRUE(empty->shape.selectionSettable);
        h.platform.userActOnElement(gallery(), 43, {standin::ElementActionKind::set_value, "a👍b é"});
    });
    h.platform.at(500'000'000, [&] {
        const HeadlessStandIn::Element* typed = element(43);
        ASSERT_NE(typed, nullptr);
        EXPECT_EQ(typed->text, "a👍b é");
        EXPECT_EQ(typed->shape.characterCount, 6u);
        EXPECT_EQ(typed->shape.caretOffset, 6u);
        // Units 1 to 5: the two units of the emoji, "b" and the space.
        h.platform.userActOnElement(gallery(), 43, {standin::ElementActionKind::set_selection, {}, 1, 4});
    });
    h.platform.at(600'000'000, [&] {
        seen = selectionOf(*element(43));
        h.platform.userActOnElement(gallery(), 42, {standin::ElementActionKind::set_selection, {}, 4, 1});
    });
    runUntil(700'000'000);

    EXPECT_EQ(seen, "1+4 👍b ");
    EXPECT_EQ(node(43).text, "a👍b é");
    ASSERT_TRUE(node(43).selection);
    EXPECT_EQ(node(43).selection->start, 1u);
    EXPECT_EQ(node(43).selection->end, 7u);
    EXPECT_EQ(selectionOf(*element(42)), "4+1 é");
    ASSERT_TRUE(node(42).selection);
    EXPECT_EQ(node(42).selection->start, 5u);
    EXPECT_EQ(node(42).selection->end, 7u);
}

// On Linux the runtime keeps scroll drivers off: although the platform offers them, no scroll
// view is handed over, and the wheel scrolls the gallery's list by the runtime's own scrolling.
TEST_F(GalleryOnHeadless, ScrollViewsStayTheRuntimesOwnAlthoughThePlatformOffersDrivers) {
    bool offered = false;
    float before = 0;
    h.platform.at(400'000'000, [&] {
        offered = supports(app->runtime->platform, PlatformFeature::gpu_surface_scroll_drivers);
        before = node(57).value;
        standin::CanvasInputEvent wheel;
        wheel.type = standin::CanvasInputType::wheel;
        wheel.x = 100;
        wheel.y = 400;
        wheel.deltaY = 10;
        h.platform.userCanvasInput(gallery(), wheel);
    });
    runUntil(800'000'000);

    EXPECT_TRUE(offered);
    EXPECT_EQ(canvasAccessOf(*findCanvasView(*h.host, 1, "gallery")).drivers.count, 0u);
    const Runtime& runtime = *app->runtime;
    const CanvasSlot& slot = *canvasSlotOf(runtime.canvasSlots, runtime.views[*findViewIndex(runtime, 1, "gallery")]);
    for (std::size_t i = 0; i < slot.tree.node_count; ++i) {
        EXPECT_EQ(slot.tree.nodes[i].platform_driven, 0u) << "widget " << slot.tree.nodes[i].id;
    }
    EXPECT_NE(node(57).value, before) << "the wheel did not scroll the list";
}

}  // namespace
}  // namespace kelvo
