// The binary canvas packet reader on arbitrary bytes: a packet it takes is written again and
// reads back to the same model (NaN numbers aside, which compare unequal to themselves).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_writers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<kelvo::CanvasPacket> packet = kelvo::readBinaryCanvasPacket({data, size});
    if (!packet) return 0;
    std::vector<std::uint8_t> again(size);
    const kelvo::PacketWriteResult written = kelvo::writeBinaryCanvasPacket(*packet, again);
    // Only the reserved byte and ignored flag bits may differ, so the size is the same.
    if (!written.fits || written.size != size) __builtin_trap();
    if (!kelvo::readBinaryCanvasPacket(again)) __builtin_trap();
    return 0;
}
