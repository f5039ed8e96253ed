// The clipboard's edges, with real keys in the real program (label "gtk"): a program that holds the
// clipboard and never answers, or sends its text too slowly, gets the paste refused after a few
// seconds with a message that says so, while the keys typed after Ctrl+V (a save among them) take
// effect in order; a text larger than a paste takes is refused as soon as its size is known; a
// copied text with a NUL reaches other programs whole. They use the display's one clipboard, and
// so run alone.

#include <cstdlib>
#include <memory>
#include <string>

#include "support/silent_clipboard_owner.hpp"
#include "support/temp_folder.hpp"
#include "vostra_studio.hpp"

namespace kelvo {
namespace {

// From now on the page keeps each error the error bar shows, with the milliseconds since (a
// command that follows at once may hide the bar again): `shownErrors`.
constexpr std::string_view kWatchErrors = R"JS((() => {
  const bar = document.getElementById("error-bar");
  const since = performance.now();
  window.shownErrors = [];
  new MutationObserver(() => {
    const code = document.getElementById("error-code").textContent;
    const message = document.getElementById("error-message").textContent;
    if (!bar.hidden && !shownErrors.some((shown) => shown.code === code)) {
      shownErrors.push({ code, message, after: performance.now() - since });
    }
  }).observe(bar, { attributes: true, childList: true, subtree: true, characterData: true });
  return "watching";
})())JS";
constexpr std::string_view kFirstError = "shownErrors[0].code + ' ' + (shownErrors[0].after / 1000).toFixed(1)";

// The error bar as it shows: its text, or "hidden"; then the status line.
const std::string kErrorAndStatus =
    "(b => (b.hidden ? 'hidden' : b.textContent.replace(/\\s+/g, ' ').trim()) + '|' + " + textOf("status-text") +
    ")(document.getElementById('error-bar'))";

// Types "ab", Ctrl+V with the clipboard held by a program that never answers (or that sends
// `trickled` one byte every 4 s), then "cd" and Ctrl+S at once, and saves as "after-paste"; then
// pastes "e" that this process offers: the refusal's error code and seconds after the keys, its
// message, the editor's text, the error bar and status line once the held keys ran and after the
// paste that ended well.
struct HeldPaste {
    std::string refused, message, text, afterKeys, afterPaste;
};
HeldPaste pasteHeldBy(const testing::TempFolder& place, const char* trickled, int seconds) {
    std::unique_ptr<testing::SilentClipboardOwner> silent;
    HeldPaste seen;
    UserSteps steps;
    steps.within(seconds)
        .until(pageReady())
        .then([&] {
            silent = std::make_unique<testing::SilentClipboardOwner>(trickled);
            return true;
        })
        .page(std::string(kWatchErrors))
        .then([&] {
            return pressKeys({{GDK_KEY_a, 0},
                              {GDK_KEY_b, 0},
                              {GDK_KEY_v, GDK_CONTROL_MASK},
                              {GDK_KEY_c, 0},
                              {GDK_KEY_d, 0},
                              {GDK_KEY_s, GDK_CONTROL_MASK}});
        })
        .until("shownErrors.length > 0")
        .read(std::string(kFirstError), seen.refused)
        .read("shownErrors[0].message", seen.message)
        .then(answerSaveDialog(place.path(), "after-paste"))
        .until(textOf("status-text") + ".startsWith('Saved after-paste')")
        .read(std::string(kEditorText), seen.text)
        .read(kErrorAndStatus, seen.afterKeys)
        .then([] {
            offerOnClipboard("e");
            return pressKeys({{GDK_KEY_v, GDK_CONTROL_MASK}});
        })
        .until(std::string(kEditorText) + " === 'abcde'")
        .read(kErrorAndStatus, seen.afterPaste);
    EXPECT_EQ(steps.runProgram(), steps.size());
    EXPECT_TRUE(silent && silent->owns());
    return seen;
}

// The refusal stays in the error bar once the keys typed after Ctrl+V have run (a save among
// them, which says "Saved" in the status line), until a paste that ends well takes it back, with
// the status line that told it.
void expectToldUntilAGoodPaste(const HeldPaste& seen, std::string_view code) {
    const std::size_t bar = seen.afterKeys.find('|');
    EXPECT_TRUE(seen.afterKeys.starts_with("Paste failed") && seen.afterKeys.find(code) < bar) << seen.afterKeys;
    EXPECT_TRUE(seen.afterKeys.substr(bar + 1).starts_with("Saved after-paste")) << seen.afterKeys;
    EXPECT_TRUE(seen.afterPaste.starts_with("hidden|") && seen.afterPaste.find("failed") == std::string::npos)
        << seen.afterPaste;
}

