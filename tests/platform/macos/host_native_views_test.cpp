#include <gtest/gtest.h>

#include <optional>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using NativeView = standin::HeadlessStandIn::NativeView;
using standin::NativeControl;

constexpr std::int32_t kToolbar = 1;
constexpr std::int32_t kStack = 6;
constexpr std::int32_t kButton = 7;
constexpr std::int32_t kTextField = 8;
constexpr std::int32_t kLabel = 10;
constexpr std::int32_t kCanvas = 12;
constexpr std::int32_t kSegmented = 16;

struct ViewArgs {
    std::string label;
    std::int32_t kind = kButton;
    std::string parent;
    standin::RectD frame{0, 0, 100, 30};
    std::int32_t layer = 0;
    bool visible = true;
    bool enabled = true;
    std::string role;
    std::string accessibilityLabel;
    std::string text;
    std::string command;
};

std::int32_t create(HostHarness& h, const ViewArgs& a, std::uint64_t windowId = 1) {
    return kelvo_appkit_create_view(h.host, windowId, a.label.data(), a.label.size(), a.kind, a.parent.data(),
                                    a.parent.size(), a.layer, a.visible ? 1 : 0, a.enabled ? 1 : 0, a.role.data(),
                                    a.role.size(), a.accessibilityLabel.data(), a.accessibilityLabel.size(),
                                    a.text.data(), a.text.size(), a.command.data(), a.command.size(), a.frame.x,
                                    a.frame.y, a.frame.width, a.frame.height);
}

ViewArgs view(std::string label, std::int32_t kind = kButton) {
    ViewArgs args;
    args.label = std::move(label);
    args.kind = kind;
    return args;
}

struct Update {
    std::optional<std::string> role = {};
    std::optional<std::string> text = {};
    std::optional<std::string> accessibilityLabel = {};
    std::optional<std::string> command = {};
    std::optional<bool> enabled = {};
    std::optional<bool> visible = {};
    std::optional<standin::RectD> frame = {};
    std::optional<std::int32_t> layer = {};
};

std::int32_t update(HostHarness& h, std::string_view label, const Update& u) {
    auto text = [](const std::optional<std::string>& value) { return value ? std::string_view(*value) : ""; };
    const standin::RectD frame = u.frame.value_or(standin::RectD{});
    return kelvo_appkit_update_view(
        h.host, 1, label.data(), label.size(), u.frame ? 1 : 0, u.layer ? 1 : 0, u.layer.value_or(0), u.visible ? 1 : 0,
        u.visible.value_or(false), u.enabled ? 1 : 0, u.enabled.value_or(false), u.role ? 1 : 0, text(u.role).data(),
        text(u.role).size(), u.accessibilityLabel ? 1 : 0, text(u.accessibilityLabel).data(),
        text(u.accessibilityLabel).size(), u.text ? 1 : 0, text(u.text).data(), text(u.text).size(), u.command ? 1 : 0,
        text(u.command).data(), text(u.command).size(), frame.x, frame.y, frame.width, frame.height);
}

std::int32_t close(HostHarness& h, std::string_view label, std::uint64_t windowId = 1) {
    return kelvo_appkit_close_view(h.host, windowId, label.data(), label.size());
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
        } else if (text[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += text[i + 1] == 'n' ? '\n' : '\t';
            i += 1;
        }
    }
    return out;
}

class HostNativeViews : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(h.create(), nullptr); }
    standin::WindowRef mainWindow() { return h.platform.ref(*h.platform.windows()[0]); }
    NativeView& shown(std::string_view label) {
        NativeView* found = h.platform.nativeView(label);
        EXPECT_NE(found, nullptr) << label;
        return *found;
    }
    HostHarness h;
};

TEST_F(HostNativeViews, AtMost32OverAllWindowsAndRefusalsLeaveNoTrace) {
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "B", 1, "b", 1, 0, 1, 0, 0, 0, 0, 400, 300), 1);
    for (int i = 0; i < 32; ++i) {
        std::string label = "v";
        label += std::to_string(i);
        ASSERT_EQ(create(h, view(label), i < 20 ? 1 : 2), 1) << i;
    }
    EXPECT_EQ(create(h, view("one-more")), 0);
    EXPECT_EQ(close(h, "v25", 2), 1);
    EXPECT_EQ(create(h, view("one-more")), 1);
    const std::size_t made = h.platform.nativeViews().size();

    ViewArgs negative = view("negative");
    negative.frame.y = -1;
    ViewArgs orphan = view("orphan");
    orphan.parent = "nobody";
    EXPECT_EQ(close(h, "v0"), 1);
    for (const ViewArgs& refused : {view("v1"), view(""), negative, orphan, view("kind0", 0), view("kind19", 19)}) {
        EXPECT_EQ(create(h, refused), 0) << refused.label;
    }
    EXPECT_EQ(create(h, view("no-window"), 9), 0);
    EXPECT_EQ(h.platform.nativeViews().size(), made);
    EXPECT_EQ(create(h, view("fits")), 1);
}

