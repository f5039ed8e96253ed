#include "platform/types/platform_event.hpp"

#include <algorithm>

namespace kelvo {

namespace {
constexpr std::array<std::string_view, kPlatformEventKindCount> kPlatformEventNames = {
#define KELVO_PLATFORM_EVENT_NAME(name, type) std::string_view(#name),
    KELVO_PLATFORM_EVENTS(KELVO_PLATFORM_EVENT_NAME)
#undef KELVO_PLATFORM_EVENT_NAME
};
}  // namespace

bool operator==(const FilesDroppedEvent& a, const FilesDroppedEvent& b) {
    return a.windowId == b.windowId && a.viewLabel == b.viewLabel && a.x == b.x && a.y == b.y &&
           a.hasPosition == b.hasPosition && std::ranges::equal(a.paths, b.paths);
}

std::string_view platformEventKindName(PlatformEventKind kind) {
    auto index = static_cast<std::size_t>(kind);
    if (index >= kPlatformEventNames.size()) return {};
    return kPlatformEventNames[index];
}

Result<PlatformEventKind> platformEventKindFromTag(std::uint64_t tag) {
    if (tag >= kPlatformEventKindCount) return fail(Error::InvalidEventKind);
    return static_cast<PlatformEventKind>(tag);
}

std::optional<PlatformEventKind> platformEventKindFromName(std::string_view name) {
    for (std::size_t i = 0; i < kPlatformEventNames.size(); ++i) {
        if (kPlatformEventNames[i] == name) return static_cast<PlatformEventKind>(i);
    }
    return std::nullopt;
}

}  // namespace kelvo
