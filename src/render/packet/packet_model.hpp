#pragma once

// A canvas packet as both of its encodings decode: one frame's drawing for a GPU canvas view, in
// the binary "KVGP" form or its JSON twin. Whatever carried a packet, what comes after decoding
// reads only this model, so a packet behaves the same in either form.
//
// Numbers are doubles (the binary form's f32 widened); keys, ids, fingerprints and the generation
// are exact u64. The JSON form is read leniently: a value of the wrong type counts as absent, and
// an absent value takes the default drawing gives it (opacity 1, text size 12). A colour the JSON
// form leaves out stays absent: the drawing that needs it fails. The binary form always carries one.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

enum class PacketLoadAction : std::uint8_t { none = 0, load = 1, clear = 2, patch = 3 };

struct PacketRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const PacketRect&, const PacketRect&) = default;
};

struct PacketPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const PacketPoint&, const PacketPoint&) = default;
};

using PacketColor = std::array<double, 4>;      // r, g, b, a
using PacketRadii = std::array<double, 4>;      // top left, top right, bottom right, bottom left
using PacketTransform = std::array<double, 6>;  // a, b, c, d, tx, ty

// Command kinds share the numbering of the frame plan's GPU commands (0 to 13).
inline constexpr std::uint8_t kPacketCommandKindCount = 14;
inline constexpr std::uint8_t kPacketUnknownKind = 0xff;  // a JSON kind string outside the table

enum class PacketShapeKind : std::uint8_t { rect = 1, rounded_rect = 2, stroke_rect = 3, line = 4, path = 5 };
enum class PacketPathVerb : std::uint8_t { move_to = 0, line_to = 1, quad_to = 2, cubic_to = 3, close = 4 };
enum class PacketPaintKind : std::uint8_t { color = 1, linear_gradient = 2 };
enum class PacketEffectKind : std::uint8_t { shadow = 1, blur = 2 };
enum class PacketCap : std::uint8_t { butt = 0, round = 1 };
enum class PacketImageFit : std::uint8_t { stretch = 0, contain = 1, cover = 2 };
enum class PacketSampling : std::uint8_t { nearest = 0, linear = 1 };
enum class PacketTextWrap : std::uint8_t { none = 0, word = 1, character = 2 };
enum class PacketTextAlign : std::uint8_t { start = 0, center = 1, end = 2 };
enum class PacketImageActionKind : std::uint8_t { upload = 0, retain = 1, evict = 2, unknown = 0xff };

// How many points each path verb carries.
inline constexpr std::array<std::uint8_t, 5> kPacketVerbPoints = {1, 1, 2, 3, 0};

struct PacketPathElement {
    PacketPathVerb verb = PacketPathVerb::move_to;
    std::uint8_t point_count = 0;  // of `points` in use; a JSON element may give fewer than its verb needs
    std::array<PacketPoint, 3> points{};
    friend bool operator==(const PacketPathElement&, const PacketPathElement&) = default;
};

struct PacketShape {
    PacketShapeKind kind = PacketShapeKind::rect;
    PacketRect rect;
    PacketRadii radius{};
    double width = 0;
    PacketPoint from;
    PacketPoint to;
    std::vector<PacketPathElement> path;
    friend bool operator==(const PacketShape&, const PacketShape&) = default;
};

struct PacketGradientStop {
    double offset = 0;  // not finite (the JSON form without one): placed by its index among the stops
    std::optional<PacketColor> color = PacketColor{};
    friend bool operator==(const PacketGradientStop&, const PacketGradientStop&) = default;
};

struct PacketPaint {
    PacketPaintKind kind = PacketPaintKind::color;
    std::optional<PacketColor> color = PacketColor{};
    PacketPoint start;
    PacketPoint end;
    std::vector<PacketGradientStop> stops;
    friend bool operator==(const PacketPaint&, const PacketPaint&) = default;
};

struct PacketImageDraw {
    std::uint64_t image = 0;
    std::optional<PacketRect> src;
    PacketRect dst;
    double opacity = 0;
    PacketImageFit fit = PacketImageFit::stretch;
    PacketSampling sampling = PacketSampling::linear;
    PacketRadii radius{};
    friend bool operator==(const PacketImageDraw&, const PacketImageDraw&) = default;
};

struct PacketTextLayout {
    double max_width = 0;
    double line_height = 0;
    PacketTextWrap wrap = PacketTextWrap::word;
    PacketTextAlign align = PacketTextAlign::start;
    friend bool operator==(const PacketTextLayout&, const PacketTextLayout&) = default;
};