TEST(GtkSerialVostraPaste, AProgramThatDoesNotAnswerGetsThePasteRefusedWhileLaterKeysTakeEffect) {
    testing::TempFolder place;
    const HeldPaste seen = pasteHeldBy(place, nullptr, 40);
    const std::string& refused = seen.refused;
    // Refused once the program had five seconds to begin answering, and not much later.
    const std::string code = refused.substr(0, refused.rfind(' '));
    const double after = std::atof(refused.c_str() + refused.rfind(' ') + 1);
    EXPECT_EQ(code, "handler_failed ClipboardNotAnswering");
    EXPECT_GE(after, 4.9);
    EXPECT_LT(after, 15.0);
    EXPECT_EQ(seen.text, "abcd");
    EXPECT_EQ(contentsOf(place.path("after-paste.vrs")), "abcd");
    expectToldUntilAGoodPaste(seen, "ClipboardNotAnswering");
    std::printf("the paste was refused %.1f s after Ctrl+V\n", after);
}

TEST(GtkSerialVostraPaste, AProgramThatSendsTooSlowlyGetsThePasteRefusedAtTheBoundWhileLaterKeysTakeEffect) {
    testing::TempFolder place;
    const double bound = static_cast<double>(standin::kClipboardReadBoundNs) / 1e9;
    const HeldPaste seen = pasteHeldBy(place, "TRICKLE!", static_cast<int>(bound) + 40);
    const std::string& refused = seen.refused;
    const double after = std::atof(refused.c_str() + refused.rfind(' ') + 1);
    EXPECT_EQ(refused.substr(0, refused.rfind(' ')), "handler_failed ClipboardTransferTooSlow");
    EXPECT_GE(after, bound - 0.1);
    EXPECT_LT(after, bound + 10.0);
    EXPECT_NE(seen.message.find(std::to_string(static_cast<int>(bound)) + " seconds"), std::string::npos)
        << seen.message;
    EXPECT_EQ(seen.text, "abcd");
    EXPECT_EQ(contentsOf(place.path("after-paste.vrs")), "abcd");
    expectToldUntilAGoodPaste(seen, "ClipboardTransferTooSlow");
}

// 48 MiB and one byte, offered by this process as another program offers it (in pieces). A paste
// that ends well after it takes the refusal back from the error bar and the status line.
TEST(GtkSerialVostraPaste, ATextLargerThanAPasteTakesIsRefusedAsSoonAsItsSizeIsKnown) {
    std::string refused, text, afterPaste;
    UserSteps steps;
    steps.until(pageReady())
        .page(typeText("'kept'"))
        .then([] {
            offerOnClipboard(std::string((48u << 20) + 1, 'x'));
            return true;
        })
        .page(std::string(kWatchErrors))
        .then([] {
            return pressKeys({{GDK_KEY_a, GDK_CONTROL_MASK}, {GDK_KEY_v, GDK_CONTROL_MASK}});
        })
        .until("shownErrors.length > 0")
        .read(std::string(kFirstError), refused)
        .read(std::string(kEditorText), text)
        .then([] {
            offerOnClipboard("small");
            return pressKeys({{GDK_KEY_v, GDK_CONTROL_MASK}});
        })
        .until(std::string(kEditorText) + " === 'small'")
        .read(kErrorAndStatus, afterPaste);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(refused.substr(0, refused.rfind(' ')), "handler_failed ClipboardFieldTooLarge");
    EXPECT_LT(std::atof(refused.c_str() + refused.rfind(' ') + 1), 3.0) << refused;
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(afterPaste.starts_with("hidden|") && afterPaste.find("failed") == std::string::npos) << afterPaste;
}

TEST(GtkSerialVostraPaste, ACopiedTextWithANulReachesOtherProgramsWhole) {
    testing::TempFolder place;
    const std::string text("xa\0b\ny\n", 7);
    writeFile(place.path("nul.vrs"), text);
    std::string copied;
    UserSteps steps;
    steps.until(pageReady())
        .page(std::string(kCountKeys))
        .page(dropFile(place.path("nul.vrs")))
        .until(textOf("status-text") + " === 'Opened nul.vrs'")
        .then([] {
            return pressKeys({{GDK_KEY_a, GDK_CONTROL_MASK}, {GDK_KEY_c, GDK_CONTROL_MASK}});
        })
        .until("keysSeen >= 2")
        .then([&] {
            copied = clipboardBytes();
            return copied == text;
        });
    steps.within(10).runProgram();
    EXPECT_TRUE(copied == text) << copied.size() << " bytes: " << copied;
}

}  // namespace
}  // namespace kelvo
