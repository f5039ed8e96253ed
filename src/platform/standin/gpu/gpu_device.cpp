#include "platform/standin/gpu/gpu_device.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvo::gpu {

namespace {

std::uint8_t unitToByte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(value * 255.0f));
}

bool regionInside(const GpuTexture& texture, GpuRegion region) {
    return region.x <= texture.width && region.y <= texture.height && region.width <= texture.width - region.x &&
           region.height <= texture.height - region.y;
}

// The pixel columns [first, end) whose centres lie in [origin, origin + size).
void quadSpan(float origin, float size, std::uint32_t limit, std::int64_t& first, std::int64_t& end) {
    double lo = std::ceil(static_cast<double>(origin) - 0.5);
    double hi = std::ceil(static_cast<double>(origin) + static_cast<double>(size) - 0.5);
    first = static_cast<std::int64_t>(std::clamp(lo, 0.0, static_cast<double>(limit)));
    end = static_cast<std::int64_t>(std::clamp(hi, static_cast<double>(first), static_cast<double>(limit)));
}

struct PassState {
    GpuTexture* target = nullptr;
    GpuPipeline pipeline = GpuPipeline::none;
    GpuRegion scissor;
};

void runQuad(PassState& pass, const GpuDrawQuad& draw) {
    GpuTexture& target = *pass.target;
    if (pass.pipeline == GpuPipeline::none) return;
    if (draw.quad.textured && (!draw.texture || draw.texture->width == 0 || draw.texture->height == 0)) return;
    std::int64_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    quadSpan(draw.quad.rectOrigin[0], draw.quad.rectSize[0], target.width, x0, x1);
    quadSpan(draw.quad.rectOrigin[1], draw.quad.rectSize[1], target.height, y0, y1);
    x0 = std::max<std::int64_t>(x0, pass.scissor.x);
    y0 = std::max<std::int64_t>(y0, pass.scissor.y);
    x1 = std::min<std::int64_t>(x1, std::int64_t{pass.scissor.x} + pass.scissor.width);
    y1 = std::min<std::int64_t>(y1, std::int64_t{pass.scissor.y} + pass.scissor.height);
    if (x1 <= x0 || y1 <= y0) return;
    std::array<std::uint8_t, 4> flat{};
    for (int c = 0; c < 4; ++c) flat[c] = unitToByte(draw.quad.color[c]);
    std::int64_t shiftX =
        static_cast<std::int64_t>(draw.quad.texOrigin[0]) - static_cast<std::int64_t>(draw.quad.rectOrigin[0]);
    std::int64_t shiftY =
        static_cast<std::int64_t>(draw.quad.texOrigin[1]) - static_cast<std::int64_t>(draw.quad.rectOrigin[1]);
    bool blend = pass.pipeline == GpuPipeline::blend;
    for (std::int64_t y = y0; y < y1; ++y) {
        std::uint8_t* row = target.bytes.data() + (static_cast<std::size_t>(y) * target.width) * 4;
        const std::uint8_t* texRow = nullptr;
        if (draw.quad.textured) {
            std::int64_t ty = std::clamp<std::int64_t>(y + shiftY, 0, draw.texture->height - 1);
            texRow = draw.texture->bytes.data() + static_cast<std::size_t>(ty) * draw.texture->width * 4;
        }
        for (std::int64_t x = x0; x < x1; ++x) {
            const std::uint8_t* source = flat.data();
            if (texRow != nullptr) {
                std::int64_t tx = std::clamp<std::int64_t>(x + shiftX, 0, draw.texture->width - 1);
                source = texRow + tx * 4;
            }
            std::uint8_t* pixel = row + x * 4;
            if (!blend) {
                std::memcpy(pixel, source, 4);
            } else if (source[3] == 255) {
                std::memcpy(pixel, source, 4);
            } else if ((source[0] | source[1] | source[2] | source[3]) != 0) {
                for (int c = 0; c < 4; ++c) pixel[c] = blendChannel(source[c], pixel[c], source[3]);
            }
        }
    }
}

void runBuffer(GpuCommandBuffer& buffer) {
    PassState pass;
    GpuTextureRef held;
    for (const GpuOp& op : buffer.ops) {
        if (const auto* begin = std::get_if<GpuBeginPass>(&op.op)) {
            held = begin->target;
            pass = PassState{held.get(), GpuPipeline::none, GpuRegion{0, 0, held->width, held->height}};
            if (begin->load == GpuLoadAction::clear) {
                std::array<std::uint8_t, 4> fill{};
                for (int c = 0; c < 4; ++c) fill[c] = unitToByte(begin->clear[c]);
                for (std::size_t i = 0; i < held->bytes.size(); i += 4)
                    std::memcpy(held->bytes.data() + i, fill.data(), 4);
            }
        } else if (pass.target == nullptr) {
            continue;
        } else if (const auto* set = std::get_if<GpuSetPipeline>(&op.op)) {
            pass.pipeline = set->pipeline;
        } else if (const auto* scissor = std::get_if<GpuSetScissor>(&op.op)) {
            GpuRegion r = scissor->region;
            r.x = std::min(r.x, pass.target->width);
            r.y = std::min(r.y, pass.target->height);
            r.width = std::min(r.width, pass.target->width - r.x);
            r.height = std::min(r.height, pass.target->height - r.y);
            pass.scissor = r;
        } else if (const auto* quad = std::get_if<GpuDrawQuad>(&op.op)) {
            runQuad(pass, *quad);
        } else {
            pass = PassState{};
            held.reset();
        }
    }
    buffer.ops.clear();
    buffer.completed = true;
}

}  // namespace

