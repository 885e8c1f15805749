// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/pipewire/PipeWireEvent.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace voxlane {

// The local mirror of the PipeWire registry: nodes, clients, devices and the entries of the
// "default" and "settings" metadata, exactly as the server reported them. Updated by applying
// the connection's events in order; holds no interpretation of its own.
struct PipeWireGraph {
    using State = PipeWireEvent::NodeInfo::State;

    struct Node {
        std::uint32_t id = 0;
        std::uint64_t serial = 0;
        std::uint32_t permissions = 0;
        PipeWireProps props;
        State state = State::creating;
        bool propsWritable = false;
        std::optional<std::vector<float>> channelVolumes;
        std::optional<bool> mute;
        std::uint32_t rate = 0;

        std::string prop(const std::string& key) const;
    };
    struct Object {
        std::uint32_t id = 0;
        std::uint64_t serial = 0;
        PipeWireProps props;

        std::string prop(const std::string& key) const;
    };
    // A port of a node, as its registry global describes it.
    struct Port {
        std::uint32_t id = 0;
        std::uint32_t node = 0;
        bool output = false;
        bool monitor = false;
        std::string channel; // audio.channel: FL, FR, MONO, …
    };
    struct MetadataValue {
        std::string type;
        std::string value;
    };

    std::map<std::uint32_t, Node> nodes;
    std::map<std::uint32_t, Object> clients;
    std::map<std::uint32_t, Object> devices;
    std::map<std::uint32_t, Port> ports;
    // metadata.name -> (subject, key) -> value
    std::map<std::string, std::map<std::pair<std::uint32_t, std::string>, MetadataValue>> metadata;
    // Registry id of each metadata object, by name (its entries go when it goes).
    std::map<std::uint32_t, std::string> metadataObjects;
    // The global id of the newest metadata object of each name.
    std::map<std::string, std::uint32_t> currentMetadata;
    bool connected = false; // from `Connected` until `Disconnected`

    void apply(const PipeWireEvent& event);

    const Node* node(std::uint32_t id) const;
    const Object* client(std::uint32_t id) const;
    const Object* device(std::uint32_t id) const;
    std::optional<std::string> metadataValue(const std::string& name, std::uint32_t subject,
                                             const std::string& key) const;
    const Node* nodeNamed(const std::string& name) const;

    // The process behind a client: for PulseAudio clients (which all reach PipeWire through
    // pipewire-pulse) the pid the application reported, for native clients the pid the server
    // saw on the socket, else the reported one. 0 when unknown.
    static pid_t clientPid(const Object& client);
    // The process that owns a stream node: its client's, else the one the node names.
    pid_t streamPid(const Node& node) const;

private:
    // One kind of event each.
    void on(const PipeWireEvent::GlobalAdded& e);
    void on(const PipeWireEvent::GlobalRemoved& e);
    void on(const PipeWireEvent::NodeInfo& e);
    void on(const PipeWireEvent::NodeControls& e);
    void on(const PipeWireEvent::NodeFormat& e);
    void on(const PipeWireEvent::ObjectProps& e);
    void on(const PipeWireEvent::MetadataProperty& e);
    void on(const PipeWireEvent::Connected& e);
    void on(const PipeWireEvent::Disconnected& e);
};

} // namespace voxlane
