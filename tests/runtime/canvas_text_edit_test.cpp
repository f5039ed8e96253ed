// Editing canvas text entries through the runtime: the text store kept whole, the context menu's
// items carried out through the event dispatcher with the clipboard calls they make, the
// clipboard shortcuts, a failed semantics collection, and text state carried across new trees.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canvas_display_scenario.hpp"
#include "runtime/bridge/clipboard_services.hpp"
#include "runtime/canvas/canvas_text_context_menu.hpp"
#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/flow/dispatch.hpp"
#include "support/stderr_capture.hpp"
#include "text/text_interaction.hpp"

namespace kelvo {
namespace {

constexpr const char* kEditor =
    "column id=1 rect=0,0,320,240\n"
    "  text_field id=2 rect=10,10,200,30 text=\"hello world\" selection=0,5\n"
    "  text_area id=3 rect=10,50,200,100 text=\"\" placeholder=\"Notes\"\n"
    "  text id=4 rect=10,160,200,20 text=\"static words\" selection=0,6\n";

class CanvasTextEdit : public testing::CanvasDisplayScenario {
protected:
    void SetUp() override {
        CanvasDisplayScenario::SetUp();
        install(kEditor);
        canvas().focused = true;
        interaction().focusedWidget = 2;
        binding.appContext = this;
        binding.eventHandler = [](void* self, Runtime&, const RuntimeEvent& event) -> Status {
            if (const auto* key = std::get_if<CanvasWidgetKeyboardEvent>(&event)) {
                static_cast<CanvasTextEdit*>(self)->keyboard.push_back(std::to_string(key->widgetId) + ":" +
                                                                       std::string(key->text));
            }
            return {};
        };
    }

    const WidgetLayoutNode& node(std::size_t index) { return slot().tree.nodes[index]; }
    std::string selection(std::size_t index) {
        const auto& range = node(index).selection;
        return range ? std::to_string(range->start) + "," + std::to_string(range->end) : "-";
    }

    // Opens the entry's menu and answers it with `item` through the dispatcher.
    Status choose(std::uint32_t item, std::uint64_t widget = 2) {
        EXPECT_TRUE(showCanvasTextContextMenu(*runtime, kCanvas, widget, {20, 20}));
        return dispatchPlatformEvent(*runtime, binding, ContextMenuActionEvent{1, "canvas", widget, item});
    }
    std::vector<std::string> clipboardCalls() const {
        std::vector<std::string> calls;
        for (const auto& call : test.calls()) {
            if (call.slot <= PlatformSlot::writeClipboardData) calls.push_back(callName(call.slot) + " " + call.args);
        }
        return calls;
    }
    static std::string callName(PlatformSlot slot) { return std::string(platformSlotName(slot)); }

    AppBinding binding{};
    std::vector<std::string> keyboard;
};

TEST_F(CanvasTextEdit, EditsSpliceTheViewTextStoreAndEveryLaterTextFollows) {
    const std::size_t stored = slot().tree.text_length;
    auto dirty =
        applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {"HELLO there", 0, 0, false, TextEditKind::insert_text});
    ASSERT_TRUE(dirty && *dirty);
    EXPECT_EQ(node(1).text, "HELLO there world");
    EXPECT_EQ(node(2).placeholder, "Notes");
    EXPECT_EQ(node(3).text, "static words");
    EXPECT_EQ(node(0).childDescriptions()[0].text, "HELLO there world");
    EXPECT_EQ(slot().tree.text_length, stored + 6);
    // Nothing to delete at the start: no change, nothing to repaint.
    ASSERT_TRUE(applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {{}, 0, 0, false, TextEditKind::set_selection}));
    dirty = applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {{}, 0, 0, false, TextEditKind::delete_backward});
    ASSERT_TRUE(dirty);
    EXPECT_FALSE(*dirty);
    // Static texts and unknown widgets are not edited.
    dirty = applyCanvasWidgetTextEdit(*runtime, kCanvas, 4, {"x", 0, 0, false, TextEditKind::insert_text});
    EXPECT_TRUE(dirty && !*dirty);
    EXPECT_EQ(node(3).text, "static words");
}

