// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalConstants.h"
#include "platform/hal/HalTypes.h"
#include "platform/hal/pipewire/PipeWireGraph.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <variant>
#include <vector>

namespace voxlane {

// The audio objects that PipeWire's graph shows to the Hal, and their properties.
//
//   Hal                                   PipeWire
//   device (uid, name)                    Audio/Sink, Audio/Source(/Virtual), Audio/Duplex node
//                                         (node.name, node.description); not sink monitors
//   output / input stream of a device     one each, for sinks / sources
//   transport                             PipeWireTransport::code of node and device properties
//   nominal sample rate                   the node's format, else the clock.rate setting
//   virtual main volume, volume scalars   Props channelVolumes, as slider positions (cube roots)
//   mute                                  Props mute
//   process (pid, bundle id)              the process behind a client that owns audio streams
//   running output / input                one of its Stream/Output/Audio or Stream/Input/Audio
//                                         nodes is running
//   default output / input                "default" metadata: default.audio.sink / .source
//   default system (alert) output         "default" metadata: our own key, else the output
//   server connected                      the connection's first answer is in, until it ends
//
// Object ids are made here: new for every device node and every process that appears, never
// reused within a run; a process keeps its id while the process has a client. `apply` updates
// the model with one event and tells which properties changed, so listeners can be called.
class PipeWireModel {
public:
    using BundleIdResolver = std::function<std::optional<std::string>(pid_t)>;
    using Value = std::variant<std::uint32_t, std::int32_t, float, double,
                               std::vector<std::uint32_t>, std::optional<std::string>>;

    // The "default" metadata key under which the default system (alert) output is kept.
    static constexpr const char* alertSinkKey = "voxlane.default.alert.audio.sink";

    struct Options {
        pid_t ownPid = 0;
        // The bundle id of a process that PipeWire names none for (no portal or application
        // id), e.g. the desktop entry of its executable. Called on the main queue, once per
        // process object.
        BundleIdResolver bundleIdResolver;
    };

    struct Change {
        AudioObjectID object = 0;
        AudioObjectPropertyAddress address;
        friend bool operator==(const Change&, const Change&) = default;
    };

    // What a property write asks of the server.
    struct NodeWrite {
        std::uint32_t node = 0;
        std::optional<std::vector<float>> channelVolumes;
        std::optional<bool> mute;
    };
    struct MetadataWrite {
        std::uint32_t subject = 0;
        std::string key;
        std::string type;
        std::optional<std::string> value; // none removes the key
    };
    using Write = std::variant<NodeWrite, MetadataWrite>;

    explicit PipeWireModel(Options options);

    std::vector<Change> apply(const PipeWireEvent& event);
    const PipeWireGraph& graph() const { return graph_; }

    bool exists(AudioObjectID object) const;
    OSStatus read(AudioObjectID object, const AudioObjectPropertyAddress& address,
                  std::uint32_t qualifierSize, const void* qualifier, Value& out) const;
    OSStatus settable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                      bool& out) const;
    // Checks a write and says what to send; no change is made to the model (the server's
    // answer comes back as events).
    OSStatus planWrite(AudioObjectID object, const AudioObjectPropertyAddress& address,
                       std::uint32_t size, const void* data, Write& out) const;

    // Metadata writes that send event and notification sounds to the alert device: for every
    // such playback stream whose target differs from it. Empty while the alert device follows
    // the default output.
    std::vector<MetadataWrite> alertRouting() const;

    // A fresh object id (for objects the Hal makes itself, such as taps).
    AudioObjectID reserveId() { return nextId_++; }

    // Lookups for callers and tests.
    std::optional<AudioObjectID> deviceForUID(const std::string& uid) const;
    std::optional<AudioObjectID> processForPID(pid_t pid) const;
    std::optional<std::uint32_t> nodeOfDevice(AudioObjectID device) const;

private:
    struct DeviceView {
        AudioObjectID id = 0;
        std::uint32_t node = 0;
        AudioObjectID outputStream = 0;
        AudioObjectID inputStream = 0;
        std::string uid;
        std::string name;
        Transport transport = Transport::unknown;
        double rate = 48000;
        std::optional<std::vector<float>> channelVolumes;
        std::optional<bool> mute;
        bool writable = false;
        friend bool operator==(const DeviceView&, const DeviceView&) = default;
    };
    struct ProcessView {
        AudioObjectID id = 0;
        pid_t pid = 0;
        std::optional<std::string> bundleID;
        bool runningOutput = false;
        bool runningInput = false;
        friend bool operator==(const ProcessView&, const ProcessView&) = default;
    };
    struct View {
        std::map<AudioObjectID, DeviceView> devices;
        std::map<AudioObjectID, ProcessView> processes;
        std::map<AudioObjectID, AudioObjectID> streams; // stream -> device
        AudioObjectID defaultOutput = 0;
        AudioObjectID defaultInput = 0;
        AudioObjectID systemOutput = 0;
        bool serverConnected = false;
    };
    struct DeviceIds {
        AudioObjectID device = 0;
        AudioObjectID outputStream = 0;
        AudioObjectID inputStream = 0;
    };
    struct ProcessEntry {
        AudioObjectID id = 0;
        bool resolved = false;
        std::optional<std::string> resolvedBundleID;
    };

    // pid -> the clients (by id) whose audio streams it owns, and whether one runs.
    struct PidStreams {
        std::set<std::uint32_t> clients;
        bool output = false;
        bool input = false;
    };

    View build();
    void collectNodes(View& v, std::map<pid_t, PidStreams>& pids);
    DeviceView deviceView(std::uint32_t nodeId, const PipeWireGraph::Node& node, double clockRate);
    void collectProcesses(View& v, const std::map<pid_t, PidStreams>& pids);
    OSStatus readSystem(AudioObjectPropertySelector selector, std::uint32_t qualifierSize,
                        const void* qualifier, Value& out) const;
    static OSStatus readDevice(const DeviceView& d, const AudioObjectPropertyAddress& a,
                               Value& out);
    static bool ownSide(const DeviceView& d, const AudioObjectPropertyAddress& a);
    static OSStatus readProcess(const ProcessView& p, AudioObjectPropertySelector selector,
                                Value& out);
    std::optional<std::string> bundleIDFromClient(std::uint32_t clientId) const;
    AudioObjectID defaultDevice(const std::map<AudioObjectID, DeviceView>& devices, const char* key,
                                bool output) const;
    const DeviceView* device(AudioObjectID id) const;
    static std::vector<Change> diff(const View& before, const View& after);

    Options options_;
    PipeWireGraph graph_;
    View view_;
    AudioObjectID nextId_ = 2;
    std::map<std::uint32_t, DeviceIds> deviceIds_; // by node id, while the node exists
    std::map<pid_t, ProcessEntry> processIds_;     // by pid, while the process has a client
};

} // namespace voxlane
