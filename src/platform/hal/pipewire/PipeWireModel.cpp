// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/pipewire/PipeWireModel.h"

#include "platform/hal/pipewire/PipeWireTapNames.h"
#include "platform/hal/pipewire/PipeWireTransport.h"
#include "platform/hal/pipewire/PipeWireVolume.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

constexpr bool isMain(const AudioObjectPropertyAddress& a) {
    return a.mElement == kAudioObjectPropertyElementMain;
}

std::vector<std::uint32_t> keys(const auto& map) {
    std::vector<std::uint32_t> ids;
    for (const auto& [id, _] : map)
        ids.push_back(id);
    return ids;
}

} // namespace

PipeWireModel::PipeWireModel(Options options) : options_(std::move(options)) {}

std::vector<PipeWireModel::Change> PipeWireModel::apply(const PipeWireEvent& event) {
    // A node that goes (or comes again under an id that is still known) takes its object ids
    // along, so a device that returns is a new object.
    if (auto* removed = std::get_if<PipeWireEvent::GlobalRemoved>(&event.value))
        deviceIds_.erase(removed->id);
    if (auto* added = std::get_if<PipeWireEvent::GlobalAdded>(&event.value))
        deviceIds_.erase(added->id);
    graph_.apply(event);
    View after = build();
    std::vector<Change> changes = diff(view_, after);
    view_ = std::move(after);
    return changes;
}