TEST_F(HostNativeViews, CanvasViewReportsItsSizeAndPacesFramesUntilClosed) {
    constexpr std::uint64_t interval = 16'666'666;
    h.platform.answers().scale = 2;
    ViewArgs canvas = view("gallery", kCanvas);
    canvas.frame = {10, 20, 300, 200};
    ASSERT_EQ(create(h, canvas), 1);
    h.platform.at(10 * interval + 1, [&] { EXPECT_EQ(close(h, "gallery"), 1); });
    h.platform.at(20 * interval, [&] { kelvo_appkit_stop(h.host); });
    h.run();

    auto resizes = h.all(HostEventKind::gpu_surface_resized);
    // Made before it is bound to its window, the view starts at the screen's scale, the window's
    // too: binding reports the size once.
    ASSERT_EQ(resizes.size(), 1u);
    const KelvoHostEvent& r = resizes[0]->event;
    EXPECT_EQ(resizes[0]->viewLabel, "gallery");
    EXPECT_EQ(r.windowId, 1u);
    EXPECT_EQ(r.x, 10);
    EXPECT_EQ(r.y, 20);
    EXPECT_EQ(r.width, 300);
    EXPECT_EQ(r.scale, 2);

    // The run start sends the first frame request; the placeholder's draws pace the rest on the
    // grid, one per interval, until the view is closed.
    auto frames = h.all(HostEventKind::gpu_surface_frame);
    ASSERT_EQ(frames.size(), 11u);
    // Each draw of the placeholder went to the screen, in device pixels.
    const standin::HeadlessStandIn::NativeView& shown = *h.platform.nativeViews().back();
    EXPECT_GE(shown.picturesShown, 10u);
    EXPECT_EQ(shown.pictureWidth, 600u);
    EXPECT_EQ(shown.pictureHeight, 400u);
    EXPECT_EQ(frames[0]->viewLabel, "gallery");
    EXPECT_EQ(frames[0]->atNs, 0u);
    EXPECT_EQ(frames[0]->event.nonblank, 0);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->atNs, i * interval) << i;
        EXPECT_GT(frames[i]->event.frameIndex, frames[i - 1]->event.frameIndex);
        EXPECT_EQ(frames[i]->event.frameIntervalNs, interval);
    }
}

TEST_F(HostNativeViews, SegmentedControlsSplitTheirText) {
    int n = 0;
    for (const std::string& line : testing::readLines("platform/segment_texts.txt")) {
        const std::size_t arrow = line.find(" -> ");
        std::string label = "seg";
        label += std::to_string(n++);
        ViewArgs args = view(label, kSegmented);
        args.text = unescape(line.substr(0, arrow));
        ASSERT_EQ(create(h, args), 1) << line;
        std::vector<std::string> expected;
        for (std::string_view rest = std::string_view(line).substr(arrow + 4);;) {
            const std::size_t semi = rest.find(';');
            expected.emplace_back(rest.substr(0, semi));
            if (semi == std::string_view::npos) break;
            rest.remove_prefix(semi + 1);
        }
        EXPECT_EQ(shown(args.label).segments, expected) << line;
        EXPECT_EQ(shown(args.label).selectedSegment, 0) << line;
    }
}