// One line as the producer laid it out: where it starts, its baseline and the text it shows, with
// "…" at the end of a line that was cut.
struct PacketTextLine {
    double x = 0;         // not finite (the JSON form without one): the text's origin x
    double baseline = 0;  // not finite: the text's origin y
    std::string text;
    // False for an entry the producer could not read (in the JSON form, one that is not an object;
    // the binary form marks it in place of the text's length): drawing the text stops there and
    // fails. Such a line carries nothing else: x and baseline 0, no text.
    bool readable = true;
    friend bool operator==(const PacketTextLine&, const PacketTextLine&) = default;
};

struct PacketText {
    std::uint64_t font = 0;
    double size = 0;
    PacketPoint origin;
    std::optional<PacketColor> color = PacketColor{};
    std::string text;
    std::optional<PacketTextLayout> layout;
    std::optional<std::vector<PacketTextLine>> lines;
    friend bool operator==(const PacketText&, const PacketText&) = default;
};

struct PacketEffect {
    PacketEffectKind kind = PacketEffectKind::shadow;
    PacketRect rect;
    PacketRadii radii{};  // shadow
    PacketPoint offset;
    double blur = 0;
    double spread = 0;
    std::optional<PacketColor> color = PacketColor{};  // shadow
    double radius = 0;                                 // blur
    friend bool operator==(const PacketEffect&, const PacketEffect&) = default;
};

struct PacketCommand {
    std::uint8_t kind = 0;  // 0..13, or kPacketUnknownKind
    PacketRect bounds;
    double opacity = 0;
    double stroke_width = 0;
    PacketCap cap = PacketCap::butt;
    std::optional<std::uint64_t> id;
    std::optional<PacketRect> clip;
    std::optional<PacketTransform> transform;
    std::optional<PacketShape> shape;
    std::optional<PacketPaint> paint;
    std::optional<PacketImageDraw> image;
    std::optional<PacketText> text;
    std::optional<PacketEffect> effect;
    friend bool operator==(const PacketCommand&, const PacketCommand&) = default;
};

struct PacketImage {
    std::uint64_t image_id = 0;
    std::uint64_t fingerprint = 0;
    double width = 0;
    double height = 0;
    // JSON only: straight-alpha R, G, B, A numbers, each clamped to 0..255 and rounded.
    std::optional<std::vector<std::uint8_t>> pixels;
    friend bool operator==(const PacketImage&, const PacketImage&) = default;
};

struct PacketImageAction {
    PacketImageActionKind kind = PacketImageActionKind::upload;
    std::uint64_t image_id = 0;
    std::uint64_t fingerprint = 0;
    std::optional<std::uint64_t> image_index;
    friend bool operator==(const PacketImageAction&, const PacketImageAction&) = default;
};

struct PacketUpsert {
    std::uint64_t key = 0;
    PacketCommand command;
    friend bool operator==(const PacketUpsert&, const PacketUpsert&) = default;
};

struct CanvasPacket {
    PacketLoadAction load_action = PacketLoadAction::none;
    std::optional<std::uint64_t> generation;
    std::optional<PacketRect> scissor;
    std::optional<std::vector<PacketRect>> dirty_rects;
    std::vector<PacketImage> images;
    std::vector<PacketImageAction> image_actions;
    // "patch"
    std::optional<std::vector<std::uint64_t>> patch_evicts;
    std::optional<std::vector<PacketUpsert>> patch_upserts;
    std::optional<std::vector<std::uint64_t>> patch_order;
    // The JSON form had an entry in those lists that is not what it must be (a key that is not a
    // u64, an upsert that is not a key with a command object). The entry is left out of its list;
    // presenting the patch drops the retained state.
    bool patch_malformed = false;
    // "load" and "clear"
    std::optional<std::vector<PacketCommand>> commands;
    std::optional<std::vector<std::uint64_t>> command_keys;
    friend bool operator==(const CanvasPacket&, const CanvasPacket&) = default;
};

// The wire names of the enumerations ("fill_rect_solid", "rounded_rect", ...). Empty outside them.
std::string_view packetCommandKindName(std::uint8_t kind);
std::string_view packetLoadActionName(PacketLoadAction action);
std::string_view packetShapeKindName(PacketShapeKind kind);
std::string_view packetPathVerbName(PacketPathVerb verb);
std::string_view packetImageFitName(PacketImageFit fit);
std::string_view packetSamplingName(PacketSampling sampling);
std::string_view packetTextWrapName(PacketTextWrap wrap);
std::string_view packetTextAlignName(PacketTextAlign align);
std::string_view packetImageActionName(PacketImageActionKind kind);

// Limits of the readers: dirty rectangles per packet, JSON nesting and JSON text size.
inline constexpr std::size_t kPacketMaxDirtyRects = 8;
inline constexpr std::size_t kPacketJsonMaxDepth = 512;
inline constexpr std::size_t kPacketJsonMaxBytes = std::size_t{64} << 20;

}  // namespace kelvo