std::optional<std::string> PipeWireModel::bundleIDFromClient(std::uint32_t clientId) const {
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

AudioObjectID PipeWireModel::defaultDevice(const std::map<AudioObjectID, DeviceView>& devices,
                                           const char* key, bool output) const {
    const auto name = nameInJSON(graph_.metadataValue("default", 0, key));
    if (!name) return 0;
    for (const auto& [id, d] : devices) {
        if (d.uid != *name) continue;
        if (output ? d.outputStream != 0 : d.inputStream != 0) return id;
    }
    return 0;
}

PipeWireModel::View PipeWireModel::build() {
    View v;
    std::map<pid_t, PidStreams> pids;
    collectNodes(v, pids);
    // Our own process is an audio client as long as we are connected.
    if (graph_.connected && options_.ownPid > 0) pids[options_.ownPid];
    collectProcesses(v, pids);

    v.defaultOutput = defaultDevice(v.devices, "default.audio.sink", true);
    v.defaultInput = defaultDevice(v.devices, "default.audio.source", false);
    v.systemOutput = defaultDevice(v.devices, alertSinkKey, true);
    if (!v.systemOutput) v.systemOutput = v.defaultOutput;
    v.serverConnected = graph_.connected;
    return v;
}

void PipeWireModel::collectNodes(View& v, std::map<pid_t, PidStreams>& pids) {
    std::map<std::uint32_t, DeviceIds> keptIds;
    const std::string rateSetting = graph_.metadataValue("settings", 0, "clock.rate").value_or("");
    double clockRate = 48000;
    if (long r = std::atol(rateSetting.c_str()); r > 0) clockRate = double(r);

    for (const auto& [nodeId, node] : graph_.nodes) {
        // The nodes of our own taps are no devices and no audio of our process.
        if (PipeWireTapNames::isTapNode(node.prop("node.name"))) continue;
        const NodeRole nodeRole = role(node);
        if (nodeRole == NodeRole::device) {
            const DeviceView d = deviceView(nodeId, node, clockRate);
            keptIds[nodeId] = {d.id, d.outputStream, d.inputStream};
            v.devices.emplace(d.id, d);
            if (d.outputStream) v.streams[d.outputStream] = d.id;
            if (d.inputStream) v.streams[d.inputStream] = d.id;
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

PipeWireModel::DeviceView
PipeWireModel::deviceView(std::uint32_t nodeId, const PipeWireGraph::Node& node, double clockRate) {
    DeviceIds ids;
    if (auto it = deviceIds_.find(nodeId); it != deviceIds_.end()) {
        ids = it->second;
    } else {
        const DeviceClass c = deviceClass(node);
        ids.device = nextId_++;
        if (c.output) ids.outputStream = nextId_++;
        if (c.input) ids.inputStream = nextId_++;
    }
    DeviceView d;
    d.id = ids.device;
    d.node = nodeId;
    d.outputStream = ids.outputStream;
    d.inputStream = ids.inputStream;
    d.uid = node.prop("node.name");
    d.name = node.prop("node.description");
    if (d.name.empty()) d.name = node.prop("node.nick");
    if (d.name.empty()) d.name = d.uid;
    PipeWireProps deviceProps;
    const std::string deviceId = node.prop("device.id");
    if (!deviceId.empty()) {
        if (const auto* dev = graph_.device(std::uint32_t(std::atol(deviceId.c_str()))))
            deviceProps = dev->props;
    }
    d.transport = PipeWireTransport::transport(node.props, deviceProps);
    d.rate = node.rate ? double(node.rate) : clockRate;
    d.channelVolumes = node.channelVolumes;
    if (d.channelVolumes && d.channelVolumes->empty()) d.channelVolumes.reset();
    d.mute = node.mute;
    d.writable = node.propsWritable && (node.permissions & PipeWireEvent::permissionWrite);
    return d;
}

void PipeWireModel::collectProcesses(View& v, const std::map<pid_t, PidStreams>& pids) {
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
        ProcessView p;
        p.id = entry.id;
        p.pid = pid;
        p.runningOutput = streams.output;
        p.runningInput = streams.input;
        for (auto client : streams.clients) {
            if ((p.bundleID = bundleIDFromClient(client))) break;
        }
        if (!p.bundleID) {
            if (!entry.resolved && options_.bundleIdResolver) {
                entry.resolvedBundleID = options_.bundleIdResolver(pid);
                entry.resolved = true;
            }
            p.bundleID = entry.resolvedBundleID;
        }
        v.processes.emplace(p.id, p);
    }
}

std::vector<PipeWireModel::Change> PipeWireModel::diff(const View& before, const View& after) {
    std::vector<Change> changes;
    auto system = [&](AudioObjectPropertySelector selector) {
        changes.push_back(
            {kAudioObjectSystemObject,
             {selector, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain}});
    };
    auto keys = [](const auto& map) {
        std::vector<AudioObjectID> ids;
        for (const auto& [id, _] : map)
            ids.push_back(id);
        return ids;
    };
    if (keys(before.devices) != keys(after.devices)) system(kAudioHardwarePropertyDevices);
    if (keys(before.processes) != keys(after.processes))
        system(kAudioHardwarePropertyProcessObjectList);
    if (before.defaultOutput != after.defaultOutput)
        system(kAudioHardwarePropertyDefaultOutputDevice);
    if (before.defaultInput != after.defaultInput) system(kAudioHardwarePropertyDefaultInputDevice);
    if (before.systemOutput != after.systemOutput)
        system(kAudioHardwarePropertyDefaultSystemOutputDevice);
    if (before.serverConnected != after.serverConnected)
        system(kAudioHardwarePropertyServerConnected);

    for (const auto& [id, p] : after.processes) {
        auto old = before.processes.find(id);
        if (old == before.processes.end()) continue;
        if (old->second.runningOutput != p.runningOutput)
            changes.push_back(
                {id, {kAudioProcessPropertyIsRunningOutput, kAudioObjectPropertyScopeGlobal, 0}});
        if (old->second.runningInput != p.runningInput)
            changes.push_back(
                {id, {kAudioProcessPropertyIsRunningInput, kAudioObjectPropertyScopeGlobal, 0}});
    }

    for (const auto& [id, d] : after.devices) {
        auto old = before.devices.find(id);
        if (old == before.devices.end()) continue;
        const DeviceView& o = old->second;
        const auto scope =
            d.outputStream ? kAudioObjectPropertyScopeOutput : kAudioObjectPropertyScopeInput;
        const std::vector<float> none;
        const auto& was = o.channelVolumes ? *o.channelVolumes : none;
        const auto& now = d.channelVolumes ? *d.channelVolumes : none;
        if (PipeWireVolume::mainScalar(was) != PipeWireVolume::mainScalar(now) ||
            o.channelVolumes.has_value() != d.channelVolumes.has_value()) {
            if (d.outputStream)
                changes.push_back(
                    {id, {kAudioHardwareServiceDeviceProperty_VirtualMainVolume, scope, 0}});
            else
                changes.push_back({id, {kAudioDevicePropertyVolumeScalar, scope, 0}});
        }
        if (d.outputStream) {
            for (std::size_t i = 0; i < std::max(was.size(), now.size()); ++i) {
                const float a = i < was.size() ? PipeWireVolume::scalarFromGain(was[i]) : -1.0f;
                const float b = i < now.size() ? PipeWireVolume::scalarFromGain(now[i]) : -1.0f;
                if (a != b)
                    changes.push_back({id,
                                       {kAudioDevicePropertyVolumeScalar, scope,
                                        AudioObjectPropertyElement(i + 1)}});
            }
        }
        if (o.mute != d.mute) changes.push_back({id, {kAudioDevicePropertyMute, scope, 0}});
        if (o.name != d.name)
            changes.push_back({id, {kAudioObjectPropertyName, kAudioObjectPropertyScopeGlobal, 0}});
    }
    return changes;
}

const PipeWireModel::DeviceView* PipeWireModel::device(AudioObjectID id) const {
    auto it = view_.devices.find(id);
    return it == view_.devices.end() ? nullptr : &it->second;
}

bool PipeWireModel::exists(AudioObjectID object) const {
    return object == kAudioObjectSystemObject || view_.devices.count(object) ||
           view_.processes.count(object) || view_.streams.count(object);
}

OSStatus PipeWireModel::read(AudioObjectID object, const AudioObjectPropertyAddress& a,
                             std::uint32_t qualifierSize, const void* qualifier, Value& out) const {
    if (object == kAudioObjectSystemObject)
        return isMain(a) ? readSystem(a.mSelector, qualifierSize, qualifier, out)
                         : kAudioHardwareUnknownPropertyError;
    if (const DeviceView* d = device(object)) return readDevice(*d, a, out);
    if (auto it = view_.processes.find(object); it != view_.processes.end())
        return isMain(a) ? readProcess(it->second, a.mSelector, out)
                         : kAudioHardwareUnknownPropertyError;
    return view_.streams.count(object) ? kAudioHardwareUnknownPropertyError
                                       : kAudioHardwareBadObjectError;
}

// The system object's, devices' and processes' properties, each kind in a table by selector.
OSStatus PipeWireModel::readSystem(AudioObjectPropertySelector selector,
                                   std::uint32_t qualifierSize, const void* qualifier,
                                   Value& out) const {
    if (selector == kAudioHardwarePropertyTranslatePIDToProcessObject) {
        if (qualifierSize != sizeof(std::int32_t) || !qualifier)
            return kAudioHardwareBadPropertySizeError;
        std::int32_t pid;
        std::memcpy(&pid, qualifier, sizeof pid);
        out = std::uint32_t(processForPID(pid).value_or(kAudioObjectUnknown));
        return 0;
    }
    using Answer = Value (*)(const View&);
    static const std::pair<AudioObjectPropertySelector, Answer> table[] = {
        {kAudioHardwarePropertyDevices, [](const View& v) -> Value { return keys(v.devices); }},
        {kAudioHardwarePropertyProcessObjectList,
         [](const View& v) -> Value { return keys(v.processes); }},
        {kAudioHardwarePropertyDefaultOutputDevice,
         [](const View& v) -> Value { return v.defaultOutput; }},
        {kAudioHardwarePropertyDefaultInputDevice,
         [](const View& v) -> Value { return v.defaultInput; }},
        {kAudioHardwarePropertyDefaultSystemOutputDevice,
         [](const View& v) -> Value { return v.systemOutput; }},
        {kAudioHardwarePropertyServerConnected,
         [](const View& v) -> Value { return std::uint32_t(v.serverConnected ? 1 : 0); }},
    };
    for (const auto& [key, answer] : table) {
        if (key != selector) continue;
        out = answer(view_);
        return 0;
    }
    return kAudioHardwareUnknownPropertyError;
}

OSStatus PipeWireModel::readDevice(const DeviceView& d, const AudioObjectPropertyAddress& a,
                                   Value& out) {
    // An answer, or nothing when the device has no such property in this scope and element.
    using Answer = std::optional<Value> (*)(const DeviceView&, const AudioObjectPropertyAddress&);
    static const std::pair<AudioObjectPropertySelector, Answer> table[] = {
        {kAudioDevicePropertyDeviceUID,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!isMain(a) || d.uid.empty()) return std::nullopt;
             return std::optional<std::string>(d.uid);
         }},
        {kAudioObjectPropertyName,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!isMain(a)) return std::nullopt;
             return std::optional<std::string>(d.name);
         }},
        {kAudioDevicePropertyTransportType,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!isMain(a)) return std::nullopt;
             return std::uint32_t(d.transport);
         }},
        {kAudioDevicePropertyNominalSampleRate,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!isMain(a)) return std::nullopt;
             return d.rate;
         }},
        {kAudioDevicePropertyStreams,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!isMain(a)) return std::nullopt;
             std::vector<std::uint32_t> ids;
             if (d.inputStream && a.mScope != kAudioObjectPropertyScopeOutput)
                 ids.push_back(d.inputStream);
             if (d.outputStream && a.mScope != kAudioObjectPropertyScopeInput)
                 ids.push_back(d.outputStream);
             return ids;
         }},
        {kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (a.mScope != kAudioObjectPropertyScopeOutput || !d.outputStream || !isMain(a) ||
                 !d.channelVolumes)
                 return std::nullopt;
             return PipeWireVolume::mainScalar(*d.channelVolumes);
         }},
        {kAudioDevicePropertyVolumeScalar,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!ownSide(d, a) || !d.channelVolumes) return std::nullopt;
             if (a.mScope == kAudioObjectPropertyScopeOutput) {
                 // One element per channel, numbered from 1.
                 if (a.mElement < 1 || a.mElement > d.channelVolumes->size()) return std::nullopt;
                 return PipeWireVolume::scalarFromGain((*d.channelVolumes)[a.mElement - 1]);
             }
             if (!isMain(a)) return std::nullopt;
             return PipeWireVolume::mainScalar(*d.channelVolumes);
         }},
        {kAudioDevicePropertyMute,
         [](const DeviceView& d, const AudioObjectPropertyAddress& a) -> std::optional<Value> {
             if (!ownSide(d, a) || !isMain(a) || !d.mute) return std::nullopt;
             return std::uint32_t(*d.mute ? 1 : 0);
         }},
    };
    for (const auto& [key, answer] : table) {
        if (key != a.mSelector) continue;
        auto value = answer(d, a);
        if (!value) return kAudioHardwareUnknownPropertyError;
        out = std::move(*value);
        return 0;
    }
    return kAudioHardwareUnknownPropertyError;
}

