// The JSON canvas packet reader on arbitrary text: a packet it takes is written in both forms,
// and each reads back.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_writers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<kelvo::CanvasPacket> packet =
        kelvo::readJsonCanvasPacket({reinterpret_cast<const char*>(data), size});
    if (!packet) return 0;
    std::vector<char> json(size * 8 + 4096);
    const kelvo::PacketWriteResult text = kelvo::writeJsonCanvasPacket(*packet, json);
    if (text.fits && !kelvo::readJsonCanvasPacket({json.data(), text.size})) __builtin_trap();
    std::vector<std::uint8_t> binary(size * 8 + 4096);
    (void)kelvo::writeBinaryCanvasPacket(*packet, binary);
    return 0;
}
