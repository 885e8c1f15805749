#pragma once

#include "platform/Scheduler.h"
#include "platform/hal/Hal.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace voxlane {

class PipeWireConnection;
class PipeWireTapHost;

// The Hal on a real PipeWire server (libpipewire-0.3).
//
// A connection on its own thread loop mirrors the server's registry; every change it reports is
// posted to the main queue, where it updates the local model (PipeWireModel) and calls the
// property listeners whose values changed. Property reads answer from that model and never wait
// for the server. Writes go to the server at once and show in reads (and fire listeners) when
// the server's answer has come back through the main queue.
//
// What the objects are, and how volumes map, is described in PipeWireModel and PipeWireVolume.
//
// Process taps, private aggregate devices and IO procedures are Voxlane's own objects
// (PipeWireTapObjects); an IO procedure that runs is a pair of streams on the server
// (PipeWireTapRunner) into which the tapped applications' streams are routed
// (PipeWireTapHost): a muting tap moves them into a virtual sink of ours, so they are heard
// only through the IO procedure, which plays to the aggregate device's main sub-device; an
// unmuted tap links them to a capture stream of ours as well. The IO block runs on PipeWire's
// real-time data thread. Starting the IO procedure takes the streams in, stopping it (or
// destroying the procedure, the device or the tap) lets them go back. Aggregate devices are
// private: they are not in the device list. Sounds play as short streams to the default sink.
class PipeWireHal final : public Hal {
public:
    // Names the bundle id (the desktop entry id) of a process that PipeWire gives none for.
    using BundleIdResolver = std::function<std::optional<std::string>(pid_t)>;

    struct Options {
        BundleIdResolver bundleIdResolver;
        std::string applicationName = "Voxlane";
        // How long `connect` waits for the server.
        double timeoutSeconds = 3.0;
        // This program's pid (its process object is what kAudioHardwarePropertyTranslate-
        // PIDToProcessObject finds for it); 0 means getpid().
        pid_t ownPid = 0;
    };

    // Connects to the PipeWire server of this session (as libpipewire finds it: PIPEWIRE_REMOTE,
    // XDG_RUNTIME_DIR) and returns once the server's objects are in the model. Null, with the
    // reason in *whyNot, when no server answers within the timeout.
    static std::unique_ptr<PipeWireHal> connect(Scheduler& mainQueue, Options options,
                                                std::string* whyNot = nullptr);
    ~PipeWireHal() override;
    PipeWireHal(const PipeWireHal&) = delete;
    PipeWireHal& operator=(const PipeWireHal&) = delete;

    // "PipeWire <version>" of the server.
    std::string serverDescription() const;
    // Whether the connection still stands (a server that went away leaves an empty model).
    bool isConnected() const;
    // Cycles a running IO procedure has handed to its block (0 when it does not run).
    std::uint64_t cyclesOf(AudioObjectID device, AudioDeviceIOProcID proc) const;

    bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override;
    OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                bool* outSettable) override;
    OSStatus getPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 std::uint32_t qualifierSize, const void* qualifier,
                                 std::uint32_t* outSize) override;
    OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::uint32_t qualifierSize, const void* qualifier,
                             std::uint32_t* ioSize, void* data) override;
    OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::uint32_t qualifierSize, const void* qualifier, std::uint32_t size,
                             const void* data) override;
    OSStatus getPropertyString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                               std::optional<std::string>* outValue) override;
    OSStatus addPropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 const AudioObjectPropertyListenerBlockRef& block) override;
    OSStatus removePropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    const AudioObjectPropertyListenerBlockRef& block) override;
    OSStatus createProcessTap(const CATapDescription& description, AudioObjectID* outTap) override;
    OSStatus destroyProcessTap(AudioObjectID tap) override;
    OSStatus createAggregateDevice(const AggregateDeviceDescription& description,
                                   AudioObjectID* outDevice) override;
    OSStatus destroyAggregateDevice(AudioObjectID device) override;
    OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOBlock block,
                            AudioDeviceIOProcID* outProc) override;
    OSStatus destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID proc) override;
    OSStatus deviceStart(AudioObjectID device, AudioDeviceIOProcID proc) override;
    OSStatus deviceStop(AudioObjectID device, AudioDeviceIOProcID proc) override;
    OSStatus playSound(const std::string& name, std::shared_ptr<const std::vector<float>> samples,
                       float volume) override;

private:
    struct State;
    PipeWireHal(std::shared_ptr<State> state, std::unique_ptr<PipeWireTapHost> host,
                std::unique_ptr<PipeWireConnection> connection);

    std::shared_ptr<State> s_;
    std::unique_ptr<PipeWireTapHost> host_;
    std::unique_ptr<PipeWireConnection> connection_;
};

} // namespace voxlane
