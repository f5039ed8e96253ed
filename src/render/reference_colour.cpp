#include "render/reference_colour.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

float srgbDecode(float value) { return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f); }

float srgbEncode(float value) {
    return value <= 0.0031308f ? 12.92f * value : 1.055f * std::pow(value, 1.0f / 2.4f) - 0.055f;
}

const std::array<float, kLinearToSrgbEntries>& linearToSrgbTable() {
    static const std::array<float, kLinearToSrgbEntries> table = [] {
        std::array<float, kLinearToSrgbEntries> values{};
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = srgbEncode(static_cast<float>(i) / 4095.0f);
        return values;
    }();
    return table;
}

const std::array<float, 256>& srgbToLinearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> values{};
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = srgbDecode(static_cast<float>(i) / 255.0f);
        return values;
    }();
    return table;
}

std::uint8_t colourByte(float value) {
    float v = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    return static_cast<std::uint8_t>(roundHalfAway(v * 255.0f));
}

namespace {

float unit(float value) { return value > 0.0f ? std::min(value, 1.0f) : 0.0f; }

}  // namespace

void blendRgba8(std::uint8_t* pixel, const Color& colour, float alpha) {
    float a = unit(alpha) * unit(colour.a);
    float d = static_cast<float>(pixel[3]) / 255.0f;
    float out = a + d * (1.0f - a);
    if (!(out > 0.0f)) {
        pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
        return;
    }
    const float source[3] = {colour.r, colour.g, colour.b};
    for (int i = 0; i < 3; ++i) {
        float destination = static_cast<float>(pixel[i]) / 255.0f;
        pixel[i] = colourByte((unit(source[i]) * a + destination * d * (1.0f - a)) / out);
    }
    pixel[3] = colourByte(out);
}

}  // namespace kelvo
