#include "bridge_scene.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::cat;

// The scene of the table files: see tests/data/bridge/commands/refused.txt.
class Refusals : public testing::BridgeScene {
protected:
    void SetUp() override {
        BridgeScene::SetUp();
        testing::addWindow(*runtime, 2, "other");
        create(view("bar", ViewKind::toolbar, std::nullopt, {0, 0, 800, 48}));
        create(view("save", ViewKind::button, "bar"));
        create(webView("panel", std::nullopt, {10, 60, 300, 200}));
        test.clearCalls();
    }

    // Rows of a table: the first `columns` cells apart by spaces, then the payload.
    static std::vector<std::vector<std::string>> rows(std::string_view file, std::size_t columns) {
        std::vector<std::vector<std::string>> out;
        for (const std::string& line : testing::readLines(file)) {
            std::vector<std::string> row;
            std::size_t at = 0;
            for (std::size_t i = 0; i < columns; ++i) {
                std::size_t end = line.find(' ', at);
                row.push_back(line.substr(at, end - at));
                at = end + 1;
            }
            row.push_back(line.substr(at));
            out.push_back(row);
        }
        return out;
    }

    static Error errorNamed(const std::string& name) {
        std::optional<Error> error = errorFromName(name);
        EXPECT_TRUE(error) << name;
        return error.value_or(Error::Unexpected);
    }
};

TEST_F(Refusals, EachRequestOfTheTableFailsWithItsErrorAndChangesNothing) {
    const std::string before = tables();
    for (const auto& row : rows("bridge/commands/refused.txt", 2)) {
        SCOPED_TRACE(cat(row[0], " ", row[2]));
        EXPECT_EQ(send(row[0], row[2]), errorReply(errorNamed(row[1])));
        EXPECT_EQ(tables(), before);
        EXPECT_EQ(platformCalls(), "");
        EXPECT_TRUE(commands.empty());
    }
}

TEST_F(Refusals, AnEmptyOrFailingSlotLeavesTheTablesAsTheyWere) {
    const std::string before = tables();
    for (const auto& row : rows("bridge/commands/slots.txt", 3)) {
        SCOPED_TRACE(cat(row[0], " ", row[3]));
        const PlatformSlot slot = *platformSlotFromName(row[1]);
        emptySlot(slot);
        EXPECT_EQ(send(row[0], row[3]), errorReply(errorNamed(row[2])));
        EXPECT_EQ(tables(), before);

        test.fillSlot(slot);
        runtime->platform = test.platform();
        test.failSlot(slot, Error::CreateFailed);
        EXPECT_EQ(send(row[0], row[3]), errorReply(Error::CreateFailed));
        EXPECT_EQ(tables(), before);
        EXPECT_EQ(test.callCount(slot), 1u);
        test.clearFailures();
        test.clearCalls();
    }
}

TEST_F(Refusals, ANameOutsideItsFamilyIsAnUnknownCommand) {
    EXPECT_EQ(send("kelvo.view.Focus"), messageReply("unknown_command", "Unknown view command"));
    EXPECT_EQ(send("kelvo.view.listAll"), messageReply("unknown_command", "Unknown view command"));
    EXPECT_EQ(send("kelvo.webview.zoom"), messageReply("unknown_command", "Unknown WebView command"));
    EXPECT_EQ(send("kelvo.window.create2"), messageReply("unknown_command", "Unknown window command"));
    EXPECT_EQ(send("kelvo.command."), messageReply("unknown_command", "Unknown command command"));
}

TEST_F(Refusals, WithoutTheWebLayerEveryWebViewCommandIsRefused) {
    runtime->webViewLayer = false;
    EXPECT_EQ(send("kelvo.webview.list"), errorReply(Error::WebViewLayerNotBuilt));
    EXPECT_EQ(send("kelvo.webview.zoom"), errorReply(Error::WebViewLayerNotBuilt));
}

// A page asks for things in its own window only, and a closed window has nothing to show.
TEST_F(Refusals, ACallerWhoseWindowIsClosedIsAnsweredByTheOrderOfItsChecks) {
    runtime->windows[0].open = false;
    EXPECT_EQ(send("kelvo.view.list"), errorReply(Error::WindowNotFound));
    EXPECT_EQ(send("kelvo.view.focus", R"({"label":"save"})"), errorReply(Error::WindowNotFound));
    EXPECT_EQ(send("kelvo.view.close", R"({"label":"save"})"), errorReply(Error::ViewNotFound));
    EXPECT_EQ(send("kelvo.webview.list"), errorReply(Error::WindowNotFound));
    EXPECT_EQ(send("kelvo.view.list", "{}", 7), errorReply(Error::WindowNotFound));
}

}  // namespace
}  // namespace kelvo
