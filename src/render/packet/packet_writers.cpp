#include "render/packet/packet_writers.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/byte_order.hpp"
#include "render/packet/packet_wire.hpp"

namespace kelvo {

namespace {

// Appends to a fixed buffer and keeps counting past its end.
template <class Byte>
struct Sink {
    std::span<Byte> out;
    std::size_t size = 0;

    void bytes(const void* data, std::size_t n) {
        // An empty text may have no storage at all: nothing is copied then.
        if (n > 0 && size + n <= out.size()) std::memcpy(out.data() + size, data, n);
        size += n;
    }
    [[nodiscard]] PacketWriteResult result() const { return {size, size <= out.size()}; }
};

// ---- binary ----

struct BinaryOut : Sink<std::uint8_t> {
    void le(std::uint64_t v, std::size_t width) {
        std::uint8_t b[8];
        storeLittleEndian(b, v, width);
        bytes(b, width);
    }
    void u8(std::uint8_t v) { le(v, 1); }
    void u32(std::uint32_t v) { le(v, 4); }
    void u64(std::uint64_t v) { le(v, 8); }
    void f32(double v) {
        // Narrowing a double beyond the float range is undefined: saturate to infinity instead.
        float f = 0;
        if (std::isnan(v)) {
            f = std::numeric_limits<float>::quiet_NaN();
        } else if (std::fabs(v) > std::numeric_limits<float>::max()) {
            f = std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(v > 0 ? 1 : -1));
        } else {
            f = static_cast<float>(v);
        }
        u32(std::bit_cast<std::uint32_t>(f));
    }
    void count(std::size_t n) { u32(static_cast<std::uint32_t>(n)); }
    void rect(const PacketRect& r) {
        f32(r.x);
        f32(r.y);
        f32(r.width);
        f32(r.height);
    }
    void point(const PacketPoint& p) {
        f32(p.x);
        f32(p.y);
    }
    template <std::size_t N>
    void numbers(const std::array<double, N>& values) {
        for (double v : values) f32(v);
    }
    void string(const std::string& s) {
        count(s.size());
        bytes(s.data(), s.size());
    }
    // The binary form always carries a colour: one the model lacks (only the JSON form can leave
    // it out) goes as transparent.
    void color(const std::optional<PacketColor>& c) { numbers(c.value_or(PacketColor{})); }
};

std::uint8_t commandFlags(const PacketCommand& c) {
    std::uint8_t flags = 0;
    if (c.id) flags |= kPacketHasId;
    if (c.clip) flags |= kPacketHasClip;
    if (c.transform) flags |= kPacketHasTransform;
    if (c.shape) flags |= kPacketHasShape;
    if (c.paint) flags |= kPacketHasPaint;
    if (c.image) flags |= kPacketHasImage;
    if (c.text) flags |= kPacketHasText;
    if (c.effect) flags |= kPacketHasEffect;
    return flags;
}

void writeShape(BinaryOut& o, const PacketShape& s) {
    o.u8(static_cast<std::uint8_t>(s.kind));
    switch (s.kind) {
        case PacketShapeKind::rect:
            o.rect(s.rect);
            break;
        case PacketShapeKind::rounded_rect:
            o.rect(s.rect);
            o.numbers(s.radius);
            break;
        case PacketShapeKind::stroke_rect:
            o.rect(s.rect);
            o.numbers(s.radius);
            o.f32(s.width);
            break;
        case PacketShapeKind::line:
            o.point(s.from);
            o.point(s.to);
            o.f32(s.width);
            break;
        case PacketShapeKind::path:
            o.count(s.path.size());
            for (const PacketPathElement& e : s.path) {
                o.u8(static_cast<std::uint8_t>(e.verb));
                // The wire carries exactly the verb's points; missing ones are 0.
                for (std::uint8_t i = 0; i < kPacketVerbPoints[static_cast<std::size_t>(e.verb)]; ++i) {
                    o.point(i < e.point_count ? e.points[i] : PacketPoint{});
                }
            }
            break;
    }
}

void writeCommand(BinaryOut& o, const PacketCommand& c) {
    o.u8(c.kind);
    o.u8(commandFlags(c));
    o.rect(c.bounds);
    o.f32(c.opacity);
    o.f32(c.stroke_width);
    o.u8(static_cast<std::uint8_t>(c.cap));
    if (c.id) o.u64(*c.id);
    if (c.clip) o.rect(*c.clip);
    if (c.transform) o.numbers(*c.transform);
    if (c.shape) writeShape(o, *c.shape);
    if (const auto& p = c.paint) {
        o.u8(static_cast<std::uint8_t>(p->kind));
        if (p->kind == PacketPaintKind::color) {
            o.color(p->color);
        } else {
            o.point(p->start);
            o.point(p->end);
            o.count(p->stops.size());
            for (const PacketGradientStop& stop : p->stops) {
                o.f32(stop.offset);
                o.color(stop.color);
            }
        }
    }
    if (const auto& i = c.image) {
        o.u64(i->image);
        o.u8(i->src ? 1 : 0);
        if (i->src) o.rect(*i->src);
        o.rect(i->dst);
        o.f32(i->opacity);
        o.u8(static_cast<std::uint8_t>(i->fit));
        o.u8(static_cast<std::uint8_t>(i->sampling));
        o.numbers(i->radius);
    }
    if (const auto& t = c.text) {
        o.u64(t->font);
        o.f32(t->size);
        o.point(t->origin);
        o.color(t->color);
        o.string(t->text);
        // Lines travel inside a layout block. A text without a layout is drawn as one line
        // whatever lines it holds, so its lines are left out: the binary form has no place for them.
        o.u8(t->layout ? 1 : 0);
        if (t->layout) {
            o.f32(t->layout->max_width);
            o.f32(t->layout->line_height);
            o.u8(static_cast<std::uint8_t>(t->layout->wrap));
            o.u8(static_cast<std::uint8_t>(t->layout->align));
            o.u8(t->lines ? 1 : 0);
            if (t->lines) {
                o.count(t->lines->size());
                for (const PacketTextLine& line : *t->lines) {
                    if (!line.readable) {
                        o.f32(0);
                        o.f32(0);
                        o.u32(kPacketUnreadableLine);
                        continue;
                    }
                    o.f32(line.x);
                    o.f32(line.baseline);
                    o.string(line.text);
                }
            }
        }
    }
    if (const auto& e = c.effect) {
        o.u8(static_cast<std::uint8_t>(e->kind));
        o.rect(e->rect);
        if (e->kind == PacketEffectKind::blur) {
            o.f32(e->radius);
        } else {
            o.numbers(e->radii);
            o.point(e->offset);
            o.f32(e->blur);
            o.f32(e->spread);
            o.color(e->color);
        }
    }
}

// An image side as the wire's u32: NaN and negative sizes are 0, huge ones the largest u32.
std::uint32_t wireSize(double v) {
    if (!(v > 0)) return 0;
    return v >= 4294967295.0 ? 0xffffffffu : static_cast<std::uint32_t>(v);
}

template <class Keys>
void writeKeys(BinaryOut& o, const Keys& keys) {
    o.count(keys.size());
    for (std::uint64_t key : keys) o.u64(key);
}

// ---- JSON ----

struct JsonOut : Sink<char> {
    bool first = true;  // no comma before the next member or item

