// The input logic of a canvas view on its own: what only a focused text widget, an input method's
// own ranges or a scroll driver bring about.

#include "platform/macos/canvas/canvas_input.hpp"

#include <gtest/gtest.h>

#include <charconv>

#include "support/golden.hpp"

namespace kelvo {
namespace {

struct Sent {
    CanvasInputKind kind;
    std::string key;
    std::string text;
    std::uint32_t modifiers;
    std::optional<std::uint64_t> cursor;
    double x;
    double y;
};

// A bound view whose events, posted steps and frame requests are kept.
struct InputRig {
    SurfaceView surface;
    CanvasInput input;
    std::vector<Sent> sent;
    int firstFrameRequests = 0;
    std::optional<CanvasTextElement> focused;
    int wheelsRouted = 0;

    InputRig() {
        SurfacePort port;
        port.context = this;
        port.emitEvent = [](void* c, const KelvoHostEvent& e) {
            std::optional<std::uint64_t> cursor;
            if (e.hasCompositionCursor) cursor = e.compositionCursor;
            rig(c).sent.push_back({static_cast<CanvasInputKind>(e.inputKind), std::string(e.keyText.view()),
                                   std::string(e.inputText.view()), e.modifiers, cursor, e.x, e.y});
        };
        port.post = [](void* c, std::uint64_t, SurfaceStep step, std::uint64_t) {
            rig(c).firstFrameRequests += step == SurfaceStep::firstFrameRequest ? 1 : 0;
        };
        surface.port = port;
        surface.bound = true;
        surface.label = "pad";
        surface.height = 200;
        CanvasInputPort inputPort;
        inputPort.focusedTextElement = [](void* c, CanvasTextElement* element) {
            if (!rig(c).focused) return false;
            *element = *rig(c).focused;
            return true;
        };
        inputPort.textElementContext = this;
        initCanvasInput(input, surface, inputPort);
    }

    static InputRig& rig(void* c) { return *static_cast<InputRig*>(c); }
};

std::uint64_t number(const std::string& text) {
    if (text == "none") return kUtf16RangeNone;
    std::uint64_t value = 0;
    const bool hex = text.starts_with("0x");
    std::from_chars(text.data() + (hex ? 2 : 0), text.data() + text.size(), value, hex ? 16 : 10);
    return value;
}

TEST(CanvasInput, EditingKeysOfAFocusedTextWidgetAreSentAsTheirCommands) {
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/editing_keys.txt")) {
        InputRig r;
        r.focused = CanvasTextElement{{0, 0, 100, 20}, 5};
        CanvasKeyInput key{static_cast<std::uint32_t>(number(row[0])), static_cast<std::uint32_t>(number(row[1])),
                           static_cast<std::uint32_t>(number(row[2])), row[3] == "1"};
        canvasKeyDown(r.input, key);
        const std::string context = row[0] + " " + row[2];
        if (row[5] == "none") {
            EXPECT_TRUE(r.sent.empty()) << context;
            continue;
        }
        ASSERT_EQ(r.sent.size(), 1u) << context;
        EXPECT_EQ(r.sent[0].kind, CanvasInputKind::keyDown) << context;
        EXPECT_EQ(r.sent[0].key, row[5]) << context;
        EXPECT_EQ(r.sent[0].modifiers, number(row[6])) << context;
        EXPECT_FALSE(r.input.interpretedKeyEmittedInput);
    }
}

// An input method's ranges in UTF-16 units, however far out of the text they reach.
TEST(CanvasInput, CompositionCursorStaysInsideTheText) {
    struct Case {
        std::string_view text;
        Utf16Range selected;
        std::uint64_t cursor;
        Utf16Range kept;
    };
    const Case cases[] = {
        {"abc", {kUtf16RangeNone, 0}, 3, {3, 0}},
        {"abcde", {1, 2}, 3, {1, 2}},
        {"abcde", {UINT64_MAX - 1, 5}, 5, {5, 0}},
        {"abcde", {2, UINT64_MAX}, 5, {2, 3}},
        {"a\xf0\x9f\x98\x80", {kUtf16RangeNone, 0}, 3, {3, 0}},
    };
    for (const Case& c : cases) {
        InputRig r;
        canvasSetMarkedText(r.input, c.text, c.selected);
        ASSERT_EQ(r.sent.size(), 1u);
        EXPECT_EQ(r.sent[0].kind, CanvasInputKind::compositionUpdate);
        EXPECT_EQ(r.sent[0].cursor, c.cursor) << c.text << " " << c.selected.location;
        EXPECT_EQ(r.input.selectedRange, c.kept) << c.text << " " << c.selected.location;
        EXPECT_EQ(r.input.markedRange, (Utf16Range{0, utf16Length(c.text)}));
    }
}

TEST(CanvasInput, CaretRectangleSpreadsCharactersOverTheWidget) {
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/caret_rects.txt")) {
        InputRig r;
        r.focused = CanvasTextElement{{std::stod(row[0]), std::stod(row[1]), std::stod(row[2]), std::stod(row[3])},
                                      number(row[4])};
        Utf16Range actual;
        const CanvasRect rect = canvasCaretRect(r.input, {number(row[5]), number(row[6])}, &actual);
        const std::string context = row[4] + " " + row[5] + " " + row[6];
        EXPECT_DOUBLE_EQ(rect.x, std::stod(row[8])) << context;
        EXPECT_DOUBLE_EQ(rect.y, std::stod(row[9])) << context;
        EXPECT_DOUBLE_EQ(rect.width, std::stod(row[10])) << context;
        EXPECT_DOUBLE_EQ(rect.height, std::stod(row[11])) << context;
        EXPECT_EQ(actual, (Utf16Range{number(row[12]), number(row[13])})) << context;
    }
}