// A role names a control while its text was never given; a given text stays until it is emptied.
TEST_F(HostNativeViews, RoleRetitlesOnlyWithoutAnExplicitText) {
    ASSERT_EQ(create(h, view("save")), 1);
    EXPECT_EQ(shown("save").title, "save");
    EXPECT_EQ(update(h, "save", {.role = "Save"}), 1);
    EXPECT_EQ(shown("save").title, "Save");
    EXPECT_EQ(shown("save").accessibilityLabel, "Save");
    EXPECT_EQ(update(h, "save", {.text = "Store"}), 1);
    EXPECT_EQ(update(h, "save", {.role = "Keep"}), 1);
    EXPECT_EQ(shown("save").title, "Store");
    EXPECT_EQ(shown("save").accessibilityLabel, "Keep");
    EXPECT_EQ(update(h, "save", {.text = ""}), 1);
    EXPECT_EQ(update(h, "save", {.role = "Write"}), 1);
    EXPECT_EQ(shown("save").title, "Write");
    // An empty role gives way to the text as the accessibility label; a given label wins.
    EXPECT_EQ(update(h, "save", {.role = "", .text = "Go"}), 1);
    EXPECT_EQ(shown("save").accessibilityLabel, "Go");
    EXPECT_EQ(update(h, "save", {.accessibilityLabel = "Start"}), 1);
    EXPECT_EQ(shown("save").accessibilityLabel, "Start");

    // Fields take texts as placeholders, labels as their value; disabling keeps the rest.
    ViewArgs field = view("query", kTextField);
    field.text = "Search";
    ASSERT_EQ(create(h, field), 1);
    EXPECT_EQ(shown("query").placeholder, "Search");
    EXPECT_EQ(update(h, "query", {.enabled = false}), 1);
    EXPECT_FALSE(shown("query").enabled);
    EXPECT_EQ(shown("query").placeholder, "Search");
    ViewArgs caption = view("caption", kLabel);
    caption.role = "Status";
    ASSERT_EQ(create(h, caption), 1);
    EXPECT_EQ(shown("caption").value, "Status");
    EXPECT_EQ(update(h, "missing", {.text = "x"}), 0);
}

TEST_F(HostNativeViews, OperatingAControlSendsItsCommand) {
    ASSERT_EQ(create(h, view("tool:save")), 1);
    ViewArgs bar = view("bar", kToolbar);
    bar.command = "ignored";  // containers are not controls
    ASSERT_EQ(create(h, bar), 1);
    h.platform.at(0, [&] {
        h.platform.userOperate(shown("tool:save"));
        h.platform.userOperate(shown("bar"));
    });
    h.platform.at(1, [&] {
        EXPECT_EQ(update(h, "tool:save", {.command = "file.save"}), 1);
        h.platform.userOperate(shown("tool:save"));
    });
    h.platform.at(2, [&] {
        EXPECT_EQ(update(h, "tool:save", {.command = ""}), 1);
        h.platform.userOperate(shown("tool:save"));
    });
    h.platform.at(3, [&] { kelvo_appkit_stop(h.host); });
    std::vector<std::string> heard;
    h.onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::native_command)) return;
        heard.push_back(std::to_string(event.windowId) + " " + std::string(event.command.view()) + " " +
                        std::string(event.viewLabel.view()));
    };
    h.run();
    EXPECT_EQ(heard, std::vector<std::string>{"1 file.save tool:save"});
    ASSERT_EQ(h.all(HostEventKind::native_command).size(), 1u);
    EXPECT_EQ(h.all(HostEventKind::native_command)[0]->atNs, 1u);
}

TEST_F(HostNativeViews, ClosingAContainerClosesItsSubtree) {
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "B", 1, "b", 1, 0, 1, 0, 0, 0, 0, 400, 300), 1);
    ASSERT_EQ(create(h, view("bar", kToolbar)), 1);
    ViewArgs group = view("group", kStack);
    group.parent = "bar";
    ASSERT_EQ(create(h, group), 1);
    ViewArgs inner = view("inner");
    inner.parent = "group";
    ASSERT_EQ(create(h, inner), 1);
    ViewArgs beside = view("beside");
    beside.parent = "bar";
    ASSERT_EQ(create(h, beside), 1);
    ASSERT_EQ(create(h, view("other")), 1);
    ASSERT_EQ(create(h, view("bar", kToolbar), 2), 1);
    void* surface = h.platform.makeSurface();
    ASSERT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "inner", 5, surface), 1);
    NativeView& innerView = shown("inner");

    EXPECT_EQ(close(h, "bar"), 1);
    EXPECT_TRUE(innerView.destroyed);
    EXPECT_EQ(h.platform.surface(surface).mountedIn, nullptr);
    for (const char* gone : {"bar", "group", "inner", "beside"}) EXPECT_EQ(findNativeView(*h.host, 1, gone), nullptr);
    EXPECT_NE(findNativeView(*h.host, 1, "other"), nullptr);
    EXPECT_NE(findNativeView(*h.host, 2, "bar"), nullptr);
    EXPECT_EQ(close(h, "bar"), 0);
    // Children went before their parents.
    const std::vector<std::string> log = h.platform.log();
    auto at = [&](std::string_view line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
    EXPECT_LT(at("native.destroy n=3 inner"), at("native.destroy n=2 group"));
    EXPECT_LT(at("native.destroy n=2 group"), at("native.destroy n=1 bar"));

    // Closing a window closes its native views.
    EXPECT_EQ(kelvo_appkit_close_window(h.host, 2), 1);
    EXPECT_EQ(findNativeView(*h.host, 2, "bar"), nullptr);
}

