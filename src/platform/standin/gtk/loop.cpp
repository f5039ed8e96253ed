// The GTK main loop, its main queue, timers and SIGTERM. Ending the loop ends the modal dialogs
// running inside it.
//
// Found while checking GLib: GLib's own timeouts count whole milliseconds, which would make a
// 1/60 s frame timer fire at 16 ms; a source with a ready time in microseconds keeps the interval.
// g_main_context_invoke runs at once when called on the main thread, so posting uses an idle
// source, which always waits for the loop. g_unix_signal_add installs its own handler for the
// signal and restores the default one when the last watch goes: so the watch of SIGTERM, once
// made, stays for the life of the process.
//
// GTK runs on X11 on every desktop (XWayland on a Wayland session): there windows are placed where
// the application says and report where they are, which a Wayland client cannot, and the XEmbed
// tray exists. GDK_BACKEND would override the backends allowed here, so it is taken out of the
// environment first. Without an X display GTK does not start, also when a Wayland one is there.

#include <glib-unix.h>
#include <signal.h>

#include <ctime>

#include "base/terminate_record.hpp"
#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

struct TimerSource {
    GSource source;
    GtkState* state;
    TimerId id;
    gint64 intervalUs;
    bool repeats;
    Task* task;
};

gboolean dispatchTimer(GSource* source, GSourceFunc, gpointer) {
    auto* timer = reinterpret_cast<TimerSource*>(source);
    if (timer->repeats) {
        g_source_set_ready_time(source, g_source_get_ready_time(source) + timer->intervalUs);
    } else {
        timer->state->timers.erase(timer->id);
    }
    // The task may cancel this timer; GLib keeps the source, and so the task, until dispatch ends.
    (*timer->task)();
    return timer->repeats ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void finalizeTimer(GSource* source) { delete reinterpret_cast<TimerSource*>(source)->task; }

GSourceFuncs kTimerFuncs = {nullptr, nullptr, dispatchTimer, finalizeTimer, nullptr, nullptr};

// The host's tasks and timers run below the toolkit's redraws and the web views' own work
// (WebKit dispatches its messages at G_PRIORITY_HIGH_IDLE): a host that is busy every frame,
// such as a canvas that animates while each frame takes longer than the interval, would
// otherwise keep the window from being redrawn and the pages from answering.
constexpr int kHostPriority = G_PRIORITY_HIGH_IDLE + 30;

gboolean drainTasks(gpointer data);

// The drain after this one, unless one is on its way; the caller holds the mutex.
void scheduleDrain(GtkState& state) {
    if (state.drainScheduled) return;
    state.drainScheduled = true;
    g_idle_add_full(kHostPriority, drainTasks, &state, nullptr);
}

// Runs the tasks queued when it began, one at a time, in order. A task may run a loop of its own
// (a modal dialog shows inside it): the tasks after it then run inside that loop, by the drain
// scheduled before it began, as the tasks posted meanwhile do; so whatever a task queued behind the
// one that shows a dialog does happens while the dialog is up, not once it has gone.
gboolean drainTasks(gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    std::size_t count = 0;
    {
        std::lock_guard guard(state.mutex);
        state.drainScheduled = false;
        count = state.tasks.size();
    }
    for (; count > 0; --count) {
        Task task;
        {
            std::lock_guard guard(state.mutex);
            if (state.tasks.empty()) break;
            task = std::move(state.tasks.front());
            state.tasks.pop_front();
            if (!state.tasks.empty()) scheduleDrain(state);
        }
        task();
    }
    return G_SOURCE_REMOVE;
}

gboolean onSigterm(gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (state.onTerminate) {
        Task handler = state.onTerminate;  // the handler may unwatch while it runs
        handler();
    }
    return G_SOURCE_CONTINUE;
}

bool open(void* self, const AppIdentity& identity) {
    GtkState& state = gtkState(self);
    state.quitting = false;  // a new host's loop has not been told to end
    if (state.opened) return true;
    // The names can be given once per process, before GTK starts.
    std::string name(identity.name);
    std::string displayName(identity.displayName);
    g_set_prgname(name.c_str());
    g_set_application_name(displayName.c_str());
    g_unsetenv("GDK_BACKEND");
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) return false;
    gtkWatchClipboardWrites(state);
    state.loop.reset(g_main_loop_new(nullptr, FALSE));
    state.opened = true;
    return true;
}

