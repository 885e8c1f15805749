// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TapState.h"

#include "engine/EQ.h"
#include "engine/EQPreset.h"
#include "engine/EQSettings.h"
#include "support/AllocationCounter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>
#include <thread>
#include <vector>

namespace voxlane {
namespace {

using S = TapState;

struct Buffers {
    std::vector<std::vector<float>> data;
    std::vector<AudioBuffer> buffers;
    BufferList list;

    Buffers(std::initializer_list<std::pair<int, int>> channelsAndFrames) {
        data.reserve(channelsAndFrames.size());
        for (auto [channels, frames] : channelsAndFrames) {
            auto& d = data.emplace_back(channels * frames, 0.0f);
            buffers.push_back({std::uint32_t(channels), std::uint32_t(d.size() * 4), d.data()});
        }
        list = {static_cast<std::uint32_t>(buffers.size()), buffers.data()};
    }
    std::vector<float>& operator[](std::size_t i) { return data[i]; }
};

// Renders interleaved stereo `in` in blocks.
std::vector<float> renderStereo(TapState& tap, const std::vector<float>& in, int block = 512) {
    std::vector<float> out(in.size());
    const int frames = static_cast<int>(in.size() / 2);
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        std::vector<float> chunk(in.begin() + 2 * start, in.begin() + 2 * (start + n));
        AudioBuffer inBuffer{2, static_cast<std::uint32_t>(n * 8), chunk.data()};
        AudioBuffer outBuffer{2, static_cast<std::uint32_t>(n * 8), out.data() + 2 * start};
        BufferList input{1, &inBuffer}, output{1, &outBuffer};
        tap.render(&input, &output, 1, true);
    }
    return out;
}

bool silent(auto begin, auto end) {
    return std::all_of(begin, end, [](float v) { return v == 0; });
}

TEST(TapStateSetup, UnusableRatesFallBackAndTheLookaheadFitsTheDelayLine) {
    for (double bad : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN()}) {
        TapState t(1, 1, bad);
        EXPECT_EQ(std::pair(t.sampleRate(), t.lookahead()), std::pair(48000.0, 72L)) << bad;
    }
    EXPECT_EQ(TapState(1, 1, 2'000'000).lookahead(), 1023);
}

TEST(TapStateChain, OutputIsDelayedByTheLookaheadAndFadesInOnce) {
    TapState tap(1, 1, 48000);
    std::vector<float> in(2 * 1200);
    for (int i = 0; i < 1200; ++i)
        in[2 * i] = in[2 * i + 1] = 0.5f + 0.0001f * (i % 7);
    const auto out = renderStereo(tap, in, 100);
    EXPECT_TRUE(silent(out.begin(), out.begin() + 2 * 72));
    EXPECT_FLOAT_EQ(out[2 * 72], in[0] / 480.0f);
    EXPECT_FLOAT_EQ(out[2 * 100], in[2 * 28] * 29.0f / 480.0f);
    for (int i = 552; i < 1200; ++i)
        ASSERT_EQ(out[2 * i], in[2 * (i - 72)]) << i;
    EXPECT_EQ(tap.framesProcessed(), 1200);
    // A running instance never fades again.
    const auto later = renderStereo(tap, in, 512);
    EXPECT_EQ(later[0], in[2 * (1200 - 72)]);
}

TEST(TapStateChain, LimiterHoldsBoostedSquareWaveAtTheCeiling) {
    TapState tap(4.0f, 1, 48000);
    std::vector<float> in(2 * 4800);
    for (int i = 0; i < 4800; ++i)
        in[2 * i] = in[2 * i + 1] = (i / 24) % 2 ? 1.0f : -1.0f;
    const auto out = renderStereo(tap, in);
    for (int i = 2 * 552; i < static_cast<int>(out.size()); ++i)
        ASSERT_FLOAT_EQ(std::fabs(out[i]), TapState::ceiling) << i;
    EXPECT_FLOAT_EQ(tap.load(S::limiterFloor), 0.2415f);
    EXPECT_EQ(tap.load(S::peakLevel), TapState::ceiling);
    EXPECT_EQ(tap.safetyClips(), 0);
}

