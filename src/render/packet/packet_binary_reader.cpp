#include <algorithm>
#include <bit>
#include <cstring>

#include "base/utf8.hpp"
#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_wire.hpp"

namespace kelvo {

namespace {

// The cursor over a binary packet. Reads are sticky: once a read runs short, `failed` stays set,
// every later read yields 0 and the position stays where it was.
struct PacketReader {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
    bool failed = false;

    [[nodiscard]] std::size_t left() const { return bytes.size() - position; }

    std::uint64_t unsignedOf(std::size_t width) {
        if (failed || left() < width) {
            failed = true;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{bytes[position + i]} << (8 * i);
        position += width;
        return value;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedOf(1)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedOf(4)); }
    std::uint64_t u64() { return unsignedOf(8); }
    double f32() { return std::bit_cast<float>(u32()); }

    // A list count: it must not exceed the bytes left after it, so a corrupt count never sizes a
    // container or starts a long loop.
    std::optional<std::uint32_t> count() {
        const std::uint32_t n = u32();
        if (failed || n > left()) {
            failed = true;
            return std::nullopt;
        }
        return n;
    }

    PacketRect rect() {
        PacketRect r;
        r.x = f32();
        r.y = f32();
        r.width = f32();
        r.height = f32();
        return r;
    }
    PacketPoint point() {
        PacketPoint p;
        p.x = f32();
        p.y = f32();
        return p;
    }
    template <std::size_t N>
    std::array<double, N> numbers() {
        std::array<double, N> values{};
        for (double& v : values) v = f32();
        return values;
    }

    std::optional<std::string> string() {
        const std::optional<std::uint32_t> n = count();
        if (!n) return std::nullopt;
        return text(*n);
    }

