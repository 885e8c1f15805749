// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/pipewire/PipeWireGraph.h"

#include <compare>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace voxlane {

// Where the audio of tapped applications has to go, decided from the registry mirror alone.
//
// A muting tap takes the playback streams it captures into its virtual sink: the stream's
// `target.object` in the "default" metadata names the sink, and the session manager moves the
// stream there, so that it is heard only through the tap. An unmuted (metering) tap leaves the
// streams where they are and links their output ports to its capture stream as well.
//
// Which streams a tap captures: every Stream/Output/Audio node of its processes (by pid), or,
// for a global tap, of every process but the excluded ones; never a node of one of our own
// taps (that would feed a tap into itself). When two muting taps want the same stream, the
// older one (lower id) has it.
namespace PipeWireRouting {

struct Tap {
    std::uint64_t id = 0; // in order of starting
    bool moves = true;    // muting: streams moved into the sink; else linked
    bool global = false;  // all processes except `pids`; else only `pids`
    std::set<pid_t> pids;
    std::string captureNode; // node.name of the tap's capture node
};

struct Link {
    std::uint32_t outputNode = 0;
    std::uint32_t outputPort = 0;
    std::uint32_t inputNode = 0;
    std::uint32_t inputPort = 0;
    friend auto operator<=>(const Link&, const Link&) = default;
};

// Whether `tap` captures the node (a playback stream that is not ours and belongs to a tapped
// process).
bool captures(const Tap& tap, const PipeWireGraph& graph, const PipeWireGraph::Node& node);

// The streams to move, with the capture node each belongs in.
std::map<std::uint32_t, std::string> moves(const std::vector<Tap>& taps,
                                           const PipeWireGraph& graph);

// The links a metering tap needs from the output ports of the streams it captures to the
// input ports of its capture node (by channel: left to left, right to right, mono to both);
// empty while the capture node or its ports are not yet in the registry.
std::set<Link> links(const Tap& tap, const PipeWireGraph& graph);

// Streams whose `target.object` names a tap node that no longer exists (left behind by a
// Voxlane that was killed): their keys are to be cleared.
std::vector<std::uint32_t> staleTargets(const PipeWireGraph& graph);

} // namespace PipeWireRouting
} // namespace voxlane
