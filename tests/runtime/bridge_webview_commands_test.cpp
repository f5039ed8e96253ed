#include "bridge_scene.hpp"
#include "runtime/views/view_focus.hpp"

namespace kelvo {
namespace {

using testing::cat;

class WebViewCommands : public testing::BridgeScene {
protected:
    std::string webViewJson(std::string_view label, std::string_view rest) {
        return cat(R"({"label":")", label, R"(","windowId":1,)", rest, "}");
    }
};

TEST_F(WebViewCommands, CreateTakesTheFrameFromItsMemberOrThePayload) {
    EXPECT_EQ(
        result("kelvo.webview.create", R"({"url":"vexa://app/a","frame":{"width":300,"height":200}})"),
        webViewJson(
            "webview",
            R"("url":"vexa://app/a","x":0,"y":0,"width":300,"height":200,"layer":0,"zoom":1,"transparent":false,"bridge":false,"focused":false,"open":true)"));
    EXPECT_EQ(send("kelvo.webview.create", R"({"url":"vexa://app/a","width":300,"height":200})"),
              errorReply(Error::DuplicateWebViewLabel));
    EXPECT_EQ(
        result(
            "kelvo.webview.create",
            R"({"label":"b","url":"vexa://app/b","width":300,"height":200,"x":"10","layer":1e2,"windowId":1,"transparent":"true","bridge":true})"),
        webViewJson(
            "b",
            R"("url":"vexa://app/b","x":0,"y":0,"width":300,"height":200,"layer":100,"zoom":1,"transparent":false,"bridge":true,"focused":false,"open":true)"));
    EXPECT_EQ(platformCalls(),
              "createWebView window=1 label=webview url=vexa://app/a layer=0 transparent=0 bridge=0 frame=0,0,300,200\n"
              "createWebView window=1 label=b url=vexa://app/b layer=100 transparent=0 bridge=1 frame=0,0,300,200\n");
}

TEST_F(WebViewCommands, TheSeventeenthWebViewOfTheRuntimeIsOverTheLimit) {
    testing::addWindow(*runtime, 2, "other");
    for (int i = 0; i < 16; ++i) {
        result("kelvo.webview.create", cat(R"({"label":"w)", i, R"(","url":"vexa://app/","width":5,"height":5})"),
               i < 8 ? 1 : 2);
    }
    EXPECT_EQ(send("kelvo.webview.create", R"({"label":"last","url":"vexa://app/","width":5,"height":5})"),
              errorReply(Error::WebViewLimitReached));
}

TEST_F(WebViewCommands, ListsTheMainWebViewThenTheWindowsOpenChildren) {
    testing::addWindow(*runtime, 2, "other");
    EXPECT_EQ(
        result("kelvo.webview.list"),
        R"([{"label":"main","windowId":1,"url":"vexa://app","x":0,"y":0,"width":800,"height":600,"layer":0,"zoom":1,"transparent":false,"bridge":true,"focused":true,"open":true}])");
    result("kelvo.webview.create", R"({"label":"elsewhere","url":"vexa://app/","width":5,"height":5})", 2);
    result("kelvo.webview.create", R"({"label":"here","url":"vexa://app/","width":5,"height":5})");
    std::string list = result("kelvo.webview.list", "[1,2]");
    EXPECT_NE(list.find(R"(,{"label":"here",)"), std::string::npos);
    EXPECT_EQ(list.find("elsewhere"), std::string::npos);
}

// Zooms are taken as 32-bit floats and widened; the platform, the record and the page see the
// same widened value.
TEST_F(WebViewCommands, ZoomsLayersAndNavigatesChildrenAndTheMainWebView) {
    result("kelvo.webview.create", R"({"label":"panel","url":"vexa://app/p","width":50,"height":50})");
    test.clearCalls();
    EXPECT_NE(result("kelvo.webview.setZoom", R"({"label":"panel","zoom":1.1})").find(R"("zoom":1.100000023841858,)"),
              std::string::npos);
    result("kelvo.webview.setZoom", R"({"label":"main","zoom":0.25})");
    result("kelvo.webview.setZoom", R"({"label":"panel","zoom":5})");
    EXPECT_NE(result("kelvo.webview.setLayer", R"({"label":"panel","layer":-2})").find(R"("layer":-2,)"),
              std::string::npos);
    EXPECT_NE(result("kelvo.webview.setLayer", R"({"label":"panel"})").find(R"("layer":0,)"), std::string::npos);
    result("kelvo.webview.setLayer", R"({"label":"main","layer":3})");
    EXPECT_NE(
        result("kelvo.webview.navigate", R"({"label":"panel","url":"vexa://app/q"})").find(R"("url":"vexa://app/q")"),
        std::string::npos);
    EXPECT_EQ(platformCalls(),
              "setWebViewZoom window=1 label=panel zoom=1.100000023841858\n"
              "setWebViewZoom window=1 label=main zoom=0.25\n"
              "setWebViewZoom window=1 label=panel zoom=5\n"
              "setWebViewLayer window=1 label=panel layer=-2\n"
              "setWebViewLayer window=1 label=panel layer=0\n"
              "setWebViewLayer window=1 label=main layer=3\n"
              "navigateWebView window=1 label=panel url=vexa://app/q\n");
    EXPECT_EQ(tables(),
              "window 1 main open=1 focused=1 main=0,0,800,600 zoom=0.25 layer=3 mainFocused=1\n"
              "webview 2 1 panel parent=- url=vexa://app/q frame=0,0,50,50 local=0,0,50,50 zoom=5 layer=0 focused=0\n");
}

// Frames are window coordinates; a web view inside a view keeps its place in the parent too,
// and what is nested in it moves along.
TEST_F(WebViewCommands, SetFrameMovesNestedWebViewsAlong) {
    create(view("bar", ViewKind::toolbar, std::nullopt, {0, 20, 800, 48}));
    create(webView("inner", "bar", {10, 4, 200, 40}));
    create(webView("deep", "inner", {1, 1, 20, 20}));
    test.clearCalls();
    result("kelvo.webview.setFrame", R"({"label":"inner","frame":{"x":30,"y":30,"width":100,"height":10}})");
    result("kelvo.webview.setFrame", R"({"label":"main","x":0,"y":100,"width":800,"height":500})");
    EXPECT_EQ(platformCalls(),
              "setWebViewFrame window=1 label=inner frame=30,30,100,10\n"
              "setWebViewFrame window=1 label=deep frame=31,31,20,20\n"
              "setWebViewFrame window=1 label=main frame=0,100,800,500\n");
    EXPECT_EQ(tables(),
              "window 1 main open=1 focused=1 main=0,100,800,500 zoom=1 layer=0 mainFocused=1\n"
              "view 2 1 bar toolbar parent=- frame=0,20,800,48 layer=0 visible=1 focused=0 text=\n"
              "webview 3 1 inner parent=bar url=vexa://app/panel.html frame=30,30,100,10 local=30,10,100,10 zoom=1 "
              "layer=0 focused=0\n"
              "webview 4 1 deep parent=inner url=vexa://app/panel.html frame=31,31,20,20 local=1,1,20,20 zoom=1 "
              "layer=0 focused=0\n");
}

// A web view closes with everything nested in it, and the focus moves on when it was inside.
TEST_F(WebViewCommands, CloseTakesTheWholeTreeAndAnswersTheWebViewClosed) {
    create(webView("panel", std::nullopt, {0, 0, 400, 300}));
    create(view("tools", ViewKind::toolbar, "panel"));
    create(webView("nested", "tools", {0, 0, 50, 50}));
    create(view("ok", ViewKind::button));
    ASSERT_TRUE(focusView(*runtime, 1, "nested"));
    test.clearCalls();
    EXPECT_EQ(
        result("kelvo.webview.close", R"({"label":"panel"})"),
        webViewJson(
            "panel",
            R"("url":"vexa://app/panel.html","x":0,"y":0,"width":400,"height":300,"layer":0,"zoom":1,"transparent":false,"bridge":true,"focused":false,"open":false)"));
    EXPECT_EQ(platformCalls(),
              "closeWebView window=1 label=nested\n"
              "closeWebView window=1 label=panel\n"
              "focusView window=1 label=main\n");
    EXPECT_EQ(tables(),
              "window 1 main open=1 focused=1 main=0,0,800,600 zoom=1 layer=0 mainFocused=1\n"
              "view 5 1 ok button parent=- frame=0,0,50,20 layer=0 visible=1 focused=0 text=\n");
    EXPECT_EQ(send("kelvo.webview.close", R"({"label":"panel"})"), errorReply(Error::WebViewNotFound));
}

// A web view the page cannot be told about is closed again.
TEST_F(WebViewCommands, ACreateWhoseAnswerDoesNotFitLeavesNothingBehind) {
    output.resize(64);
    EXPECT_EQ(sendToFamily("kelvo.webview.create", R"({"label":"w","url":"vexa://app/","width":5,"height":5})"),
              errorReply(Error::WriteFailed));
    EXPECT_EQ(test.callNames(), (testing::Strings{"createWebView", "closeWebView"}));
    EXPECT_TRUE(runtime->webViews.empty());
}

}  // namespace
}  // namespace kelvo
