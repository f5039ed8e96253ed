#include "runtime/flow/launch_timing.hpp"

#include <array>
#include <atomic>
#include <cstdlib>

#include "base/bounded_writer.hpp"
#include "base/env.hpp"
#include "base/posix_io.hpp"
#include "base/stderr.hpp"

namespace kelvo {

namespace {

constexpr std::array<std::string_view, 7> kMarkNames = {
    "app_start",        "app_started",     "scene_loaded",           "first_display_list_emitted",
    "first_plan_begin", "first_plan_done", "first_present_recorded",
};

enum : std::uint8_t { kSwitchUnread = 0, kSwitchOff = 1, kSwitchOn = 2 };

std::atomic<std::uint8_t> gSwitch{kSwitchUnread};
std::array<std::atomic<std::uint8_t>, kMarkNames.size()> gOnce{};
std::atomic<const IoOps*> gClockOps{nullptr};
std::atomic<void*> gClockContext{nullptr};

bool readSwitch() {
    std::uint8_t state = gSwitch.load(std::memory_order_relaxed);
    if (state == kSwitchUnread) {
        const EnvMap* env = processEnv();
        bool on = env != nullptr ? env->has("KELVO_WINDOW_TIMING") : std::getenv("KELVO_WINDOW_TIMING") != nullptr;
        state = on ? kSwitchOn : kSwitchOff;
        gSwitch.store(state, std::memory_order_relaxed);
    }
    return state == kSwitchOn;
}

void writeLap(LaunchMark mark) {
    Io clock{gClockContext.load(std::memory_order_acquire), gClockOps.load(std::memory_order_acquire)};
    if (!clock.present()) clock = posixIo();
    std::array<char, 96> buffer;
    BoundedWriter line(buffer);
    line.write("kelvo: launch ");
    line.write(launchMarkName(mark));
    line.write(" wall_ns=");
    line.writeSigned(ioWallClockNs(clock));
    line.put('\n');
    writeStderr(line.text());
}

}  // namespace

std::string_view launchMarkName(LaunchMark mark) {
    auto index = static_cast<std::size_t>(mark);
    return index < kMarkNames.size() ? kMarkNames[index] : "unknown";
}

bool launchTimingOn() { return readSwitch(); }

void lapLaunch(LaunchMark mark) {
    if (!readSwitch()) return;
    writeLap(mark);
}

void lapOnce(LaunchMark mark) {
    auto index = static_cast<std::size_t>(mark);
    if (index >= gOnce.size() || gOnce[index].load(std::memory_order_relaxed) != 0) return;
    if (!readSwitch()) return;
    if (gOnce[index].exchange(1, std::memory_order_relaxed) != 0) return;
    writeLap(mark);
}

void resetLaunchTimingForTests(Io clock) {
    gSwitch.store(kSwitchUnread, std::memory_order_relaxed);
    for (auto& flag : gOnce) flag.store(0, std::memory_order_relaxed);
    gClockContext.store(clock.context, std::memory_order_release);
    gClockOps.store(clock.ops, std::memory_order_release);
}

}  // namespace kelvo
