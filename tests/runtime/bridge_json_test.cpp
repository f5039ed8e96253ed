#include <array>
#include <cmath>
#include <limits>

#include "bridge_scene.hpp"
#include "runtime/bridge/view_json.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::expectGolden;

// The objects as the commands answer them, byte for byte, in the application's own window.
class JsonGoldens : public testing::BridgeScene {};

TEST_F(JsonGoldens, WindowWebViewsAndANativeButton) {
    RuntimeWindow& window = runtime->windows[0];
    ASSERT_TRUE(window.title.assign("Vostra Studio"));
    window.frame = RectF{0, 0, 1280, 820};
    window.mainWebViewFrame = window.frame;
    create(view("sidebar", ViewKind::sidebar, std::nullopt, {0, 0, 240, 820}));

    expectGolden("bridge/json/window_main.json", result("kelvo.window.focus", R"({"label":"main"})"));

    result(
        "kelvo.webview.create",
        R"({"label":"preview","url":"vexa://app/preview.html?page=2","frame":{"x":640,"y":0.1,"width":639.5,"height":410},"layer":-3,"transparent":true,"bridge":true})");
    result("kelvo.webview.setZoom", R"({"label":"preview","zoom":1.25})");
    std::string list = result("kelvo.webview.list");
    std::size_t split = list.find("},{");
    ASSERT_NE(split, std::string::npos);
    expectGolden("bridge/json/webview_main.json", list.substr(1, split));
    expectGolden("bridge/json/webview_child.json", list.substr(split + 2, list.size() - split - 3));

    expectGolden(
        "bridge/json/view_button.json",
        result(
            "kelvo.view.create",
            R"({"label":"save","kind":"button","parent":"sidebar","role":"button","accessibilityLabel":"Save \"draft\"","text":"Save","command":"document.save","frame":{"x":8,"y":12.5,"width":96,"height":32},"layer":2,"enabled":false})"));
}

ViewInfo sampleView() {
    ViewInfo view;
    view.id = 7;
    view.label = "a\"b\nc";
    view.windowId = 1;
    view.kind = ViewKind::gpu_surface;
    view.frame = RectF{0.1f, 1280, 0.5f, std::numeric_limits<float>::max()};
    view.layer = -3;
    view.canvas.frame.dirtyBounds = RectF{1, 2, 3, 4};
    view.canvas.cursor = CursorKind::link;
    return view;
}

std::string written(const ViewInfo& view) {
    std::array<char, 8192> buffer;
    BoundedWriter out(buffer);
    EXPECT_TRUE(writeViewJsonToWriter(view, out));
    return std::string(out.text());
}

TEST(ViewJson, WritesNumbersPlainAndShortestAndTextsEscaped) {
    std::string json = written(sampleView());
    EXPECT_NE(json.find(R"("label":"a\"b\nc")"), std::string::npos);
    EXPECT_NE(json.find(R"("x":0.1,"y":1280,"width":0.5,"height":340282350000000000000000000000000000000,"layer":-3,)"),
              std::string::npos);
    EXPECT_NE(json.find(R"("canvasFrameDirtyBounds":{"x":1,"y":2,"width":3,"height":4},"canvasFrameProfileWorkUnits")"),
              std::string::npos);
    EXPECT_NE(json.find(R"("cursor":"pointing_hand")"), std::string::npos);

    std::array<char, 512> buffer;
    BoundedWriter out(buffer);
    WebViewInfo webView;
    webView.zoom = 1.1f;
    webView.layer = -3;
    ASSERT_TRUE(writeWebViewJsonToWriter(webView, out));
    EXPECT_NE(out.text().find(R"("layer":-3,"zoom":1.100000023841858,)"), std::string::npos);
}

// A non-finite number would make the reply something no page can read: the object is refused.
TEST(ViewJson, RefusesNonFiniteNumbersAndObjectsThatDoNotFit) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::array<char, 8192> buffer;
    auto refused = [&](auto write) {
        BoundedWriter out(buffer);
        Status status = write(out);
        return !status && status.error() == Error::WriteFailed;
    };
    WindowInfo window;
    window.scale = nan;
    EXPECT_TRUE(refused([&](BoundedWriter& out) { return writeWindowJsonToWriter(window, out); }));
    WebViewInfo webView;
    webView.zoom = -std::numeric_limits<double>::infinity();
    EXPECT_TRUE(refused([&](BoundedWriter& out) { return writeWebViewJsonToWriter(webView, out); }));
    ViewInfo view = sampleView();
    view.canvas.frame.profileDirtyRatio = inf;
    EXPECT_TRUE(refused([&](BoundedWriter& out) { return writeViewJsonToWriter(view, out); }));
    view = sampleView();
    view.canvas.frame.dirtyBounds->width = nan;
    EXPECT_TRUE(refused([&](BoundedWriter& out) { return writeViewJsonToWriter(view, out); }));

    std::string whole = written(sampleView());
    std::vector<char> small(whole.size() - 1);
    BoundedWriter tight(small);
    EXPECT_FALSE(writeViewJsonToWriter(sampleView(), tight));
    std::vector<char> exact(whole.size());
    BoundedWriter fits(exact);
    EXPECT_TRUE(writeViewJsonToWriter(sampleView(), fits));
}

}  // namespace
}  // namespace kelvo
