// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AudioBackend.h"

#include "platform/Workspace.h"
#include "platform/server/AudioServer.h"
#include "platform/server/SimServer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace voxlane {

AudioBackend::AudioBackend(AudioSetup setup) : setup_(std::move(setup)) {}

AudioBackend::~AudioBackend() = default;

std::unique_ptr<AudioBackend> AudioBackend::start(Scheduler& mainQueue, bool demoRequested) {
    std::unique_ptr<AudioBackend> backend(
        new AudioBackend(AudioSetup::open(mainQueue, demoRequested)));
    if (SimServer* sim = backend->setup_.simulated) backend->runSimulatedClock(*sim);
    return backend;
}

void AudioBackend::runSimulatedClock(SimServer& sim) {
    // The simulated clock follows real time in whole buffers; after a stall of the main loop
    // it skips ahead instead of catching up.
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    auto played = std::make_shared<double>(0);
    clock_ = new QTimer(this);
    clock_->setTimerType(Qt::PreciseTimer);
    clock_->setInterval(10);
    connect(clock_, &QTimer::timeout, this, [&sim, elapsed, played] {
        const double now = double(elapsed->nsecsElapsed()) / 1e9;
        *played = std::max(*played, now - 0.25);
        const double buffer = sim.bufferFrames() / sim.sampleRate();
        const auto cycles = std::uint32_t((now - *played) / buffer);
        if (cycles == 0) return;
        sim.advance(cycles * sim.bufferFrames());
        *played += cycles * buffer;
    });
    connect(clock_, &QObject::destroyed, [elapsed] { delete elapsed; });
    clock_->start();
}

} // namespace voxlane