// The device's own side: output controls on sinks, input controls on sources.
bool PipeWireModel::ownSide(const DeviceView& d, const AudioObjectPropertyAddress& a) {
    return (a.mScope == kAudioObjectPropertyScopeOutput && d.outputStream) ||
           (a.mScope == kAudioObjectPropertyScopeInput && d.inputStream);
}

OSStatus PipeWireModel::readProcess(const ProcessView& p, AudioObjectPropertySelector selector,
                                    Value& out) {
    switch (selector) {
    case kAudioProcessPropertyPID:
        out = std::int32_t(p.pid);
        return 0;
    case kAudioProcessPropertyBundleID:
        out = p.bundleID;
        return 0;
    case kAudioProcessPropertyIsRunningOutput:
        out = std::uint32_t(p.runningOutput);
        return 0;
    case kAudioProcessPropertyIsRunningInput:
        out = std::uint32_t(p.runningInput);
        return 0;
    default:
        return kAudioHardwareUnknownPropertyError;
    }
}

OSStatus PipeWireModel::settable(AudioObjectID object, const AudioObjectPropertyAddress& a,
                                 bool& out) const {
    out = false;
    // The pid translation is only readable with its qualifier; it is never settable.
    if (object == kAudioObjectSystemObject &&
        a.mSelector == kAudioHardwarePropertyTranslatePIDToProcessObject && isMain(a))
        return 0;
    Value value;
    if (OSStatus status = read(object, a, 0, nullptr, value)) return status;
    if (object == kAudioObjectSystemObject) {
        out = a.mSelector == kAudioHardwarePropertyDefaultOutputDevice ||
              a.mSelector == kAudioHardwarePropertyDefaultInputDevice ||
              a.mSelector == kAudioHardwarePropertyDefaultSystemOutputDevice;
    } else if (const DeviceView* d = device(object)) {
        out =
            d->writable && (a.mSelector == kAudioHardwareServiceDeviceProperty_VirtualMainVolume ||
                            a.mSelector == kAudioDevicePropertyVolumeScalar ||
                            a.mSelector == kAudioDevicePropertyMute);
    }
    return 0;
}

