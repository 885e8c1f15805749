#include "app/AudioBackend.h"

#include "app/InterimDemo.h"
#include "platform/hal/SimHal.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace voxlane {

AudioBackend::AudioBackend(std::unique_ptr<Hal> hal, std::unique_ptr<Workspace> workspace,
                           bool demo)
    : hal_(std::move(hal)), workspace_(std::move(workspace)), demo_(demo) {}

AudioBackend::~AudioBackend() = default;

std::unique_ptr<AudioBackend> AudioBackend::start(Scheduler& mainQueue, bool demoRequested) {
    if (!demoRequested) {
        if (auto backend = tryPipeWire(mainQueue)) return backend;
    }
    return demo(mainQueue);
}

std::unique_ptr<AudioBackend> AudioBackend::tryPipeWire(Scheduler&) {
    // The PipeWire backend connects here once it is part of the build; until then every start
    // runs on the simulated server.
    return nullptr;
}

std::unique_ptr<AudioBackend> AudioBackend::demo(Scheduler& mainQueue) {
    auto hal = std::make_unique<SimHal>(mainQueue);
    auto workspace = std::make_unique<InterimDemo::DemoWorkspace>();
    InterimDemo::populate(*hal, *workspace);
    SimHal& sim = *hal;
    std::unique_ptr<AudioBackend> backend(
        new AudioBackend(std::move(hal), std::move(workspace), true));

    // The simulated clock follows real time in whole buffers; after a stall of the main loop
    // it skips ahead instead of catching up.
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    auto played = std::make_shared<double>(0);
    backend->clock_ = new QTimer(backend.get());
    backend->clock_->setTimerType(Qt::PreciseTimer);
    backend->clock_->setInterval(10);
    connect(backend->clock_, &QTimer::timeout, backend.get(), [&sim, elapsed, played] {
        const double now = double(elapsed->nsecsElapsed()) / 1e9;
        *played = std::max(*played, now - 0.25);
        const double buffer = sim.bufferFrames() / sim.sampleRate();
        const auto cycles = std::uint32_t((now - *played) / buffer);
        if (cycles == 0) return;
        sim.advance(cycles * sim.bufferFrames());
        *played += cycles * buffer;
    });
    connect(backend->clock_, &QObject::destroyed, [elapsed] { delete elapsed; });
    backend->clock_->start();
    return backend;
}

} // namespace voxlane
