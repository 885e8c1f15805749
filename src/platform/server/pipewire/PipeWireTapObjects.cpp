// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTapObjects.h"

#include <algorithm>

namespace voxlane {

PipeWireTapObjects::Aggregate* PipeWireTapObjects::aggregate(ObjectId id) {
    auto it = aggregates.find(id);
    return it == aggregates.end() ? nullptr : &it->second;
}

PipeWireTapObjects::Render* PipeWireTapObjects::render(ObjectId id, RenderId renderId) {
    Aggregate* a = aggregate(id);
    if (!a) return nullptr;
    for (auto& r : a->renders)
        if (r.id == renderId) return &r;
    return nullptr;
}

std::vector<std::uint64_t> PipeWireTapObjects::removeTap(ObjectId tap) {
    std::vector<std::uint64_t> runs;
    taps.erase(tap);
    for (auto& [_, a] : aggregates) {
        auto it = std::find(a.taps.begin(), a.taps.end(), tap);
        if (it == a.taps.end()) continue;
        const auto index = std::size_t(a.deviceInputs.size() + std::size_t(it - a.taps.begin()));
        a.taps.erase(it);
        for (auto& r : a.renders) {
            if (index < r.usage.size()) r.usage.erase(r.usage.begin() + std::ptrdiff_t(index));
            if (r.run) runs.push_back(r.run);
        }
    }
    return runs;
}

std::optional<StreamFormat> PipeWireTapObjects::format(ObjectId tap) const {
    auto it = taps.find(tap);
    if (it == taps.end()) return std::nullopt;
    return StreamFormat{it->second.rate, 2, true};
}

std::optional<std::vector<bool>> PipeWireTapObjects::inputUsage(ObjectId id,
                                                                RenderId renderId) const {
    auto it = aggregates.find(id);
    if (it == aggregates.end()) return std::nullopt;
    for (const auto& r : it->second.renders)
        if (r.id == renderId) return r.usage;
    return std::nullopt;
}

ServerError PipeWireTapObjects::setInputUsage(ObjectId id, RenderId renderId,
                                              const std::vector<bool>& usage) {
    Render* r = render(id, renderId);
    if (!r) return ServerError::unknownObject;
    // Flags beyond the device's streams are ignored; streams without a flag keep theirs.
    std::copy_n(usage.begin(), std::min(usage.size(), r->usage.size()), r->usage.begin());
    return ServerError::none;
}

void PipeWireTapObjects::addTo(ServerModel& model) const {
    for (const auto& [id, a] : aggregates) {
        ServerModel::Device d;
        d.listed = false;
        d.info.id = id;
        d.info.uid = a.description.uid;
        d.info.name = a.description.name;
        d.info.transport = Transport::aggregate;
        d.info.sampleRate = a.rate;
        d.info.outputStreams = a.deviceOutputs;
        d.info.inputStreams = a.deviceInputs;
        d.info.inputStreams.insert(d.info.inputStreams.end(), a.taps.size(), 2);
        model.devices.emplace(id, std::move(d));
    }
}

} // namespace voxlane
