#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/types/platform.hpp"

namespace kelvo {

// A scripted platform backend for tests. It fills a Platform record whose every slot records
// its calls (with copies of their arguments) and answers from `answers()`; `run` delivers the
// scripted events in order, one at a time, on the calling thread.
//
//   TestPlatform test;
//   test.script({AppStartEvent{}, TimerEvent{1, 5}, AppShutdownEvent{}});
//   runtime.platform = test.platform();
//   Status status = test.run(&handlePlatformEvent, &runContext);
//   EXPECT_EQ(test.callCount(PlatformSlot::emitWindowEvent), 1u);
//
// `run` returns when the script is used up (unless `keepRunningWhenIdle` is on: it then waits
// for events from other threads until `quit`), after delivering app_shutdown, or when the
// handler fails: it then writes "platform callback failed: <error> (event <kind>)" on standard
// error and fails with CallbackFailed. `requestFrame` and `wake` may be called from any thread;
// they append frame_requested and wake events to the script.
class TestPlatform {
public:
    // One recorded slot call.
    struct Call {
        PlatformSlot slot = PlatformSlot::readClipboard;
        std::uint64_t windowId = 0;      // the window argument, when the slot has one
        std::string label;               // the view, web view or window label, when it has one
        std::vector<std::string> texts;  // every other text argument, in parameter order
        std::string args;                // all arguments as "key=value" pairs, for exact comparisons

        [[nodiscard]] std::string_view text() const { return texts.empty() ? std::string_view{} : texts[0]; }
    };

    struct Image {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::vector<std::uint8_t> pixels;
    };

    // What the slots that return data answer. Change it before or between calls, on the thread
    // that runs the platform.
    struct Answers {
        std::string clipboardText;                                               // readClipboard / writeClipboard
        std::map<std::string, std::string> clipboardData;                        // by MIME type
        std::map<std::pair<std::string, std::string>, std::string> credentials;  // (service, account)
        std::vector<std::string> openDialogPaths;                                // empty: cancelled
        std::optional<std::string> saveDialogPath;                               // none: cancelled
        std::uint32_t messageDialogButton = 0;
        float windowScale = 1.0f;         // createWindow answers the asked window with this scale,
        bool windowsOpenFocused = false;  // open, and focused when this is set
        WindowChrome chrome{};
        bool audioStreams = true;           // audioLoadUrl
        float advancePerPoint = 0.5f;       // a text's width is bytes * size * advancePerPoint
        std::optional<Image> decodedImage;  // none: decodeImage fails with ImageDecodeFailed
    };

    static constexpr std::uint32_t kAlways = ~0u;

    TestPlatform();
    TestPlatform(const TestPlatform&) = delete;
    TestPlatform& operator=(const TestPlatform&) = delete;

    // The record to hand to the runtime; its context and services context are this object.
    [[nodiscard]] Platform& platform() { return platform_; }
    [[nodiscard]] const Platform& platform() const { return platform_; }

    // Runs the record's `run` with this handler: the same as platform().run(platform().context, ...).
    Status run(PlatformEventHandler handler, void* handlerContext) {
        return platform_.run(platform_.context, handler, handlerContext);
    }

    // Every slot starts filled.
    void fillSlot(PlatformSlot slot);
    void emptySlot(PlatformSlot slot);
    void fillAllSlots();
    void emptyAllSlots();

    // The next `times` calls of the slot fail with `error` (after being recorded).
    void failSlot(PlatformSlot slot, Error error, std::uint32_t times = kAlways);
    void clearFailures();

    // Runs after a call of the slot is recorded, before the slot answers, on the calling
    // thread. It may script further events.
    void onCall(PlatformSlot slot, std::function<void(const Call&)> hook);

    // Gives the record a supportsFeature that answers from the table; without it, the runtime
    // derives features from the filled slots.
    void answerFeatures(std::array<bool, kPlatformFeatureCount> answers);
    void clearFeatureAnswers();

    Answers& answers() { return answers_; }

    // Appends events to the script, copying their texts and lists. Safe from any thread, also
    // while `run` delivers.
    void script(const PlatformEvent& event);
    void script(std::initializer_list<PlatformEvent> events);
    [[nodiscard]] std::size_t pendingEvents() const;

    void keepRunningWhenIdle(bool wait);
    // Ends a running `run` before its next event (or the next `run` at once). Any thread.
    void quit();
    void stopAfterShutdown(bool stop);

    // The kinds delivered to the handler, in order.
    [[nodiscard]] std::vector<PlatformEventKind> deliveredKinds() const;

    [[nodiscard]] std::vector<Call> calls() const;
    [[nodiscard]] std::vector<Call> callsTo(PlatformSlot slot) const;
    [[nodiscard]] std::size_t callCount(PlatformSlot slot) const;
    [[nodiscard]] std::optional<Call> lastCall(PlatformSlot slot) const;
    // The slot names of every call, in order ("createWindow", "loadWindowWebView", ...).
    [[nodiscard]] std::vector<std::string> callNames() const;
    void clearCalls();

    // Used by the slot operations.
    std::optional<Error> record(PlatformSlot slot, std::uint64_t windowId, std::string_view label,
                                std::vector<std::string> texts, std::string args);
    void enqueue(PlatformEvent event);

private:
    struct Failure {
        Error error = Error::Unexpected;
        std::uint32_t remaining = 0;
    };

    // Runs `f` under the mutex and answers what it answers.
    template <class F>
    auto locked(F f) const {
        std::lock_guard guard(mutex_);
        return f();
    }

    static Status runLoop(void* context, PlatformEventHandler handler, void* handlerContext);
    static bool answerFeature(void* context, PlatformFeature feature);
    PlatformEvent retain(const PlatformEvent& event);

    Platform platform_;
    PlatformSlots allSlots_;
    Answers answers_;
    std::array<bool, kPlatformFeatureCount> featureAnswers_{};

    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<PlatformEvent> queue_;
    std::deque<std::string> texts_;                    // storage of the scripted events' texts
    std::deque<std::vector<std::string_view>> lists_;  // and of their path lists
    std::vector<Call> calls_;
    std::vector<PlatformEventKind> delivered_;
    std::array<Failure, kPlatformSlotCount> failures_{};
    std::array<std::function<void(const Call&)>, kPlatformSlotCount> hooks_{};
    bool waitWhenIdle_ = false;
    bool quit_ = false;
    bool stopAfterShutdown_ = true;
};

}  // namespace kelvo
