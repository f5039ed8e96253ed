// One packet model built from the input, written in both forms: the two readers must give the
// same model back. Numbers are f32 values (what the binary form carries), finite ones only (JSON
// has no spelling for the others).

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_writers.hpp"

namespace {

using namespace kelvo;

double number(FuzzedDataProvider& in) {
    const float f = in.ConsumeFloatingPoint<float>();
    return std::isfinite(f) ? f : 0.0;
}
PacketRect rect(FuzzedDataProvider& in) { return {number(in), number(in), number(in), number(in)}; }
PacketPoint point(FuzzedDataProvider& in) { return {number(in), number(in)}; }
template <std::size_t N>
std::array<double, N> numbers(FuzzedDataProvider& in) {
    std::array<double, N> out{};
    for (double& v : out) v = number(in);
    return out;
}

PacketCommand command(FuzzedDataProvider& in) {
    PacketCommand c;
    c.kind = in.ConsumeIntegralInRange<std::uint8_t>(0, 13);
    c.bounds = rect(in);
    c.opacity = number(in);
    c.stroke_width = number(in);
    c.cap = in.ConsumeBool() ? PacketCap::round : PacketCap::butt;
    if (in.ConsumeBool()) c.id = in.ConsumeIntegral<std::uint64_t>();
    if (in.ConsumeBool()) c.clip = rect(in);
    if (in.ConsumeBool()) c.transform = numbers<6>(in);
    if (in.ConsumeBool()) {
        PacketShape& s = c.shape.emplace();
        s.kind = static_cast<PacketShapeKind>(in.ConsumeIntegralInRange<int>(1, 5));
        if (s.kind == PacketShapeKind::line) {
            s.from = point(in);
            s.to = point(in);
        } else if (s.kind != PacketShapeKind::path) {
            s.rect = rect(in);
        }
        if (s.kind == PacketShapeKind::rounded_rect || s.kind == PacketShapeKind::stroke_rect)
            s.radius = numbers<4>(in);
        if (s.kind == PacketShapeKind::stroke_rect || s.kind == PacketShapeKind::line) s.width = number(in);
        for (int n = in.ConsumeIntegralInRange<int>(0, 4); s.kind == PacketShapeKind::path && n > 0; --n) {
            PacketPathElement e;
            e.verb = static_cast<PacketPathVerb>(in.ConsumeIntegralInRange<int>(0, 4));
            e.point_count = kPacketVerbPoints[static_cast<std::size_t>(e.verb)];
            for (int p = 0; p < e.point_count; ++p) e.points[p] = point(in);
            s.path.push_back(e);
        }
    }
    if (in.ConsumeBool()) {
        PacketPaint& p = c.paint.emplace();
        if (in.ConsumeBool()) {
            p.kind = PacketPaintKind::linear_gradient;
            p.start = point(in);
            p.end = point(in);
            for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n)
                p.stops.push_back({number(in), numbers<4>(in)});
        } else {
            p.color = numbers<4>(in);
        }
    }
    if (in.ConsumeBool()) {
        PacketImageDraw& i = c.image.emplace();
        i.image = in.ConsumeIntegral<std::uint64_t>();
        if (in.ConsumeBool()) i.src = rect(in);
        i.dst = rect(in);
        i.opacity = number(in);
        i.fit = static_cast<PacketImageFit>(in.ConsumeIntegralInRange<int>(0, 2));
        i.sampling = static_cast<PacketSampling>(in.ConsumeIntegralInRange<int>(0, 1));
        i.radius = numbers<4>(in);
    }
    if (in.ConsumeBool()) {
        PacketText& t = c.text.emplace();
        t.font = in.ConsumeIntegral<std::uint64_t>();
        t.size = number(in);
        t.origin = point(in);
        t.color = numbers<4>(in);
        t.text = in.ConsumeRandomLengthString(16);
        if (in.ConsumeBool()) {
            t.layout = PacketTextLayout{number(in), number(in),
                                        static_cast<PacketTextWrap>(in.ConsumeIntegralInRange<int>(0, 2)),
                                        static_cast<PacketTextAlign>(in.ConsumeIntegralInRange<int>(0, 2))};
            if (in.ConsumeBool()) {
                auto& lines = t.lines.emplace();
                lines.push_back({number(in), number(in), "line"});
                // A line the producer could not read.
                if (in.ConsumeBool()) lines.push_back({0, 0, {}, false});
            }
        }
    }
    if (in.ConsumeBool()) {
        PacketEffect& e = c.effect.emplace();
        e.rect = rect(in);
        if (in.ConsumeBool()) {
            e.kind = PacketEffectKind::blur;
            e.radius = number(in);
        } else {
            e.radii = numbers<4>(in);
            e.offset = point(in);
            e.blur = number(in);
            e.spread = number(in);
            e.color = numbers<4>(in);
        }
    }
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    CanvasPacket packet;
    packet.load_action = static_cast<PacketLoadAction>(in.ConsumeIntegralInRange<int>(1, 3));
    packet.generation = in.ConsumeIntegral<std::uint64_t>();
    if (in.ConsumeBool()) {
        packet.scissor = rect(in);
        if (in.ConsumeBool())
            packet.dirty_rects = std::vector<PacketRect>(in.ConsumeIntegralInRange<int>(1, 8), rect(in));
    }
    for (int n = in.ConsumeIntegralInRange<int>(0, 2); n > 0; --n) {
        packet.images.push_back({in.ConsumeIntegral<std::uint64_t>(), in.ConsumeIntegral<std::uint64_t>(),
                                 static_cast<double>(in.ConsumeIntegral<std::uint32_t>()),
                                 static_cast<double>(in.ConsumeIntegral<std::uint32_t>()), std::nullopt});
    }
    for (int n = in.ConsumeIntegralInRange<int>(0, 2); n > 0; --n) {
        PacketImageAction a{static_cast<PacketImageActionKind>(in.ConsumeIntegralInRange<int>(0, 2)),
                            in.ConsumeIntegral<std::uint64_t>(), in.ConsumeIntegral<std::uint64_t>(), std::nullopt};
        if (in.ConsumeBool()) a.image_index = in.ConsumeIntegral<std::uint32_t>() % 0xffffffffu;
        packet.image_actions.push_back(a);
    }
    if (packet.load_action == PacketLoadAction::patch) {
        packet.patch_evicts =
            std::vector<std::uint64_t>(in.ConsumeIntegralInRange<int>(0, 3), in.ConsumeIntegral<std::uint64_t>());
        auto& upserts = packet.patch_upserts.emplace();
        for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n)
            upserts.push_back({in.ConsumeIntegral<std::uint64_t>(), command(in)});
        packet.patch_order =
            std::vector<std::uint64_t>(in.ConsumeIntegralInRange<int>(0, 3), in.ConsumeIntegral<std::uint64_t>());
    } else {
        auto& commands = packet.commands.emplace();
        auto& keys = packet.command_keys.emplace();
        for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n) {
            commands.push_back(command(in));
            keys.push_back(in.ConsumeIntegral<std::uint64_t>());
        }
    }
    std::vector<std::uint8_t> binary(1 << 16);
    std::vector<char> json(1 << 17);
    const PacketWriteResult b = writeBinaryCanvasPacket(packet, binary);
    const PacketWriteResult j = writeJsonCanvasPacket(packet, json);
    if (!b.fits || !j.fits) return 0;
    const std::optional<CanvasPacket> fromBinary = readBinaryCanvasPacket(std::span(binary).first(b.size));
    const std::optional<CanvasPacket> fromJson = readJsonCanvasPacket({json.data(), j.size});
    // A text of invalid UTF-8 is refused by both forms alike.
    if (fromBinary.has_value() != fromJson.has_value()) __builtin_trap();
    if (!fromBinary) return 0;
    if (!(*fromBinary == *fromJson) || !(*fromBinary == packet)) __builtin_trap();
    return 0;
}
