#pragma once

#include "base/error.hpp"
#include "runtime/flow/app_binding.hpp"
#include "runtime/windows/app_scene.hpp"

namespace kelvo {

struct Runtime;

// Checks a scene before anything is created: at most 16 windows (InvalidLayout); window labels
// and second names are names (InvalidName); sizes above 0 (InvalidDimension); at most 128 views
// per window (InvalidLayout), each labelled 1 to 64 bytes with a name (InvalidName) unique within
// its window (DuplicateView); and the shell rules of declared shells.
Status validateScene(const AppScene& scene);

// Gives every scene window its record, platform window and page (as the configured start-up
// windows get theirs), then creates each window's shell views inside its content rectangle.
Status loadSceneWindows(Runtime& runtime, const AppBinding& binding, const AppScene& scene);

}  // namespace kelvo