// The look-ahead: the gain is down before a spike leaves the delay line, not when it does.
TEST(TapStateChain, SpikeIsAttenuatedBeforeItLeavesTheDelayLine) {
    TapState tap(1, 1, 48000);
    const int spike = 2000;
    auto in = std::vector<float>(2 * 4000, 0.5f);
    in[2 * spike] = 1.0f;
    const auto out = renderStereo(tap, in);
    const int lookahead = 72; // input frame f leaves the chain at output frame f + lookahead
    EXPECT_FLOAT_EQ(out[2 * (spike - 1)], 0.5f);
    for (int f = spike - lookahead; f < spike; ++f)
        EXPECT_LT(out[2 * (f + lookahead)], 0.5f) << "input frame " << f;
    EXPECT_LE(out[2 * (spike + lookahead)], TapState::ceiling);
    EXPECT_NEAR(out[2 * (spike + lookahead)], TapState::ceiling, 1e-6);
    EXPECT_EQ(tap.safetyClips(), 0);
    // After the spike the gain releases towards unity.
    EXPECT_GT(out[2 * 3999], out[2 * (spike + lookahead + 1)]);
    EXPECT_LT(out[2 * 3999], 0.5f);
}

TEST(TapStateChain, NonFiniteOrAbsurdInputNeverPoisonsTheChain) {
    for (float gain : {1.0f, 10.0f}) {
        TapState tap(gain, 1, 48000);
        tap.setEQ(std::vector<float>(5, gain > 1 ? 24.0f : 4.0f));
        auto in = std::vector<float>(2 * 4000, 0.01f);
        in[2 * 700] = std::numeric_limits<float>::quiet_NaN();
        in[2 * 701 + 1] = std::numeric_limits<float>::infinity();
        in[2 * 702] = -std::numeric_limits<float>::infinity();
        in[2 * 900] = 1e38f; // finite, but would overflow after gain and EQ
        in[2 * 901 + 1] = -3e37f;
        const auto out = renderStereo(tap, in);
        for (float v : out)
            ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= TapState::ceiling);
        // The filters were not poisoned: the quiet signal is back once the limiter released.
        EXPECT_GT(std::fabs(out[2 * 3999]), 0.001f) << gain;
        EXPECT_TRUE(std::isfinite(tap.load(S::peakLevel)));
    }
}

// A preset change keeps the ringing filter states; switching on from bypass starts from rest.
TEST(TapStateEQ, FilterStatesSurvivePresetChangesButRestartFromBypass) {
    const int frames = 300; // > look-ahead, so every block's tail shows this block's filter
    auto tailEnergyAfterImpulse = [&](bool bypassBetween) {
        TapState tap(1, 1, 48000);
        renderStereo(tap, std::vector<float>(2 * 600, 0)); // past the fade-in
        tap.setEQ(EQPresets::gains(EQPreset::voice));
        auto in = std::vector<float>(2 * frames, 0);
        in[0] = in[1] = 0.5f;
        renderStereo(tap, in, frames);
        if (bypassBetween) {
            tap.setEQ(std::vector<float>(5, 0.0f));
            renderStereo(tap, std::vector<float>(2 * frames, 0), frames); // the delay line drains
        }
        tap.setEQ(EQPresets::gains(EQPreset::bass));
        const auto out = renderStereo(tap, std::vector<float>(2 * frames, 0), frames);
        double e = 0;
        for (int i = 2 * 100; i < 2 * frames; ++i)
            e += out[i] * out[i];
        return e;
    };
    EXPECT_GT(tailEnergyAfterImpulse(false), 1e-12);
    EXPECT_EQ(tailEnergyAfterImpulse(true), 0.0);
}

// Inputs: a mono buffer feeds both channels; two mono tap buffers after a sub-device's input are
// left and right (the sub-device's stream is never read). Outputs: a null buffer is skipped, a
// four-channel one gets L, R, L, R, two mono ones left and right, and anything past the processed
// block is zero. Without usable input: silence, and the clock stands still.
TEST(TapStateBuffers, EveryLayoutOfTheServersBuffers) {
    TapState mono(1, 1, 48000);
    Buffers in{{1, 1000}}, out{{2, 1000}};
    for (int i = 0; i < 1000; ++i)
        in[0][i] = 0.3f * std::sin(i * 0.05f);
    mono.render(&in.list, &out.list, 1, true);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(out[0][2 * i], out[0][2 * i + 1]);
    EXPECT_NE(out[0][2 * 900], 0.0f);
    TapState tap(1, 1, 48000);
    Buffers split{{2, 600}, {1, 600}, {1, 600}}, layouts{{2, 600}, {4, 700}};
    std::fill(split[0].begin(), split[0].end(), 0.9f);
    std::fill(split[1].begin(), split[1].end(), 0.1f);
    std::fill(split[2].begin(), split[2].end(), -0.2f);
    layouts.buffers[0].data = nullptr;
    std::fill(layouts[1].begin(), layouts[1].end(), 7.0f);
    tap.render(&split.list, &layouts.list, 2, true);
    const auto& quad = layouts[1];
    EXPECT_EQ(std::vector(quad.begin() + 4 * 599, quad.begin() + 4 * 600),
              (std::vector{0.1f, -0.2f, 0.1f, -0.2f}));
    EXPECT_TRUE(silent(quad.begin() + 4 * 600, quad.end()));
    Buffers planar{{1, 600}, {1, 600}};
    tap.render(&split.list, &planar.list, 2, true);
    EXPECT_EQ(std::pair(planar[0][500], planar[1][500]), std::pair(0.1f, -0.2f));
    Buffers empty{{0, 10}}, small{{2, 64}};
    empty.buffers[0].numberChannels = 0;
    std::fill(small[0].begin(), small[0].end(), 1.0f);
    tap.render(&empty.list, &small.list, 1, true);
    tap.render(nullptr, &small.list, 1, true);
    tap.render(&split.list, &small.list, 0, true); // no buffer belongs to the tap
    EXPECT_TRUE(silent(small[0].begin(), small[0].end()));
    EXPECT_EQ(tap.framesProcessed(), 1200);
}