TEST(CanvasInput, EditMenuActsOnFocusedTextWidgetsOnly) {
    InputRig r;
    EXPECT_FALSE(canvasEditCommandEnabled(r.input, CanvasEditCommand::cut));
    EXPECT_FALSE(canvasEditCommandEnabled(r.input, CanvasEditCommand::paste));
    EXPECT_TRUE(canvasEditCommandEnabled(r.input, CanvasEditCommand::copy));
    canvasEditCommand(r.input, CanvasEditCommand::cut);
    canvasEditCommand(r.input, CanvasEditCommand::selectAll);
    canvasEditCommand(r.input, CanvasEditCommand::copy);
    r.focused = CanvasTextElement{{0, 0, 100, 20}, 5};
    EXPECT_TRUE(canvasEditCommandEnabled(r.input, CanvasEditCommand::paste));
    canvasEditCommand(r.input, CanvasEditCommand::paste);
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[0].key, "c");
    EXPECT_EQ(r.sent[0].modifiers, kInputCommandKey);
    EXPECT_EQ(r.sent[1].key, "v");
    EXPECT_EQ(r.sent[1].modifiers, kInputCommandKey);
}

// Input asks a view that has not yet had its first frame for one.
TEST(CanvasInput, InputAsksForAFrame) {
    InputRig r;
    r.surface.width = 300;
    canvasPointerButton(r.input, true, 1, 2, 0, 0);
    EXPECT_EQ(r.firstFrameRequests, 1);
    // A view without a label sends nothing and asks nothing.
    InputRig quiet;
    quiet.surface.label.clear();
    canvasPointerButton(quiet.input, true, 1, 2, 0, 0);
    EXPECT_TRUE(quiet.sent.empty());
    EXPECT_EQ(quiet.firstFrameRequests, 0);
}

TEST(CanvasInput, WheelTakenByAScrollDriverIsNotSent) {
    InputRig r;
    r.input.port.routeWheel = [](void* c, const CanvasWheelInput& wheel) {
        InputRig::rig(c).wheelsRouted += 1;
        return wheel.x < 100;  // a driver covers the left part
    };
    r.input.port.routeWheelContext = &r;
    canvasWheel(r.input, {50, 10, 0, 3, 0, WheelPhase::changed});
    EXPECT_FALSE(r.input.wheelPending);
    canvasWheel(r.input, {150, 10, 0, 3, 0, WheelPhase::changed});
    EXPECT_TRUE(r.input.wheelPending);
    EXPECT_EQ(r.wheelsRouted, 2);
}

// A motion long after the last one waits for nothing; one soon after waits out the interval.
TEST(CanvasInput, CoalescingDelayNeverWraps) {
    constexpr std::uint64_t interval = 16'666'666;
    EXPECT_EQ(coalescingDelayNs(std::nullopt, 5, interval), 0u);
    EXPECT_EQ(coalescingDelayNs(1'000, 1'000 + interval + 1, interval), 0u);
    EXPECT_EQ(coalescingDelayNs(0, 1'000'000'000, interval), 0u);
    EXPECT_EQ(coalescingDelayNs(1'000, 6'000, interval), interval - 5'000);
}

}  // namespace
}  // namespace kelvo
