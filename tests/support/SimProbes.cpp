// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SimProbes.h"

#include "platform/server/sim/SimServerState.h"

#include <algorithm>
#include <numeric>

namespace voxlane::test {

void SimProbes::injectFault(SimServer::Fault fault) {
    std::lock_guard lock(server_.s_->mutex);
    server_.s_->faults.push_back(fault);
}

void SimProbes::clearFaults() {
    std::lock_guard lock(server_.s_->mutex);
    server_.s_->faults.clear();
}

std::size_t SimProbes::calls(Operation operation) const {
    std::lock_guard lock(server_.s_->mutex);
    const auto& calls = server_.s_->calls;
    if (operation == Operation::any)
        return std::accumulate(calls.begin(), calls.end(), std::size_t(0));
    return calls[std::size_t(operation)];
}

std::size_t SimProbes::liveTaps() const {
    std::lock_guard lock(server_.s_->mutex);
    return server_.s_->taps.size();
}

std::size_t SimProbes::liveAggregates() const {
    std::lock_guard lock(server_.s_->mutex);
    const auto& devices = server_.s_->devices;
    return std::size_t(std::count_if(devices.begin(), devices.end(),
                                     [](const auto& entry) { return entry.second.aggregate; }));
}

std::size_t SimProbes::liveRenders() const {
    std::lock_guard lock(server_.s_->mutex);
    std::size_t count = 0;
    for (const auto& [_, d] : server_.s_->devices)
        count += d.renders.size();
    return count;
}

std::size_t SimProbes::runningRenders() const {
    std::lock_guard lock(server_.s_->mutex);
    std::size_t count = 0;
    for (const auto& [_, d] : server_.s_->devices)
        for (const auto& r : d.renders)
            count += r->running;
    return count;
}

std::optional<TapDescription> SimProbes::tapDescription(ObjectId tap) const {
    std::lock_guard lock(server_.s_->mutex);
    const auto* t = server_.s_->tap(tap);
    if (!t) return std::nullopt;
    return t->description;
}

std::optional<AggregateDescription> SimProbes::aggregateDescription(ObjectId device) const {
    std::lock_guard lock(server_.s_->mutex);
    const auto* d = server_.s_->device(device);
    if (!d || !d->aggregate) return std::nullopt;
    return d->description;
}

std::vector<std::vector<bool>> SimProbes::streamUsage(ObjectId device) const {
    std::lock_guard lock(server_.s_->mutex);
    std::vector<std::vector<bool>> usage;
    if (const auto* d = server_.s_->device(device))
        for (const auto& r : d->renders)
            usage.push_back(r->usage);
    return usage;
}

} // namespace voxlane::test