GpuTextureRef makeTexture(std::uint32_t width, std::uint32_t height, bool renderTarget) {
    if (width == 0 || height == 0 || width > kGpuMaxTextureSide || height > kGpuMaxTextureSide) return nullptr;
    auto texture = std::make_shared<GpuTexture>();
    texture->width = width;
    texture->height = height;
    texture->renderTarget = renderTarget;
    texture->bytes.assign(static_cast<std::size_t>(width) * height * 4, 0);
    return texture;
}

bool replaceRegion(GpuTexture& texture, GpuRegion region, const std::uint8_t* bytes, std::size_t bytesPerRow) {
    if (!regionInside(texture, region) || bytesPerRow < std::size_t{region.width} * 4) return false;
    if (region.width == 0 || region.height == 0) return true;
    if (bytes == nullptr) return false;
    for (std::uint32_t row = 0; row < region.height; ++row) {
        std::size_t at = (static_cast<std::size_t>(region.y + row) * texture.width + region.x) * 4;
        std::memcpy(texture.bytes.data() + at, bytes + row * bytesPerRow, std::size_t{region.width} * 4);
    }
    return true;
}

bool readRegion(const GpuTexture& texture, GpuRegion region, std::uint8_t* bytes, std::size_t bytesPerRow) {
    if (!regionInside(texture, region) || bytesPerRow < std::size_t{region.width} * 4) return false;
    if (region.width == 0 || region.height == 0) return true;
    if (bytes == nullptr) return false;
    for (std::uint32_t row = 0; row < region.height; ++row) {
        std::size_t at = (static_cast<std::size_t>(region.y + row) * texture.width + region.x) * 4;
        std::memcpy(bytes + row * bytesPerRow, texture.bytes.data() + at, std::size_t{region.width} * 4);
    }
    return true;
}

GpuCommandBufferRef makeCommandBuffer() { return std::make_shared<GpuCommandBuffer>(); }

void beginPass(GpuCommandBuffer& buffer, GpuTextureRef target, GpuLoadAction load, std::array<float, 4> clear) {
    if (buffer.committed || buffer.passOpen || !target) return;
    buffer.passOpen = true;
    buffer.ops.push_back(GpuOp{GpuBeginPass{std::move(target), load, clear}});
}

void setPipeline(GpuCommandBuffer& buffer, GpuPipeline pipeline) {
    if (buffer.passOpen) buffer.ops.push_back(GpuOp{GpuSetPipeline{pipeline}});
}

void setScissor(GpuCommandBuffer& buffer, GpuRegion region) {
    if (buffer.passOpen) buffer.ops.push_back(GpuOp{GpuSetScissor{region}});
}

void drawQuad(GpuCommandBuffer& buffer, const GpuQuad& quad, GpuTextureRef texture) {
    if (buffer.passOpen) buffer.ops.push_back(GpuOp{GpuDrawQuad{quad, std::move(texture)}});
}

void endPass(GpuCommandBuffer& buffer) {
    if (!buffer.passOpen) return;
    buffer.passOpen = false;
    buffer.ops.push_back(GpuOp{GpuEndPass{}});
}

void commit(GpuDevice& device, GpuCommandBufferRef buffer) {
    if (!buffer || buffer->committed) return;
    endPass(*buffer);
    buffer->committed = true;
    device.inFlight.push_back(std::move(buffer));
}

void waitUntilCompleted(GpuDevice& device, const GpuCommandBufferRef& buffer) {
    if (!buffer || !buffer->committed || buffer->completed) return;
    std::size_t ran = 0;
    while (ran < device.inFlight.size()) {
        GpuCommandBufferRef next = device.inFlight[ran++];
        runBuffer(*next);
        ++device.buffersRun;
        if (next == buffer) break;
    }
    device.inFlight.erase(device.inFlight.begin(), device.inFlight.begin() + static_cast<std::ptrdiff_t>(ran));
}

void flush(GpuDevice& device) {
    if (!device.inFlight.empty()) waitUntilCompleted(device, device.inFlight.back());
}

bool presentCanvas(GpuDevice& device, GpuDrawable& drawable, const GpuTexture& canvas, std::uint32_t width,
                   std::uint32_t height) {
    if (width == 0 || height == 0 || width > kGpuMaxTextureSide || height > kGpuMaxTextureSide) return false;
    if (canvas.width == 0 || canvas.height == 0) return false;
    flush(device);
    GpuTexture& out = drawable.texture;
    out.width = width;
    out.height = height;
    out.bytes.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint32_t sy = static_cast<std::uint32_t>((std::uint64_t{y} * canvas.height) / height);
        const std::uint8_t* source = canvas.bytes.data() + static_cast<std::size_t>(sy) * canvas.width * 4;
        std::uint8_t* row = out.bytes.data() + static_cast<std::size_t>(y) * width * 4;
        if (width == canvas.width) {
            std::memcpy(row, source, std::size_t{width} * 4);
            continue;
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t sx = static_cast<std::uint32_t>((std::uint64_t{x} * canvas.width) / width);
            std::memcpy(row + std::size_t{x} * 4, source + std::size_t{sx} * 4, 4);
        }
    }
    ++drawable.presentCount;
    return true;
}

std::array<std::uint8_t, 4> probeCentrePixel(const GpuDrawable& drawable) {
    std::array<std::uint8_t, 4> pixel{};
    const GpuTexture& t = drawable.texture;
    if (t.width == 0 || t.height == 0) return pixel;
    std::memcpy(pixel.data(), t.bytes.data() + (std::size_t{t.height / 2} * t.width + t.width / 2) * 4, 4);
    return pixel;
}

}  // namespace kelvo::gpu
