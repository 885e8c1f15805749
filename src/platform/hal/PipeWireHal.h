// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"
#include "platform/hal/Hal.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace voxlane {

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
//
// The server comes and goes. Without one, the Hal is empty (no devices, no processes, the
// server-connected property 0) and tries again, at first soon, then every 2 s. When the
// connection ends (the server exits or crashes, WirePlumber's objects go with WirePlumber) the
// model empties, which its listeners hear as devices, processes and defaults going; every IO
// procedure stops with the connection (the records stay until their owners destroy them), and
// a new connection fills the model again with new objects.
class PipeWireHal final : public Hal {
public:
    // Names the bundle id (the desktop entry id) of a process that PipeWire gives none for.
    using BundleIdResolver = std::function<std::optional<std::string>(pid_t)>;

    struct Options {
        BundleIdResolver bundleIdResolver;
        std::string applicationName = "Voxlane";
        // How long a connection waits for the server's first answer.
        double timeoutSeconds = 3.0;
        // Whether to connect again after the connection ended or could not be made.
        bool reconnect = true;
        // Only looking: no tap, no sound, no property write, nothing routed.
        bool readOnly = false;
        // This program's pid (its process object is what kAudioHardwarePropertyTranslate-
        // PIDToProcessObject finds for it); 0 means getpid().
        pid_t ownPid = 0;
    };

    // Connects to the PipeWire server of this session (as libpipewire finds it: PIPEWIRE_REMOTE,
    // XDG_RUNTIME_DIR) and returns once the server's objects are in the model, or, when no
    // server answers within the timeout, empty and waiting for one.
    static std::unique_ptr<PipeWireHal> start(Scheduler& mainQueue, Options options);
    // The same, but null (with the reason in *whyNot) when no server answers, and without
    // connecting again.
    static std::unique_ptr<PipeWireHal> connect(Scheduler& mainQueue, Options options,
                                                std::string* whyNot = nullptr);
    ~PipeWireHal() override;
    PipeWireHal(const PipeWireHal&) = delete;
    PipeWireHal& operator=(const PipeWireHal&) = delete;

    // "PipeWire <version>" of the server.
    std::string serverDescription() const;
    // Whether a connection stands and its first answer is in.
    bool isConnected() const;
    // Why the last connection could not be made or ended.
    std::string lastFailure() const;
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
    OSStatus createProcessTap(const TapDescription& description, AudioObjectID* outTap) override;
    OSStatus destroyProcessTap(AudioObjectID tap) override;
    OSStatus createAggregateDevice(const AggregateDescription& description,
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
    struct Session;
    struct State;
    explicit PipeWireHal(std::shared_ptr<State> state);

    std::shared_ptr<State> s_;
};

} // namespace voxlane
