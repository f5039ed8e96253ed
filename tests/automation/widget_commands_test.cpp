// The widget commands, provenance and screenshots, end to end through command files, and the
// aiming and action rules they rest on.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation_scenario.hpp"
#include "canvas-lab/lab_image.hpp"
#include "render/reference_frame.hpp"
#include "runtime/canvas/canvas_frames.hpp"
#include "runtime/canvas/canvas_images.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/canvas/widget_targets.hpp"
#include "runtime/journal_text.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_lookup.hpp"
#include "support/canvas_gallery.hpp"
#include "support/full_text_area.hpp"
#include "support/golden.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

using testing::AutomationScenario;
using Strings = std::vector<std::string>;

using testing::joined;

// Straight RGBA bytes of a PNG, read by libpng.
std::vector<std::uint8_t> decodePng(const std::string& file, std::uint32_t& width, std::uint32_t& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    width = image.width;
    height = image.height;
    return pixels;
}

// Automation over a window whose canvas view "canvas" shows widget_commands_tree.txt.
struct CanvasAutomation {
    CanvasAutomation() {
        Runtime& runtime = scenario.flow.runtime();
        EXPECT_TRUE(createView(runtime, testing::canvasOptions("canvas", {0, 0, 320, 240})));
        view = *findViewIndex(runtime, 1, "canvas");
        EXPECT_TRUE(
            installCanvasWidgetTreeText(runtime, view, testing::readData("automation/widget_commands_tree.txt")));
        scenario.flow.clearRecords();
    }

    void run(std::string_view command) {
        scenario.command("command-1.txt", std::string(command) + "\n");
        ASSERT_TRUE(scenario.frame()) << command;
    }

    // The widget's line of "snapshot.txt".
    std::string widgetLine(std::uint64_t id) {
        const std::string text = scenario.file("snapshot.txt");
        const std::string key = "canvas#" + std::to_string(id) + " ";
        const std::size_t at = text.find(key);
        if (at == std::string::npos) return "(none)";
        return text.substr(at, text.find('\n', at) - at);
    }
    // The view presents what it shows and settles: its next plan has nothing new to draw.
    void settle() {
        Runtime& runtime = scenario.flow.runtime();
        const Result<CanvasFrame> presented =
            planCanvasFrameForView(runtime, view, CanvasFrameRequest{}, canvasFrameStorageForThread());
        ASSERT_TRUE(presented);
        ASSERT_TRUE(commitPresentedCanvasFrameForView(runtime, view, *presented));
        ASSERT_TRUE(
            planCanvasFrameForView(runtime, view, CanvasFrameRequest{}, canvasFrameStorageForThread())->unchanged);
    }

    // "screenshot-canvas.png" holds the whole frame as the reference renderer draws the view's
    // display list.
    void expectReferencePixels() {
        Runtime& runtime = scenario.flow.runtime();
        const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[view]);
        ReferenceFrameRequest request;
        request.commands = slot->displayList.commands();
        request.width = 320;
        request.height = 240;
        request.clear = canvasClearColor(runtime, runtime.views[view]);
        Result<PngBytes> expected = renderDisplayListPng(request);
        ASSERT_TRUE(expected);
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::uint32_t expectedWidth = 0;
        std::uint32_t expectedHeight = 0;
        const std::vector<std::uint8_t> shot = decodePng(scenario.file("screenshot-canvas.png"), width, height);
        const std::vector<std::uint8_t> drawn =
            decodePng(std::string(reinterpret_cast<const char*>(expected->data.get()), expected->size), expectedWidth,
                      expectedHeight);
        EXPECT_EQ(width, 320u);
        EXPECT_EQ(height, 240u);
        ASSERT_FALSE(shot.empty());
        EXPECT_TRUE(shot == drawn) << "the screenshot differs from the reference render";
    }

    AutomationScenario scenario;
    std::size_t view = 0;
};

TEST(WidgetCommands, ClickDragTextScreenshotAndProvenanceFromOneFolder) {
    CanvasAutomation canvas;
    AutomationScenario& s = canvas.scenario;
    s.command("command-1.txt", "widget-click canvas 2\n");
    s.command("command-2.txt", "widget-drag canvas 3 0 1\n");
    s.command("command-3.txt", "widget-action canvas 4 set-text Hello there\n");
    s.command("command-4.txt", "screenshot canvas\n");
    s.command("command-5.txt", "provenance canvas 2\n");
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(s.frame());
    EXPECT_EQ(s.errors(), Strings{});

    EXPECT_NE(canvas.widgetLine(2).find("state=[selected]"), std::string::npos) << canvas.widgetLine(2);
    EXPECT_NE(canvas.widgetLine(3).find(" value=1 "), std::string::npos) << canvas.widgetLine(3);
    EXPECT_NE(canvas.widgetLine(4).find("text=\"Hello there\""), std::string::npos) << canvas.widgetLine(4);
    EXPECT_EQ(s.file("provenance.txt"),
              "provenance error view=canvas id=2 message=\"the app exposes no widget provenance - it needs the markup "
              "interpreter (UiAppFeatures.runtime_markup) running under automation; compiled-only (release) views "
              "report none\"\n");

    EXPECT_FALSE(s.exists("screenshot-canvas.png.tmp"));
    canvas.expectReferencePixels();
    EXPECT_NE(s.flow.traces().back().find("\"automation.screenshot\""), std::string::npos) << s.flow.traces().back();
}

