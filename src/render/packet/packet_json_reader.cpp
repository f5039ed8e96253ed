#include <algorithm>
#include <cmath>
#include <limits>

#include "render/packet/json_tree.hpp"
#include "render/packet/packet_readers.hpp"

namespace kelvo {

namespace {

using Value = JsonTreeValue;
using Type = JsonTreeValue::Type;

// Lenient reading: a value of the wrong type counts as absent; inside a group of numbers an entry
// that is not a number counts 0.
double numberOr(const Value* v, double fallback) { return v && v->type == Type::number ? v->number : fallback; }
double numberAt(const Value& array, std::size_t i) { return numberOr(&array.items[i], 0); }

std::optional<std::uint64_t> exactOf(const Value* v) { return v && v->type == Type::number ? v->exact : std::nullopt; }
std::uint64_t exactOr0(const Value* v) { return exactOf(v).value_or(0); }

const Value* arrayOf(const Value* v, std::size_t minimum) {
    return v && v->type == Type::array && v->items.size() >= minimum ? v : nullptr;
}

std::string_view stringOf(const Value* v) { return v && v->type == Type::string ? std::string_view(v->text) : ""; }

template <std::size_t N>
std::optional<std::array<double, N>> numbersOf(const Value* v) {
    const Value* a = arrayOf(v, N);
    if (!a) return std::nullopt;
    std::array<double, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = numberAt(*a, i);
    return out;
}

std::optional<PacketRect> rectOf(const Value* v) {
    const auto n = numbersOf<4>(v);
    if (!n) return std::nullopt;
    return PacketRect{(*n)[0], (*n)[1], (*n)[2], (*n)[3]};
}
PacketRect rectOr0(const Value* v) { return rectOf(v).value_or(PacketRect{}); }
std::optional<PacketPoint> pointOf(const Value* v) {
    const auto n = numbersOf<2>(v);
    if (!n) return std::nullopt;
    return PacketPoint{(*n)[0], (*n)[1]};
}
PacketPoint pointOr0(const Value* v) { return pointOf(v).value_or(PacketPoint{}); }
std::array<double, 4> fourOr0(const Value* v) { return numbersOf<4>(v).value_or(std::array<double, 4>{}); }

// A colour is an array of at least four entries; an entry that is not a number counts 0 for red,
// green and blue and 1 for alpha. Anything else is no colour.
std::optional<PacketColor> colorOf(const Value* v) {
    const Value* a = arrayOf(v, 4);
    if (!a) return std::nullopt;
    return PacketColor{numberAt(*a, 0), numberAt(*a, 1), numberAt(*a, 2), numberOr(&a->items[3], 1)};
}

// Not a number: what a reader of the model takes for "absent" where the default depends on
// another value (a stop's place, a line's origin).
constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

// Drawing's defaults for what a command leaves out.
constexpr double kDefaultOpacity = 1;
constexpr double kDefaultTextSize = 12;
constexpr std::uint64_t kDefaultTextFont = 1;

template <class Enum, class NameFn>
std::optional<Enum> enumNamed(std::string_view name, int first, int last, NameFn nameOf) {
    for (int i = first; i <= last; ++i) {
        if (!name.empty() && nameOf(static_cast<Enum>(i)) == name) return static_cast<Enum>(i);
    }
    return std::nullopt;
}

std::optional<PacketShape> shapeOf(const Value* v) {
    if (!v || v->type != Type::object) return std::nullopt;
    const auto kind = enumNamed<PacketShapeKind>(stringOf(v->member("kind")), 1, 5, packetShapeKindName);
    if (!kind) return std::nullopt;
    PacketShape shape;
    shape.kind = *kind;
    shape.rect = rectOr0(v->member("rect"));
    shape.radius = fourOr0(v->member("radius"));
    shape.width = numberOr(v->member("width"), 0);
    shape.from = pointOr0(v->member("from"));
    shape.to = pointOr0(v->member("to"));
    if (const Value* path = arrayOf(v->member("path"), 0)) {
        // An element that is not a known verb with the points it needs makes the whole shape
        // unusable: a shape is drawn whole or not at all.
        for (const Value& item : path->items) {
            const auto verb = enumNamed<PacketPathVerb>(stringOf(item.member("verb")), 0, 4, packetPathVerbName);
            const Value* points = arrayOf(item.member("points"), 0);
            if (!verb || !points) return std::nullopt;
            PacketPathElement element;
            element.verb = *verb;
            element.point_count = kPacketVerbPoints[static_cast<std::size_t>(*verb)];
            if (points->items.size() < element.point_count) return std::nullopt;
            for (std::size_t i = 0; i < element.point_count; ++i) {
                const std::optional<PacketPoint> point = pointOf(&points->items[i]);
                if (!point) return std::nullopt;
                element.points[i] = *point;
            }
            shape.path.push_back(element);
        }
    }
    return shape;
}

std::optional<PacketPaint> paintOf(const Value* v) {
    if (!v || v->type != Type::object) return std::nullopt;
    const std::string_view kind = stringOf(v->member("kind"));
    PacketPaint paint;
    if (kind == "color") {
        paint.kind = PacketPaintKind::color;
        paint.color = colorOf(v->member("color"));
        return paint;
    }
    if (kind != "linear_gradient") return std::nullopt;
    paint.kind = PacketPaintKind::linear_gradient;
    paint.start = pointOr0(v->member("start"));
    paint.end = pointOr0(v->member("end"));
    if (const Value* stops = arrayOf(v->member("stops"), 0)) {
        // A stop that is not an object has no colour: the gradient fails where it is drawn.
        for (const Value& item : stops->items) {
            paint.stops.push_back({numberOr(item.member("offset"), kAbsent), colorOf(item.member("color"))});
        }
    }
    return paint;
}

std::optional<PacketImageDraw> imageOf(const Value* v) {
    if (!v || v->type != Type::object) return std::nullopt;
    PacketImageDraw image;
    image.image = exactOr0(v->member("image"));
    image.src = rectOf(v->member("src"));
    image.dst = rectOr0(v->member("dst"));
    image.opacity = numberOr(v->member("opacity"), kDefaultOpacity);
    const std::string_view fit = stringOf(v->member("fit"));
    image.fit = fit == "contain" ? PacketImageFit::contain
                : fit == "cover" ? PacketImageFit::cover
                                 : PacketImageFit::stretch;
    image.sampling = stringOf(v->member("sampling")) == "nearest" ? PacketSampling::nearest : PacketSampling::linear;
    image.radius = fourOr0(v->member("radius"));
    return image;
}

std::optional<PacketText> textOf(const Value* v) {
    if (!v || v->type != Type::object) return std::nullopt;
    PacketText text;
    const Value* font = v->member("font");
    text.font = font && font->type == Type::number ? exactOr0(font) : kDefaultTextFont;
    text.size = numberOr(v->member("size"), kDefaultTextSize);
    text.origin = pointOr0(v->member("origin"));
    text.color = colorOf(v->member("color"));
    text.text = std::string(stringOf(v->member("text")));
    if (const Value* layout = v->member("layout"); layout && layout->type == Type::object) {
        PacketTextLayout& l = text.layout.emplace();
        l.max_width = numberOr(layout->member("maxWidth"), 0);
        l.line_height = numberOr(layout->member("lineHeight"), 0);
        const std::string_view wrap = stringOf(layout->member("wrap"));
        l.wrap = wrap == "none"        ? PacketTextWrap::none
                 : wrap == "character" ? PacketTextWrap::character
                                       : PacketTextWrap::word;
        const std::string_view align = stringOf(layout->member("align"));
        l.align = align == "center" ? PacketTextAlign::center
                  : align == "end"  ? PacketTextAlign::end
                                    : PacketTextAlign::start;
    }
    if (const Value* lines = arrayOf(v->member("lines"), 0)) {
        auto& out = text.lines.emplace();
        for (const Value& item : lines->items) {
            if (item.type != Type::object) {
                out.push_back({0, 0, {}, false});
                continue;
            }
            out.push_back({numberOr(item.member("x"), kAbsent), numberOr(item.member("baseline"), kAbsent),
                           std::string(stringOf(item.member("text")))});
        }
    }
    return text;
}

std::optional<PacketEffect> effectOf(const Value* v) {
    if (!v || v->type != Type::object) return std::nullopt;
    const std::string_view kind = stringOf(v->member("kind"));
    PacketEffect effect;
    effect.rect = rectOr0(v->member("rect"));
    if (kind == "blur") {
        effect.kind = PacketEffectKind::blur;
        effect.radius = numberOr(v->member("radius"), 0);
        return effect;
    }
    if (kind != "shadow") return std::nullopt;
    effect.kind = PacketEffectKind::shadow;
    effect.radii = fourOr0(v->member("radius"));
    effect.offset = pointOr0(v->member("offset"));
    effect.blur = numberOr(v->member("blur"), 0);
    effect.spread = numberOr(v->member("spread"), 0);
    effect.color = colorOf(v->member("color"));
    return effect;
}

PacketCommand commandOf(const Value& v) {
    PacketCommand command;
    command.kind = kPacketUnknownKind;
    const std::string_view kind = stringOf(v.member("kind"));
    for (std::uint8_t k = 0; k < kPacketCommandKindCount; ++k) {
        if (packetCommandKindName(k) == kind) command.kind = k;
    }
    command.bounds = rectOr0(v.member("bounds"));
    command.opacity = numberOr(v.member("opacity"), kDefaultOpacity);
    command.stroke_width = numberOr(v.member("strokeWidth"), 0);
    command.cap = stringOf(v.member("cap")) == "round" ? PacketCap::round : PacketCap::butt;
    command.id = exactOf(v.member("id"));
    command.clip = rectOf(v.member("clip"));
    command.transform = numbersOf<6>(v.member("transform"));
    command.shape = shapeOf(v.member("shape"));
    command.paint = paintOf(v.member("paint"));
    command.image = imageOf(v.member("image"));
    command.text = textOf(v.member("text"));
    command.effect = effectOf(v.member("effect"));
    return command;
}

// The entries of a key list that are exact u64 keys; `malformed` is set when any is not.
std::optional<std::vector<std::uint64_t>> validKeysOf(const Value* v, bool& malformed) {
    const Value* a = arrayOf(v, 0);
    if (!a) return std::nullopt;
    std::vector<std::uint64_t> keys;
    keys.reserve(a->items.size());
    for (const Value& item : a->items) {
        const std::optional<std::uint64_t> key = exactOf(&item);
        if (key) keys.push_back(*key);
        malformed = malformed || !key;
    }
    return keys;
}

// A key list whose every entry is an exact u64; anything else makes the list absent, so that no
// key is silently taken for another.
std::optional<std::vector<std::uint64_t>> keysOf(const Value* v) {
    bool malformed = false;
    std::optional<std::vector<std::uint64_t>> keys = validKeysOf(v, malformed);
    if (malformed) return std::nullopt;
    return keys;
}

std::optional<std::vector<std::uint8_t>> pixelsOf(const Value* v) {
    const Value* a = arrayOf(v, 0);
    if (!a) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(a->items.size());
    for (const Value& item : a->items) {
        const double n = std::clamp(numberOr(&item, 0), 0.0, 255.0);
        bytes.push_back(static_cast<std::uint8_t>(std::lround(n)));
    }
    return bytes;
}

}  // namespace

std::optional<CanvasPacket> readJsonCanvasPacket(std::string_view text) {
    if (text.size() > kPacketJsonMaxBytes) return std::nullopt;
    const std::optional<Value> root = parseJsonTree(text, kPacketJsonMaxDepth);
    if (!root || root->type != Type::object) return std::nullopt;
    CanvasPacket packet;
    const std::string_view action = stringOf(root->member("loadAction"));
    for (PacketLoadAction a : {PacketLoadAction::load, PacketLoadAction::clear, PacketLoadAction::patch}) {
        if (packetLoadActionName(a) == action) packet.load_action = a;
    }
    packet.generation = exactOf(root->member("generation"));
    packet.scissor = rectOf(root->member("scissorBounds"));
    if (const Value* dirty = arrayOf(root->member("dirtyRects"), 0)) {
        // One malformed entry drops them all.
        std::vector<PacketRect> rects;
        for (const Value& item : dirty->items) {
            const std::optional<PacketRect> rect = rectOf(&item);
            if (!rect) {
                rects.clear();
                break;
            }
            rects.push_back(*rect);
        }
        if (!rects.empty()) packet.dirty_rects = std::move(rects);
    }
    if (const Value* images = arrayOf(root->member("images"), 0)) {
        for (const Value& item : images->items) {
            PacketImage image;
            image.image_id = exactOr0(item.member("imageId"));
            image.fingerprint = exactOr0(item.member("fingerprint"));
            image.width = numberOr(item.member("width"), 0);
            image.height = numberOr(item.member("height"), 0);
            image.pixels = pixelsOf(item.member("pixels"));
            packet.images.push_back(std::move(image));
        }
    }
    if (const Value* actions = arrayOf(root->member("imageActions"), 0)) {
        for (const Value& item : actions->items) {
            PacketImageAction action;
            action.kind = PacketImageActionKind::unknown;
            const std::string_view kind = stringOf(item.member("kind"));
            for (auto k :
                 {PacketImageActionKind::upload, PacketImageActionKind::retain, PacketImageActionKind::evict}) {
                if (packetImageActionName(k) == kind) action.kind = k;
            }
            const Value* key = item.member("key");
            action.image_id = exactOr0(key ? key->member("imageId") : nullptr);
            action.fingerprint = exactOr0(key ? key->member("fingerprint") : nullptr);
            action.image_index = exactOf(item.member("imageIndex"));
            packet.image_actions.push_back(action);
        }
    }
    packet.patch_evicts = validKeysOf(root->member("patchEvicts"), packet.patch_malformed);
    packet.patch_order = validKeysOf(root->member("patchOrder"), packet.patch_malformed);
    if (const Value* upserts = arrayOf(root->member("patchUpserts"), 0)) {
        auto& out = packet.patch_upserts.emplace();
        for (const Value& item : upserts->items) {
            const Value* command = item.member("command");
            const std::optional<std::uint64_t> key = exactOf(item.member("key"));
            if (!key || !command || command->type != Type::object) {
                packet.patch_malformed = true;
                continue;
            }
            out.push_back({*key, commandOf(*command)});
        }
    }
    if (const Value* commands = arrayOf(root->member("commands"), 0)) {
        auto& out = packet.commands.emplace();
        out.reserve(commands->items.size());
        // A command that is not an object keeps its place (its key stays paired) with no kind.
        for (const Value& item : commands->items) out.push_back(commandOf(item));
    }
    packet.command_keys = keysOf(root->member("commandKeys"));
    return packet;
}

}  // namespace kelvo
