// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireModel.h"

#include "platform/server/pipewire/PipeWireTapNames.h"
#include "platform/server/pipewire/PipeWireTransport.h"
#include "platform/server/pipewire/PipeWireVolume.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>

namespace voxlane {

namespace {

enum class NodeRole { none, device, playback, recording };

struct DeviceClass {
    bool output = false;
    bool input = false;
};

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

DeviceClass deviceClass(const PipeWireGraph::Node& node) {
    const std::string mediaClass = node.prop("media.class");
    DeviceClass c;
    if (mediaClass == "Audio/Duplex") {
        c.output = c.input = true;
    } else if (startsWith(mediaClass, "Audio/Sink")) {
        c.output = true;
    } else if (startsWith(mediaClass, "Audio/Source")) {
        // A source that only mirrors a sink's monitor is not an input device.
        c.input =
            node.prop("device.class") != "monitor" && node.prop("stream.capture.sink") != "true";
    }
    return c;
}

NodeRole role(const PipeWireGraph::Node& node) {
    const std::string mediaClass = node.prop("media.class");
    if (mediaClass == "Stream/Output/Audio") return NodeRole::playback;
    if (mediaClass == "Stream/Input/Audio") return NodeRole::recording;
    const DeviceClass c = deviceClass(node);
    return c.output || c.input ? NodeRole::device : NodeRole::none;
}

// The node name in a metadata value of the form {"name": "…"}.
std::optional<std::string> nameInJSON(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto json = nlohmann::json::parse(*text, nullptr, false);
    if (!json.is_object()) return std::nullopt;
    auto it = json.find("name");
    if (it == json.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

bool isAlertRole(std::string role) {
    std::transform(role.begin(), role.end(), role.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return role == "event" || role == "notification" || role == "alert";
}

// The channels of a device node's stream: those of its volumes, else the ones it announces.
std::uint32_t channelsOf(const PipeWireGraph::Node& node) {
    if (node.channelVolumes && !node.channelVolumes->empty())
        return std::uint32_t(node.channelVolumes->size());
    if (long n = std::atol(node.prop("audio.channels").c_str()); n > 0) return std::uint32_t(n);
    return 2;
}

} // namespace

PipeWireModel::PipeWireModel(Options options) : options_(std::move(options)) {}

void PipeWireModel::apply(const PipeWireEvent& event) {
    // A node that goes (or comes again under an id that is still known) takes its object id
    // along, so a device that returns is a new object.
    if (auto* removed = std::get_if<PipeWireEvent::GlobalRemoved>(&event.value))
        deviceIds_.erase(removed->id);
    if (auto* added = std::get_if<PipeWireEvent::GlobalAdded>(&event.value))
        deviceIds_.erase(added->id);
    graph_.apply(event);
    build();
}

std::optional<std::string> PipeWireModel::appIdFromClient(std::uint32_t clientId) const {
    const auto* client = graph_.client(clientId);
    if (!client) return std::nullopt;
    // A sandboxed (Flatpak) application's id as the server found it, then the id the
    // application gave itself.
    for (const char* key : {"pipewire.access.portal.app_id", "application.id"}) {
        std::string value = client->prop(key);
        if (!value.empty()) return value;
    }
    return std::nullopt;
}

ObjectId PipeWireModel::defaultDevice(const ServerModel& m, const char* key, Side side) const {
    const auto name = nameInJSON(graph_.metadataValue("default", 0, key));
    if (!name) return noObject;
    for (const auto& [id, d] : m.devices) {
        if (d.info.uid != *name) continue;
        if (side == Side::output ? d.info.hasOutput() : d.info.hasInput()) return id;
    }
    return noObject;
}

void PipeWireModel::build() {
    ServerModel m;
    std::map<pid_t, PidStreams> pids;
    collectNodes(m, pids);
    // Our own process is an audio client as long as we are connected.
    if (graph_.connected && options_.ownPid > 0) pids[options_.ownPid];
    collectProcesses(m, pids);

    m.defaultFor(Role::output) = defaultDevice(m, "default.audio.sink", Side::output);
    m.defaultFor(Role::input) = defaultDevice(m, "default.audio.source", Side::input);
    m.defaultFor(Role::alerts) = defaultDevice(m, alertSinkKey, Side::output);
    if (!m.defaultFor(Role::alerts)) m.defaultFor(Role::alerts) = m.defaultFor(Role::output);
    m.connected = graph_.connected;
    model_ = std::move(m);
}

void PipeWireModel::collectNodes(ServerModel& m, std::map<pid_t, PidStreams>& pids) {
    std::map<std::uint32_t, ObjectId> keptIds;
    nodes_.clear();
    const std::string rateSetting = graph_.metadataValue("settings", 0, "clock.rate").value_or("");
    double clockRate = 48000;
    if (long r = std::atol(rateSetting.c_str()); r > 0) clockRate = double(r);

    for (const auto& [nodeId, node] : graph_.nodes) {
        // The nodes of our own taps are no devices and no audio of our process.
        if (PipeWireTapNames::isTapNode(node.prop("node.name"))) continue;
        const NodeRole nodeRole = role(node);
        if (nodeRole == NodeRole::device) {
            auto known = deviceIds_.find(nodeId);
            const ObjectId id = known != deviceIds_.end() ? known->second : nextId_++;
            keptIds[nodeId] = id;
            m.devices.emplace(id, device(id, node, clockRate));
        } else if (nodeRole == NodeRole::playback || nodeRole == NodeRole::recording) {
            const pid_t pid = graph_.streamPid(node);
            if (pid <= 0) continue;
            auto& entry = pids[pid];
            const std::string clientId = node.prop("client.id");
            if (!clientId.empty()) entry.clients.insert(std::uint32_t(std::atol(clientId.c_str())));
            if (node.state == PipeWireGraph::State::running)
                (nodeRole == NodeRole::playback ? entry.output : entry.input) = true;
        }
    }
    deviceIds_ = std::move(keptIds);
}

ServerModel::Device PipeWireModel::device(ObjectId id, const PipeWireGraph::Node& node,
                                          double clockRate) {
    const DeviceClass c = deviceClass(node);
    ServerModel::Device d;
    DeviceInfo& info = d.info;
    info.id = id;
    info.uid = node.prop("node.name");
    info.name = node.prop("node.description");
    if (info.name.empty()) info.name = node.prop("node.nick");
    if (info.name.empty()) info.name = info.uid;
    PipeWireProps deviceProps;
    const std::string deviceId = node.prop("device.id");
    if (!deviceId.empty()) {
        if (const auto* dev = graph_.device(std::uint32_t(std::atol(deviceId.c_str()))))
            deviceProps = dev->props;
    }
    info.transport = PipeWireTransport::transport(node.props, deviceProps);
    info.sampleRate = node.rate ? double(node.rate) : clockRate;
    if (c.output) info.outputStreams = {channelsOf(node)};
    if (c.input) info.inputStreams = {channelsOf(node)};

    DeviceNode& n = nodes_[id];
    n.node = node.id;
    if (node.channelVolumes) n.channelVolumes = *node.channelVolumes;
    n.writable = node.propsWritable && (node.permissions & PipeWireEvent::permissionWrite);
    // A duplex node's controls are those of both its sides.
    DeviceControl control;
    if (!n.channelVolumes.empty()) {
        control.volume = PipeWireVolume::mainScalar(n.channelVolumes);
        control.volumeSettable = n.writable;
    }
    if (node.mute) {
        control.mute = node.mute;
        control.muteSettable = n.writable;
    }
    if (c.output) d.output = control;
    if (c.input) d.input = control;
    return d;
}

void PipeWireModel::collectProcesses(ServerModel& m, const std::map<pid_t, PidStreams>& pids) {
    // Forget the ids of processes that have neither streams nor clients any more.
    std::set<pid_t> alive;
    for (const auto& [_, client] : graph_.clients)
        if (pid_t pid = PipeWireGraph::clientPid(client)) alive.insert(pid);
    for (const auto& [pid, _] : pids)
        alive.insert(pid);
    std::erase_if(processIds_, [&](const auto& entry) { return !alive.count(entry.first); });

    for (const auto& [pid, streams] : pids) {
        ProcessEntry& entry = processIds_[pid];
        if (!entry.id) entry.id = nextId_++;
        ProcessInfo p;
        p.id = entry.id;
        p.pid = pid;
        p.playing = streams.output;
        p.recording = streams.input;
        for (auto client : streams.clients) {
            if ((p.appId = appIdFromClient(client))) break;
        }
        if (!p.appId) {
            if (!entry.resolved && options_.appIdResolver) {
                entry.resolvedAppId = options_.appIdResolver(pid);
                entry.resolved = true;
            }
            p.appId = entry.resolvedAppId;
        }
        m.processes.emplace(p.id, p);
    }
}

ServerError PipeWireModel::controlled(ObjectId id, Side side, const DeviceNode*& out) const {
    const auto* d = model_.device(id);
    auto n = nodes_.find(id);
    if (!d || n == nodes_.end()) return ServerError::unknownObject;
    if (side == Side::output ? !d->info.hasOutput() : !d->info.hasInput())
        return ServerError::unsupported;
    out = &n->second;
    return ServerError::none;
}

ServerError PipeWireModel::planVolume(ObjectId id, Side side, float volume, NodeWrite& out) const {
    const DeviceNode* n = nullptr;
    if (ServerError error = controlled(id, side, n); error != ServerError::none) return error;
    if (n->channelVolumes.empty()) return ServerError::unsupported;
    if (!n->writable) return ServerError::notPermitted;
    if (!std::isfinite(volume)) return ServerError::badValue;
    out = NodeWrite{n->node, PipeWireVolume::withMainScalar(n->channelVolumes, volume), {}};
    return ServerError::none;
}

ServerError PipeWireModel::planMute(ObjectId id, Side side, bool muted, NodeWrite& out) const {
    const DeviceNode* n = nullptr;
    if (ServerError error = controlled(id, side, n); error != ServerError::none) return error;
    const auto* d = model_.device(id);
    if (!(side == Side::output ? d->output : d->input).mute) return ServerError::unsupported;
    if (!n->writable) return ServerError::notPermitted;
    out = NodeWrite{n->node, {}, muted};
    return ServerError::none;
}

ServerError PipeWireModel::planDefault(Role role, ObjectId id, MetadataWrite& out) const {
    const auto* d = model_.device(id);
    if (!d) return ServerError::unknownObject;
    const bool input = role == Role::input;
    if (input ? !d->info.hasInput() : !d->info.hasOutput()) return ServerError::unsupported;
    if (d->info.uid.empty()) return ServerError::badValue; // nothing to name it by
    out.subject = 0;
    out.key = role == Role::output ? "default.configured.audio.sink"
              : input              ? "default.configured.audio.source"
                                   : alertSinkKey;
    out.type = "Spa:String:JSON";
    out.value = nlohmann::json{{"name", d->info.uid}}.dump();
    return ServerError::none;
}

std::vector<PipeWireModel::MetadataWrite> PipeWireModel::alertRouting() const {
    std::vector<MetadataWrite> writes;
    const auto alert = nameInJSON(graph_.metadataValue("default", 0, alertSinkKey));
    if (!alert || !deviceForUid(*alert)) return writes;
    for (const auto& [id, node] : graph_.nodes) {
        if (role(node) != NodeRole::playback || !isAlertRole(node.prop("media.role"))) continue;
        const auto target = graph_.metadataValue("default", id, "target.object");
        if (target == *alert) continue;
        // A stream that one of our taps has taken in stays there.
        if (target && PipeWireTapNames::isTapNode(*target)) continue;
        writes.push_back({id, "target.object", "", *alert});
    }
    return writes;
}

std::optional<ObjectId> PipeWireModel::deviceForUid(const std::string& uid) const {
    for (const auto& [id, d] : model_.devices)
        if (d.info.uid == uid) return id;
    return std::nullopt;
}

std::optional<ObjectId> PipeWireModel::processForPid(pid_t pid) const {
    for (const auto& [id, p] : model_.processes)
        if (p.pid == pid) return id;
    return std::nullopt;
}

std::optional<std::uint32_t> PipeWireModel::nodeOfDevice(ObjectId id) const {
    if (auto it = nodes_.find(id); it != nodes_.end()) return it->second.node;
    return std::nullopt;
}

} // namespace voxlane
