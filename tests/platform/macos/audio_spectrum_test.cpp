#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "platform/macos/audio_spectrum.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using Bands = std::array<std::uint8_t, kSpectrumBandCount>;

Bands bandsOf(const std::vector<float>& samples, double sampleRate) {
    auto scratch = std::make_unique<SpectrumScratch>();
    std::copy(samples.begin(), samples.end(), scratch->samples.begin());
    Bands bands{};
    computeSpectrumBands(*scratch, sampleRate, bands);
    return bands;
}

std::vector<float> tone(double hz, double amplitude, double sampleRate) {
    std::vector<float> samples(kSpectrumWindowSamples);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        samples[n] =
            static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / sampleRate));
    }
    return samples;
}

// Deterministic full-scale noise: energy in every bin.
std::vector<float> noise() {
    std::vector<float> samples(kSpectrumWindowSamples);
    std::uint32_t seed = 12345;
    for (float& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) * 2.0f - 1.0f;
    }
    return samples;
}

TEST(AudioSpectrum, TransformMatchesThePlainDft) {
    const std::vector<float> x = noise();
    auto scratch = std::make_unique<FftScratch>();
    std::array<float, kFftBins> power{};
    fftPower2048(std::span<const float, kFftLength>(x.data(), kFftLength), *scratch, power);
    double largest = 0;
    std::vector<double> expected(kFftBins);
    for (std::size_t k = 0; k < kFftBins; ++k) {
        std::complex<double> sum;
        for (std::size_t n = 0; n < kFftLength; ++n) {
            sum += static_cast<double>(x[n]) * std::polar(1.0, -2 * std::numbers::pi * double(k * n) / kFftLength);
        }
        expected[k] = 4 * std::norm(sum);
        largest = std::max(largest, expected[k]);
    }
    for (std::size_t k = 0; k < kFftBins; ++k) EXPECT_NEAR(power[k], expected[k], largest * 1e-4) << "bin " << k;
}

TEST(AudioSpectrum, TonesPeakInTheirBandAtTheirLevel) {
    for (const auto& row : testing::readTable("platform/spectrum_tones.txt")) {
        const double rate = std::stod(row[0]);
        const Bands bands = bandsOf(tone(std::stod(row[1]), std::stod(row[2]), rate), rate);
        const auto loudest = static_cast<std::size_t>(std::max_element(bands.begin(), bands.end()) - bands.begin());
        const std::string where = row[0] + " Hz rate, " + row[1] + " Hz at " + row[2];
        if (std::stoi(row[5]) > 0) {
            EXPECT_EQ(loudest, std::stoul(row[3])) << where;
        }
        EXPECT_GE(bands[std::stoul(row[3])], std::stoi(row[4])) << where;
        EXPECT_LE(bands[std::stoul(row[3])], std::stoi(row[5])) << where;
    }
}

TEST(AudioSpectrum, SilenceIsZeroEverywhere) {
    const Bands bands = bandsOf(std::vector<float>(kSpectrumWindowSamples, 0.0f), 44100);
    EXPECT_EQ(bands, Bands{});
}

