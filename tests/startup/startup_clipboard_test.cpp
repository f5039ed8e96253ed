// The application's clipboard commands as start-up connects them to the stand-in's clipboard: the
// page's text goes whole, the page is told while the clipboard holds its copy, and another
// program's text comes back, mended where it is not UTF-8.

#include "platform/macos/web/page_script.hpp"
#include "startup_harness.hpp"

namespace kelvo {
namespace {

using standin::ClipboardType;
using testing::StartupHarness;

constexpr std::uint64_t kSecond = 1'000'000'000;

TEST(StartupClipboard, CommandsReachTheStandInsClipboard) {
    StartupHarness h;
    standin::HeadlessStandIn::WebView* page = nullptr;
    auto send = [&](std::initializer_list<std::string_view> requests) {
        const std::string& script = page->userScripts.at(0);
        const std::string token = script.substr(script.rfind("\");") - kPageTokenLength, kPageTokenLength);
        for (std::string_view request : requests) {
            h.platform.pagePost(h.platform.ref(*page), "kelvoBridge", token + std::string(request));
        }
    };
    std::string copied;
    std::uint64_t serial = 0;
    h.platform.at(kSecond, [&] {
        page = h.platform.webViews().at(0);
        send({
            R"({"id":"1","command":"vostra.clipboard.begin"})",
            R"({"id":"2","command":"vostra.clipboard.append","payload":{"transfer":1,"data":"YQBi"}})",
            R"({"id":"3","command":"vostra.clipboard.finish","payload":{"transfer":1}})",
            R"({"id":"4","command":"vostra.clipboard.read.begin","payload":{"copy":1}})",
        });
    });
    h.platform.at(kSecond + kSecond / 2, [&] {
        copied = h.platform.services().clipboard[ClipboardType::plain_text];
        serial = h.platform.services().clipboardHeldWrite;
        // Another program's text replaces the copy.
        h.platform.services().clipboard = {{ClipboardType::plain_text, "x\xffy"}};
        h.platform.services().clipboardHeldWrite = 0;
        send({
            R"({"id":"5","command":"vostra.clipboard.read.begin","payload":{"copy":1}})",
            R"({"id":"6","command":"vostra.clipboard.read.chunk"})",
            R"({"id":"7","command":"vostra.clipboard.read.finish"})",
        });
    });
    h.terminateAt(2 * kSecond);
    EXPECT_EQ(h.run(), 0);
    ASSERT_NE(page, nullptr);
    std::vector<std::string> results;
    for (const std::string& script : page->evaluated) {
        constexpr std::string_view kStart = "window.vexa&&window.vexa._complete(";
        if (script.starts_with(kStart)) results.push_back(script.substr(kStart.size()));
    }
    EXPECT_EQ(results, (std::vector<std::string>{
                           R"({"id":"1","ok":true,"result":{"ok":true,"transfer":1}});)",
                           R"({"id":"2","ok":true,"result":{"ok":true}});)",
                           R"({"id":"3","ok":true,"result":{"ok":true,"bytes":3}});)",
                           R"({"id":"4","ok":true,"result":{"ok":true,"copy":1}});)",
                           R"({"id":"5","ok":true,"result":{"ok":true,"bytes":5,"replaced":1}});)",
                           R"({"id":"6","ok":true,"result":"eO+/vXk="});)",
                           R"({"id":"7","ok":true,"result":{"ok":true}});)",
                       }));
    EXPECT_TRUE(copied == std::string("a\0b", 3)) << copied.size() << " bytes";
    EXPECT_EQ(serial, 1u);
}

}  // namespace
}  // namespace kelvo