TEST_F(HostNativeViews, AdoptingReplacesAndReleasingWorksOnce) {
    ASSERT_EQ(create(h, view("panel", kStack)), 1);
    ASSERT_EQ(create(h, view("button")), 1);
    void* first = h.platform.makeSurface();
    void* second = h.platform.makeSurface();
    int stranger = 0;
    EXPECT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "panel", 5, nullptr), 0);
    EXPECT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "panel", 5, &stranger), 0);
    EXPECT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "nobody", 6, first), 0);
    EXPECT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "", 0, first), 0);

    ASSERT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "panel", 5, first), 1);
    EXPECT_EQ(h.platform.surface(first).mountedIn, &shown("panel"));
    EXPECT_EQ(h.platform.surface(first).frame, (standin::RectD{0, 0, 100, 30}));
    EXPECT_TRUE(h.platform.surface(first).followsSize);
    EXPECT_TRUE(focusInAdoptedSurface(*h.host, mainWindow()));
    ASSERT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "panel", 5, second), 1);
    EXPECT_EQ(h.platform.surface(first).mountedIn, nullptr);
    EXPECT_EQ(h.platform.surface(second).mountedIn, &shown("panel"));
    EXPECT_EQ(h.platform.logCount("native.click_monitor"), 1u);

    // A press on the surface takes the keyboard back from the button.
    EXPECT_EQ(kelvo_appkit_focus_view(h.host, 1, "button", 6), 1);
    EXPECT_FALSE(focusInAdoptedSurface(*h.host, mainWindow()));
    h.platform.userPressSurface(second);
    EXPECT_TRUE(focusInAdoptedSurface(*h.host, mainWindow()));

    EXPECT_EQ(kelvo_appkit_release_view_surface(h.host, 1, "panel", 5), 1);
    EXPECT_EQ(kelvo_appkit_release_view_surface(h.host, 1, "panel", 5), 0);
    EXPECT_EQ(h.platform.surface(second).mountedIn, nullptr);
}

TEST_F(HostNativeViews, FramesCountFromTheContainersBottomUnlessItIsFlipped) {
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "B", 1, "b", 1, 0, 1, 0, 0, 0, 0, 400, 500), 1);
    ViewArgs low = view("low");
    low.frame = {20, 10, 100, 40};
    ASSERT_EQ(create(h, low, 2), 1);
    EXPECT_EQ(shown("low").frame, (standin::RectD{20, 450, 100, 40}));
    ViewArgs box = view("box", kStack);
    box.frame = {0, 100, 300, 200};
    ASSERT_EQ(create(h, box, 2), 1);
    ViewArgs inside = view("inside");
    inside.parent = "box";
    inside.frame = {5, 10, 50, 40};
    ASSERT_EQ(create(h, inside, 2), 1);
    EXPECT_EQ(shown("inside").frame, (standin::RectD{5, 150, 50, 40}));
    EXPECT_EQ(kelvo_appkit_set_view_frame(h.host, 2, "inside", 6, 5, 0, 50, 200), 1);
    EXPECT_EQ(shown("inside").frame, (standin::RectD{5, 0, 50, 200}));
    EXPECT_EQ(kelvo_appkit_set_view_frame(h.host, 2, "inside", 6, 5, -1, 50, 20), 0);
    EXPECT_EQ(shown("inside").frame, (standin::RectD{5, 0, 50, 200}));

    h.platform.answers().contentFlipped = true;
    ViewArgs top = view("top");
    top.frame = {20, 10, 100, 40};
    ASSERT_EQ(create(h, top, 2), 1);
    EXPECT_EQ(shown("top").frame, (standin::RectD{20, 10, 100, 40}));
}

TEST_F(HostNativeViews, FocusVisibilityAndCursor) {
    ASSERT_EQ(create(h, view("go")), 1);
    ASSERT_EQ(create(h, view("box", kStack)), 1);
    EXPECT_EQ(kelvo_appkit_focus_view(h.host, 1, "go", 2), 1);
    EXPECT_TRUE(shown("go").focused);
    EXPECT_EQ(kelvo_appkit_focus_view(h.host, 1, "box", 3), 0);
    EXPECT_EQ(kelvo_appkit_focus_view(h.host, 1, "main", 4), 0);  // no main web view
    EXPECT_EQ(kelvo_appkit_focus_view(h.host, 7, "go", 2), 0);
    EXPECT_EQ(kelvo_appkit_set_view_visible(h.host, 1, "go", 2, 0), 1);
    EXPECT_TRUE(shown("go").hidden);
    EXPECT_EQ(kelvo_appkit_focus_view(h.host, 1, "go", 2), 0);
    EXPECT_EQ(kelvo_appkit_set_view_visible(h.host, 1, "gone", 4, 1), 0);
    // Only canvas views take a cursor.
    EXPECT_EQ(kelvo_appkit_set_view_cursor(h.host, 1, "box", 3, 1), 0);
}

