#pragma once

#include <QObject>
#include <memory>

class QTimer;

namespace voxlane {

class Hal;
class Scheduler;
class Workspace;

// The audio server Voxlane runs on, with the workspace that goes with it: PipeWire when it is
// reachable, else (and with --demo) the simulated server with demo applications, whose clock
// runs in real time on the main loop.
class AudioBackend : public QObject {
    Q_OBJECT
public:
    ~AudioBackend() override;

    static std::unique_ptr<AudioBackend> start(Scheduler& mainQueue, bool demoRequested);

    // The real audio server, or none when it cannot be reached.
    static std::unique_ptr<AudioBackend> tryPipeWire(Scheduler& mainQueue);
    static std::unique_ptr<AudioBackend> demo(Scheduler& mainQueue);

    Hal& hal() const { return *hal_; }
    Workspace& workspace() const { return *workspace_; }
    bool isDemo() const { return demo_; }

private:
    AudioBackend(std::unique_ptr<Hal> hal, std::unique_ptr<Workspace> workspace, bool demo);

    std::unique_ptr<Hal> hal_;
    std::unique_ptr<Workspace> workspace_;
    bool demo_;
    QTimer* clock_ = nullptr;
};

} // namespace voxlane
