#include "runtime/windows/scene.hpp"

#include <array>

#include "runtime/runtime.hpp"
#include "runtime/windows/shell_checks.hpp"
#include "runtime/windows/shell_views.hpp"
#include "runtime/windows/startup_windows.hpp"

namespace kelvo {

Status validateScene(const AppScene& scene) {
    if (scene.windows.size() > kMaxConfiguredWindows) return fail(Error::InvalidLayout);
    std::array<ShellWindowDescription, kMaxConfiguredWindows> descriptions{};
    for (std::size_t i = 0; i < scene.windows.size(); ++i) {
        const SceneWindow& window = scene.windows[i];
        descriptions[i] = ShellWindowDescription{window.config.label,       window.secondName,          window.chrome,
                                                 window.config.frame.width, window.config.frame.height, window.views};
    }
    return validateShellWindows(std::span(descriptions.data(), scene.windows.size()));
}

Status loadSceneWindows(Runtime& runtime, const AppBinding& binding, const AppScene& scene) {
    std::array<WindowConfig, kMaxConfiguredWindows> configs{};
    if (scene.windows.size() > configs.size()) return fail(Error::InvalidLayout);
    for (std::size_t i = 0; i < scene.windows.size(); ++i) configs[i] = scene.windows[i].config;
    TRY(loadStartupWindowList(runtime, binding, std::span(configs.data(), scene.windows.size())));
    for (std::size_t i = 0; i < scene.windows.size(); ++i) {
        const SceneWindow& window = scene.windows[i];
        if (window.views.empty()) continue;
        // A window that already had a record kept its label, so go by id.
        const std::uint64_t id = startupWindowId(window.config.id, i, true);
        if (!findWindowIndexById(runtime, id)) return fail(Error::WindowNotFound);
        TRY(createShellViews(runtime, id, window.views, windowContentRect(runtime, id)));
    }
    return {};
}

}  // namespace kelvo
