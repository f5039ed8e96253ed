// The animations refreshes schedule: the caret blink of the focused text entry and the pulse,
// turn or fading dots of loading indicators, step by step against a golden file.

#include <gtest/gtest.h>

#include <string>

#include "canvas_display_scenario.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "support/golden.hpp"
#include "widgets/widget_render_controls.hpp"

namespace kelvo {
namespace {

using testing::numberText;
using testing::rectText;

std::string keyText(std::uint64_t key) { return std::to_string(key >> 4) + "." + std::to_string(key & 15); }

std::string animationText(const WidgetAnimationTable& table) {
    std::string out;
    const auto pair = [&](const char* name, std::optional<float> from, std::optional<float> to) {
        if (from || to) {
            out +=
                std::string(" ") + name + "=" + (from ? numberText(*from) : "-") + "->" + (to ? numberText(*to) : "-");
        }
    };
    for (const WidgetAnimation& a : table.entries) {
        out += "  " + keyText(a.key) + " start=" + std::to_string(a.start_ns) + " ms=" + std::to_string(a.duration_ms);
        pair("opacity", a.from_opacity, a.to_opacity);
        pair("angle", a.from_angle, a.to_angle);
        if (a.from_angle) out += " pivot=" + numberText(a.pivot_x) + "," + numberText(a.pivot_y);
        out += " easing=" + std::to_string(static_cast<int>(a.easing)) +
               " repeat=" + std::to_string(static_cast<int>(a.repeat)) + " spring=" + numberText(a.spring_mass) + "/" +
               numberText(a.spring_stiffness) + "/" + numberText(a.spring_damping) + "\n";
    }
    for (const WidgetAnimationDirty& d : table.dirty) {
        out += "  dirty " + keyText(d.key) + " " + (d.rect ? rectText(*d.rect) : "-") + "\n";
    }
    return out;
}

// The tree of most steps: a text field, a skeleton and a spinner, with the spinner's tokens and
// the field's selection and the skeleton's visibility given.
std::string tree(const std::string& tokens, const std::string& selection, bool skeletonHidden) {
    return "tokens snap_geometry=1 pixel_scale=2 " + tokens +
           "\n"
           "column id=1 rect=0,0,320,240\n"
           "  text_field id=2 rect=10,10,200,30 text=\"hello\" selection=" +
           selection +
           "\n"
           "  skeleton id=3 rect=10,50,100,20" +
           (skeletonHidden ? " hidden=1" : "") +
           "\n"
           "  spinner id=4 rect=10.3,80.3,24,24\n"
           "  search_field id=6 rect=10,120,200,30 text=\"find\" selection=2,2\n";
}

class CanvasAnimations : public testing::CanvasDisplayScenario {
protected:
    void step(const std::string& name, const std::string& treeText, std::uint64_t now) {
        interaction().lastInputNs = now;
        interaction().pendingInputNs = now - 100;
        ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, kCanvas, treeText));
        out_ += "== " + name + "\n" + animationText(slot().animations);
    }

    std::string out_;
};

