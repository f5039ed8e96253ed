#include "bridge/json_field.hpp"
#include "bridge_scene.hpp"

namespace kelvo {
namespace {

using testing::cat;
using testing::Strings;

class ViewCommands : public testing::BridgeScene {
protected:
    // Members of an answered view object, as "key=value" apart by spaces.
    static std::string members(std::string_view json, std::initializer_list<std::string_view> keys) {
        std::string out;
        for (std::string_view key : keys) {
            out += cat(out.empty() ? "" : " ", key, "=", fieldValue(json, key).value_or("missing"));
        }
        return out;
    }

    std::string make(std::string_view payload) { return result("kelvo.view.create", payload); }
};

TEST_F(ViewCommands, CreateReadsKindAliasesAndDefaults) {
    std::string json = make(R"({"label":"b","kind":"iconButton","accessibility_label":"Bold","windowId":1})");
    EXPECT_EQ(members(json, {"kind", "accessibilityLabel", "x", "width", "visible", "enabled", "parent"}),
              R"(kind="icon_button" accessibilityLabel="Bold" x=0 width=0 visible=true enabled=true parent=null)");
    EXPECT_EQ(test.lastCall(PlatformSlot::createView)->args,
              "window=1 label=b kind=icon_button role= accessibilityLabel=Bold text= command= url= frame=0,0,0,0 "
              "layer=0 visible=1 enabled=1 transparent=0 bridge=0");

    json =
        make(R"({"label":"canvas","kind":"gpu_surface","frame":{"width":320,"height":240},"gpu_backend":"software"})");
    EXPECT_EQ(members(json, {"gpuBackend", "gpuPixelFormat", "gpuStatus", "gpuWidth", "gpuVsync"}),
              R"(gpuBackend="software" gpuPixelFormat="bgra8_unorm" gpuStatus="ready" gpuWidth=320 gpuVsync=true)");

    json = make(
        R"({"label":"side","kind":"webview","url":"vexa://app/side.html","frame":{"x":4,"width":100,"height":50},"bridge":true})");
    EXPECT_EQ(members(json, {"kind", "role", "url", "x", "bridge"}),
              R"(kind="webview" role="WebView" url="vexa://app/side.html" x=4 bridge=true)");
}

TEST_F(ViewCommands, UpdateChangesOnlyWhatItNames) {
    make(R"({"label":"b","kind":"button","text":"Old","frame":{"width":50,"height":20}})");
    std::string json = result("kelvo.view.update", R"({"label":"b","visible":"true","text":"New","layer":2.0})");
    EXPECT_EQ(members(json, {"text", "visible", "layer", "width"}), R"(text="New" visible=true layer=2 width=50)");
    json = result("kelvo.view.setVisible", R"({"label":"b","visible":false})");
    EXPECT_EQ(members(json, {"visible", "text"}), R"(visible=false text="New")");
    json = result("kelvo.view.setFrame", R"({"label":"b","frame":{"x":"10","y":1e2,"width":5,"height":6}})");
    EXPECT_EQ(members(json, {"x", "y", "width", "height", "visible"}), "x=0 y=0 width=5 height=6 visible=false");
    EXPECT_EQ(test.lastCall(PlatformSlot::updateView)->args, "window=1 label=b frame=0,0,5,6");
}

// A string with escapes is decoded whole, so one that is too long is refused by its own limit
// like the same string without escapes, never taken as missing.
TEST_F(ViewCommands, AnEscapedTextTooLongForItsFieldIsRefusedNotDropped) {
    make(R"({"label":"b","kind":"button","text":"Old"})");
    std::string fits = cat(R"({"label":"b","text":"\n)", std::string(1023, 't'), R"("})");
    EXPECT_EQ(members(result("kelvo.view.update", fits), {"visible"}), "visible=true");
    std::string tooLong = cat(R"({"label":"b","text":"\n)", std::string(5700, 't'), R"("})");
    EXPECT_EQ(send("kelvo.view.update", tooLong), errorReply(Error::ViewTextTooLarge));
    EXPECT_EQ(runtime->views[0].text.view().size(), 1024u);
    std::string longRole = cat(R"({"label":"c","kind":"button","role":")", std::string(64, 'r'), R"(\t"})");
    EXPECT_EQ(send("kelvo.view.create", longRole), errorReply(Error::ViewRoleTooLarge));
}

TEST_F(ViewCommands, FocusStepsThroughTheCandidatesInListOrder) {
    make(R"({"label":"a","kind":"button"})");
    make(R"({"label":"hidden","kind":"button","visible":false})");
    make(R"({"label":"b","kind":"button"})");
    EXPECT_EQ(members(result("kelvo.view.focus", R"({"label":"b"})"), {"label", "focused"}),
              R"(label="b" focused=true)");
    std::vector<std::string> steps;
    for (std::string_view command : {"kelvo.view.focusNext", "kelvo.view.focusNext", "kelvo.view.focusPrevious"}) {
        steps.push_back(members(result(command), {"label", "focused"}));
    }
    EXPECT_EQ(steps,
              (Strings{R"(label="main" focused=true)", R"(label="a" focused=true)", R"(label="main" focused=true)"}));
    EXPECT_EQ(focusedLabels(), "main");

    // Without a candidate there is no view to step to.
    runtime->windows[0].hasSource = false;
    result("kelvo.view.setVisible", R"({"label":"a","visible":false})");
    result("kelvo.view.setVisible", R"({"label":"b","visible":false})");
    EXPECT_EQ(send("kelvo.view.focusNext"), errorReply(Error::ViewNotFound));
}

TEST_F(ViewCommands, ListIgnoresThePayloadAndCloseAnswersTheViewClosed) {
    make(R"({"label":"bar","kind":"toolbar"})");
    make(R"({"label":"save","kind":"button","parent":"bar"})");
    make(R"({"label":"web","kind":"webview","url":"vexa://app/","frame":{"width":5,"height":5}})");
    const std::string list = result("kelvo.view.list", R"("not an object")");
    EXPECT_EQ(list, result("kelvo.view.list", "null"));
    std::vector<std::string> labels;
    for (std::size_t at = list.find(R"("label":)"); at != std::string::npos; at = list.find(R"("label":)", at + 1)) {
        labels.push_back(list.substr(at + 9, list.find('"', at + 9) - at - 9));
    }
    EXPECT_EQ(labels, (Strings{"main", "bar", "save", "web"}));

    result("kelvo.view.focus", R"({"label":"save"})");
    EXPECT_EQ(members(result("kelvo.view.close", R"({"label":"bar"})"), {"label", "focused", "open"}),
              R"(label="bar" focused=false open=false)");
    EXPECT_EQ(viewLabels(), (Strings{}));
    EXPECT_EQ(focusedLabels(), "main");
}

}  // namespace
}  // namespace kelvo
