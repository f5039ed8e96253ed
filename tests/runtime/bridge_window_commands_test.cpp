#include "bridge_scene.hpp"

namespace kelvo {
namespace {

using testing::cat;

class WindowCommands : public testing::BridgeScene {
protected:
    std::string lastCall(PlatformSlot slot) const {
        std::optional<TestPlatform::Call> call = test.lastCall(slot);
        return call ? call->args : "none";
    }
};

TEST_F(WindowCommands, CreateFillsItsDefaultsAndShowsTheApplicationSource) {
    EXPECT_EQ(
        result("kelvo.window.create"),
        R"({"id":2,"label":"window","title":"","open":true,"focused":false,"x":0,"y":0,"width":720,"height":480,"scale":1})");
    EXPECT_EQ(lastCall(PlatformSlot::createWindow),
              "id=2 label=window title= frame=0,0,720,480 min=0,0 resizable=1 restoreFrame=1 flag=0 titlebar=0 show=0");
    EXPECT_EQ(lastCall(PlatformSlot::loadWindowWebView), "window=2 kind=1 text=vexa://app");
    EXPECT_TRUE(runtime->windows[1].usesAppSource);

    // Only plain numbers are taken; only the literal false turns the restored frame off.
    result(
        "kelvo.window.create",
        R"({"label":"b","title":"B","x":10.5,"y":"20","width":1e3,"height":300,"restoreState":false,"url":"vexa://app/b.html"})");
    EXPECT_EQ(lastCall(PlatformSlot::createWindow),
              "id=3 label=b title=B frame=10.5,0,720,300 min=0,0 resizable=1 restoreFrame=0 flag=0 titlebar=0 show=0");
    EXPECT_EQ(lastCall(PlatformSlot::loadWindowWebView), "window=3 kind=1 text=vexa://app/b.html");
    EXPECT_FALSE(runtime->windows[2].usesAppSource);
    result("kelvo.window.create", R"({"label":"c","restoreState":"false","url":7})");
    EXPECT_EQ(lastCall(PlatformSlot::createWindow),
              "id=4 label=c title= frame=0,0,720,480 min=0,0 resizable=1 restoreFrame=1 flag=0 titlebar=0 show=0");
    EXPECT_TRUE(runtime->windows[3].usesAppSource);
}

TEST_F(WindowCommands, FocusTakesTheIdBeforeTheLabelAndLeavesOneWindowFocused) {
    testing::addWindow(*runtime, 2, "other");
    runtime->windows[0].focused = true;
    EXPECT_EQ(
        result("kelvo.window.focus", R"({"label":"main","id":2})"),
        R"({"id":2,"label":"other","title":"Title","open":true,"focused":true,"x":0,"y":0,"width":800,"height":600,"scale":1})");
    EXPECT_EQ(lastCall(PlatformSlot::focusWindow), "window=2");
    EXPECT_FALSE(runtime->windows[0].focused);
    result("kelvo.window.focus", R"({"id":"2","label":"main"})");
    EXPECT_TRUE(runtime->windows[0].focused);
    EXPECT_FALSE(runtime->windows[1].focused);
}

TEST_F(WindowCommands, CloseKeepsTheRecordClosedAndDropsItsViews) {
    runtime->windows[0].focused = true;
    create(view("bar", ViewKind::toolbar));
    create(webView("panel"));
    EXPECT_EQ(
        result("kelvo.window.close", R"({"id":1})"),
        R"({"id":1,"label":"main","title":"Title","open":false,"focused":false,"x":0,"y":0,"width":800,"height":600,"scale":1})");
    EXPECT_EQ(tables(), "window 1 main open=0 focused=0 main=0,0,800,600 zoom=1 layer=0 mainFocused=1\n");
}

TEST_F(WindowCommands, ListsEveryRecordInTableOrder) {
    runtime->windows.clear();
    EXPECT_EQ(result("kelvo.window.list"), "[]");
    for (std::uint64_t id = 1; id <= kMaxWindows; ++id) testing::addWindow(*runtime, id * 3, cat("w", id));
    runtime->windows[4].open = false;
    std::string list = result("kelvo.window.list");
    EXPECT_EQ(list.substr(0, 12), R"([{"id":3,"la)");
    EXPECT_NE(list.find(R"({"id":15,"label":"w5","title":"Title","open":false,)"), std::string::npos);
    EXPECT_NE(list.find(R"(,{"id":48,"label":"w16",)"), std::string::npos);
    EXPECT_EQ(std::count(list.begin(), list.end(), '{'), 16);

    // A list that does not fit has a message of its own.
    output.resize(200);
    EXPECT_EQ(sendToFamily("kelvo.window.list"), messageReply("internal_error", "Failed to list windows"));
}

TEST_F(WindowCommands, ListsTheRuntimeCommands) {
    EXPECT_EQ(result("kelvo.command.list"), "[]");
    const RuntimeCommand list[] = {{"file.save", "Save \"it\"", "menu", true, false},
                                   {"view.grid", "", "runtime", false, true}};
    runtime->commands = list;
    EXPECT_EQ(
        result("kelvo.command.list"),
        R"([{"id":"file.save","title":"Save \"it\"","enabled":true,"checked":false},{"id":"view.grid","title":"","enabled":false,"checked":true}])");
    output.resize(40);
    EXPECT_EQ(sendToFamily("kelvo.command.list"), errorReply(Error::WriteFailed));
}

TEST_F(WindowCommands, InvokeDeliversABridgeCommandOfTheCallersWebView) {
    EXPECT_EQ(result("kelvo.command.invoke", R"({"name":"file.save","id":"other"})"),
              R"({"name":"file.save","source":"bridge","windowId":1,"viewLabel":"","trayItemId":0})");
    EXPECT_EQ(result("kelvo.command.invoke", R"({"id":"file.open"})", 1, "panel"),
              R"({"name":"file.open","source":"bridge","windowId":1,"viewLabel":"panel","trayItemId":0})");
    EXPECT_EQ(commands,
              (testing::Strings{"file.save window=1 view= source=6", "file.open window=1 view=panel source=6"}));

    runtime->stopOnHandlerError = true;
    handlerError = Error::ModuleFailed;
    EXPECT_EQ(send("kelvo.command.invoke", R"({"name":"x"})"), errorReply(Error::ModuleFailed));
}

}  // namespace
}  // namespace kelvo