// Keys typed into an adopted surface are its own: shortcuts do not take them.
TEST_F(HostNativeViews, ShortcutsLeaveKeysToAFocusedSurface) {
    const char* id = "find";
    const std::uint64_t idLength = 4;
    const char* key = "k";
    const std::uint64_t keyLength = 1;
    const std::uint32_t command = 3;
    kelvo_appkit_set_shortcuts(h.host, &id, &idLength, &key, &keyLength, &command, 1);
    ASSERT_EQ(create(h, view("panel", kStack)), 1);
    ASSERT_EQ(create(h, view("button")), 1);
    standin::KeyPress press;
    press.window = mainWindow();
    press.characters = "k";
    press.modifiers = standin::kKeyCommand;
    h.platform.at(0, [&] {
        ASSERT_EQ(kelvo_appkit_adopt_view_surface(h.host, 1, "panel", 5, h.platform.makeSurface()), 1);
        h.platform.userKeyDown(press);
    });
    h.platform.at(1, [&] {
        ASSERT_EQ(kelvo_appkit_focus_view(h.host, 1, "button", 6), 1);
        h.platform.userKeyDown(press);
    });
    h.platform.at(2, [&] { kelvo_appkit_stop(h.host); });
    h.run();
    EXPECT_EQ(h.platform.logCount("key.passed k"), 1u);
    EXPECT_EQ(h.platform.logCount("key.consumed k"), 1u);
    EXPECT_EQ(h.count(HostEventKind::shortcut), 1u);
}

// Web views refuse pointers where a view stacked above covers them; a native view in the window's
// content is stacked with them by layer, and covers only while it is shown.
TEST_F(HostNativeViews, ANativeViewShownAboveAChildWebViewCoversIt) {
    ASSERT_EQ(kelvo_appkit_create_webview(h.host, 1, "panel", 5, "vexa://app/", 11, 10, 20, 200, 100, 0, 0, 1), 1);
    standin::HeadlessStandIn::WebView& panel = h.platform.webView(findChildWebView(*h.host, 1, "panel")->ref);
    ViewArgs bar = view("bar", kToolbar);
    bar.frame = {0, 0, 300, 50};
    bar.layer = 1;
    bar.visible = false;
    ASSERT_EQ(create(h, bar), 1);
    ViewArgs inside = view("inside");
    inside.parent = "bar";
    inside.layer = 9;
    ASSERT_EQ(create(h, inside), 1);
    EXPECT_TRUE(panel.coveredRects.empty());
    const std::vector<standin::ViewRef> stack = {h.platform.ref(panel), h.platform.ref(shown("bar"))};
    EXPECT_EQ(h.platform.stack(panel.window), stack);  // views inside the bar move with it

    const std::size_t scripts = panel.evaluated.size();
    EXPECT_EQ(kelvo_appkit_set_view_visible(h.host, 1, "bar", 3, 1), 1);
    EXPECT_EQ(panel.coveredRects, (std::vector<standin::RectD>{{0, 0, 200, 30}}));
    ASSERT_GT(panel.evaluated.size(), scripts);
    EXPECT_TRUE(panel.evaluated.back().ends_with(R"(([{"x":0.000,"y":0.000,"width":200.000,"height":30.000}]);)"))
        << panel.evaluated.back();

    EXPECT_EQ(update(h, "bar", {.frame = standin::RectD{0, 0, 300, 60}}), 1);
    EXPECT_EQ(panel.coveredRects, (std::vector<standin::RectD>{{0, 0, 200, 40}}));
    EXPECT_EQ(update(h, "bar", {.layer = -1}), 1);
    EXPECT_TRUE(panel.coveredRects.empty());
    EXPECT_EQ(h.platform.stack(panel.window).back(), h.platform.ref(panel));
    EXPECT_EQ(update(h, "bar", {.layer = 1}), 1);
    EXPECT_EQ(close(h, "bar"), 1);
    EXPECT_TRUE(panel.coveredRects.empty());
    EXPECT_TRUE(panel.evaluated.back().ends_with("})([]);"));
}

}  // namespace
}  // namespace kelvo
