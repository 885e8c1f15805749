// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireGraph.h"

#include <charconv>

namespace voxlane {

namespace {

std::string lookup(const PipeWireProps& props, const std::string& key) {
    auto it = props.find(key);
    return it == props.end() ? std::string() : it->second;
}

pid_t parsePid(const std::string& text) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value <= 0 || value > 0x7fffffff)
        return 0;
    return pid_t(value);
}

std::uint32_t parseId(const std::string& text) {
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() ? value
                                                                                  : 0xFFFFFFFFu;
}

} // namespace

std::string PipeWireGraph::Node::prop(const std::string& key) const {
    return lookup(props, key);
}

std::string PipeWireGraph::Object::prop(const std::string& key) const {
    return lookup(props, key);
}

void PipeWireGraph::apply(const PipeWireEvent& event) {
    std::visit([this](const auto& e) { on(e); }, event.value);
}

void PipeWireGraph::on(const PipeWireEvent::GlobalAdded& e) {
    switch (e.kind) {
    case PipeWireEvent::Kind::node: {
        Node& n = nodes[e.id];
        n = Node{};
        n.id = e.id;
        n.serial = e.serial;
        n.permissions = e.permissions;
        n.props = e.props;
        break;
    }
    case PipeWireEvent::Kind::client:
        clients[e.id] = Object{e.id, e.serial, e.props};
        break;
    case PipeWireEvent::Kind::device:
        devices[e.id] = Object{e.id, e.serial, e.props};
        break;
    case PipeWireEvent::Kind::metadata: {
        auto it = e.props.find("metadata.name");
        if (it != e.props.end()) {
            metadataObjects[e.id] = it->second;
            currentMetadata[it->second] = e.id;
            metadata[it->second].clear();
        }
        break;
    }
    case PipeWireEvent::Kind::port: {
        Port p;
        p.id = e.id;
        p.node = parseId(lookup(e.props, "node.id"));
        p.output = lookup(e.props, "port.direction") == "out";
        p.monitor = lookup(e.props, "port.monitor") == "true";
        p.channel = lookup(e.props, "audio.channel");
        ports[e.id] = std::move(p);
        break;
    }
    case PipeWireEvent::Kind::other:
        break;
    }
}

void PipeWireGraph::on(const PipeWireEvent::GlobalRemoved& e) {
    nodes.erase(e.id);
    clients.erase(e.id);
    devices.erase(e.id);
    ports.erase(e.id);
    if (auto it = metadataObjects.find(e.id); it != metadataObjects.end()) {
        // A session manager that restarts makes its metadata anew; the old object may go after
        // the new one came and must not take the new one's entries along.
        if (auto current = currentMetadata.find(it->second);
            current != currentMetadata.end() && current->second == e.id) {
            metadata.erase(it->second);
            currentMetadata.erase(current);
        }
        metadataObjects.erase(it);
    }
}

void PipeWireGraph::on(const PipeWireEvent::NodeInfo& e) {
    auto it = nodes.find(e.id);
    if (it == nodes.end()) return;
    it->second.state = e.state;
    if (e.props) {
        for (const auto& [key, value] : *e.props)
            it->second.props[key] = value;
    }
    if (e.propsWritable) it->second.propsWritable = *e.propsWritable;
}

void PipeWireGraph::on(const PipeWireEvent::NodeControls& e) {
    auto it = nodes.find(e.id);
    if (it == nodes.end()) return;
    // Each Props report carries what it carries; keep what it leaves out.
    if (e.channelVolumes) it->second.channelVolumes = e.channelVolumes;
    if (e.mute) it->second.mute = e.mute;
}

void PipeWireGraph::on(const PipeWireEvent::NodeFormat& e) {
    auto it = nodes.find(e.id);
    if (it != nodes.end()) it->second.rate = e.rate;
}

void PipeWireGraph::on(const PipeWireEvent::ObjectProps& e) {
    for (auto* objects : {&clients, &devices}) {
        auto it = objects->find(e.id);
        if (it == objects->end()) continue;
        for (const auto& [key, value] : e.props)
            it->second.props[key] = value;
    }
}

void PipeWireGraph::on(const PipeWireEvent::MetadataProperty& e) {
    // Only the newest object of a name counts (an old one clears itself as its owner goes).
    if (auto current = currentMetadata.find(e.metadata);
        e.object != 0 && current != currentMetadata.end() && current->second != e.object)
        return;
    auto& entries = metadata[e.metadata];
    if (!e.key) {
        std::erase_if(entries, [&](const auto& entry) { return entry.first.first == e.subject; });
    } else if (!e.value) {
        entries.erase({e.subject, *e.key});
    } else {
        entries[{e.subject, *e.key}] = MetadataValue{e.type.value_or(""), *e.value};
    }
}

void PipeWireGraph::on(const PipeWireEvent::Connected&) {
    connected = true;
}

void PipeWireGraph::on(const PipeWireEvent::Disconnected&) {
    nodes.clear();
    clients.clear();
    devices.clear();
    ports.clear();
    metadata.clear();
    metadataObjects.clear();
    currentMetadata.clear();
    connected = false;
}

const PipeWireGraph::Node* PipeWireGraph::node(std::uint32_t id) const {
    auto it = nodes.find(id);
    return it == nodes.end() ? nullptr : &it->second;
}

const PipeWireGraph::Object* PipeWireGraph::client(std::uint32_t id) const {
    auto it = clients.find(id);
    return it == clients.end() ? nullptr : &it->second;
}

const PipeWireGraph::Object* PipeWireGraph::device(std::uint32_t id) const {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
}

std::optional<std::string> PipeWireGraph::metadataValue(const std::string& name,
                                                        std::uint32_t subject,
                                                        const std::string& key) const {
    auto m = metadata.find(name);
    if (m == metadata.end()) return std::nullopt;
    auto it = m->second.find({subject, key});
    if (it == m->second.end()) return std::nullopt;
    return it->second.value;
}

const PipeWireGraph::Node* PipeWireGraph::nodeNamed(const std::string& name) const {
    for (const auto& [_, node] : nodes)
        if (node.prop("node.name") == name) return &node;
    return nullptr;
}

pid_t PipeWireGraph::clientPid(const Object& client) {
    if (client.prop("client.api") == "pipewire-pulse")
        return parsePid(client.prop("application.process.id"));
    if (pid_t pid = parsePid(client.prop("pipewire.sec.pid"))) return pid;
    return parsePid(client.prop("application.process.id"));
}

pid_t PipeWireGraph::streamPid(const Node& node) const {
    const std::uint32_t clientId = parseId(node.prop("client.id"));
    if (const auto* c = client(clientId)) {
        if (pid_t pid = clientPid(*c)) return pid;
    }
    return parsePid(node.prop("application.process.id"));
}

} // namespace voxlane
