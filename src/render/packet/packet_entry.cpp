#include "render/packet/packet_entry.hpp"

#include <cmath>
#include <string_view>

#include "render/packet/packet_readers.hpp"

namespace kelvo {

namespace {

bool positiveFinite(double v) { return std::isfinite(v) && v > 0; }

// A clock that steps back makes a duration 0, never a wrapped one.
std::uint64_t since(std::uint64_t from, std::uint64_t to) { return to > from ? to - from : 0; }

}  // namespace

PacketEntryResult enterCanvasPacket(const PacketPresenter& presenter, const PacketEntryArgs& args, PacketForm form,
                                    std::span<const std::uint8_t> bytes, PacketTimings& timings) {
    const bool available = presenter.available != nullptr && presenter.available(presenter.context);
    if (!args.requiresRender || !available) {
        return available ? PacketEntryResult::presented : PacketEntryResult::unavailable;
    }
    if (!positiveFinite(args.width) || !positiveFinite(args.height) || bytes.empty() || bytes.data() == nullptr ||
        args.unsupportedCommandCount != 0 || !args.representable) {
        return PacketEntryResult::refused;
    }
    const std::uint64_t t0 = presenter.clockNs(presenter.context);
    const std::optional<CanvasPacket> packet =
        form == PacketForm::binary
            ? readBinaryCanvasPacket(bytes)
            : readJsonCanvasPacket(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!packet) return PacketEntryResult::refused;
    const std::uint64_t t1 = presenter.clockNs(presenter.context);
    const PacketEntryResult result = presenter.present(presenter.context, *packet, args);
    if (result == PacketEntryResult::presented) {
        const std::uint64_t t2 = presenter.clockNs(presenter.context);
        timings.decodeNs = since(t0, t1);
        timings.drawNs = since(t1, t2);
    }
    return result;
}

}  // namespace kelvo