// Below 32 kHz the top bands start past the transform's last bin: they stay 0 and nothing beyond
// the transform is read, however loud the sound.
TEST(AudioSpectrum, BandsStayWithinTheTransformAtLowRates) {
    for (double rate : {8000.0, 16000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        const double nyquist = rate / 2;
        const Bands bands = bandsOf(noise(), rate);
        for (std::size_t band = 0; band < kSpectrumBandCount; ++band) {
            const double lowEdge = 50 * std::pow(320.0, static_cast<double>(band) / 32);
            const std::optional<SpectrumBandBins> bins = spectrumBandBins(band, rate);
            if (lowEdge >= nyquist) {
                EXPECT_FALSE(bins) << rate << " band " << band;
                EXPECT_EQ(bands[band], 0) << rate << " band " << band;
                continue;
            }
            ASSERT_TRUE(bins) << rate << " band " << band;
            EXPECT_GE(bins->first, 1u);
            EXPECT_LE(bins->first, bins->last);
            EXPECT_LE(bins->last, kFftBins - 1);
            EXPECT_GT(bands[band], 0) << rate << " band " << band;
        }
    }
}

struct TapState {
    TapState() : state(allocateSpectrumTapState()) {}
    ~TapState() { KelvoSpectrumTapFinalize(state); }
    void process(std::vector<const float*> data, std::uint32_t frames) {
        KelvoSpectrumTapProcess(state,
                                standin::TapBuffers{data.data(), static_cast<std::uint32_t>(data.size()), frames});
    }
    kelvo_spectrum_tap_state* state;
};

TEST(AudioSpectrum, TapMixesChannelsDownIntoTheRing) {
    TapState tap;
    KelvoSpectrumTapPrepare(tap.state, 44100, 2, true);
    const float interleaved[] = {1.0f, 0.0f, 0.5f, 0.5f, -1.0f, 0.0f};
    tap.process({interleaved}, 3);
    KelvoSpectrumTapPrepare(tap.state, 44100, 3, false);
    const float left[] = {0.3f, 0.6f};
    const float right[] = {0.3f, 0.0f};
    tap.process({left, nullptr, right}, 2);  // a buffer without data counts 0
    EXPECT_EQ(tap.state->written.load(), 5u);
    const float expected[] = {0.5f, 0.5f, -0.5f, 0.2f, 0.2f};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(tap.state->samples[i], expected[i]) << i;

    // Interleaved audio without data, a format without channels or an empty list publish nothing.
    KelvoSpectrumTapPrepare(tap.state, 44100, 2, true);
    tap.process({nullptr}, 4);
    tap.process({}, 4);
    KelvoSpectrumTapPrepare(tap.state, 44100, 0, true);
    tap.process({interleaved}, 3);
    EXPECT_EQ(tap.state->written.load(), 5u);
}

TEST(AudioSpectrum, NewestSamplesComeOldestFirstAcrossTheWrap) {
    TapState tap;
    KelvoSpectrumTapPrepare(tap.state, 44100, 1, true);
    std::vector<float> ramp(kSpectrumRingSamples + 1000);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<float>(i);
    tap.process({ramp.data()}, static_cast<std::uint32_t>(ramp.size()));
    const std::uint64_t written = tap.state->written.load();
    ASSERT_EQ(written, ramp.size());
    std::array<float, kSpectrumWindowSamples> newest{};
    copyNewestSpectrumSamples(*tap.state, written, newest);
    for (std::size_t i = 0; i < newest.size(); ++i) {
        ASSERT_EQ(newest[i], static_cast<float>(written - kSpectrumWindowSamples + i)) << i;
    }
}

// The audio thread writes while the main thread reads: every sample before the published count
// is the one written there.
TEST(AudioSpectrumThreads, ReaderSeesWhatTheWriterPublished) {
    TapState tap;
    KelvoSpectrumTapPrepare(tap.state, 44100, 1, true);
    constexpr std::uint32_t kChunk = 512;
    constexpr std::uint64_t kTotal = 200 * kChunk;
    std::atomic<std::uint64_t> checkedUpTo{0};
    std::thread writer([&] {
        std::vector<float> chunk(kChunk);
        for (std::uint64_t start = 0; start < kTotal; start += kChunk) {
            // Stay within the ring's slack of the reader, as a real-time writer does.
            while (start > checkedUpTo.load(std::memory_order_acquire) + 4096) std::this_thread::yield();
            for (std::uint32_t i = 0; i < kChunk; ++i) chunk[i] = static_cast<float>((start + i) % 65536);
            tap.process({chunk.data()}, kChunk);
        }
    });
    std::array<float, kSpectrumWindowSamples> newest{};
    std::uint64_t seen = 0;
    while (seen < kTotal) {
        const std::uint64_t written = tap.state->written.load(std::memory_order_acquire);
        if (written < kSpectrumWindowSamples || written == seen) {
            std::this_thread::yield();
            continue;
        }
        copyNewestSpectrumSamples(*tap.state, written, newest);
        for (std::size_t i = 0; i < newest.size(); ++i) {
            ASSERT_EQ(newest[i], static_cast<float>((written - kSpectrumWindowSamples + i) % 65536));
        }
        seen = written;
        checkedUpTo.store(seen, std::memory_order_release);
    }
    writer.join();
}

}  // namespace
}  // namespace kelvo
