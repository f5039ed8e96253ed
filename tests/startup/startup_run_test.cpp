// Runs that start: what the window, the trace log, the window-state file and the page load show.

#include <signal.h>

#include <chrono>
#include <thread>

#include "platform/macos/web/page_script.hpp"
#include "startup_harness.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::StartupHarness;

constexpr std::uint64_t kSecond = 1'000'000'000;

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

void markerHandler(int) {}

void* currentHandler(int signal) {
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    return reinterpret_cast<void*>(action.sa_handler);
}

TEST(StartupRun, CleanRunOpensTheWindowTracesStartAndEndAndSavesTheWindow) {
    StartupHarness h;
    signal(SIGPIPE, markerHandler);
    void* pipeHandlerDuringRun = nullptr;
    h.platform.at(kSecond / 2, [&] { pipeHandlerDuringRun = currentHandler(SIGPIPE); });
    h.terminateAt(kSecond);
    EXPECT_EQ(h.run(), 0);
    EXPECT_TRUE(h.errorLines().empty()) << h.errors.text();

    // A closed pipe does not end the program while it runs; the handler comes back afterwards.
    EXPECT_NE(pipeHandlerDuringRun, reinterpret_cast<void*>(markerHandler));
    EXPECT_NE(pipeHandlerDuringRun, reinterpret_cast<void*>(SIG_DFL));
    EXPECT_EQ(currentHandler(SIGPIPE), reinterpret_cast<void*>(markerHandler));
    signal(SIGPIPE, SIG_DFL);

    auto windows = h.platform.windows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0]->title, "Vostra Studio");
    // Centred on the 1440 x 900 screen.
    EXPECT_EQ(windows[0]->content, (standin::RectD{80, 40, 1280, 820}));
    EXPECT_TRUE(windows[0]->destroyed);
    // Inside the bundle the host is given the icon the bundle carries; no icon is rendered.
    EXPECT_EQ(h.platform.logCount("app.icon_file /opt/Vostra Studio.app/Contents/Resources/icon.png"), 1u);
    EXPECT_EQ(h.platform.logCount("app.icon_file"), 1u);
    EXPECT_EQ(h.platform.logCount("app.icon "), 0u);

    ASSERT_EQ(testing::gPageLoads.size(), 1u);
    const testing::PageLoad& page = testing::gPageLoads[0];
    EXPECT_EQ(page.windowId, 1u);
    EXPECT_EQ(page.kind, 2);
    EXPECT_EQ(page.text, "vexa://app");
    EXPECT_EQ(page.assetRoot, "/opt/Vostra Studio.app/Contents/Resources/frontend/dist");
    EXPECT_EQ(page.entry, "index.html");
    EXPECT_EQ(page.origin, "vexa://app");

    std::vector<std::string> log = h.fileLines(testing::kLogFile);
    ASSERT_GE(log.size(), 3u);
    EXPECT_TRUE(contains(log.front(), R"("name":"runtime.init","message":"runtime initialized")")) << log.front();
    EXPECT_TRUE(contains(log.front(), R"("app":"vostra-studio","platform":"macos","log_path":")")) << log.front();
    EXPECT_TRUE(contains(log.back(), R"("name":"runtime.done","message":"runtime finished")")) << log.back();
    auto named = [&](std::string_view name) {
        std::string key = R"("name":")" + std::string(name) + '"';
        return std::count_if(log.begin(), log.end(), [&](const std::string& line) { return contains(line, key); });
    };
    EXPECT_EQ(named("app.start"), 1);
    EXPECT_EQ(named("app.stop"), 1);
    // The terminal gets the same records.
    EXPECT_TRUE(contains(h.errors.text(), R"(name="runtime.done")"));

    std::string state = h.files.fileText(testing::kStateFile).value_or("");
    EXPECT_TRUE(contains(state, R"(.label = "main", .title = "Vostra Studio")")) << state;
    EXPECT_TRUE(contains(state, ".width = 1280, .height = 820")) << state;
}

