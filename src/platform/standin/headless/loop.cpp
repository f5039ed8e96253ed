// The headless main loop: a FIFO of tasks and timers on a virtual clock. Tasks posted at the
// current instant all run before time moves on to the next timer.

#include <algorithm>
#include <cstdio>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

bool open(void* self, const AppIdentity& identity) {
    HeadlessState& state = headlessState(self);
    state.note("loop.open name=" + std::string(identity.name) + " display=" + std::string(identity.displayName));
    return state.answers.canOpen;
}

std::optional<Task> takeTask(HeadlessState& state) {
    std::lock_guard guard(state.mutex);
    if (state.tasks.empty()) return std::nullopt;
    Task task = std::move(state.tasks.front());
    state.tasks.pop_front();
    return task;
}

// The timer that fires next: earliest deadline, then the one started first.
std::map<TimerId, HeadlessTimer>::iterator nextDue(HeadlessState& state) {
    return std::min_element(state.timers.begin(), state.timers.end(), [](const auto& a, const auto& b) {
        if (a.second.deadlineNs != b.second.deadlineNs) return a.second.deadlineNs < b.second.deadlineNs;
        return a.first < b.first;
    });
}

void fire(HeadlessState& state, std::map<TimerId, HeadlessTimer>::iterator due) {
    HeadlessTimer& timer = due->second;
    state.nowNs.store(std::max(state.nowNs.load(), timer.deadlineNs));
    std::shared_ptr<Task> task = timer.task;
    if (timer.repeats) {
        timer.deadlineNs += timer.intervalNs;
    } else {
        state.timers.erase(due);
    }
    (*task)();
}

void run(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("loop.run");
    {
        std::lock_guard guard(state.mutex);
        state.quitRequested = false;
    }
    for (;;) {
        if (quitRequested(state)) break;
        if (std::optional<Task> task = takeTask(state)) {
            (*task)();
            continue;
        }
        if (!state.timers.empty()) {
            fire(state, nextDue(state));
            continue;
        }
        std::unique_lock lock(state.mutex);
        if (!state.waitWhenIdle) break;
        state.posted.wait(lock, [&] { return state.quitRequested || !state.tasks.empty(); });
    }
}

void quit(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("loop.quit");
    std::lock_guard guard(state.mutex);
    state.quitRequested = true;
    state.posted.notify_all();
}

void post(void* self, Task task) { headlessState(self).post(std::move(task)); }

TimerId startTimer(void* self, std::uint64_t intervalNs, bool repeats, Task task) {
    HeadlessState& state = headlessState(self);
    TimerId id = state.nextTimer++;
    HeadlessTimer timer;
    timer.deadlineNs = state.nowNs.load() + intervalNs;
    timer.intervalNs = std::max<std::uint64_t>(intervalNs, 1);
    timer.repeats = repeats;
    timer.task = std::make_shared<Task>(std::move(task));
    state.timers.emplace(id, std::move(timer));
    char line[96];
    std::snprintf(line, sizeof line, "timer.start interval_ns=%llu repeats=%d",
                  static_cast<unsigned long long>(intervalNs), repeats ? 1 : 0);
    state.note(line);
    return id;
}

void cancelTimer(void* self, TimerId timer) { headlessState(self).timers.erase(timer); }

std::uint64_t wallClockNs(void* self) {
    HeadlessState& state = headlessState(self);
    return state.wallStartNs.load() + state.nowNs.load();
}

// The virtual clock itself: it only moves forward.
std::uint64_t monotonicNs(void* self) { return headlessState(self).nowNs.load(); }

void watchTerminate(void* self, Task onTerminate) {
    HeadlessState& state = headlessState(self);
    state.note("signal.watch SIGTERM");
    state.onTerminate = std::move(onTerminate);
}

void unwatchTerminate(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("signal.unwatch SIGTERM");
    state.onTerminate.reset();
}

// Nothing of another program comes to the in-memory backend.
void finish(void*) {}

}  // namespace

bool quitRequested(HeadlessState& state) {
    std::lock_guard guard(state.mutex);
    return state.quitRequested;
}

bool runNestedLoop(HeadlessState& state, std::uint64_t forNs) {
    const std::uint64_t until = state.nowNs.load() + forNs;
    for (;;) {
        if (quitRequested(state)) return false;
        if (std::optional<Task> task = takeTask(state)) {
            (*task)();
            continue;
        }
        if (!state.timers.empty()) {
            auto due = nextDue(state);
            if (due->second.deadlineNs <= until) {
                fire(state, due);
                continue;
            }
        }
        break;
    }
    state.nowNs.store(std::max(state.nowNs.load(), until));
    return true;
}

void HeadlessState::note(std::string line) {
    std::lock_guard guard(mutex);
    log.push_back(std::move(line));
}

void HeadlessState::post(Task task) {
    std::lock_guard guard(mutex);
    tasks.push_back(std::move(task));
    posted.notify_all();
}

LoopService headlessLoop() {
    LoopService loop;
    KELVO_STANDIN_FILL(loop, KELVO_STANDIN_LOOP_FUNCTIONS)
    return loop;
}

void HeadlessStandIn::waitForPostsWhenIdle(bool wait) {
    std::lock_guard guard(state_->mutex);
    state_->waitWhenIdle = wait;
}

TimerId HeadlessState::startOwnTimer(std::uint64_t atNs, std::uint64_t intervalNs, bool repeats, Task task) {
    HeadlessTimer timer;
    timer.deadlineNs = atNs;
    timer.intervalNs = std::max<std::uint64_t>(intervalNs, 1);
    timer.repeats = repeats;
    timer.ownedByTest = true;
    timer.task = std::make_shared<Task>(std::move(task));
    TimerId id = nextTimer++;
    timers.emplace(id, std::move(timer));
    return id;
}

void HeadlessStandIn::at(std::uint64_t atNs, Task task) { state_->startOwnTimer(atNs, 0, false, std::move(task)); }

std::size_t HeadlessStandIn::activeTimers() const {
    return static_cast<std::size_t>(std::count_if(state_->timers.begin(), state_->timers.end(),
                                                  [](const auto& t) { return !t.second.ownedByTest; }));
}

std::uint64_t HeadlessStandIn::nowNs() const { return state_->nowNs.load(); }

void HeadlessStandIn::setWallClockStartNs(std::uint64_t ns) { state_->wallStartNs.store(ns); }

void HeadlessStandIn::raiseTerminate() {
    HeadlessState* state = state_.get();
    state->note("signal.raise SIGTERM");
    // Like a signal source: the handler runs on the main loop, if one is watching by then.
    state->post([state] {
        if (!state->onTerminate) return;
        Task handler = *state->onTerminate;  // the handler may unwatch while it runs
        handler();
    });
}

}  // namespace kelvo::standin
