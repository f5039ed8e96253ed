#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow_scenario.hpp"
#include "runtime/flow/reload.hpp"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;

// The loads the platform was asked for, as "window text" ("web window text" through loadWebView).
Lines loads(const FlowScenario& scenario) {
    Lines out;
    for (const TestPlatform::Call& call : scenario.platform().calls()) {
        if (call.slot != PlatformSlot::loadWindowWebView && call.slot != PlatformSlot::loadWebView) continue;
        out.push_back(std::string(call.slot == PlatformSlot::loadWebView ? "web " : "") +
                      std::to_string(call.windowId) + " " + std::string(call.text()));
    }
    return out;
}

struct SourceBox {
    std::string text = "https://dev.local/";
    std::optional<Error> error;
};

void useSourceBox(FlowScenario& scenario, SourceBox& box) {
    scenario.binding().appContext = &box;
    scenario.binding().sourceCallback = [](void* context) -> Result<WindowSource> {
        auto* source = static_cast<SourceBox*>(context);
        if (source->error) return fail(*source->error);
        return WindowSource{source->text, std::nullopt, WindowSourceKind::url};
    };
}

Error reloadError(FlowScenario& scenario) {
    Status status = reloadWindows(scenario.runtime(), scenario.binding());
    return status ? Error::Unexpected : status.error();
}

TEST(ReloadWindows, OpenWindowsFollowTheApplicationSourceAndOwnSourcesStay) {
    FlowScenario scenario;
    scenario.start();
    scenario.reportWindow(2, "second");  // made by the platform: no source of its own
    scenario.reportWindow(3, "closed");
    scenario.reportWindow(4, "own");
    ASSERT_TRUE(scenario.dispatch(WindowFrameChangedEvent{3, "closed", "", RectF{0, 0, 9, 9}, 1, false}));
    RuntimeWindow& own = scenario.runtime().windows[3];
    ASSERT_TRUE(storeWindowSource(own.source, WindowSource{"<p>own</p>", std::nullopt, WindowSourceKind::html}));
    own.hasSource = true;
    SourceBox box;
    useSourceBox(scenario, box);
    scenario.clearRecords();
    ASSERT_TRUE(reloadWindows(scenario.runtime(), scenario.binding()));
    EXPECT_EQ(loads(scenario), (Lines{"1 https://dev.local/", "2 https://dev.local/", "4 <p>own</p>"}));

    // The window that took the application source keeps following it.
    box.text = "https://dev.local/v2";
    scenario.clearRecords();
    ASSERT_TRUE(reloadWindows(scenario.runtime(), scenario.binding()));
    EXPECT_EQ(loads(scenario), (Lines{"1 https://dev.local/v2", "2 https://dev.local/v2", "4 <p>own</p>"}));

    box.error = Error::AccessDenied;
    EXPECT_EQ(reloadError(scenario), Error::AccessDenied);
    scenario.runtime().webViewLayer = false;
    EXPECT_EQ(reloadError(scenario), Error::WebViewLayerNotBuilt);
}

TEST(ReloadWindows, SourceTextLimitIsInclusive) {
    FlowScenario scenario;
    SourceBox box;
    useSourceBox(scenario, box);
    box.text.assign(65536, 'h');
    ASSERT_TRUE(reloadWindows(scenario.runtime(), scenario.binding()));
    box.text.assign(65537, 'h');
    EXPECT_EQ(reloadError(scenario), Error::WindowSourceTooLarge);
    EXPECT_EQ(scenario.runtime().appSource.get().text.size(), 65536u);
}

TEST(ReloadWindows, WithoutPerWindowLoadingOnlyTheMainWindowCanBeLoaded) {
    FlowScenario scenario;
    scenario.platform().emptySlot(PlatformSlot::loadWindowWebView);
    scenario.syncPlatform();
    ASSERT_TRUE(reloadWindows(scenario.runtime(), scenario.binding()));  // no window yet: window 1
    EXPECT_EQ(loads(scenario), (Lines{"web 1 vexa://app"}));

    scenario.start();
    scenario.reportWindow(2, "second");
    scenario.clearRecords();
    EXPECT_EQ(reloadError(scenario), Error::UnsupportedService);
    EXPECT_EQ(loads(scenario), (Lines{"web 1 vexa://app"}));

    scenario.platform().emptySlot(PlatformSlot::loadWebView);
    scenario.syncPlatform();
    EXPECT_EQ(reloadError(scenario), Error::UnsupportedService);
}

}  // namespace
}  // namespace kelvo