OSStatus PipeWireModel::planWrite(AudioObjectID object, const AudioObjectPropertyAddress& a,
                                  std::uint32_t size, const void* data, Write& out) const {
    bool canSet = false;
    if (OSStatus status = settable(object, a, canSet)) return status;
    if (!canSet) return kAudioHardwareIllegalOperationError;
    if (size != 4 || !data) return kAudioHardwareBadPropertySizeError;

    if (object == kAudioObjectSystemObject) {
        std::uint32_t id;
        std::memcpy(&id, data, 4);
        const DeviceView* d = device(id);
        const bool input = a.mSelector == kAudioHardwarePropertyDefaultInputDevice;
        if (!d || d->uid.empty() || (input ? !d->inputStream : !d->outputStream))
            return kAudioHardwareBadDeviceError;
        MetadataWrite w;
        w.key = a.mSelector == kAudioHardwarePropertyDefaultOutputDevice
                    ? "default.configured.audio.sink"
                : input ? "default.configured.audio.source"
                        : alertSinkKey;
        w.type = "Spa:String:JSON";
        w.value = nlohmann::json{{"name", d->uid}}.dump();
        out = w;
        return 0;
    }

    const DeviceView& d = *device(object);
    NodeWrite w;
    w.node = d.node;
    if (a.mSelector == kAudioDevicePropertyMute) {
        std::uint32_t v;
        std::memcpy(&v, data, 4);
        w.mute = v != 0;
        out = w;
        return 0;
    }
    float v;
    std::memcpy(&v, data, 4);
    if (!std::isfinite(v)) return kAudio_ParamError;
    const auto& volumes = *d.channelVolumes;
    if (a.mSelector == kAudioDevicePropertyVolumeScalar &&
        a.mScope == kAudioObjectPropertyScopeOutput) {
        std::vector<float> channels = volumes;
        channels[a.mElement - 1] = PipeWireVolume::gainFromScalar(v);
        w.channelVolumes = std::move(channels);
    } else {
        w.channelVolumes = PipeWireVolume::withMainScalar(volumes, v);
    }
    out = w;
    return 0;
}

std::vector<PipeWireModel::MetadataWrite> PipeWireModel::alertRouting() const {
    std::vector<MetadataWrite> writes;
    const auto alert = nameInJSON(graph_.metadataValue("default", 0, alertSinkKey));
    if (!alert || !deviceForUID(*alert)) return writes;
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

std::optional<AudioObjectID> PipeWireModel::deviceForUID(const std::string& uid) const {
    for (const auto& [id, d] : view_.devices)
        if (d.uid == uid) return id;
    return std::nullopt;
}

std::optional<AudioObjectID> PipeWireModel::processForPID(pid_t pid) const {
    for (const auto& [id, p] : view_.processes)
        if (p.pid == pid) return id;
    return std::nullopt;
}

std::optional<std::uint32_t> PipeWireModel::nodeOfDevice(AudioObjectID id) const {
    if (const DeviceView* d = device(id)) return d->node;
    return std::nullopt;
}

} // namespace voxlane
