// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioSetup.h"

#include <QObject>
#include <memory>

class QTimer;

namespace voxlane {

class AudioServer;
class SimServer;
class Scheduler;
class Workspace;

// The audio server Voxlane runs on, with the workspace that goes with it: the user's PipeWire
// (waited for while it is not there), or with --demo the simulated server with demo
// applications, whose clock runs in real time on the main loop.
class AudioBackend : public QObject {
    Q_OBJECT
public:
    ~AudioBackend() override;

    static std::unique_ptr<AudioBackend> start(Scheduler& mainQueue, bool demoRequested);

    AudioServer& server() const { return *setup_.server; }
    Workspace& workspace() const { return *setup_.workspace; }
    bool isDemo() const { return setup_.simulated != nullptr; }
    // "PipeWire 0.3.65", "simulated (demo)", as at the start.
    const std::string& description() const { return setup_.description; }

private:
    explicit AudioBackend(AudioSetup setup);
    void runSimulatedClock(SimServer& sim);

    AudioSetup setup_;
    QTimer* clock_ = nullptr;
};

} // namespace voxlane