TEST_F(CanvasTextEdit, ViewTextsOverTheStoreAreRefusedWithNothingChanged) {
    const std::size_t room = kWidgetTextStoreBytes - slot().tree.text_length;
    const std::string fits(room, 'a');
    ASSERT_TRUE(applyCanvasWidgetTextEdit(*runtime, kCanvas, 3, {fits, 0, 0, false, TextEditKind::insert_text}));
    EXPECT_EQ(node(2).text.size(), room);
    EXPECT_EQ(
        applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {"hello!", 0, 0, false, TextEditKind::insert_text}).error(),
        Error::WidgetTextTooLarge);
    EXPECT_EQ(node(1).text, "hello world");
    EXPECT_EQ(node(3).text, "static words");
}

TEST_F(CanvasTextEdit, AFailedSemanticsCollectionPutsTheTextStateBack) {
    slot().tree.nodes[3].depth = 40;  // the next collection fails
    const auto result =
        applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {"bye", 0, 0, false, TextEditKind::insert_text});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Error::WidgetDepthExceeded);
    EXPECT_EQ(node(1).text, "hello world");
    EXPECT_EQ(selection(1), "0,5");
    EXPECT_EQ(node(2).placeholder, "Notes");
    EXPECT_EQ(node(3).text, "static words");
}

TEST_F(CanvasTextEdit, ContextMenuItemsRunThroughTheDispatcherWithTheirClipboardCalls) {
    ASSERT_TRUE(choose(kTextMenuCopy));
    EXPECT_EQ(node(1).text, "hello world");
    ASSERT_TRUE(choose(kTextMenuCut));
    EXPECT_EQ(node(1).text, " world");
    EXPECT_EQ(selection(1), "0,0");
    ASSERT_TRUE(choose(kTextMenuSelectAll));
    EXPECT_EQ(selection(1), "0,6");
    test.answers().clipboardData["text/plain"] = "p\xC3\xA9";
    ASSERT_TRUE(choose(kTextMenuPaste));
    EXPECT_EQ(node(1).text, "p\xC3\xA9");
    EXPECT_EQ(selection(1), "3,3");
    EXPECT_EQ(keyboard, (std::vector<std::string>{"2:p\xC3\xA9"}));
    EXPECT_EQ(test.answers().clipboardData["text/plain"], "p\xC3\xA9");
    EXPECT_EQ(clipboardCalls(), (std::vector<std::string>{
                                    "writeClipboardData mimeType=text/plain data=5",
                                    "writeClipboardData mimeType=text/plain data=5",
                                    "readClipboardData mimeType=text/plain out=65536",
                                }));
    EXPECT_FALSE(runtime->pendingContextMenu.present);
    EXPECT_EQ(runtime->dispatchErrors.total, 0u);
}

TEST_F(CanvasTextEdit, PastingMoreThanAnEntryHoldsIsRefusedAndCutStopsWhenTheWriteFails) {
    test.answers().clipboardData["text/plain"] = std::string(kTextEditLimit + 1, 'x');
    ASSERT_TRUE(choose(kTextMenuPaste));
    EXPECT_EQ(node(1).text, "hello world");
    ASSERT_EQ(runtime->dispatchErrors.total, 1u);
    EXPECT_EQ(runtime->dispatchErrors.recent[0].error, Error::NoSpaceLeft);

    test.failSlot(PlatformSlot::writeClipboardData, Error::UnsupportedService, 1);
    ASSERT_TRUE(choose(kTextMenuCut));
    EXPECT_EQ(node(1).text, "hello world");
    EXPECT_EQ(runtime->dispatchErrors.total, 2u);
}

