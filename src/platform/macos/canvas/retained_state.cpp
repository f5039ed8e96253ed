#include "platform/macos/canvas/retained_state.hpp"

namespace kelvo {

namespace {

void dropAndWipe(CanvasPresenterState& state) {
    dropRetainedState(state);
    rasterCacheWipe(state.rasterCache);
}

}  // namespace

void dropRetainedState(CanvasPresenterState& state) { state.hasRetainedState = false; }

bool applyRetainedPatch(CanvasPresenterState& state, const CanvasPacket& packet,
                        std::vector<RetainedCommand>& commands) {
    if (!state.hasRetainedState) return false;
    if (!packet.generation || *packet.generation == 0 || *packet.generation != state.retainedGeneration) return false;
    if (!packet.patch_evicts || !packet.patch_upserts || !packet.patch_order) return false;
    // An entry that is not a key, or an upsert without a key and a command, makes the edit
    // unknowable: the producer must send the whole frame again.
    if (packet.patch_malformed) {
        dropRetainedState(state);
        return false;
    }

    auto& retained = state.retainedCommands;
    for (std::uint64_t key : *packet.patch_evicts) {
        if (retained.erase(key) == 0) {
            dropRetainedState(state);
            return false;
        }
        rasterCacheRemove(state.rasterCache, key);
    }
    for (const PacketUpsert& upsert : *packet.patch_upserts) {
        retained[upsert.key] = std::make_shared<const PacketCommand>(upsert.command);
        rasterCacheRemove(state.rasterCache, upsert.key);
    }
    if (retained.size() > kRetainedCommandLimit || packet.patch_order->size() != retained.size()) {
        dropRetainedState(state);
        return false;
    }
    commands.clear();
    commands.reserve(packet.patch_order->size());
    for (std::uint64_t key : *packet.patch_order) {
        auto found = retained.find(key);
        if (found == retained.end()) {
            dropRetainedState(state);
            return false;
        }
        commands.push_back(found->second);
    }
    state.retainedOrder = *packet.patch_order;
    return true;
}

void recordRetainedState(CanvasPresenterState& state, const CanvasPacket& packet,
                         std::span<const RetainedCommand> commands) {
    if (packet.load_action == PacketLoadAction::patch) return;
    std::uint64_t generation = packet.generation.value_or(0);
    if (packet.load_action != PacketLoadAction::clear || generation == 0 || !packet.command_keys ||
        packet.command_keys->size() != commands.size() || commands.size() > kRetainedCommandLimit) {
        dropAndWipe(state);
        return;
    }
    std::unordered_map<std::uint64_t, RetainedCommand> set;
    set.reserve(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!set.emplace((*packet.command_keys)[i], commands[i]).second) {
            dropAndWipe(state);
            return;
        }
    }
    state.retainedCommands = std::move(set);
    state.retainedOrder = *packet.command_keys;
    state.retainedGeneration = generation;
    state.hasRetainedState = true;
}

}  // namespace kelvo
