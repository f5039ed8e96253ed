#pragma once

// A host on the headless backend, with a runtime stand-in that records every event it gets.

#include <functional>
#include <string>
#include <vector>

#include "platform/macos/appkit_functions.hpp"
#include "platform/macos/web/page_script.hpp"
#include "platform/standin/headless/headless.hpp"

namespace kelvo::testing {

// A millisecond in the host's nanosecond clock.
constexpr std::uint64_t kMs = 1'000'000;

struct HostOptions {
    std::string appName = "Vostra Studio";
    std::string version;
    std::string about;
    std::string windowTitle = "Vostra Studio";
    std::string iconPath;
    double x = 0;
    double y = 0;
    double width = 1280;
    double height = 820;
    bool restoreFrame = false;
    std::int32_t titlebarStyle = 0;
    std::int32_t showPolicy = 0;
    bool hasWebContent = true;
};

struct SeenEvent {
    HostEventKind kind = HostEventKind::app_start;
    KelvoHostEvent event;  // its strings are not valid after the callback
    std::string label;
    std::string viewLabel;
    std::string paths;
    std::uint64_t atNs = 0;  // virtual time of delivery
};

class HostHarness {
public:
    HostHarness() { standin::installStandIn(&platform.record()); }
    ~HostHarness() {
        kelvo_appkit_destroy(host);
        standin::installStandIn(nullptr);
    }

    KelvoAppKitHost* create(const HostOptions& o = {}) {
        host =
            kelvo_appkit_create(o.appName.data(), o.appName.size(), nullptr, 0, o.version.data(), o.version.size(),
                                o.about.data(), o.about.size(), o.hasWebContent ? 1 : 0, o.windowTitle.data(),
                                o.windowTitle.size(), nullptr, 0, o.iconPath.data(), o.iconPath.size(), "main", 4, o.x,
                                o.y, o.width, o.height, o.restoreFrame ? 1 : 0, 1, o.titlebarStyle, o.showPolicy);
        return host;
    }

    void run() { kelvo_appkit_run(host, &HostHarness::record, this); }

    [[nodiscard]] std::size_t count(HostEventKind kind) const {
        std::size_t n = 0;
        for (const SeenEvent& seen : events) n += seen.kind == kind ? 1 : 0;
        return n;
    }

    [[nodiscard]] std::vector<const SeenEvent*> all(HostEventKind kind) const {
        std::vector<const SeenEvent*> found;
        for (const SeenEvent& seen : events) {
            if (seen.kind == kind) found.push_back(&seen);
        }
        return found;
    }

    // The bridge replies and page events evaluated in a web view, in order.
    static std::vector<std::string> bridgeScripts(const standin::HeadlessStandIn::WebView& view) {
        std::vector<std::string> scripts;
        for (const std::string& script : view.evaluated) {
            if (script.starts_with("window.vexa&&")) scripts.push_back(script);
        }
        return scripts;
    }

    // The token a web view's page puts before each bridge message: the host hands it to the page
    // at the end of its first user script.
    static std::string pageToken(const standin::HeadlessStandIn::WebView& view) {
        const std::string& script = view.userScripts.at(0);
        return script.substr(script.rfind("\");") - kPageTokenLength, kPageTokenLength);
    }

    standin::HeadlessStandIn platform;
    KelvoAppKitHost* host = nullptr;
    std::vector<SeenEvent> events;
    // Runs inside the callback, after the event is recorded: the runtime acting on it.
    std::function<void(const KelvoHostEvent&)> onEvent;
    int depth = 0;
    int deepest = 0;

private:
    static void record(void* context, const KelvoHostEvent* event) {
        auto& self = *static_cast<HostHarness*>(context);
        self.depth += 1;
        self.deepest = std::max(self.deepest, self.depth);
        self.events.push_back(SeenEvent{static_cast<HostEventKind>(event->kind), *event,
                                        std::string(event->windowLabel.view()), std::string(event->viewLabel.view()),
                                        std::string(event->paths.view()), self.platform.nowNs()});
        if (self.onEvent) self.onEvent(*event);
        self.depth -= 1;
    }
};

}  // namespace kelvo::testing