TEST(TapStateMetering, ReportsRawPeakAndTouchesNothing) {
    TapState tap(0.1f, 0.5f, 48000);
    tap.setEQ(EQPresets::gains(EQPreset::bass));
    tap.store(S::targetGain, 2.0f);
    Buffers in{{2, 512}}, out{{2, 512}};
    for (int i = 0; i < 512; ++i)
        in[0][2 * i] = 0.3f, in[0][2 * i + 1] = (i == 100 ? -0.75f : 0.1f);
    std::fill(out[0].begin(), out[0].end(), 1.0f);
    tap.render(&in.list, &out.list, 1, false);
    EXPECT_TRUE(silent(out[0].begin(), out[0].end()));
    EXPECT_EQ(
        std::tuple(tap.load(S::peakLevel), tap.load(S::currentGain), tap.load(S::limiterFloor)),
        std::tuple(0.75f, 0.1f, 1.0f));
    EXPECT_EQ(tap.framesProcessed(), 0);
    // The meter's read-then-halve leaves the higher of half and the next block's peak.
    tap.store(S::peakLevel, tap.load(S::peakLevel) / 2);
    for (auto& v : in[0])
        v = 0.1f;
    tap.render(&in.list, &out.list, 1, false);
    EXPECT_EQ(tap.load(S::peakLevel), 0.375f);

    // One infinite or NaN sample counts as it does in processing: bounded, so the meter's
    // halving brings it down within a second of ticks instead of holding it for ever.
    in[0][10] = std::numeric_limits<float>::infinity();
    in[0][11] = std::numeric_limits<float>::quiet_NaN();
    tap.render(&in.list, &out.list, 1, false);
    EXPECT_TRUE(std::isfinite(tap.load(S::peakLevel)));
    in[0][10] = in[0][11] = 0;
    for (int tick = 0; tick < 24; ++tick) {
        tap.store(S::peakLevel, tap.load(S::peakLevel) / 2);
        tap.render(&in.list, &out.list, 1, false);
    }
    EXPECT_EQ(tap.load(S::peakLevel), 0.1f);
}

TEST(TapStateRealtime, RenderAllocatesNothing) {
    TapState tap(1.8f, 0.6f, 44100);
    tap.setEQ(EQPresets::gains(EQPreset::voice));
    Buffers in{{2, 512}, {1, 512}}, out{{2, 512}, {1, 512}};
    for (int i = 0; i < 1024; ++i)
        in[0][i] = std::sin(i * 0.1f);
    test::AllocationCounter allocations;
    for (int cycle = 0; cycle < 200; ++cycle) {
        if (cycle == 100) tap.store(S::targetGain, 0.2f);
        tap.render(&in.list, &out.list, 2, cycle % 3 != 0);
    }
    EXPECT_EQ(allocations.count(), 0u);
}

// The engine thread rewrites targets and EQ while the audio thread renders. Run under
// ThreadSanitizer this proves the shared state is race-free; everywhere it checks that every
// block stays bounded and finite while coefficients change underneath it.
TEST(TapStateRealtime, EngineAndAudioThreadsShareOnlyTheControlBlockAndEQBanks) {
    TapState tap(1.0f, 1.0f, 48000);
    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        Buffers in{{2, 256}}, out{{2, 256}};
        for (int i = 0; i < 256; ++i)
            in[0][2 * i] = in[0][2 * i + 1] = std::sin(i * 0.2f);
        bool ok = true;
        while (!done.load() || blocks.load() < 200) {
            tap.render(&in.list, &out.list, 1, true);
            for (float v : out[0])
                ok = ok && std::isfinite(v) && std::fabs(v) <= TapState::ceiling;
            blocks.fetch_add(1);
        }
        EXPECT_TRUE(ok);
    });
    const auto presets = EQPresets::allCases;
    for (int i = 0; i < 2000; ++i) {
        tap.store(S::targetGain, (i % 5) * 0.5f);
        tap.store(S::targetDuck, (i % 2) ? 0.3f : 1.0f);
        tap.setEQ(EQPresets::gains(presets[i % presets.size()]));
        if (i % 4) continue;
        tap.store(S::peakLevel, tap.load(S::peakLevel) / 2);
        tap.load(S::limiterFloor);
        tap.store(S::limiterFloor, 1.0f);
    }
    done.store(true);
    audio.join();
    EXPECT_GE(blocks.load(), 200);
}

