#pragma once

// Private to the headless backend: its state and the service groups each file fills.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/headless/headless.hpp"

namespace kelvo::standin {

struct HeadlessTimer {
    std::uint64_t deadlineNs = 0;
    std::uint64_t intervalNs = 0;
    bool repeats = false;
    bool ownedByTest = false;
    std::shared_ptr<Task> task;  // shared so that a running task survives its own cancel
};

struct HeadlessState {
    HeadlessStandIn::Answers answers;
    HeadlessServices services;
    std::optional<KeyMonitor> keyMonitor;
    StandIn record;

    // Main queue: any thread may post.
    mutable std::mutex mutex;
    std::condition_variable posted;
    std::deque<Task> tasks;
    bool waitWhenIdle = false;
    bool quitRequested = false;
    std::vector<std::string> log;

    std::atomic<std::uint64_t> nowNs{0};
    std::atomic<std::uint64_t> wallStartNs{1'700'000'000'000'000'000ull};

    // Main thread only.
    std::map<TimerId, HeadlessTimer> timers;
    TimerId nextTimer = 1;
    std::optional<Task> onTerminate;
    std::optional<Task> onAppearanceChange;
    std::vector<std::unique_ptr<HeadlessStandIn::Window>> windows;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> appIconSize;
    std::vector<std::unique_ptr<HeadlessStandIn::WebView>> webViews;
    std::map<WindowRef, std::vector<ViewRef>> stacks;  // bottom to top

    void note(std::string line);
    void post(Task task);
};

LoopService headlessLoop();
WindowService headlessWindows();
WorkspaceService headlessWorkspace();
ClipboardService headlessClipboard();
DialogService headlessDialogs();
KeyringService headlessKeyring();
MenuService headlessMenus();
StatusItemService headlessStatusItem();
// Runs the main loop's tasks and timers for `forNs` of virtual time, as a modal dialog does.
void runNestedLoop(HeadlessState& state, std::uint64_t forNs);
WebViewService headlessWebViews();
SchemeService headlessScheme();
ScriptMessageService headlessScriptMessages();

inline HeadlessStandIn::WebView& headlessWebView(ViewRef ref) {
    return *reinterpret_cast<HeadlessStandIn::WebView*>(ref);
}
inline ViewRef headlessViewRef(HeadlessStandIn::WebView& view) { return reinterpret_cast<ViewRef>(&view); }

// The parts end to end: log lines built without `"text" + std::string`, which g++ 12 at -O3
// warns about wrongly.
inline std::string joinText(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

inline HeadlessState& headlessState(void* self) { return *static_cast<HeadlessState*>(self); }

}  // namespace kelvo::standin
