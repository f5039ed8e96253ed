// Sequences of JSON canvas packets (separated by a 0 byte) presented on one view, on the CPU path
// and on the compositor: whatever the packets say, presentation never reads or writes out of
// bounds, and the retained state keeps its invariants.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/macos/canvas/packet_present.hpp"
#include "render/packet/packet_readers.hpp"

namespace {

void checkRetained(const kelvo::CanvasPresenterState& state) {
    if (!state.hasRetainedState) return;
    if (state.retainedGeneration == 0 || state.retainedCommands.size() > 2048) std::abort();
    for (std::uint64_t key : state.retainedOrder) {
        if (state.retainedCommands.count(key) == 0) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    kelvo::PacketPresentArgs args;
    args.surfaceWidth = 8 + data[0] % 40;
    args.surfaceHeight = 8 + data[1] % 30;
    args.scale = 0.5 + (data[0] >> 6) * 0.75;
    args.clear = {255, 255, 255, 255};
    std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    for (bool composite : {false, true}) {
        kelvo::gpu::GpuDevice device;
        kelvo::CanvasPresenterState state;
        state.device = &device;
        state.switches = kelvo::CanvasSwitches{};
        state.switches.composite = composite;
        state.switches.compare = composite;
        static std::FILE* sink = std::fopen("/dev/null", "w");
        state.traceOut = sink;
        std::string_view rest = text;
        for (int n = 0; n < 4 && !rest.empty(); ++n) {
            std::size_t end = rest.find('\0');
            std::string_view one = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            auto packet = kelvo::readJsonCanvasPacket(one);
            if (!packet) continue;
            kelvo::presentCanvasPacket(state, *packet, args);
            checkRetained(state);
        }
        kelvo::gpu::flush(device);
    }
    return 0;
}