    void raw(std::string_view s) { bytes(s.data(), s.size()); }
    void comma() {
        if (!first) raw(",");
        first = false;
    }
    void key(std::string_view k) {
        comma();
        string(k);
        raw(":");
    }
    void open(char c) {
        bytes(&c, 1);
        first = true;
    }
    void close(char c) {
        bytes(&c, 1);
        first = false;
    }
    void number(double v) {
        if (!std::isfinite(v)) v = 0;
        char buffer[64];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        bytes(buffer, static_cast<std::size_t>(r.ptr - buffer));
    }
    void integer(std::uint64_t v) {
        char buffer[24];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        bytes(buffer, static_cast<std::size_t>(r.ptr - buffer));
    }
    void string(std::string_view s) {
        raw("\"");
        std::size_t run = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c != '"' && c != '\\' && c >= 0x20) continue;
            raw(s.substr(run, i - run));
            if (c == '"' || c == '\\') {
                const char escaped[2] = {'\\', static_cast<char>(c)};
                bytes(escaped, 2);
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                bytes(escaped, 6);
            }
            run = i + 1;
        }
        raw(s.substr(run));
        raw("\"");
    }
    template <std::size_t N>
    void numbers(const std::array<double, N>& values) {
        open('[');
        for (double v : values) {
            comma();
            number(v);
        }
        close(']');
    }
    void rect(const PacketRect& r) { numbers(std::array<double, 4>{r.x, r.y, r.width, r.height}); }
    void point(const PacketPoint& p) { numbers(std::array<double, 2>{p.x, p.y}); }
    // Members the model may lack are left out, so the text reads back as the same model: a colour
    // that is absent, and a number that is not finite where that means "absent" (a stop's offset,
    // a line's x and baseline).
    void colorMember(std::string_view k, const std::optional<PacketColor>& c) {
        if (!c) return;
        key(k);
        numbers(*c);
    }
    void optionalNumberMember(std::string_view k, double v) {
        if (!std::isfinite(v)) return;
        key(k);
        number(v);
    }
    // A member: its key, then its value.
    template <class... Value>
    void member(std::string_view k, void (JsonOut::*write)(Value...), Value... value) {
        key(k);
        (this->*write)(value...);
    }

    template <class Keys>
    void keys(const Keys& list) {
        open('[');
        for (std::uint64_t k : list) {
            comma();
            integer(k);
        }
        close(']');
    }
};

