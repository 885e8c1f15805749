// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of one tap's signal chain: 512-frame interleaved stereo blocks at 48 kHz.
#include "engine/EQPreset.h"
#include "engine/TapState.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

using voxlane::TapState;

constexpr int kFrames = 512;
constexpr double kRate = 48000.0;

enum class Mode { eqBypassed, eqVoice, metering };

void renderBlocks(benchmark::State& state, Mode mode) {
    TapState tap(1.5f, 1.0f, kRate);
    if (mode == Mode::eqVoice) {
        const auto& g = voxlane::EQPresets::gains(voxlane::EQPreset::voice);
        tap.setEQ(std::vector<float>(g.begin(), g.end()));
    }
    std::vector<float> in(2 * kFrames), out(2 * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        in[2 * i] = 0.8f * std::sin(2.0 * M_PI * 440.0 * i / kRate);
        in[2 * i + 1] = 0.8f * std::sin(2.0 * M_PI * 660.0 * i / kRate);
    }
    voxlane::AudioBuffer inBuffer{2, static_cast<std::uint32_t>(in.size() * 4), in.data()};
    voxlane::AudioBuffer outBuffer{2, static_cast<std::uint32_t>(out.size() * 4), out.data()};
    voxlane::BufferList input{1, &inBuffer}, output{1, &outBuffer};
    const bool passThrough = mode != Mode::metering;

    const auto began = std::chrono::steady_clock::now();
    for (auto _ : state) {
        tap.render(&input, &output, 1, passThrough);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const double frames = static_cast<double>(state.iterations()) * kFrames;
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    state.counters["ns_per_frame"] = seconds * 1e9 / frames;
    // Seconds of 48 kHz audio rendered per second on one core.
    state.counters["x_realtime"] = frames / kRate / seconds;
}

void BM_RenderEqBypassed(benchmark::State& state) {
    renderBlocks(state, Mode::eqBypassed);
}
void BM_RenderEqVoice(benchmark::State& state) {
    renderBlocks(state, Mode::eqVoice);
}
void BM_RenderMetering(benchmark::State& state) {
    renderBlocks(state, Mode::metering);
}

BENCHMARK(BM_RenderEqBypassed);
BENCHMARK(BM_RenderEqVoice);
BENCHMARK(BM_RenderMetering);

} // namespace
