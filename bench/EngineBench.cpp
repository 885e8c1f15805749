// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's refresh and reconciliation on the simulated server: 10 devices, 50 processes in
// 20 apps (a third of them adjusted, so they run process taps), panel open (meter taps for the
// rest). Nothing changes structurally between runs. And how often a fader drag writes the
// settings file.
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/ManualScheduler.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/server/SimServer.h"
#include "support/SimProbes.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

using namespace voxlane;

struct World {
    ManualScheduler scheduler;
    SimServer sim{scheduler};
    test::SimProbes probes{sim};
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    StaticWorkspace workspace;
    SystemSounds sounds{sim};
    SystemEvents events;
    std::unique_ptr<MixerEngine> engine;

    // With `file`, the settings are kept there, written as the application writes them.
    explicit World(const std::filesystem::path* file = nullptr) {
        if (file) defaults = Defaults::openFile(*file, scheduler);
        for (int d = 0; d < 10; ++d) {
            SimServer::DeviceSetup setup;
            setup.uid = "device" + std::to_string(d);
            setup.name = "Device " + std::to_string(d);
            if (d % 3 == 2) setup.inputStreams = {1};
            sim.addDevice(setup);
        }
        for (int p = 0; p < 50; ++p) {
            const int app = p % 20;
            const std::string id = "org.example.App" + std::to_string(app);
            SimServer::ProcessSetup setup;
            setup.pid = 3000 + p;
            setup.appId = id;
            setup.signal = SimServer::Signal::sine(0.1f);
            sim.addProcess(setup);
            workspace.applications[setup.pid] =
                RunningApplication{id, "App " + std::to_string(app), {}, "", true};
        }
        defaults->setBoolean(AudioPermission::grantedKey, true);
        engine = std::make_unique<MixerEngine>(
            EngineServices{sim, scheduler, *defaults, workspace, sounds, events, {}, {}});
        for (int app = 0; app < 20; app += 3)
            engine->setVolume(0.5f, "org.example.App" + std::to_string(app));
        engine->setMetering(true);
        if (engine->apps().size() != 20 || engine->taps().size() != 20)
            throw std::logic_error("unexpected world");
    }

    std::size_t serverCalls() const { return probes.calls(ServerCore::Operation::any); }
};

void BM_RefreshWithoutChange(benchmark::State& state) {
    World world;
    const auto calls = world.serverCalls();
    const auto built = world.probes.calls(ServerCore::Operation::createTap);
    for (auto _ : state)
        world.engine->refreshNow();
    state.counters["hal_calls_per_refresh"] =
        double(world.serverCalls() - calls) / double(state.iterations());
    state.counters["taps_built"] =
        double(world.probes.calls(ServerCore::Operation::createTap) - built);
}

void BM_VolumeChange(benchmark::State& state) {
    World world;
    const auto calls = world.serverCalls();
    const auto built = world.probes.calls(ServerCore::Operation::createTap) +
                       world.probes.calls(ServerCore::Operation::createAggregate) +
                       world.probes.calls(ServerCore::Operation::createRender);
    float volume = 0.5f;
    for (auto _ : state) {
        volume = volume == 0.5f ? 0.6f : 0.5f;
        world.engine->setVolume(volume, "org.example.App0");
    }
    state.counters["hal_calls_per_change"] =
        double(world.serverCalls() - calls) / double(state.iterations());
    state.counters["audio_objects_built"] =
        double(world.probes.calls(ServerCore::Operation::createTap) +
               world.probes.calls(ServerCore::Operation::createAggregate) +
               world.probes.calls(ServerCore::Operation::createRender) - built);
}

// A scripted drag of one fader: 21 steps 50 ms apart, then the release. Counts the saves (each
// writes the whole file; goal: at most 3 per drag) and measures the main thread's share, with
// the settings file padded to state.range(0) bytes by a value nobody reads.
void BM_FaderDragWrites(benchmark::State& state) {
    char pattern[] = "/tmp/voxlane-bench-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("no temporary directory");
    const std::filesystem::path directory = pattern;
    const std::filesystem::path file = directory / "defaults.json";
    {
        World world(&file);
        world.defaults->setValue("padding", std::string(std::size_t(state.range(0)), 'x'));
        world.defaults->flush();
        const std::size_t before = world.defaults->saveCount();
        int drags = 0;
        for (auto _ : state) {
            for (int step = 0; step <= 20; ++step) {
                world.engine->setVolume(0.5f + 0.025f * float(step), "org.example.App1");
                world.scheduler.advance(0.05);
            }
            world.scheduler.advance(Defaults::writeDelay); // released
            ++drags;
            state.PauseTiming();
            world.engine->setVolume(0.5f, "org.example.App1");
            world.defaults->flush();
            state.ResumeTiming();
        }
        // Less the one save of each untimed reset between drags.
        state.counters["saves_per_drag"] =
            double(world.defaults->saveCount() - before - std::size_t(drags)) / drags;
    }
    std::filesystem::remove_all(directory);
}

BENCHMARK(BM_RefreshWithoutChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FaderDragWrites)->Arg(0)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VolumeChange)->Unit(benchmark::kMicrosecond);

} // namespace