void jsonShape(JsonOut& o, const PacketShape& s) {
    o.open('{');
    o.member<std::string_view>("kind", &JsonOut::string, packetShapeKindName(s.kind));
    switch (s.kind) {
        case PacketShapeKind::rect:
            o.key("rect");
            o.rect(s.rect);
            break;
        case PacketShapeKind::rounded_rect:
        case PacketShapeKind::stroke_rect:
            o.key("rect");
            o.rect(s.rect);
            o.key("radius");
            o.numbers(s.radius);
            if (s.kind == PacketShapeKind::stroke_rect) {
                o.member<double>("width", &JsonOut::number, s.width);
            }
            break;
        case PacketShapeKind::line:
            o.key("from");
            o.point(s.from);
            o.key("to");
            o.point(s.to);
            o.member<double>("width", &JsonOut::number, s.width);
            break;
        case PacketShapeKind::path:
            o.key("path");
            o.open('[');
            for (const PacketPathElement& e : s.path) {
                o.comma();
                o.open('{');
                o.member<std::string_view>("verb", &JsonOut::string, packetPathVerbName(e.verb));
                o.key("points");
                o.open('[');
                for (std::uint8_t i = 0; i < e.point_count; ++i) {
                    o.comma();
                    o.point(e.points[i]);
                }
                o.close(']');
                o.close('}');
            }
            o.close(']');
            break;
    }
    o.close('}');
}

void jsonPaint(JsonOut& o, const PacketPaint& p) {
    o.open('{');
    o.member<std::string_view>("kind", &JsonOut::string,
                               p.kind == PacketPaintKind::color ? "color" : "linear_gradient");
    if (p.kind == PacketPaintKind::color) {
        o.colorMember("color", p.color);
    } else {
        o.key("start");
        o.point(p.start);
        o.key("end");
        o.point(p.end);
        o.key("stops");
        o.open('[');
        for (const PacketGradientStop& stop : p.stops) {
            o.comma();
            o.open('{');
            o.optionalNumberMember("offset", stop.offset);
            o.colorMember("color", stop.color);
            o.close('}');
        }
        o.close(']');
    }
    o.close('}');
}

void jsonText(JsonOut& o, const PacketText& t) {
    o.open('{');
    o.member<std::uint64_t>("font", &JsonOut::integer, t.font);
    o.member<double>("size", &JsonOut::number, t.size);
    o.key("origin");
    o.point(t.origin);
    o.colorMember("color", t.color);
    o.member<std::string_view>("text", &JsonOut::string, t.text);
    if (t.layout) {
        o.key("layout");
        o.open('{');
        o.member<double>("maxWidth", &JsonOut::number, t.layout->max_width);
        o.member<double>("lineHeight", &JsonOut::number, t.layout->line_height);
        o.member<std::string_view>("wrap", &JsonOut::string, packetTextWrapName(t.layout->wrap));
        o.member<std::string_view>("align", &JsonOut::string, packetTextAlignName(t.layout->align));
        o.close('}');
    }
    if (t.lines) {
        o.key("lines");
        o.open('[');
        for (const PacketTextLine& line : *t.lines) {
            o.comma();
            if (!line.readable) {
                o.raw("null");
                continue;
            }
            o.open('{');
            o.optionalNumberMember("x", line.x);
            o.optionalNumberMember("baseline", line.baseline);
            o.member<std::string_view>("text", &JsonOut::string, line.text);
            o.close('}');
        }
        o.close(']');
    }
    o.close('}');
}