TEST_F(CanvasAnimations, RefreshesScheduleCaretsAndLoadingIndicators) {
    canvas().focused = true;
    interaction().focusedWidget = interaction().focusVisibleWidget = 2;
    step("a blinking caret, a pulsing skeleton and a turning arc spinner", tree("", "5,5", false), 5'000'000'000);
    step("later input restarts the caret's steady time; indicators keep their start", tree("", "5,5", false),
         6'000'000'000);
    // A new tree with the same text keeps what the user selected, so the selection is made as the
    // user would.
    ASSERT_TRUE(applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {{}, 0, 5, false, TextEditKind::set_selection}));
    step("a selection stops the caret", tree("", "0,5", false), 6'100'000'000);
    step("a ring spinner fades four dots a quarter period apart",
         tree("spinner_style=1 spinner_dot_count=4 spinner_period=800 spinner_min_alpha=2", "0,5", false),
         6'200'000'000);
    step("hiding the skeleton removes its pulse; the dots keep their phase",
         tree("spinner_style=1 spinner_dot_count=4 spinner_period=800", "0,5", true), 7'000'000'000);
    interaction().focusedWidget = interaction().focusVisibleWidget = 6;
    step("a search field blinks under its own caret part", tree("", "0,5", true), 8'000'000'000);
    interaction().focusVisibleWidget = 0;
    step("a focus that is not shown has no caret", tree("", "0,5", true), 9'000'000'000);
    testing::expectGolden("runtime/canvas_animations.golden.txt", out_);
}

TEST_F(CanvasAnimations, ARefreshSchedulesAtMost64IndicatorKeys) {
    const auto skeletons = [](int count, const std::string& between) {
        std::string text = "tokens spinner_style=1 spinner_dot_count=4\ncolumn id=1 rect=0,0,320,240\n";
        for (int i = 0; i < count; ++i) {
            text += "  skeleton id=" + std::to_string(i + 10) + " rect=0," + std::to_string(i) + ",10,1\n";
        }
        return text + between + "  skeleton id=9 rect=0,100,10,1\n";
    };
    install(skeletons(70, ""));
    EXPECT_EQ(slot().animations.entries.size(), 64u);
    EXPECT_EQ(slot().animations.dirty.size(), 64u);
    EXPECT_FALSE(slot().animations.find(widgetAnimationKey(9, 1)));
    // A ring whose dots would pass the budget ends the scheduling.
    install(skeletons(62, "  spinner id=8 rect=0,90,10,10\n"));
    EXPECT_EQ(slot().animations.entries.size(), 62u);
    EXPECT_EQ(slot().scheduled.indicatorKeys.size(), 62u);
}

TEST_F(CanvasAnimations, ACaretBlinksOnlyWhereItCanBeSeenFromTheLaterOfFrameAndInput) {
    const auto field = [](int y) {
        return "column id=1 rect=0,0,320,240\n"
               "  scroll_view id=5 rect=0,0,200,100\n"
               "    text_field id=2 rect=10," +
               std::to_string(y) + ",180,30 text=\"hi\" selection=2,2\n";
    };
    const std::uint64_t caret = widgetAnimationKey(2, text_field_parts::kCaret);
    canvas().focused = true;
    interaction().focusedWidget = interaction().focusVisibleWidget = 2;
    interaction().lastInputNs = 5'000'000'000;
    canvas().canvas.tick.frameTimeNs = 9'000'000'000;
    // Scrolled out of the list's sight: no blink.
    install(field(150));
    EXPECT_EQ(slot().animations.find(caret), nullptr);
    // In sight: the blink waits its steady time from the last frame, which came after the input.
    install(field(10));
    const WidgetAnimation* blink = slot().animations.find(caret);
    ASSERT_NE(blink, nullptr);
    EXPECT_EQ(blink->start_ns, 9'500'000'000u);
    interaction().lastInputNs = 12'000'000'000;
    install(field(20));
    EXPECT_EQ(slot().animations.find(caret)->start_ns, 12'500'000'000u);
}

// A focused field whose container is closed (a hidden surface, a closed accordion) is not seen:
// its caret neither blinks nor repaints the field's area; opening the container brings it back.
TEST_F(CanvasAnimations, ACaretInAClosedContainerNeitherBlinksNorRepaints) {
    const auto trees = {
        std::pair{"  popover id=5 rect=0,0,220,60 hidden=1\n", "  popover id=5 rect=0,0,220,60\n"},
        std::pair{"  accordion id=5 rect=0,0,220,30 text=\"More\"\n", "  accordion id=5 rect=0,0,220,60 selected=1\n"},
    };
    const std::uint64_t caret = widgetAnimationKey(2, text_field_parts::kCaret);
    for (const auto& [closed, open] : trees) {
        SCOPED_TRACE(closed);
        const auto tree = [](const char* container) {
            return std::string("column id=1 rect=0,0,320,240\n") + container +
                   "    text_field id=2 rect=10,30,180,24 text=\"hi\" selection=2,2 actions=focus\n";
        };
        canvas().focused = true;
        interaction().focusedWidget = interaction().focusVisibleWidget = 2;
        interaction().lastInputNs = 5'000'000'000;
        install(tree(closed));
        EXPECT_EQ(slot().animations.find(caret), nullptr);
        for (const WidgetAnimationDirty& d : slot().animations.dirty) EXPECT_NE(d.key, caret);
        install(tree(open));
        EXPECT_NE(slot().animations.find(caret), nullptr);
    }
}

}  // namespace
}  // namespace kelvo
