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
    bool ownedByTest = false;    // the test's or the backend's own, not the host's
    std::shared_ptr<Task> task;  // shared so that a running task survives its own cancel
};

// A player with what the backend keeps of it beyond what tests read.
struct HeadlessPlayer : HeadlessStandIn::Player {
    HeadlessStandIn::Media media;
    PlayerEventSink events{};
    bool ready = false;
    bool stalled = false;
    bool shortOfData = false;      // a stream waits for data while it is asked to play
    std::uint64_t positionNs = 0;  // where it stood at `sinceNs`
    std::uint64_t sinceNs = 0;
    std::uint64_t playedNs = 0;  // time heard so far, which sets how many frames the tap gets
    std::optional<AudioTap> tap;
    TimerId renderTimer = 0;
    TimerId stopTimer = 0;
    std::vector<float> samples;  // one rendered chunk
};

struct HeadlessState {
    HeadlessStandIn::Answers answers;
    HeadlessServices services;
    std::optional<KeyMonitor> keyMonitor;
    MenuBarSink menuBarSink{};
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
    std::vector<std::unique_ptr<HeadlessPlayer>> players;
    std::vector<std::unique_ptr<HeadlessStandIn::Download>> downloads;
    std::map<DownloadId, DownloadDone> pendingDownloads;
    std::vector<std::unique_ptr<HeadlessStandIn::NativeView>> nativeViews;
    std::vector<std::unique_ptr<HeadlessStandIn::Surface>> surfaces;
    bool focusAdoptedOnClick = false;
    std::vector<std::unique_ptr<HeadlessStandIn::WebView>> webViews;
    std::map<WindowRef, std::vector<ViewRef>> stacks;  // bottom to top
    std::vector<DocumentType> documentTypes;

    void note(std::string line);
    void post(Task task);
    // A timer of the backend itself: it runs on virtual time like the host's, but is not counted
    // among them.
    TimerId startOwnTimer(std::uint64_t atNs, std::uint64_t intervalNs, bool repeats, Task task);
};

LoopService headlessLoop();
WindowService headlessWindows();
WorkspaceService headlessWorkspace();
AudioService headlessAudio();
BundleService headlessBundle();
NativeViewService headlessNativeViews();
CanvasService headlessCanvas();
// A view in log lines: a web view's number, or "native:" and a native view's identifier.
std::string headlessViewName(HeadlessState& state, ViewRef view);
ClipboardService headlessClipboard();
DialogService headlessDialogs();
KeyringService headlessKeyring();
MenuService headlessMenus();
StatusItemService headlessStatusItem();
// Runs the main loop's tasks and timers for `forNs` of virtual time, as a modal dialog does;
// false when the loop was told to end first (the dialog ends with it, at once).
bool runNestedLoop(HeadlessState& state, std::uint64_t forNs);
// Whether the loop was told to end (and has not run again since).
bool quitRequested(HeadlessState& state);
WebViewService headlessWebViews();
SchemeService headlessScheme();
ScriptMessageService headlessScriptMessages();
AccessibilityService headlessAccessibility();

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