TEST_F(CanvasTextEdit, TheMenuListsWhatTheWidgetAllowsAndAFailedMenuWarns) {
    std::array<ContextMenuItem, kMaxTextMenuItems> items;
    ASSERT_TRUE(applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {{}, 3, 3, false, TextEditKind::set_selection}));
    const TextMenuItems entry = canvasTextContextMenuItems(*runtime, kCanvas, 2, items);
    ASSERT_EQ(entry.count, 5u);
    EXPECT_EQ(entry.kind, ContextMenuKind::editable_text);
    EXPECT_FALSE(items[0].enabled || items[1].enabled);
    EXPECT_TRUE(items[2].enabled && items[3].separator && items[4].enabled);
    EXPECT_FALSE(canvasTextContextMenuItems(*runtime, kCanvas, 3, items).count == 5 && items[4].enabled);
    EXPECT_EQ(canvasTextContextMenuItems(*runtime, kCanvas, 4, items).count, 0u);  // not the selection owner
    interaction().selectionOwner = 4;
    EXPECT_EQ(canvasTextContextMenuItems(*runtime, kCanvas, 4, items).kind, ContextMenuKind::read_only_text);

    ScopedStderrCapture captured;
    test.failSlot(PlatformSlot::showContextMenu, Error::UnsupportedService, 1);
    EXPECT_FALSE(showCanvasTextContextMenu(*runtime, kCanvas, 2, {1, 1}));
    test.failSlot(PlatformSlot::showContextMenu, Error::WindowNotFound, 1);
    EXPECT_FALSE(showCanvasTextContextMenu(*runtime, kCanvas, 2, {1, 1}));
    EXPECT_EQ(captured.text(), "warning(vexa_context_menu): context menu presentation failed: WindowNotFound\n");
    EXPECT_FALSE(runtime->pendingContextMenu.present);
}

TEST_F(CanvasTextEdit, ClipboardShortcutsReallyCutAndPaste) {
    GpuSurfaceInput key{.windowId = 1, .label = "canvas", .kind = GpuSurfaceInputKind::key_down, .key = "x"};
    key.modifiers.command = true;
    ASSERT_TRUE(applyCanvasWidgetClipboardShortcut(*runtime, binding, kCanvas, key).value());
    EXPECT_EQ(node(1).text, " world");
    EXPECT_EQ(test.answers().clipboardData["text/plain"], "hello");
    key.key = "V";
    ASSERT_TRUE(applyCanvasWidgetClipboardShortcut(*runtime, binding, kCanvas, key).value());
    EXPECT_EQ(node(1).text, "hello world");
    EXPECT_EQ(selection(1), "5,5");
    key.modifiers.shift = true;
    EXPECT_FALSE(applyCanvasWidgetClipboardShortcut(*runtime, binding, kCanvas, key).value());
}

TEST_F(CanvasTextEdit, BadClipboardTypesAreRefusedBeforeThePlatformIsAsked) {
    for (const std::string& type : {std::string("text plain"), std::string("a\\b"), std::string(""),
                                    std::string(129, 't'), std::string("t\x7f")}) {
        const Status written = writeClipboardData(*runtime, ClipboardItem{type, "x"});
        ASSERT_FALSE(written) << type;
        EXPECT_EQ(written.error(), type.size() > 128 ? Error::ClipboardFieldTooLarge : Error::InvalidClipboardOptions);
    }
    EXPECT_EQ(writeClipboardData(*runtime, ClipboardItem{"text/plain", std::string(kTextEditLimit + 1, 'x')}).error(),
              Error::ClipboardFieldTooLarge);
    EXPECT_TRUE(clipboardCalls().empty());
}

TEST_F(CanvasTextEdit, ANewTreeKeepsTheStateOfTextsThatStayedTheSame) {
    ASSERT_TRUE(applyCanvasWidgetTextEdit(*runtime, kCanvas, 2, {{}, 1, 4, false, TextEditKind::set_selection}));
    ASSERT_TRUE(applyCanvasWidgetTextEdit(*runtime, kCanvas, 3, {"new", 0, 0, false, TextEditKind::insert_text}));
    install(
        "column id=1 rect=0,0,320,240\n"
        "  text_field id=2 rect=10,10,200,30 text=\"hello world\" selection=0,0\n"
        "  text_area id=3 rect=10,50,200,100 text=\"other\" selection=0,0\n");
    EXPECT_EQ(selection(1), "1,4");
    EXPECT_EQ(selection(2), "0,0");
}

}  // namespace
}  // namespace kelvo
