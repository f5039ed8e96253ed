#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "platform/types/window_records.hpp"
#include "runtime/windows/shell_description.hpp"

namespace kelvo {

// A scene: the windows an application declares in code, each with its shell views, handed to the
// runtime by the binding's scene provider at app_start instead of the configured window list.
// Everything in it is borrowed until the provider is next asked.

struct SceneWindow {
    // Id (0: the runtime picks one; only the first window may be window 1), label, title, frame
    // and the window options.
    WindowConfig config{};
    // A further name the window goes by, checked like the label.
    std::optional<std::string_view> secondName{};
    std::optional<ShellChrome> chrome{};
    std::span<const ShellViewDescription> views{};
};

struct AppScene {
    std::span<const SceneWindow> windows{};
};

}  // namespace kelvo
