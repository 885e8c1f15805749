// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerModel.h"
#include "platform/server/pipewire/PipeWireGraph.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace voxlane {

// What the audio server looks like through PipeWire's graph.
//
//   server model                          PipeWire
//   device (uid, name)                    Audio/Sink, Audio/Source(/Virtual), Audio/Duplex node
//                                         (node.name, node.description); not sink monitors
//   output / input stream of a device     one each, for sinks / sources, with the node's
//                                         channels (its channelVolumes, else audio.channels)
//   transport                             PipeWireTransport::transport of node and device
//   sample rate                           the node's format, else the clock.rate setting
//   volume                                Props channelVolumes, as the slider position (cube
//                                         root) of the loudest channel
//   mute                                  Props mute
//   settable                              Props writable and the node writable for us
//   process (pid, app id)                 the process behind a client that owns audio streams
//   playing / recording                   one of its Stream/Output/Audio or Stream/Input/Audio
//                                         nodes is running
//   default output / input                "default" metadata: default.audio.sink / .source
//   alert device                          "default" metadata: our own key, else the output
//   connected                             the connection's first answer is in, until it ends
//
// Object ids are made here: new for every device node and every process that appears, never
// reused within a run; a process keeps its id while the process has a client. `apply` updates
// the model with one event; the server publishes `model()` to its readers.
class PipeWireModel {
public:
    using AppIdResolver = std::function<std::optional<std::string>(pid_t)>;

    // The "default" metadata key under which the alert device is kept.
    static constexpr const char* alertSinkKey = "voxlane.default.alert.audio.sink";

    struct Options {
        pid_t ownPid = 0;
        // The app id of a process that PipeWire names none for (no portal or application id),
        // e.g. the desktop entry of its executable. Called on the main queue, once per process
        // object.
        AppIdResolver appIdResolver;
    };

    // What a write asks of the server.
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

    explicit PipeWireModel(Options options);

    void apply(const PipeWireEvent& event);
    const PipeWireGraph& graph() const { return graph_; }
    // The server as the graph shows it now (without our own aggregate devices).
    const ServerModel& model() const { return model_; }

    // Check a write and say what to send; the model does not change (the server's answer comes
    // back as events).
    ServerError planVolume(ObjectId device, Side side, float volume, NodeWrite& out) const;
    ServerError planMute(ObjectId device, Side side, bool muted, NodeWrite& out) const;
    ServerError planDefault(Role role, ObjectId device, MetadataWrite& out) const;

    // Metadata writes that send event and notification sounds to the alert device: for every
    // such playback stream whose target differs from it. Empty while the alert device follows
    // the default output.
    std::vector<MetadataWrite> alertRouting() const;

    // A fresh object id (for objects the server makes itself, such as taps).
    ObjectId reserveId() { return nextId_++; }

    // Lookups for callers and tests.
    std::optional<ObjectId> deviceForUid(const std::string& uid) const;
    std::optional<ObjectId> processForPid(pid_t pid) const;
    std::optional<std::uint32_t> nodeOfDevice(ObjectId device) const;

private:
    // What a device is on the graph, beyond what the model shows.
    struct DeviceNode {
        std::uint32_t node = 0;
        std::vector<float> channelVolumes; // empty: no volume
        bool writable = false;
    };
    struct ProcessEntry {
        ObjectId id = 0;
        bool resolved = false;
        std::optional<std::string> resolvedAppId;
    };
    // pid -> the clients (by id) whose audio streams it owns, and whether one runs.
    struct PidStreams {
        std::set<std::uint32_t> clients;
        bool output = false;
        bool input = false;
    };

    void build();
    void collectNodes(ServerModel& m, std::map<pid_t, PidStreams>& pids);
    ServerModel::Device device(ObjectId id, const PipeWireGraph::Node& node, double clockRate);
    void collectProcesses(ServerModel& m, const std::map<pid_t, PidStreams>& pids);
    std::optional<std::string> appIdFromClient(std::uint32_t clientId) const;
    ObjectId defaultDevice(const ServerModel& m, const char* key, Side side) const;
    // The node of a device with controls on `side`, or why there is none to write.
    ServerError controlled(ObjectId device, Side side, const DeviceNode*& out) const;

    Options options_;
    PipeWireGraph graph_;
    ServerModel model_;
    ObjectId nextId_ = 2;
    std::map<std::uint32_t, ObjectId> deviceIds_; // by node id, while the node exists
    std::map<ObjectId, DeviceNode> nodes_;        // by device, as of the last build
    std::map<pid_t, ProcessEntry> processIds_;    // by pid, while the process has a client
};

} // namespace voxlane
