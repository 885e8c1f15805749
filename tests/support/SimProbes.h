// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/SimServer.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace voxlane::test {

// What tests do to the simulated server besides building its world: make its operations fail,
// count its calls and live objects, and look at the objects the system made on it.
class SimProbes {
public:
    using Operation = ServerCore::Operation;

    explicit SimProbes(SimServer& server) : server_(server) {}

    // Makes the operations that match fail (see SimServer::Fault and test::fault).
    void injectFault(SimServer::Fault fault);
    void clearFaults();
    // Calls of one operation so far; Operation::any counts every call.
    std::size_t calls(Operation operation) const;

    std::size_t liveTaps() const;
    std::size_t liveAggregates() const;
    std::size_t liveRenders() const;
    std::size_t runningRenders() const;
    std::size_t liveSubscriptions() const { return server_.liveSubscriptions(); }

    std::optional<TapDescription> tapDescription(ObjectId tap) const;
    std::optional<AggregateDescription> aggregateDescription(ObjectId device) const;
    // The input-stream flags of every render callback on the device, in the order made.
    std::vector<std::vector<bool>> streamUsage(ObjectId device) const;

private:
    SimServer& server_;
};

} // namespace voxlane::test