// The widget gallery with the lab's image registered: the screenshot shows the image in the
// gallery's image widget, each quarter in its colour.
TEST(WidgetCommands, AScreenshotShowsTheRegisteredImageInTheGallery) {
    AutomationScenario s;
    Runtime& runtime = s.flow.runtime();
    static constexpr LabImagePixels kImage = labImagePixels();
    ASSERT_TRUE(registerCanvasImage(runtime, kLabImageId, kLabImageSide, kLabImageSide, kImage));
    ASSERT_TRUE(createView(runtime, testing::canvasOptions("gallery", {0, 0, 1280, 800})));
    ASSERT_TRUE(
        installCanvasWidgetTreeText(runtime, *findViewIndex(runtime, 1, "gallery"), testing::galleryTreeText()));
    s.command("command-1.txt", "screenshot gallery\n");
    ASSERT_TRUE(s.frame());
    EXPECT_EQ(s.errors(), Strings{});
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::vector<std::uint8_t> shot = decodePng(s.file("screenshot-gallery.png"), width, height);
    ASSERT_EQ(width, 1280u);
    ASSERT_FALSE(shot.empty());
    for (std::size_t quarter = 0; quarter < 4; ++quarter) {
        const auto [x, y] = testing::GalleryInstaller::kImageQuarterCentres[quarter];
        const std::size_t at = (std::size_t{y} * width + x) * 4;
        const std::array<std::uint8_t, 4> shown = {shot[at], shot[at + 1], shot[at + 2], shot[at + 3]};
        EXPECT_EQ(shown, kLabImageQuarters[quarter]) << quarter;
    }
}

TEST(WidgetCommands, LabelsBecomeFileNamesAndScalesSizeThePicture) {
    CanvasAutomation canvas;
    AutomationScenario& s = canvas.scenario;
    Runtime& runtime = s.flow.runtime();
    ASSERT_TRUE(createView(runtime, testing::canvasOptions("chart#2", {0, 0, 40, 30})));
    ASSERT_TRUE(createView(runtime, testing::canvasOptions("a.b_c", {0, 0, 0, 0})));
    // A settled view is drawn whole all the same.
    canvas.settle();
    canvas.run("screenshot canvas");
    canvas.expectReferencePixels();

    std::vector<std::uint8_t> journal;
    auto recorder = std::make_unique<SessionRecorder>();
    recorder->writer = SessionWriter{&journal, [](void* context, std::span<const std::uint8_t> bytes) -> Status {
                                         auto& out = *static_cast<std::vector<std::uint8_t>*>(context);
                                         out.insert(out.end(), bytes.begin(), bytes.end());
                                         return {};
                                     }};
    recorder->enabled = true;
    runtime.sessionRecorder = recorder.get();

    canvas.run("screenshot chart#2 2");
    runtime.sessionRecorder = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    EXPECT_FALSE(decodePng(s.file("screenshot-chart-2.png"), width, height).empty());
    EXPECT_EQ(width, 80u);
    EXPECT_EQ(height, 60u);
    EXPECT_EQ(recorder->screenshots, 1u);
    // One screenshot record (kind 5): the label and 32 bytes besides.
    std::vector<std::size_t> screenshotLengths;
    for (const testing::Bytes& record : testing::splitJournal(journal)) {
        if (record[0] == 5) screenshotLengths.push_back(record.size() - 5);
    }
    EXPECT_EQ(screenshotLengths, std::vector<std::size_t>{7 + 32});

    // Neither surface nor frame has area: nothing to draw, and nothing is written.
    canvas.run("screenshot a.b_c");
    EXPECT_FALSE(s.exists("screenshot-a.b_c.png"));
    EXPECT_NE(s.flow.traces().back().find("InvalidGpuSurfacePixels"), std::string::npos) << s.flow.traces().back();
    for (std::string_view refused : {"screenshot canvas 0", "screenshot canvas -1", "screenshot canvas x",
                                     "screenshot canvas 1 2", "screenshot main"}) {
        canvas.run(refused);
        const std::string& trace = s.flow.traces().back();
        EXPECT_NE(trace.find("automation.screenshot_failed"), std::string::npos) << refused << ": " << trace;
    }
    EXPECT_NE(s.flow.traces().back().find("ViewNotFound"), std::string::npos);
    EXPECT_EQ(s.errors(), Strings{});
}