void jsonCommand(JsonOut& o, const PacketCommand& c) {
    o.open('{');
    o.member<std::string_view>("kind", &JsonOut::string, packetCommandKindName(c.kind));
    o.key("bounds");
    o.rect(c.bounds);
    o.member<double>("opacity", &JsonOut::number, c.opacity);
    o.member<double>("strokeWidth", &JsonOut::number, c.stroke_width);
    o.member<std::string_view>("cap", &JsonOut::string, c.cap == PacketCap::round ? "round" : "butt");
    if (c.id) {
        o.member<std::uint64_t>("id", &JsonOut::integer, *c.id);
    }
    if (c.clip) {
        o.key("clip");
        o.rect(*c.clip);
    }
    if (c.transform) {
        o.key("transform");
        o.numbers(*c.transform);
    }
    if (c.shape) {
        o.key("shape");
        jsonShape(o, *c.shape);
    }
    if (c.paint) {
        o.key("paint");
        jsonPaint(o, *c.paint);
    }
    if (const auto& i = c.image) {
        o.key("image");
        o.open('{');
        o.member<std::uint64_t>("image", &JsonOut::integer, i->image);
        if (i->src) {
            o.key("src");
            o.rect(*i->src);
        }
        o.key("dst");
        o.rect(i->dst);
        o.member<double>("opacity", &JsonOut::number, i->opacity);
        o.member<std::string_view>("fit", &JsonOut::string, packetImageFitName(i->fit));
        o.member<std::string_view>("sampling", &JsonOut::string, packetSamplingName(i->sampling));
        o.key("radius");
        o.numbers(i->radius);
        o.close('}');
    }
    if (c.text) {
        o.key("text");
        jsonText(o, *c.text);
    }
    if (const auto& e = c.effect) {
        o.key("effect");
        o.open('{');
        o.member<std::string_view>("kind", &JsonOut::string, e->kind == PacketEffectKind::blur ? "blur" : "shadow");
        o.key("rect");
        o.rect(e->rect);
        if (e->kind == PacketEffectKind::blur) {
            o.member<double>("radius", &JsonOut::number, e->radius);
        } else {
            o.key("radius");
            o.numbers(e->radii);
            o.key("offset");
            o.point(e->offset);
            o.member<double>("blur", &JsonOut::number, e->blur);
            o.member<double>("spread", &JsonOut::number, e->spread);
            o.colorMember("color", e->color);
        }
        o.close('}');
    }
    o.close('}');
}

}  // namespace

PacketWriteResult writeBinaryCanvasPacket(const CanvasPacket& packet, std::span<std::uint8_t> out) {
    BinaryOut o;
    o.out = out;
    o.u32(kPacketMagic);
    o.u8(kPacketVersion);
    o.u8(static_cast<std::uint8_t>(packet.load_action));
    const bool dirty = packet.scissor && packet.dirty_rects && !packet.dirty_rects->empty();
    o.u8(static_cast<std::uint8_t>((packet.scissor ? kPacketHasScissor : 0) | (dirty ? kPacketHasDirtyRects : 0)));
    o.u8(0);
    o.u64(packet.generation.value_or(0));
    if (packet.scissor) o.rect(*packet.scissor);
    if (dirty) {
        o.count(packet.dirty_rects->size());
        for (const PacketRect& r : *packet.dirty_rects) o.rect(r);
    }
    o.count(packet.images.size());
    for (const PacketImage& image : packet.images) {
        o.u64(image.image_id);
        o.u64(image.fingerprint);
        o.u32(wireSize(image.width));
        o.u32(wireSize(image.height));
    }
    o.count(packet.image_actions.size());
    for (const PacketImageAction& action : packet.image_actions) {
        o.u8(static_cast<std::uint8_t>(action.kind));
        o.u64(action.image_id);
        o.u64(action.fingerprint);
        o.u32(action.image_index && *action.image_index < kPacketNoImageIndex
                  ? static_cast<std::uint32_t>(*action.image_index)
                  : kPacketNoImageIndex);
    }
    static const std::vector<std::uint64_t> kNoKeys;
    if (packet.load_action == PacketLoadAction::patch) {
        writeKeys(o, packet.patch_evicts.value_or(kNoKeys));
        const std::size_t upserts = packet.patch_upserts ? packet.patch_upserts->size() : 0;
        o.count(upserts);
        for (std::size_t i = 0; i < upserts; ++i) {
            o.u64((*packet.patch_upserts)[i].key);
            writeCommand(o, (*packet.patch_upserts)[i].command);
        }
        writeKeys(o, packet.patch_order ? *packet.patch_order : kNoKeys);
    } else {
        const std::size_t n = packet.commands ? packet.commands->size() : 0;
        o.count(n);
        for (std::size_t i = 0; i < n; ++i) {
            const bool keyed = packet.command_keys && i < packet.command_keys->size();
            o.u64(keyed ? (*packet.command_keys)[i] : 0);
            writeCommand(o, (*packet.commands)[i]);
        }
    }
    return o.result();
}

