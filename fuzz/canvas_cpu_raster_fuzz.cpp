// A decoded canvas packet (binary, or JSON when the input starts with '{') drawn on the CPU path on
// a 32 x 32 point surface at scale 1, 2 or 3 from the first byte, through the raster cache, twice.
// Non-finite and huge numbers, degenerate paths, images and blurs must draw without undefined
// behaviour.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/macos/canvas/packet_raster.hpp"
#include "platform/macos/canvas/raster_cache.hpp"
#include "render/packet/packet_readers.hpp"

namespace {

struct FuzzImages final : kelvo::PacketImageSource {
    std::vector<std::uint8_t> rgba = std::vector<std::uint8_t>(3 * 2 * 4, 200);
    kelvo::PacketImagePixels image{rgba.data(), 3, 2};
    const kelvo::PacketImagePixels* find(std::uint64_t id) const override { return id % 2 == 1 ? &image : nullptr; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    double scale = 1 + data[0] % 3;
    std::span<const std::uint8_t> bytes(data + 1, size - 1);
    std::optional<kelvo::CanvasPacket> packet =
        !bytes.empty() && bytes[0] == '{'
            ? kelvo::readJsonCanvasPacket(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
            : kelvo::readBinaryCanvasPacket(bytes);
    if (!packet || !packet->commands) return 0;
    std::vector<kelvo::PacketCommandRef> commands;
    for (const kelvo::PacketCommand& command : *packet->commands) {
        commands.push_back(std::make_shared<const kelvo::PacketCommand>(command));
    }
    auto side = static_cast<std::uint32_t>(32 * scale);
    std::vector<std::uint8_t> pixels(std::size_t{side} * side * 4);
    FuzzImages images;
    kelvo::RasterCache cache;
    kelvo::rasterCacheEnsure(cache, scale, side, side);
    kelvo::PacketTraceCounters counters;
    kelvo::PacketDrawEnvironment environment{&cache, &counters, &images};
    kelvo::PacketFrameDraw frame;
    frame.commands = commands;
    if (packet->command_keys) frame.keys = *packet->command_keys;
    frame.scale = scale;
    if (packet->scissor) {
        frame.has_scissor = true;
        frame.scissor = *packet->scissor;
    }
    (void)kelvo::drawPacketCommands(frame, {pixels.data(), side, side}, environment);
    if (packet->dirty_rects) frame.dirty_rects = *packet->dirty_rects;
    frame.full_surface_pass = false;
    (void)kelvo::drawPacketCommands(frame, {pixels.data(), side, side}, environment);
    return 0;
}
