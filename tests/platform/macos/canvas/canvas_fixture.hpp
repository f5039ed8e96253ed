#pragma once

// Packets and pixel buffers for the canvas drawing tests: scenes read from JSON packets under
// tests/data/canvas, the packet's images as an image source, PNGs of premultiplied buffers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/macos/canvas/packet_raster.hpp"
#include "raster/png.hpp"
#include "render/packet/packet_readers.hpp"
#include "support/golden.hpp"

namespace kelvo::testing {

struct PacketImages final : PacketImageSource {
    std::map<std::uint64_t, std::vector<std::uint8_t>> pixels;
    std::map<std::uint64_t, PacketImagePixels> images;

    void add(const PacketImage& image) {
        if (!image.pixels) return;
        std::vector<std::uint8_t>& rgba = pixels[image.image_id];
        rgba = *image.pixels;
        for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
            for (std::size_t c = 0; c < 3; ++c)
                rgba[i + c] = static_cast<std::uint8_t>((rgba[i + c] * rgba[i + 3] + 127) / 255);
        }
        images[image.image_id] = {rgba.data(), static_cast<std::uint32_t>(image.width),
                                  static_cast<std::uint32_t>(image.height)};
    }
    const PacketImagePixels* find(std::uint64_t id) const override {
        auto it = images.find(id);
        return it == images.end() ? nullptr : &it->second;
    }
};

struct Scene {
    CanvasPacket packet;
    std::vector<PacketCommandRef> commands;
    std::vector<std::uint64_t> keys;
    PacketImages images;
};

inline void adoptPacket(Scene& scene) {
    scene.commands.clear();
    for (const PacketCommand& command : scene.packet.commands.value_or(std::vector<PacketCommand>{})) {
        scene.commands.push_back(std::make_shared<const PacketCommand>(command));
    }
    scene.keys = scene.packet.command_keys.value_or(std::vector<std::uint64_t>{});
    for (const PacketImage& image : scene.packet.images) scene.images.add(image);
}

inline Scene jsonScene(const std::string& text) {
    Scene scene;
    auto packet = readJsonCanvasPacket(text);
    EXPECT_TRUE(packet.has_value()) << text;
    if (packet) scene.packet = std::move(*packet);
    adoptPacket(scene);
    return scene;
}

inline Scene loadScene(const std::string& name) { return jsonScene(readData("canvas/scenes/" + name + ".json")); }

struct Buffer {
    std::vector<std::uint8_t> bytes;
    std::uint32_t width;
    std::uint32_t height;

    Buffer(std::uint32_t w, std::uint32_t h, std::uint8_t fill = 0)
        : bytes(std::size_t{w} * h * 4, fill), width(w), height(h) {}
    PacketPixels pixels() { return {bytes.data(), width, height}; }
    [[nodiscard]] std::array<std::uint8_t, 4> at(std::uint32_t x, std::uint32_t y) const {
        const std::uint8_t* p = bytes.data() + (std::size_t{y} * width + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    [[nodiscard]] std::string png() const {
        std::vector<std::uint8_t> straight = bytes;
        for (std::size_t i = 0; i < straight.size(); i += 4) {
            std::uint8_t a = straight[i + 3];
            for (std::size_t c = 0; c < 3; ++c) {
                straight[i + c] =
                    a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255, (straight[i + c] * 255 + a / 2) / a));
            }
        }
        auto encoded = encodePng(width, height, straight);
        EXPECT_TRUE(encoded);
        if (!encoded) return {};
        return {reinterpret_cast<const char*>(encoded->data.get()), encoded->size};
    }
};

// One frame's drawing of a scene on the CPU path, its commands under their keys, with the raster
// cache when one is given; the frame's other settings are the test's to make.
struct Drawing {
    PacketTraceCounters counters;
    PacketDrawEnvironment environment;
    PacketFrameDraw frame;

    explicit Drawing(Scene& scene, RasterCache* cache = nullptr) {
        environment.cache = cache;
        environment.counters = &counters;
        environment.images = &scene.images;
        frame.commands = scene.commands;
        frame.keys = scene.keys;
    }
    int draw(Buffer& buffer) { return drawPacketCommands(frame, buffer.pixels(), environment); }
};

// The largest difference of one channel between two buffers of the same size.
inline int maxChannelDelta(const Buffer& a, const Buffer& b) {
    int delta = 0;
    for (std::size_t i = 0; i < a.bytes.size(); ++i) delta = std::max(delta, std::abs(a.bytes[i] - b.bytes[i]));
    return delta;
}

}  // namespace kelvo::testing