PacketWriteResult writeJsonCanvasPacket(const CanvasPacket& packet, std::span<char> out) {
    JsonOut o;
    o.out = out;
    o.open('{');
    o.member<std::string_view>("loadAction", &JsonOut::string, packetLoadActionName(packet.load_action));
    if (packet.generation) {
        o.member<std::uint64_t>("generation", &JsonOut::integer, *packet.generation);
    }
    if (packet.scissor) {
        o.key("scissorBounds");
        o.rect(*packet.scissor);
    }
    if (packet.dirty_rects) {
        o.key("dirtyRects");
        o.open('[');
        for (const PacketRect& r : *packet.dirty_rects) {
            o.comma();
            o.rect(r);
        }
        o.close(']');
    }
    o.key("images");
    o.open('[');
    for (const PacketImage& image : packet.images) {
        o.comma();
        o.open('{');
        o.member<std::uint64_t>("imageId", &JsonOut::integer, image.image_id);
        o.member<std::uint64_t>("fingerprint", &JsonOut::integer, image.fingerprint);
        o.member<double>("width", &JsonOut::number, image.width);
        o.member<double>("height", &JsonOut::number, image.height);
        if (image.pixels) {
            o.key("pixels");
            o.open('[');
            for (std::uint8_t byte : *image.pixels) {
                o.comma();
                o.integer(byte);
            }
            o.close(']');
        }
        o.close('}');
    }
    o.close(']');
    o.key("imageActions");
    o.open('[');
    for (const PacketImageAction& action : packet.image_actions) {
        o.comma();
        o.open('{');
        o.member<std::string_view>("kind", &JsonOut::string, packetImageActionName(action.kind));
        o.key("key");
        o.open('{');
        o.member<std::uint64_t>("imageId", &JsonOut::integer, action.image_id);
        o.member<std::uint64_t>("fingerprint", &JsonOut::integer, action.fingerprint);
        o.close('}');
        if (action.image_index) {
            o.member<std::uint64_t>("imageIndex", &JsonOut::integer, *action.image_index);
        }
        o.close('}');
    }
    o.close(']');
    if (packet.patch_evicts) {
        o.key("patchEvicts");
        o.keys(*packet.patch_evicts);
    }
    if (packet.patch_upserts) {
        o.key("patchUpserts");
        o.open('[');
        for (const PacketUpsert& upsert : *packet.patch_upserts) {
            o.comma();
            o.open('{');
            o.member<std::uint64_t>("key", &JsonOut::integer, upsert.key);
            o.key("command");
            jsonCommand(o, upsert.command);
            o.close('}');
        }
        o.close(']');
    }
    if (packet.patch_order) {
        o.key("patchOrder");
        o.keys(*packet.patch_order);
    }
    if (packet.commands) {
        o.key("commands");
        o.open('[');
        for (const PacketCommand& command : *packet.commands) {
            o.comma();
            jsonCommand(o, command);
        }
        o.close(']');
    }
    if (packet.command_keys) {
        o.key("commandKeys");
        o.keys(*packet.command_keys);
    }
    o.close('}');
    return o.result();
}

}  // namespace kelvo