TEST(StartupRun, TraceLogFollowsTheEnvironment) {
    for (const auto& row : testing::readTable("startup/trace_log.txt")) {
        ASSERT_EQ(row.size(), 6u);
        const std::string& logDir = row[0];
        SCOPED_TRACE(logDir + " " + row[1] + " " + row[2]);
        StartupHarness h;
        h.environment.clear();
        auto set = [&](std::string_view name, const std::string& value) {
            if (value == "<unset>") return;
            std::string text = value == "<empty>" ? "" : value == "<1025-bytes>" ? "/" + std::string(1024, 'd') : value;
            h.environment.push_back(std::string(name) + "=" + text);
        };
        set("KELVO_LOG_DIR", logDir);
        set("KELVO_LOG_FORMAT", row[1]);
        set("HOME", row[2]);
        h.files.failOn(IoOp::make_path, "/readonly*", Error::AccessDenied, 0, 0);
        h.files.failOn(IoOp::create_file, "/readonly*", Error::AccessDenied, 0, 0);
        h.terminateAt(kSecond);
        EXPECT_EQ(h.run(), 0);
        EXPECT_TRUE(h.errorLines().empty()) << h.errors.text();

        const std::string& logPath = row[3];
        // The terminal always gets the records; they name the log file when there is one.
        EXPECT_TRUE(contains(h.errors.text(), R"(name="runtime.init")"));
        EXPECT_EQ(contains(h.errors.text(), "log_path="), logPath != "-");
        if (logPath != "-") {
            EXPECT_TRUE(contains(h.errors.text(), "log_path=\"" + logPath + "\""));
        }

        std::string file = logPath.starts_with('/') ? logPath : "/work/" + logPath;
        std::vector<std::string> lines = h.fileLines(file);
        if (row[5] == "no") {
            EXPECT_TRUE(lines.empty());
            for (const std::string& path : h.files.paths()) EXPECT_FALSE(path.ends_with("kelvo.jsonl")) << path;
            continue;
        }
        ASSERT_FALSE(lines.empty()) << file;
        EXPECT_TRUE(lines.front().starts_with(row[4] == "text" ? "ts=" : "{\"timestamp_ns\":")) << lines.front();
        EXPECT_TRUE(contains(lines.back(), "runtime.done")) << lines.back();
        // Without a home folder there is no state folder: nothing is restored or saved.
        bool saved = false;
        for (const std::string& path : h.files.paths()) saved = saved || path.ends_with("windows.zon");
        EXPECT_EQ(saved, row[2] != "<unset>");
    }
}

TEST(StartupRun, FrontendUrlReplacesTheBundledFilesOnlyWhenNotEmpty) {
    for (std::string_view url : {"", "http://127.0.0.1:5173/"}) {
        StartupHarness h;
        h.environment.push_back("KELVO_FRONTEND_URL=" + std::string(url));
        h.terminateAt(kSecond);
        EXPECT_EQ(h.run(), 0);
        ASSERT_EQ(testing::gPageLoads.size(), 1u);
        const testing::PageLoad& page = testing::gPageLoads[0];
        EXPECT_EQ(page.kind, url.empty() ? 2 : 1);
        EXPECT_EQ(page.text, url.empty() ? "vexa://app" : url);
    }
}

TEST(StartupRun, MainWindowTakesItsSavedFrameOnlyWhenItAsksAndTheFrameIsUsable) {
    auto frameAfterStart = [](bool restore, std::string_view mainRecord) {
        StartupHarness h;
        h.app.config.mainWindow.restoreFrame = restore;
        h.files.putFile(testing::kStateFile,
                        ".{\n  .windows = .{\n    .{ .id = 2, .label = \"other\", .x = 5, .y = 5, "
                        ".width = 300, .height = 200 },\n    " +
                            std::string(mainRecord) + ",\n  },\n}\n");
        h.terminateAt(kSecond);
        EXPECT_EQ(h.run(), 0);
        return h.platform.windows().at(0)->content;
    };
    const std::string usable =
        R"(.{ .id = 1, .label = "main", .title = "a } b", .x = 10, .y = 20, .width = 900, .height = 600 })";
    EXPECT_EQ(frameAfterStart(true, usable), (standin::RectD{10, 20, 900, 600}));
    // Without a usable saved frame the window has its declared size, centred on the screen.
    const standin::RectD centred{80, 40, 1280, 820};
    EXPECT_EQ(frameAfterStart(false, usable), centred);
    EXPECT_EQ(
        frameAfterStart(true, R"(.{ .id = 1, .label = "main", .x = 10, .y = 20, .width = 1000000, .height = 600 })"),
        centred);
    EXPECT_EQ(frameAfterStart(true, R"(.{ .id = 1, .label = "main ", .x = 10, .y = 20, .width = 900, .height = 600 })"),
              centred);
    // A saved frame larger than the screen is brought inside it.
    EXPECT_EQ(
        frameAfterStart(true, R"(.{ .id = 1, .label = "main", .x = 500, .y = 20, .width = 2000, .height = 600 })"),
        (standin::RectD{0, 20, 1440, 600}));
}

