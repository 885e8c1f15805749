// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireRouting.h"

#include "platform/server/pipewire/PipeWireTapNames.h"

namespace voxlane::PipeWireRouting {

bool captures(const Tap& tap, const PipeWireGraph& graph, const PipeWireGraph::Node& node) {
    if (node.prop("media.class") != "Stream/Output/Audio") return false;
    if (PipeWireTapNames::isTapNode(node.prop("node.name"))) return false;
    const pid_t pid = graph.streamPid(node);
    if (tap.global) return !tap.pids.count(pid);
    return pid > 0 && tap.pids.count(pid);
}

std::map<std::uint32_t, std::string> moves(const std::vector<Tap>& taps,
                                           const PipeWireGraph& graph) {
    std::map<std::uint32_t, std::string> result;
    std::map<std::uint32_t, std::uint64_t> owner;
    for (const auto& tap : taps) {
        if (!tap.moves) continue;
        for (const auto& [id, node] : graph.nodes) {
            if (!captures(tap, graph, node)) continue;
            auto it = owner.find(id);
            if (it != owner.end() && it->second < tap.id) continue;
            owner[id] = tap.id;
            result[id] = tap.captureNode;
        }
    }
    return result;
}

namespace {

// The input channels a port of this channel feeds on a stereo capture node.
std::vector<std::string> inputChannels(const std::string& channel, std::size_t index) {
    if (channel == "FL" || channel == "FR") return {channel};
    if (channel == "MONO" || channel.empty()) return {"FL", "FR"};
    return {index % 2 == 0 ? "FL" : "FR"};
}

} // namespace

std::set<Link> links(const Tap& tap, const PipeWireGraph& graph) {
    std::set<Link> result;
    if (tap.moves) return result;
    const auto* capture = graph.nodeNamed(tap.captureNode);
    if (!capture) return result;
    std::map<std::string, std::uint32_t> inputs;
    for (const auto& [id, port] : graph.ports)
        if (port.node == capture->id && !port.output && !port.monitor) inputs[port.channel] = id;
    if (inputs.empty()) return result;
    for (const auto& [nodeId, node] : graph.nodes) {
        if (!captures(tap, graph, node)) continue;
        std::size_t index = 0;
        for (const auto& [portId, port] : graph.ports) {
            if (port.node != nodeId || !port.output || port.monitor) continue;
            for (const auto& channel : inputChannels(port.channel, index)) {
                auto in = inputs.find(channel);
                if (in != inputs.end()) result.insert({nodeId, portId, capture->id, in->second});
            }
            ++index;
        }
    }
    return result;
}

std::vector<std::uint32_t> staleTargets(const PipeWireGraph& graph) {
    std::vector<std::uint32_t> result;
    auto m = graph.metadata.find("default");
    if (m == graph.metadata.end()) return result;
    for (const auto& [key, value] : m->second) {
        if (key.second != "target.object" || !PipeWireTapNames::isTapNode(value.value)) continue;
        if (!graph.nodeNamed(value.value)) result.push_back(key.first);
    }
    return result;
}

} // namespace voxlane::PipeWireRouting