double sectionDb(const Biquad& q, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * f / fs);
    return 20 * std::log10(std::abs((q.b0 + q.b1 * z1 + q.b2 * z1 * z1) /
                                    (1.0 + q.a1 * z1 + q.a2 * z1 * z1)));
}

// Each peak reaches its gain at its centre and each shelf far beyond its corner; the cascade is
// the sum of its sections in dB. (The filters are compared with sox's in RenderVsSoxTest.)
TEST(EQDesign, BandsReachTheirGainsAndTheCascadeAddsUp) {
    const std::vector<float> gains{6.0f, -4.0f, 3.0f, -7.5f, 9.0f};
    const auto sections = EQ::biquads(gains, 48000);
    for (int band = 1; band < 4; ++band)
        EXPECT_NEAR(sectionDb(sections[band], EQ::frequencies[band], 48000), gains[band], 1e-6);
    EXPECT_NEAR(sectionDb(sections[0], 10, 48000), 6.0, 0.01);
    EXPECT_NEAR(sectionDb(sections[4], 24000, 48000), 9.0, 1e-6);
    double sum = 0;
    for (const auto& q : sections)
        sum += sectionDb(q, 2500, 48000);
    EXPECT_NEAR(EQ::response(gains, 2500, 48000), sum, 1e-9);
}

TEST(EQDesign, MissingAndZeroGainsAreUnity) {
    for (const auto& q : EQ::biquads({}, 48000))
        EXPECT_EQ(std::tuple(q.b0, q.b1, q.b2), std::tuple(1.0, q.a1, q.a2));
    for (double f : {20.0, 1000.0, 19000.0})
        EXPECT_NEAR(EQ::response({}, f, 48000), 0.0, 1e-12);
    EXPECT_EQ(EQ::biquads(std::vector<float>{3, -2, 5}, 48000),
              EQ::biquads(std::vector<float>{3, -2, 5, 0, 0}, 48000));
}

TEST(EQDesign, HighBandsStayBelowNyquistAtLowRates) {
    const std::vector<float> gains{0, 0, 0, 0, 6};
    // The high shelf's corner moves to 0.45 × 16000 = 7200 Hz, where it reaches half its gain.
    EXPECT_NEAR(sectionDb(EQ::biquads(gains, 16000)[4], 7200, 16000), 3.0, 1e-9);
    // At 48 kHz nothing moves.
    EXPECT_NEAR(sectionDb(EQ::biquads(gains, 48000)[4], 10000, 48000), 3.0, 1e-9);
}

TEST(EQPresetCatalogue, StoredNamesStayAndRoundTripCaseSensitively) {
    std::vector<std::string_view> raw;
    for (EQPreset p : EQPresets::allCases) {
        raw.push_back(EQPresets::rawValue(p));
        EXPECT_EQ(EQPresets::fromRawValue(EQPresets::rawValue(p)), p);
    }
    EXPECT_EQ(raw, (std::vector<std::string_view>{"off", "voice", "bass", "clarity", "warmth",
                                                  "night", "custom"}));
    EXPECT_FALSE(EQPresets::fromRawValue("Voice").has_value());
}

TEST(EQSettingsCoding, RoundTripsAndRejectsBadRecords) {
    const EQSettings custom{EQPreset::custom, {1.5f, -2, 0, 3.25f, 12}};
    const nlohmann::json encoded = custom;
    EXPECT_EQ(encoded["preset"], "custom");
    EXPECT_EQ(encoded.get<EQSettings>(), custom);
    for (const char* bad : {R"({"preset": "loud", "gains": [0,0,0,0,0]})", R"({"preset": "off"})",
                            R"({"preset": "off", "gains": ["1"]})", R"([1, 2])"})
        EXPECT_THROW(nlohmann::json::parse(bad).get<EQSettings>(), nlohmann::json::exception)
            << bad;
}

} // namespace
} // namespace voxlane
