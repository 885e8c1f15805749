// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/pipewire/PipeWireHalState.h"
#include "platform/hal/pipewire/PipeWireTapNames.h"

#include <algorithm>
#include <utility>

namespace voxlane {

// ---- Taps, aggregate devices, IO procedures ----
//
// The records are PipeWireTapObjects (under the Hal's lock); what runs on the server is the
// tap host's (under the loop's lock). The loop's thread takes the Hal's lock when it reports
// events, so the host is called only after the Hal's lock is given up.

OSStatus PipeWireHal::createProcessTap(const TapDescription& description, AudioObjectID* outTap) {
    if (!outTap) return kAudio_ParamError;
    *outTap = kAudioObjectUnknown;
    std::lock_guard lock(s_->mutex);
    if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
    if (!s_->live()) return kAudioHardwareNotRunningError;
    for (const auto& [_, t] : s_->objects.taps)
        if (!description.uuid.empty() && t.description.uuid == description.uuid)
            return kAudioHardwareIllegalOperationError;
    PipeWireTapObjects::Tap tap;
    tap.description = description;
    const AudioObjectPropertyAddress pidAddress{
        kAudioProcessPropertyPID, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
    for (auto process : description.processes) {
        PipeWireModel::Value value;
        const auto* pid = s_->model.read(process, pidAddress, 0, nullptr, value) == 0
                              ? std::get_if<std::int32_t>(&value)
                              : nullptr;
        if (pid) {
            tap.pids.insert(pid_t(*pid));
        } else if (!description.isExclusive) {
            return kAudioHardwareBadObjectError;
        }
    }
    PipeWireModel::Value value;
    const AudioObjectPropertyAddress defaultOutput{kAudioHardwarePropertyDefaultOutputDevice,
                                                   kAudioObjectPropertyScopeGlobal,
                                                   kAudioObjectPropertyElementMain};
    if (s_->model.read(kAudioObjectSystemObject, defaultOutput, 0, nullptr, value) == 0) {
        PipeWireModel::Value rate;
        if (s_->model.read(std::get<std::uint32_t>(value),
                           {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal,
                            kAudioObjectPropertyElementMain},
                           0, nullptr, rate) == 0)
            tap.rate = std::get<double>(rate);
    }
    tap.id = s_->model.reserveId();
    *outTap = tap.id;
    s_->objects.taps.emplace(tap.id, std::move(tap));
    return 0;
}

OSStatus PipeWireHal::destroyProcessTap(AudioObjectID tap) {
    std::vector<std::uint64_t> runs;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (!s_->objects.taps.count(tap)) return kAudioHardwareBadObjectError;
        runs = s_->objects.removeTap(tap);
        session = s_->session;
    }
    for (auto run : runs)
        if (run && session) session->host->detachTap(run);
    return 0;
}

OSStatus PipeWireHal::createAggregateDevice(const AggregateDescription& description,
                                            AudioObjectID* outDevice) {
    if (!outDevice) return kAudio_ParamError;
    *outDevice = kAudioObjectUnknown;
    std::lock_guard lock(s_->mutex);
    if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
    if (!s_->live()) return kAudioHardwareNotRunningError;
    for (const auto& [_, a] : s_->objects.aggregates)
        if (a.description.uid == description.uid) return kAudioHardwareIllegalOperationError;
    // The main sub-device, else the first listed one that is there; it must play.
    std::optional<AudioObjectID> device = s_->model.deviceForUID(description.mainSubDevice);
    for (const auto& sub : description.subDevices)
        if (!device) device = s_->model.deviceForUID(sub.uid);
    if (!device) return kAudioHardwareBadDeviceError;
    auto streams = [&](AudioObjectPropertyScope scope) {
        PipeWireModel::Value value;
        if (s_->model.read(*device, {kAudioDevicePropertyStreams, scope, 0}, 0, nullptr, value))
            return std::uint32_t(0);
        return std::uint32_t(std::get<std::vector<std::uint32_t>>(value).size());
    };
    PipeWireTapObjects::Aggregate aggregate;
    aggregate.deviceOutputs = streams(kAudioObjectPropertyScopeOutput);
    if (aggregate.deviceOutputs == 0) return kAudioHardwareBadDeviceError;
    aggregate.deviceInputs = streams(kAudioObjectPropertyScopeInput);
    PipeWireModel::Value value;
    if (s_->model.read(*device, {kAudioDevicePropertyDeviceUID, kAudioObjectPropertyScopeGlobal, 0},
                       0, nullptr, value) == 0)
        aggregate.device = std::get<std::optional<std::string>>(value).value_or("");
    if (s_->model.read(*device,
                       {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0},
                       0, nullptr, value) == 0)
        aggregate.rate = std::get<double>(value);
    for (const auto& sub : description.taps) {
        for (const auto& [id, t] : s_->objects.taps)
            if (t.description.uuid == sub.uid) aggregate.taps.push_back(id);
    }
    aggregate.description = description;
    aggregate.id = s_->model.reserveId();
    *outDevice = aggregate.id;
    s_->objects.aggregates.emplace(aggregate.id, std::move(aggregate));
    return 0;
}

OSStatus PipeWireHal::destroyAggregateDevice(AudioObjectID device) {
    std::vector<std::uint64_t> runs;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return kAudioHardwareBadDeviceError;
        for (const auto& p : a->procs)
            if (p.run) runs.push_back(p.run);
        s_->objects.aggregates.erase(device); // its IO procedures go with it
        session = s_->session;
    }
    for (auto run : runs)
        if (session) session->host->stop(run);
    return 0;
}

