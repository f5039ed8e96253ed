#pragma once

#include <cstdint>
#include <string_view>

#include "base/io.hpp"

namespace kelvo {

// Milestones of the first seconds of a launch, written on standard error as
// "kelvo: launch <mark> wall_ns=<n>" when KELVO_WINDOW_TIMING is present (even empty).
enum class LaunchMark : std::uint8_t {
    app_start,
    app_started,
    scene_loaded,
    first_display_list_emitted,
    first_plan_begin,
    first_plan_done,
    first_present_recorded,
};

std::string_view launchMarkName(LaunchMark mark);

// Whether launch timing is on. The environment (the process environment map when start-up has
// set it, else the live environment) is read on first use only; later changes have no effect.
bool launchTimingOn();

// Writes the mark's line every time it is reached, when timing is on.
void lapLaunch(LaunchMark mark);

// Writes the mark's line the first time it is reached with timing on, never again.
void lapOnce(LaunchMark mark);

// Tests only: forget the switch and every once-flag, and stamp lines with `clock`'s wall clock
// (a default Io returns to the system clock).
void resetLaunchTimingForTests(Io clock = {});

}  // namespace kelvo
