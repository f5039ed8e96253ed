// The application icon from pixels, which the dock-icon thread renders on its own thread.

#include <cstring>
#include <limits>
#include <vector>

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

void kelvo_appkit_set_dock_icon_rgba(KelvoAppKitHost* host, const std::uint8_t* pixels, std::uint32_t width,
                                     std::uint32_t height) {
    if (host == nullptr || pixels == nullptr || width == 0 || height == 0) return;
    const std::uint64_t bytes = std::uint64_t{width} * height * 4;
    if (bytes > std::numeric_limits<std::uint32_t>::max()) return;
    auto copy = std::make_shared<std::vector<std::uint8_t>>(pixels, pixels + bytes);
    std::weak_ptr<HostLife> life = host->life;
    standin::StandIn* platform = host->platform;
    platform->loop.post(platform->self, [life, platform, copy, width, height] {
        if (life.expired()) return;
        platform->windows.setAppIcon(platform->self, standin::RgbaImage{copy->data(), width, height});
    });
}

}  // namespace kelvo