    // The `n` bytes at the position, which must be UTF-8 (and must be there).
    std::optional<std::string> text(std::uint32_t n) {
        if (failed || n > left()) {
            failed = true;
            return std::nullopt;
        }
        const std::string_view text(reinterpret_cast<const char*>(bytes.data() + position), n);
        if (!isValidUtf8(text)) {
            failed = true;
            return std::nullopt;
        }
        position += n;
        return std::string(text);
    }
};

// Room for at most as many items as the bytes left could hold at their smallest wire size.
template <class T>
void reserveFor(std::vector<T>& items, std::uint32_t count, const PacketReader& reader, std::size_t minWire) {
    items.reserve(std::min<std::size_t>(count, reader.left() / minWire));
}

bool readShape(PacketReader& r, PacketShape& shape) {
    const std::uint8_t tag = r.u8();
    if (r.failed || tag < 1 || tag > 5) return false;
    shape.kind = static_cast<PacketShapeKind>(tag);
    switch (shape.kind) {
        case PacketShapeKind::rect:
            shape.rect = r.rect();
            break;
        case PacketShapeKind::rounded_rect:
            shape.rect = r.rect();
            shape.radius = r.numbers<4>();
            break;
        case PacketShapeKind::stroke_rect:
            shape.rect = r.rect();
            shape.radius = r.numbers<4>();
            shape.width = r.f32();
            break;
        case PacketShapeKind::line:
            shape.from = r.point();
            shape.to = r.point();
            shape.width = r.f32();
            break;
        case PacketShapeKind::path: {
            const std::optional<std::uint32_t> n = r.count();
            if (!n) return false;
            reserveFor(shape.path, *n, r, kPacketMinWire.path_element);
            for (std::uint32_t i = 0; i < *n && !r.failed; ++i) {
                PacketPathElement element;
                const std::uint8_t verb = r.u8();
                if (r.failed || verb >= kPacketVerbPoints.size()) return false;
                element.verb = static_cast<PacketPathVerb>(verb);
                element.point_count = kPacketVerbPoints[verb];
                for (std::uint8_t p = 0; p < element.point_count; ++p) element.points[p] = r.point();
                shape.path.push_back(element);
            }
            break;
        }
    }
    return !r.failed;
}

bool readPaint(PacketReader& r, PacketPaint& paint) {
    const std::uint8_t tag = r.u8();
    if (r.failed || tag < 1 || tag > 2) return false;
    paint.kind = static_cast<PacketPaintKind>(tag);
    if (paint.kind == PacketPaintKind::color) {
        paint.color = r.numbers<4>();
        return !r.failed;
    }
    paint.start = r.point();
    paint.end = r.point();
    const std::optional<std::uint32_t> n = r.count();
    if (!n) return false;
    reserveFor(paint.stops, *n, r, kPacketMinWire.gradient_stop);
    for (std::uint32_t i = 0; i < *n && !r.failed; ++i) {
        PacketGradientStop stop;
        stop.offset = r.f32();
        stop.color = r.numbers<4>();
        paint.stops.push_back(stop);
    }
    return !r.failed;
}

bool readImage(PacketReader& r, PacketImageDraw& image) {
    image.image = r.u64();
    if (r.u8() != 0) image.src = r.rect();
    image.dst = r.rect();
    image.opacity = r.f32();
    image.fit = packetImageFitFromWire(r.u8());
    image.sampling = r.u8() == 0 ? PacketSampling::nearest : PacketSampling::linear;
    image.radius = r.numbers<4>();
    return !r.failed;
}

bool readText(PacketReader& r, PacketText& text) {
    text.font = r.u64();
    text.size = r.f32();
    text.origin = r.point();
    text.color = r.numbers<4>();
    std::optional<std::string> body = r.string();
    if (!body) return false;
    text.text = std::move(*body);
    if (r.u8() == 0) return !r.failed;
    PacketTextLayout layout;
    layout.max_width = r.f32();
    layout.line_height = r.f32();
    layout.wrap = packetTextWrapFromWire(r.u8());
    layout.align = packetTextAlignFromWire(r.u8());
    text.layout = layout;
    if (r.u8() == 0) return !r.failed;
    const std::optional<std::uint32_t> n = r.count();
    if (!n) return false;
    auto& lines = text.lines.emplace();
    reserveFor(lines, *n, r, kPacketMinWire.text_line);
    for (std::uint32_t i = 0; i < *n && !r.failed; ++i) {
        PacketTextLine line;
        line.x = r.f32();
        line.baseline = r.f32();
        const std::uint32_t length = r.u32();
        if (r.failed) return false;
        if (length == kPacketUnreadableLine) {
            lines.push_back({0, 0, {}, false});
            continue;
        }
        std::optional<std::string> s = r.text(length);
        if (!s) return false;
        line.text = std::move(*s);
        lines.push_back(std::move(line));
    }
    return !r.failed;
}

bool readEffect(PacketReader& r, PacketEffect& effect) {
    const std::uint8_t tag = r.u8();
    if (r.failed || tag < 1 || tag > 2) return false;
    effect.kind = static_cast<PacketEffectKind>(tag);
    effect.rect = r.rect();
    if (effect.kind == PacketEffectKind::blur) {
        effect.radius = r.f32();
        return !r.failed;
    }
    effect.radii = r.numbers<4>();
    effect.offset = r.point();
    effect.blur = r.f32();
    effect.spread = r.f32();
    effect.color = r.numbers<4>();
    return !r.failed;
}

// One command record: the 27-byte fixed part, then the optional blocks in flag-bit order.
std::optional<PacketCommand> readCommand(PacketReader& r) {
    PacketCommand command;
    command.kind = r.u8();
    const std::uint8_t flags = r.u8();
    command.bounds = r.rect();
    command.opacity = r.f32();
    command.stroke_width = r.f32();
    const std::uint8_t cap = r.u8();
    if (r.failed || cap > 1 || command.kind >= kPacketCommandKindCount) {
        r.failed = true;
        return std::nullopt;
    }
    command.cap = static_cast<PacketCap>(cap);
    if (flags & kPacketHasId) command.id = r.u64();
    if (flags & kPacketHasClip) command.clip = r.rect();
    if (flags & kPacketHasTransform) command.transform = r.numbers<6>();
    bool ok = !r.failed;
    if (ok && (flags & kPacketHasShape)) ok = readShape(r, command.shape.emplace());
    if (ok && (flags & kPacketHasPaint)) ok = readPaint(r, command.paint.emplace());
    if (ok && (flags & kPacketHasImage)) ok = readImage(r, command.image.emplace());
    if (ok && (flags & kPacketHasText)) ok = readText(r, command.text.emplace());
    if (ok && (flags & kPacketHasEffect)) ok = readEffect(r, command.effect.emplace());
    if (!ok || r.failed) {
        r.failed = true;
        return std::nullopt;
    }
    return command;
}

bool readKeys(PacketReader& r, std::vector<std::uint64_t>& keys) {
    const std::optional<std::uint32_t> n = r.count();
    if (!n) return false;
    reserveFor(keys, *n, r, kPacketMinWire.key);
    for (std::uint32_t i = 0; i < *n && !r.failed; ++i) keys.push_back(r.u64());
    return !r.failed;
}

bool readImages(PacketReader& r, CanvasPacket& packet) {
    const std::optional<std::uint32_t> n = r.count();
    if (!n) return false;
    reserveFor(packet.images, *n, r, kPacketMinWire.image);
    for (std::uint32_t i = 0; i < *n && !r.failed; ++i) {
        PacketImage image;
        image.image_id = r.u64();
        image.fingerprint = r.u64();
        image.width = r.u32();
        image.height = r.u32();
        packet.images.push_back(image);
    }
    return !r.failed;
}

bool readImageActions(PacketReader& r, CanvasPacket& packet) {
    const std::optional<std::uint32_t> n = r.count();
    if (!n) return false;
    reserveFor(packet.image_actions, *n, r, kPacketMinWire.image_action);
    for (std::uint32_t i = 0; i < *n && !r.failed; ++i) {
        PacketImageAction action;
        const std::uint8_t kind = r.u8();
        if (kind > 2) return false;
        action.kind = static_cast<PacketImageActionKind>(kind);
        action.image_id = r.u64();
        action.fingerprint = r.u64();
        const std::uint32_t index = r.u32();
        if (index != kPacketNoImageIndex) action.image_index = index;
        packet.image_actions.push_back(action);
    }
    return !r.failed;
}

bool readBody(PacketReader& r, CanvasPacket& packet, std::uint8_t flags) {
    if (flags & kPacketHasScissor) packet.scissor = r.rect();
    if (flags & kPacketHasDirtyRects) {
        if (!(flags & kPacketHasScissor)) return false;
        const std::uint32_t n = r.u32();
        if (r.failed || n < 1 || n > kPacketMaxDirtyRects) return false;
        auto& dirty = packet.dirty_rects.emplace();
        for (std::uint32_t i = 0; i < n; ++i) dirty.push_back(r.rect());
    }
    if (r.failed || !readImages(r, packet) || !readImageActions(r, packet)) return false;
    if (packet.load_action == PacketLoadAction::patch) {
        if (!readKeys(r, packet.patch_evicts.emplace())) return false;
        const std::optional<std::uint32_t> n = r.count();
        if (!n) return false;
        auto& upserts = packet.patch_upserts.emplace();
        reserveFor(upserts, *n, r, kPacketMinWire.keyed_command);
        for (std::uint32_t i = 0; i < *n; ++i) {
            const std::uint64_t key = r.u64();
            std::optional<PacketCommand> command = readCommand(r);
            if (!command) return false;
            upserts.push_back({key, std::move(*command)});
        }
        return readKeys(r, packet.patch_order.emplace());
    }
    const std::optional<std::uint32_t> n = r.count();
    if (!n) return false;
    auto& commands = packet.commands.emplace();
    auto& keys = packet.command_keys.emplace();
    reserveFor(commands, *n, r, kPacketMinWire.keyed_command);
    reserveFor(keys, *n, r, kPacketMinWire.keyed_command);
    for (std::uint32_t i = 0; i < *n; ++i) {
        keys.push_back(r.u64());
        std::optional<PacketCommand> command = readCommand(r);
        if (!command) return false;
        commands.push_back(std::move(*command));
    }
    return !r.failed;
}

}  // namespace

std::optional<CanvasPacket> readBinaryCanvasPacket(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPacketHeaderBytes) return std::nullopt;
    PacketReader r{bytes, 0, false};
    const auto magic = static_cast<std::uint32_t>(r.u32());
    const std::uint8_t version = r.u8();
    const std::uint8_t action = r.u8();
    const std::uint8_t flags = r.u8();
    r.u8();  // reserved
    if (magic != kPacketMagic || version != kPacketVersion || action < 1 || action > 3) return std::nullopt;
    CanvasPacket packet;
    packet.load_action = static_cast<PacketLoadAction>(action);
    packet.generation = r.u64();
    if (!readBody(r, packet, flags) || r.failed || r.position != bytes.size()) return std::nullopt;
    return packet;
}

}  // namespace kelvo
