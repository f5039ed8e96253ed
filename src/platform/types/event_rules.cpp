#include "platform/types/event_rules.hpp"

#include <algorithm>
#include <array>

namespace kelvo {

AudioEventKind audioEventKindFromHost(std::int64_t hostKind) {
    if (hostKind >= 0 && hostKind <= static_cast<std::int64_t>(AudioEventKind::spectrum)) {
        return static_cast<AudioEventKind>(hostKind);
    }
    return AudioEventKind::failed;
}

std::optional<std::uint32_t> accessibilityActionFromHost(std::int64_t hostAction) {
    if (hostAction < 0 || hostAction > static_cast<std::int64_t>(kMaxAccessibilityActionCode)) return std::nullopt;
    return static_cast<std::uint32_t>(hostAction);
}

GpuSurfaceInputKind gpuSurfaceInputKindFromHost(std::int64_t hostKind) {
    using K = GpuSurfaceInputKind;
    constexpr std::array<K, 12> kFromHost = {
        K::pointer_down,       K::pointer_up,    K::pointer_move, K::pointer_drag,       K::wheel,
        K::key_down,           K::key_up,        K::text_insert,  K::composition_update, K::composition_commit,
        K::composition_cancel, K::pointer_leave,
    };
    if (hostKind < 0 || hostKind >= static_cast<std::int64_t>(kFromHost.size())) return K::pointer_move;
    return kFromHost[static_cast<std::size_t>(hostKind)];
}

std::size_t splitDroppedPaths(std::string_view buffer, std::span<std::string_view> out) {
    std::size_t limit = std::min(out.size(), kMaxDroppedPaths);
    std::size_t count = 0;
    while (!buffer.empty() && count < limit) {
        std::size_t end = buffer.find('\0');
        std::string_view piece = buffer.substr(0, end);
        if (!piece.empty()) out[count++] = piece;
        if (end == std::string_view::npos) break;
        buffer.remove_prefix(end + 1);
    }
    return count;
}

}  // namespace kelvo