// The page's requests meet the application's commands and policies as start-up set them up.
TEST(StartupRun, PageRequestsReachTheApplicationUnderItsPolicies) {
    StartupHarness h;
    standin::HeadlessStandIn::WebView* page = nullptr;
    h.platform.at(kSecond, [&] {
        page = h.platform.webViews().at(0);
        const std::string& script = page->userScripts.at(0);
        const std::string token = script.substr(script.rfind("\");") - kPageTokenLength, kPageTokenLength);
        for (std::string_view request : {
                 R"({"id":"1","command":"vostra.url.open","payload":"https://vostra.example/docs"})",
                 R"({"id":"2","command":"vostra.url.open","payload":"https://elsewhere.example/"})",
                 R"({"id":"3","command":"kelvo.window.create","payload":{}})",
             }) {
            h.platform.pagePost(h.platform.ref(*page), "kelvoBridge", token + std::string(request));
        }
        // A link the page follows leaves it for the browser when the security policy allows it.
        h.platform.pageNavigate(h.platform.ref(*page), "https://www.vostra.example/news");
        h.platform.pageNavigate(h.platform.ref(*page), "https://elsewhere.example/news");
    });
    h.terminateAt(2 * kSecond);
    EXPECT_EQ(h.run(), 0);
    ASSERT_NE(page, nullptr);
    std::vector<std::string> replies;
    for (const std::string& script : page->evaluated) {
        if (script.starts_with("window.vexa&&window.vexa._complete(")) replies.push_back(script);
    }
    EXPECT_EQ(
        replies,
        (std::vector<std::string>{
            R"(window.vexa&&window.vexa._complete({"id":"1","ok":true,"result":{"ok":true}});)",
            R"(window.vexa&&window.vexa._complete({"id":"2","ok":false,"error":{"code":"handler_failed","message":"InvalidExternalUrl"}});)",
            R"(window.vexa&&window.vexa._complete({"id":"3","ok":false,"error":{"code":"permission_denied","message":"Window API is not permitted"}});)",
        }));
    // Only the allowed links went to the desktop.
    EXPECT_EQ(h.platform.logCount("workspace.open"), 2u);
    EXPECT_EQ(h.platform.logCount("workspace.open https://vostra.example/docs"), 1u);
    EXPECT_EQ(h.platform.logCount("workspace.open https://www.vostra.example/news"), 1u);
    EXPECT_EQ(page->uri, "vexa://app/index.html");
}

// The icon is drawn on a thread of its own (run under ThreadSanitizer too).
TEST(StartupThreads, OutsideABundleWithoutAnIconFileTheRenderedIconReachesTheWindows) {
    StartupHarness h;
    h.executable = "/opt/bin/vostra-studio";
    h.platform.waitForPostsWhenIdle(true);
    // Virtual time does not wait for the icon thread: look again every virtual second, letting
    // real time pass in between, until the icon is there (or half a minute has gone by).
    std::function<void(int)> waitForIcon = [&](int attempt) {
        if (h.platform.appIconSize() || attempt == 3000) {
            h.platform.raiseTerminate();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        h.platform.at(h.platform.nowNs() + kSecond, [&, attempt] { waitForIcon(attempt + 1); });
    };
    h.platform.at(kSecond, [&] { waitForIcon(0); });
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(h.platform.logCount("app.icon_file"), 0u);
    EXPECT_EQ(h.platform.logCount("app.icon 1024x1024"), 1u);
    ASSERT_EQ(testing::gPageLoads.size(), 1u);
    EXPECT_EQ(testing::gPageLoads[0].assetRoot, "/opt/bin/frontend/dist");

    StartupHarness withFile;
    withFile.executable = "/opt/bin/vostra-studio";
    withFile.files.putFile("/work/assets/icon.png", "png");
    withFile.terminateAt(kSecond);
    EXPECT_EQ(withFile.run(), 0);
    EXPECT_EQ(withFile.platform.logCount("app.icon_file assets/icon.png"), 1u);
    EXPECT_EQ(withFile.platform.logCount("app.icon "), 0u);

    // The working folder's icon file wins over the bundle's.
    StartupHarness bundled;
    bundled.files.putFile("/work/assets/icon.png", "png");
    bundled.terminateAt(kSecond);
    EXPECT_EQ(bundled.run(), 0);
    EXPECT_EQ(bundled.platform.logCount("app.icon_file assets/icon.png"), 1u);
    EXPECT_EQ(bundled.platform.logCount("app.icon_file"), 1u);
}

}  // namespace
}  // namespace kelvo
