// Every way start-up or the run can fail ends with status 1 and exactly one "error: <Name>" line,
// with the host (when it was made) destroyed and nothing left installed.

#include <functional>
#include <string>
#include <vector>

#include "debug/panic.hpp"
#include "startup_harness.hpp"

namespace kelvo {
namespace {

using testing::StartupHarness;

const KeyModifiers kCommand{true, true, false, false, false};

void acceptMenus(KelvoAppKitHost*, const char* const*, const std::uint64_t*, std::uint64_t, const std::uint32_t*,
                 const char* const*, const std::uint64_t*, const char* const*, const std::uint64_t*, const char* const*,
                 const std::uint64_t*, const std::uint32_t*, const std::int32_t*, const std::int32_t*,
                 const std::int32_t*, std::uint64_t) {}
void acceptShortcuts(KelvoAppKitHost*, const char* const*, const std::uint64_t*, const char* const*,
                     const std::uint64_t*, const std::uint32_t*, std::uint64_t) {}

// Lists the failure rows point into; they outlive every run.
const std::vector<RuntimeCommand> kDuplicateCommands = {{"file.open", "", "menu"}, {"file.open", "", "menu"}};
const std::vector<AppMenuItem> kItems(129, AppMenuItem{"Open", "file.open", "", {}, false, true, false});
const std::vector<AppMenu> kOneMenu = {AppMenu{"File", std::span(kItems).first(1)}};
const std::vector<AppMenu> kSeventeenMenus(17, AppMenu{"File", {}});
const std::vector<AppMenu> kMenuOf129Items = {AppMenu{"File", kItems}};
const std::vector<GlobalShortcut> kSixtyFiveShortcuts(65, GlobalShortcut{"app.quit", "q", kCommand});
const std::string kHugeFrontendUrl = "KELVO_FRONTEND_URL=http://127.0.0.1:5173/" + std::string(70'000 - 22, 'a');

struct FailureRow {
    const char* name;
    std::function<void(StartupHarness&)> setUp;
    std::string errorLine;
    // A line the run writes before the error line, if any.
    std::string before{};
};

const std::vector<FailureRow>& failureRows() {
    static const std::vector<FailureRow> rows = {
        {"environment copy out of memory",
         [](StartupHarness& h) {
             h.copyEnvironment = [](const char* const*) -> Result<EnvMap> { return fail(Error::OutOfMemory); };
         },
         "error: failed to parse environment variables: OutOfMemory"},
        {"front-end folder not found", [](StartupHarness& h) { h.executable = "vostra-studio"; },
         "error: MissingBundleResources"},
        {"no display", [](StartupHarness& h) { h.platform.answers().canOpen = false; }, "error: CreateFailed"},
        // Outside a bundle the icon thread is still drawing when start-up gives up: the host must
        // outlive it.
        {"runtime record not allocated",
         [](StartupHarness& h) {
             h.executable = "/opt/bin/vostra-studio";
             h.allocate = []() -> Result<Runtime*> { return fail(Error::OutOfMemory); };
         },
         "error: OutOfMemory"},
        {"command list refused", [](StartupHarness& h) { h.app.commands = kDuplicateCommands; },
         "error: DuplicateCommand"},
        {"no security policy service", [](StartupHarness& h) { h.appkit.set_security_policy = nullptr; },
         "error: UnsupportedService"},
        {"menus without a menu service",
         [](StartupHarness& h) {
             h.appkit.set_menus = nullptr;
             h.app.menus = kOneMenu;
         },
         "error: UnsupportedService"},
        {"17 menus",
         [](StartupHarness& h) {
             h.appkit.set_menus = acceptMenus;
             h.app.menus = kSeventeenMenus;
         },
         "error: InvalidMenuOptions"},
        {"129 menu items",
         [](StartupHarness& h) {
             h.appkit.set_menus = acceptMenus;
             h.app.menus = kMenuOf129Items;
         },
         "error: InvalidMenuOptions"},
        {"65 shortcuts",
         [](StartupHarness& h) {
             h.appkit.set_shortcuts = acceptShortcuts;
             h.app.shortcuts = kSixtyFiveShortcuts;
         },
         "error: InvalidShortcut"},
        {"page load fails at app start", [](StartupHarness& h) { h.appkit.load_window_webview = nullptr; },
         "error: CallbackFailed", "platform callback failed: UnsupportedService (event app_start)"},
        {"KELVO_FRONTEND_URL of 70,000 bytes", [](StartupHarness& h) { h.environment.push_back(kHugeFrontendUrl); },
         "error: CallbackFailed", "platform callback failed: WindowSourceTooLarge (event app_start)"},
    };
    return rows;
}

TEST(StartupFailures, EachEndsWithItsOneErrorLineAndReleasesWhatExists) {
    for (const FailureRow& row : failureRows()) {
        SCOPED_TRACE(row.name);
        StartupHarness h;
        row.setUp(h);
        EXPECT_EQ(h.run(), 1);
        EXPECT_EQ(h.errorLines(), std::vector<std::string>{row.errorLine});
        std::vector<std::string> lines = h.stderrLines();
        if (!row.before.empty()) {
            auto before = std::find(lines.begin(), lines.end(), row.before);
            auto error = std::find(lines.begin(), lines.end(), row.errorLine);
            EXPECT_TRUE(before < error) << h.errors.text();
        }
        // A failed start-up or run never claims to have finished.
        EXPECT_EQ(h.errors.text().find("runtime.done"), std::string::npos);
        for (const auto* window : h.platform.windows()) EXPECT_TRUE(window->destroyed) << window->title;
        EXPECT_EQ(standin::installedStandIn(), nullptr);
        EXPECT_FALSE(panicState().installed.load());
        EXPECT_EQ(h.files.openFileCount(), 0u);
    }
}

}  // namespace
}  // namespace kelvo
