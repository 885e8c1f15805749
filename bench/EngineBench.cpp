// The engine's refresh and reconciliation on the simulated server: 10 devices, 50 processes in
// 20 apps (a third of them adjusted, so they run process taps), panel open (meter taps for the
// rest). Nothing changes structurally between runs.
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/ManualScheduler.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/hal/SimHal.h"

#include <benchmark/benchmark.h>
#include <stdexcept>

namespace {

using namespace voxlane;

struct World {
    ManualScheduler scheduler;
    SimHal hal{scheduler};
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    StaticWorkspace workspace;
    SystemSounds sounds{hal};
    SystemEvents events;
    std::unique_ptr<MixerEngine> engine;

    World() {
        for (int d = 0; d < 10; ++d) {
            SimHal::DeviceSetup setup;
            setup.uid = "device" + std::to_string(d);
            setup.name = "Device " + std::to_string(d);
            if (d % 3 == 2) setup.inputStreams = {1};
            hal.addDevice(setup);
        }
        for (int p = 0; p < 50; ++p) {
            const int app = p % 20;
            const std::string id = "org.example.App" + std::to_string(app);
            SimHal::ProcessSetup setup;
            setup.pid = 3000 + p;
            setup.bundleID = id;
            setup.signal = SimHal::Signal::sine(0.1f);
            hal.addProcess(setup);
            workspace.applications[setup.pid] =
                RunningApplication{id, "App " + std::to_string(app), {}, "", true};
        }
        defaults->setBoolean(AudioPermission::grantedKey, true);
        engine = std::make_unique<MixerEngine>(
            EngineServices{hal, scheduler, *defaults, workspace, sounds, events, {}, {}});
        for (int app = 0; app < 20; app += 3)
            engine->setVolume(0.5f, "org.example.App" + std::to_string(app));
        engine->setPanelVisible(true);
        if (engine->apps().size() != 20 || engine->taps().size() != 20)
            throw std::logic_error("unexpected world");
    }

    std::size_t halCalls() const {
        std::size_t total = 0;
        for (int op = 1; op < int(SimHal::Operation::count_); ++op)
            total += hal.calls(SimHal::Operation(op));
        return total;
    }
};

void BM_RefreshWithoutChange(benchmark::State& state) {
    World world;
    const auto calls = world.halCalls();
    const auto built = world.hal.calls(SimHal::Operation::createProcessTap);
    for (auto _ : state)
        world.engine->refreshNow();
    state.counters["hal_calls_per_refresh"] =
        double(world.halCalls() - calls) / double(state.iterations());
    state.counters["taps_built"] =
        double(world.hal.calls(SimHal::Operation::createProcessTap) - built);
}

void BM_VolumeChange(benchmark::State& state) {
    World world;
    const auto calls = world.halCalls();
    const auto built = world.hal.calls(SimHal::Operation::createProcessTap) +
                       world.hal.calls(SimHal::Operation::createAggregateDevice) +
                       world.hal.calls(SimHal::Operation::createIOProcID);
    float volume = 0.5f;
    for (auto _ : state) {
        volume = volume == 0.5f ? 0.6f : 0.5f;
        world.engine->setVolume(volume, "org.example.App0");
    }
    state.counters["hal_calls_per_change"] =
        double(world.halCalls() - calls) / double(state.iterations());
    state.counters["audio_objects_built"] =
        double(world.hal.calls(SimHal::Operation::createProcessTap) +
               world.hal.calls(SimHal::Operation::createAggregateDevice) +
               world.hal.calls(SimHal::Operation::createIOProcID) - built);
}

BENCHMARK(BM_RefreshWithoutChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VolumeChange)->Unit(benchmark::kMicrosecond);

} // namespace
