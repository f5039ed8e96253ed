#include "render/packet/packet_model.hpp"

#include <array>

namespace kelvo {

namespace {

template <std::size_t N>
std::string_view nameAt(const std::array<std::string_view, N>& names, std::size_t index) {
    return index < N ? names[index] : std::string_view{};
}

constexpr std::array<std::string_view, kPacketCommandKindCount> kKindNames = {"fill_rect_solid",
                                                                              "fill_rect_gradient",
                                                                              "fill_rounded_rect_solid",
                                                                              "fill_rounded_rect_gradient",
                                                                              "stroke_rect_solid",
                                                                              "stroke_rect_gradient",
                                                                              "draw_line_solid",
                                                                              "draw_line_gradient",
                                                                              "fill_path",
                                                                              "stroke_path",
                                                                              "draw_image",
                                                                              "draw_text",
                                                                              "shadow",
                                                                              "blur"};

}  // namespace

std::string_view packetCommandKindName(std::uint8_t kind) { return nameAt(kKindNames, kind); }

std::string_view packetLoadActionName(PacketLoadAction action) {
    constexpr std::array<std::string_view, 4> names = {"", "load", "clear", "patch"};
    return nameAt(names, static_cast<std::size_t>(action));
}

std::string_view packetShapeKindName(PacketShapeKind kind) {
    constexpr std::array<std::string_view, 6> names = {"", "rect", "rounded_rect", "stroke_rect", "line", "path"};
    return nameAt(names, static_cast<std::size_t>(kind));
}

std::string_view packetPathVerbName(PacketPathVerb verb) {
    constexpr std::array<std::string_view, 5> names = {"move_to", "line_to", "quad_to", "cubic_to", "close"};
    return nameAt(names, static_cast<std::size_t>(verb));
}

std::string_view packetImageFitName(PacketImageFit fit) {
    constexpr std::array<std::string_view, 3> names = {"stretch", "contain", "cover"};
    return nameAt(names, static_cast<std::size_t>(fit));
}

std::string_view packetSamplingName(PacketSampling sampling) {
    constexpr std::array<std::string_view, 2> names = {"nearest", "linear"};
    return nameAt(names, static_cast<std::size_t>(sampling));
}

std::string_view packetTextWrapName(PacketTextWrap wrap) {
    constexpr std::array<std::string_view, 3> names = {"none", "word", "character"};
    return nameAt(names, static_cast<std::size_t>(wrap));
}

std::string_view packetTextAlignName(PacketTextAlign align) {
    constexpr std::array<std::string_view, 3> names = {"start", "center", "end"};
    return nameAt(names, static_cast<std::size_t>(align));
}

std::string_view packetImageActionName(PacketImageActionKind kind) {
    constexpr std::array<std::string_view, 3> names = {"upload", "retain", "evict"};
    return nameAt(names, static_cast<std::size_t>(kind));
}

}  // namespace kelvo
