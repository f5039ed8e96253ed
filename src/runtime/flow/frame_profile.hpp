#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

// Where canvas frame time goes, per stage: the latest 128 samples of each stage (microseconds) and
// how many samples each stage has had in all. Recording happens only while the profile is enabled;
// the automation snapshot reports its statistics.

inline constexpr std::size_t kFrameProfileStageCount = 12;
inline constexpr std::size_t kFrameProfileRingSize = 128;

enum class FrameProfileStage : std::uint8_t {
    rebuild = 0,
    layout = 1,
    reconcile = 2,
    emit = 3,
    a11y = 4,
    plan = 5,
    patch = 6,
    encode = 7,
    present = 8,
    host_decode = 9,
    host_draw = 10,
    interval = 11,
};

// The stage's name as reports print it ("host_decode"); empty outside the 12.
std::string_view frameProfileStageName(std::size_t stage);

struct FrameProfileStats {
    std::uint64_t p50 = 0;
    std::uint64_t p90 = 0;
    std::uint64_t max = 0;
    std::uint64_t n = 0;      // samples in the ring
    std::uint64_t total = 0;  // samples ever recorded
    friend bool operator==(const FrameProfileStats&, const FrameProfileStats&) = default;
};

struct FrameProfile {
    std::array<std::uint64_t, kFrameProfileStageCount> totals{};
    std::array<std::array<std::uint32_t, kFrameProfileRingSize>, kFrameProfileStageCount> rings{};
    std::array<std::uint16_t, kFrameProfileStageCount> counts{};
    std::array<std::uint16_t, kFrameProfileStageCount> cursors{};
    bool enabled = false;

    // Records one duration of `stage` (taken modulo 16; stages past the 12 are ignored) while
    // enabled: min(ns / 1000, 2^32 - 1) microseconds into the stage's ring.
    void recordNs(std::uint32_t stage, std::uint64_t ns);
    // Percentiles over the ring's valid samples (p = s[ceil(n * p / 100) - 1] of the sorted
    // samples). All zero for a stage past the 12 (after modulo 16).
    [[nodiscard]] FrameProfileStats stats(std::uint32_t stage) const;
    // Forgets every sample and total; `enabled` is kept.
    void clearSamples();
};

}  // namespace kelvo