void run(void* self) {
    GtkState& state = gtkState(self);
    state.quitting = false;
    g_main_loop_run(state.loop.get());
}

// A modal dialog runs a loop of its own inside this one, which would hold the end back until the
// user closed it: it is answered as cancelled instead.
void quit(void* self) {
    GtkState& state = gtkState(self);
    state.quitting = true;
    g_main_loop_quit(state.loop.get());
    gtkCancelRunningDialogs(state);
}

void post(void* self, Task task) { gtkState(self).post(std::move(task)); }

TimerId startTimer(void* self, std::uint64_t intervalNs, bool repeats, Task task) {
    GtkState& state = gtkState(self);
    GSource* source = g_source_new(&kTimerFuncs, sizeof(TimerSource));
    auto* timer = reinterpret_cast<TimerSource*>(source);
    timer->state = &state;
    timer->id = state.nextTimer++;
    timer->intervalUs = std::max<gint64>(static_cast<gint64>(intervalNs / 1000), 1);
    timer->repeats = repeats;
    timer->task = new Task(std::move(task));
    g_source_set_ready_time(source, g_get_monotonic_time() + timer->intervalUs);
    g_source_set_priority(source, kHostPriority);
    g_source_attach(source, nullptr);
    g_source_unref(source);  // the main context keeps it until it is destroyed
    state.timers.emplace(timer->id, source);
    return timer->id;
}

void cancelTimer(void* self, TimerId id) {
    GtkState& state = gtkState(self);
    auto entry = state.timers.find(id);
    if (entry == state.timers.end()) return;
    g_source_destroy(entry->second);
    state.timers.erase(entry);
}

std::uint64_t wallClockNs(void*) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000ull + static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t monotonicNs(void*) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000ull + static_cast<std::uint64_t>(now.tv_nsec);
}

// A SIGTERM noted before the watch (base/terminate_record.hpp) is sent again, to the watch now.
void passOnRecordedTerminate() {
    if (takeRecordedTerminate()) raise(SIGTERM);
}

void watchTerminate(void* self, Task onTerminate) {
    GtkState& state = gtkState(self);
    state.onTerminate = std::move(onTerminate);
    if (state.terminateSource == 0) {
        state.terminateSource = g_unix_signal_add(SIGTERM, onSigterm, &state);
        sigaction(SIGTERM, nullptr, &state.watchAction);
    } else if (recordsTerminateSignals()) {
        // A later run in the same process noted SIGTERM again from its start (GLib installs its
        // handler only with its first watch of the signal): the watch takes it back.
        sigaction(SIGTERM, &state.watchAction, nullptr);
    }
    // GLib's handler has replaced the one that noted SIGTERM during start-up: a SIGTERM noted by
    // then goes to the watch, and so does one whose note a thread was still writing as the handler
    // changed (asked again once the loop turns). The watch handles it once the loop runs.
    passOnRecordedTerminate();
    state.post(passOnRecordedTerminate);
    // A process started with SIGTERM blocked lets it in here; one that came meanwhile is delivered
    // to the watch.
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    pthread_sigmask(SIG_UNBLOCK, &terminate, nullptr);
}

// The watch's source stays: a SIGTERM that comes while the run ends, on any thread, then reaches
// no handler instead of killing the process before it ends cleanly (GLib would put the default
// action back once its last watch went, and only when the source is finalized, which may be after
// this returns). The next run's watch takes the same source.
void unwatchTerminate(void* self) { gtkState(self).onTerminate = nullptr; }

// Some programs that hold the clipboard serve no one again when the window they send to goes in
// the middle of a transfer, as this process's windows do when it exits; and a program that asked
// this process for its copy waits for an answer that nothing else would give once it is gone.
void finish(void* self) { gtkFinishSelectionTransfers(gtkState(self), kTransfersEndWaitNs); }

}  // namespace

void GtkState::post(Task task) {
    std::lock_guard guard(mutex);
    tasks.push_back(std::move(task));
    scheduleDrain(*this);
}

LoopService gtkLoop() {
    LoopService loop;
    KELVO_STANDIN_FILL(loop, KELVO_STANDIN_LOOP_FUNCTIONS)
    return loop;
}

}  // namespace kelvo::standin
