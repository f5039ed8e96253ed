// Canvas packets: reading a 2,048-command packet in each form, and writing one from a planned
// frame. Throughput is reported in bytes of packet per second.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "render/frame_plan.hpp"
#include "render/packet/packet_from_frame.hpp"
#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_writers.hpp"

namespace {

using namespace kelvo;

constexpr std::size_t kCommands = 2048;

// A mix of what a user interface draws: rectangles, rounded rectangles, lines and short texts,
// each with its own id, in a grid over a 1280 x 820 surface.
std::vector<CanvasCommand> displayList() {
    std::vector<CanvasCommand> list;
    for (std::size_t i = 0; i < kCommands; ++i) {
        const auto id = static_cast<std::uint64_t>(i + 1);
        const Rect cell{static_cast<float>(i % 64) * 20, static_cast<float>(i / 64) * 25, 18, 22};
        switch (i % 4) {
            case 0:
                list.push_back(CanvasCommand::fillRect({id, Paint::solid({0.2f, 0.3f, 0.4f, 1}), cell}));
                break;
            case 1:
                list.push_back(
                    CanvasCommand::fillRoundedRect({id, Paint::solid({0.9f, 0.9f, 0.9f, 1}), cell, {4, 4, 4, 4}}));
                break;
            case 2:
                list.push_back(CanvasCommand::drawLine(
                    {id, Stroke{Paint::solid({0, 0, 0, 1}), 1}, {cell.x, cell.y}, {cell.x + 18, cell.y + 22}}));
                break;
            default: {
                DrawTextCommand text;
                text.id = id;
                text.font = 1;
                text.text = "label";
                text.size = 12;
                text.origin = {cell.x, cell.y + 16};
                text.color = {0, 0, 0, 1};
                list.push_back(CanvasCommand::drawText(text));
            }
        }
    }
    return list;
}

struct PlannedFrame {
    std::vector<CanvasCommand> list = displayList();
    std::unique_ptr<CanvasFrameHistory> history = std::make_unique<CanvasFrameHistory>();
    CanvasFrame frame;
    std::vector<KeyedGpuCommand> keyed = std::vector<KeyedGpuCommand>(kMaxKeyedGpuCommands);
    std::span<const KeyedGpuCommand> current;

    PlannedFrame() {
        CanvasFrameSource source;
        source.commands = list;
        source.revision = 1;
        source.history = history.get();
        source.surface_width = 1280;
        source.surface_height = 820;
        source.surface_scale = 2;
        CanvasFrameRequest request;
        request.frame_tag = 1;
        frame = *planCanvasFrame(source, request, canvasFrameStorageForThread());
        const auto n = gatherCanvasPacketCurrentCommandsFromPlan(
            frame.render_commands, frame.width, frame.height, frame.content_bounds, keyed, frame.command_fingerprints);
        current = std::span<const KeyedGpuCommand>(keyed).first(n.value_or(0));
    }

    CanvasPacket packet() const {
        CanvasPacket out;
        buildCanvasPacket({&frame, current, {}, PacketLoadAction::clear, 1}, out);
        return out;
    }
};

PlannedFrame& planned() {
    static PlannedFrame frame;
    return frame;
}

void BM_DecodeBinary(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(1 << 22);
    bytes.resize(writeBinaryCanvasPacket(planned().packet(), bytes).size);
    for (auto _ : state) benchmark::DoNotOptimize(readBinaryCanvasPacket(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_DecodeBinary)->Unit(benchmark::kMicrosecond);

void BM_DecodeJson(benchmark::State& state) {
    std::vector<char> text(1 << 23);
    text.resize(writeJsonCanvasPacket(planned().packet(), text).size);
    const std::string_view view(text.data(), text.size());
    for (auto _ : state) benchmark::DoNotOptimize(readJsonCanvasPacket(view));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_DecodeJson)->Unit(benchmark::kMicrosecond);

// From the planned frame to the bytes of a "clear" packet.
void BM_WriteBinaryFromPlan(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(1 << 22);
    CanvasPacket packet;
    std::size_t size = 0;
    for (auto _ : state) {
        buildCanvasPacket({&planned().frame, planned().current, {}, PacketLoadAction::clear, 1}, packet);
        size = writeBinaryCanvasPacket(packet, bytes).size;
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WriteBinaryFromPlan)->Unit(benchmark::kMicrosecond);

void BM_WriteJsonFromPlan(benchmark::State& state) {
    std::vector<char> text(1 << 23);
    CanvasPacket packet;
    std::size_t size = 0;
    for (auto _ : state) {
        buildCanvasPacket({&planned().frame, planned().current, {}, PacketLoadAction::clear, 1}, packet);
        size = writeJsonCanvasPacket(packet, text).size;
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WriteJsonFromPlan)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