OSStatus PipeWireHal::createIOProcID(AudioObjectID device, AudioDeviceIOBlock block,
                                     AudioDeviceIOProcID* outProc) {
    if (!outProc || !block) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    auto* a = s_->objects.aggregate(device);
    if (!a) return kAudioHardwareBadDeviceError;
    PipeWireTapObjects::Proc proc;
    proc.id = s_->objects.nextProc++;
    proc.block = std::make_shared<const AudioDeviceIOBlock>(std::move(block));
    proc.usage.assign(s_->objects.inputStreams(*a), 1);
    *outProc = proc.id;
    a->procs.push_back(std::move(proc));
    return 0;
}

OSStatus PipeWireHal::destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID proc) {
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return kAudioHardwareBadDeviceError;
        auto it = std::find_if(a->procs.begin(), a->procs.end(),
                               [&](const auto& p) { return p.id == proc; });
        if (it == a->procs.end()) return kAudioHardwareIllegalOperationError;
        run = it->run;
        a->procs.erase(it);
        session = s_->session;
    }
    if (run && session) session->host->stop(run);
    return 0;
}

OSStatus PipeWireHal::deviceStart(AudioObjectID device, AudioDeviceIOProcID proc) {
    PipeWireTapRunner::Config config;
    std::optional<PipeWireRouting::Tap> tap;
    std::shared_ptr<Session> session;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return kAudioHardwareBadDeviceError;
        auto* p = s_->objects.proc(device, proc);
        if (!p) return kAudioHardwareIllegalOperationError;
        if (p->run) return 0;
        session = s_->live();
        if (!session) return kAudioHardwareNotRunningError;
        generation = s_->generation;
        // The procedure hears the first of the device's taps whose stream it has on.
        const PipeWireTapObjects::Tap* heard = nullptr;
        for (std::size_t i = 0; i < a->taps.size() && !heard; ++i) {
            const std::size_t stream = a->deviceInputs + i;
            if (stream < p->usage.size() && p->usage[stream])
                heard = &s_->objects.taps.at(a->taps[i]);
        }
        std::string node = PipeWireTapNames::captureNode(a->description.uid);
        if (&a->procs.front() != p) node += "." + std::to_string(p->id);
        config.captureNode = node;
        config.playbackNode = node + ".output";
        config.device = a->device;
        config.description = a->description.name.empty() ? "Voxlane" : a->description.name;
        config.rate = std::uint32_t(a->rate > 0 ? a->rate : 48000);
        config.deviceInputs = a->deviceInputs;
        config.block = p->block;
        if (!heard)
            config.kind = PipeWireTapRunner::Kind::playing;
        else if (heard->description.muteBehavior == TapMute::unmuted)
            config.kind = PipeWireTapRunner::Kind::metering;
        else
            config.kind = PipeWireTapRunner::Kind::muting;
        if (heard) {
            PipeWireRouting::Tap routing;
            routing.moves = config.kind == PipeWireTapRunner::Kind::muting;
            routing.global = heard->description.isExclusive;
            routing.pids = heard->pids;
            routing.captureNode = node;
            tap = std::move(routing);
        }
    }
    int error = 0;
    const std::uint64_t run = session->host->start(std::move(config), std::move(tap), &error);
    if (!run) return kAudioHardwareUnspecifiedError;
    bool kept = false;
    {
        std::lock_guard lock(s_->mutex);
        auto* p = s_->objects.proc(device, proc);
        if (p && !p->run && generation == s_->generation) {
            p->run = run;
            kept = true;
        }
    }
    if (!kept) session->host->stop(run); // destroyed, started or disconnected meanwhile
    return 0;
}

OSStatus PipeWireHal::deviceStop(AudioObjectID device, AudioDeviceIOProcID proc) {
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (!s_->objects.aggregate(device)) return kAudioHardwareBadDeviceError;
        auto* p = s_->objects.proc(device, proc);
        if (!p) return kAudioHardwareIllegalOperationError;
        run = std::exchange(p->run, 0);
        session = s_->session;
    }
    if (run && session) session->host->stop(run);
    return 0;
}

OSStatus PipeWireHal::playSound(const std::string& name,
                                std::shared_ptr<const std::vector<float>> samples, float volume) {
    if (!samples) return kAudio_ParamError;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
        session = s_->live();
        if (!session) return kAudioHardwareNotRunningError;
        PipeWireModel::Value value;
        const AudioObjectPropertyAddress defaultOutput{kAudioHardwarePropertyDefaultOutputDevice,
                                                       kAudioObjectPropertyScopeGlobal,
                                                       kAudioObjectPropertyElementMain};
        if (s_->model.read(kAudioObjectSystemObject, defaultOutput, 0, nullptr, value) != 0 ||
            std::get<std::uint32_t>(value) == kAudioObjectUnknown)
            return kAudioHardwareBadDeviceError;
    }
    return session->host->playSound(name, std::move(samples), volume) < 0
               ? kAudioHardwareUnspecifiedError
               : kAudioHardwareNoError;
}

std::uint64_t PipeWireHal::cyclesOf(AudioObjectID device, AudioDeviceIOProcID proc) const {
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (auto* p = s_->objects.proc(device, proc)) run = p->run;
        session = s_->session;
    }
    return run && session ? session->host->cycles(run) : 0;
}

} // namespace voxlane