TEST(WidgetCommands, EachCommandRecordsWhatTheTableSays) {
    for (const std::string& line : testing::readLines("automation/widget_command_errors.txt")) {
        const std::size_t arrow = line.find(" => ");
        ASSERT_NE(arrow, std::string::npos) << line;
        CanvasAutomation canvas;
        canvas.run(line.substr(0, arrow));
        EXPECT_EQ(joined(canvas.scenario.errors()), line.substr(arrow + 4)) << line;
    }
}

TEST(WidgetCommands, AimPointsFollowTheIndicatorAndTrackTables) {
    for (const std::string& line : testing::readLines("automation/widget_aim_points.txt")) {
        char kind[32] = {};
        unsigned size = 0;
        unsigned density = 0;
        int snap = 0;
        float scale = 0;
        Rect frame;
        Point expected;
        ASSERT_EQ(std::sscanf(line.c_str(), "%31s %u %u %d %f %f %f %f %f => %f %f", kind, &size, &density, &snap,
                              &scale, &frame.x, &frame.y, &frame.width, &frame.height, &expected.x, &expected.y),
                  11)
            << line;
        WidgetLayoutNode node;
        node.kind = static_cast<std::uint8_t>(*widgetKindFromName(kind));
        node.size = static_cast<std::uint8_t>(size);
        WidgetTokens tokens;
        tokens.density = static_cast<std::uint8_t>(density);
        tokens.snap_geometry = snap != 0;
        tokens.pixel_scale = scale;
        const Point aim = canvasWidgetAimPoint(node, normalizeRect(frame), tokens);
        EXPECT_FLOAT_EQ(aim.x, expected.x) << line;
        EXPECT_FLOAT_EQ(aim.y, expected.y) << line;
    }
}

TEST(WidgetCommands, AccessibilityActionsRunOnlyWhatTheWidgetDeclares) {
    CanvasAutomation canvas;
    FlowScenario& flow = canvas.scenario.flow;
    // The button declares press, not set-text.
    ASSERT_TRUE(flow.dispatch(WidgetAccessibilityActionEvent{1, "canvas", 9, "x", std::nullopt, 5}));
    ASSERT_TRUE(flow.dispatch(WidgetAccessibilityActionEvent{1, "canvas", 4, "typed", std::nullopt, 5}));
    // A selection range rides in the event's value.
    ASSERT_TRUE(flow.dispatch(WidgetAccessibilityActionEvent{1, "canvas", 4, "", AccessibilityActionValue{1, 3}, 6}));
    EXPECT_EQ(canvas.scenario.errors(), Strings{"widget_accessibility_action InvalidCommand"});
    ASSERT_TRUE(canvas.scenario.frame());
    EXPECT_NE(canvas.widgetLine(4).find("text=\"typed\""), std::string::npos) << canvas.widgetLine(4);
    EXPECT_NE(canvas.widgetLine(4).find("selection=1..3"), std::string::npos) << canvas.widgetLine(4);
}

// The channel bytes of a colour (straight, 0..1 each).
std::array<int, 3> colourBytes(const Color& colour) {
    const auto byte = [](float c) { return static_cast<int>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255)); };
    return {byte(colour.r), byte(colour.g), byte(colour.b)};
}

TEST(WidgetCommands, AScreenshotOfATextAreaHoldingAllItCanShowsTheSelectionOnEveryLine) {
    AutomationScenario s;
    Runtime& runtime = s.flow.runtime();
    ASSERT_TRUE(createView(runtime, testing::canvasOptions("notes", {0, 0, 660, 400})));
    const std::size_t view = *findViewIndex(runtime, 1, "notes");
    // Installing draws the view: the text and its selected glyphs must fit the display list.
    ASSERT_TRUE(installCanvasWidgetTreeText(runtime, view, testing::fullTextAreaTree(660, 400)));
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[view]);
    ASSERT_EQ(slot->tree.nodes[1].text.size(), kWidgetTextStoreBytes);
    s.command("command-1.txt", "screenshot notes\n");
    ASSERT_TRUE(s.frame());
    EXPECT_EQ(s.errors(), Strings{});

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::vector<std::uint8_t> shot = decodePng(s.file("screenshot-notes.png"), width, height);
    ASSERT_EQ(width, 660u);
    ASSERT_EQ(height, 400u);
    // Every line the box shows is highlighted (the glyphs over it take the rest).
    const std::array<int, 3> accent = colourBytes(slot->tree.tokens.color(PaletteColor::accent));
    const auto highlighted = [&](std::uint32_t y) {
        std::uint32_t count = 0;
        for (std::uint32_t x = 10; x < 650; ++x) {
            const std::uint8_t* p = &shot[(static_cast<std::size_t>(y) * width + x) * 4];
            bool near = true;
            for (int c = 0; c < 3; ++c) near = near && std::abs(p[c] - accent[c]) <= 3;
            count += near ? 1 : 0;
        }
        return count;
    };
    for (std::uint32_t y = 30; y < 380; y += 7) EXPECT_GT(highlighted(y), 20u) << "row " << y;
}

}  // namespace
}  // namespace kelvo
