// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace voxlane {

// Properties of a PipeWire object (its spa_dict), copied.
using PipeWireProps = std::map<std::string, std::string>;

// What the PipeWire connection reports about the server, as plain values. The connection makes
// them on its own thread; the server applies them to its model on the main queue, in order.
struct PipeWireEvent {
    enum class Kind { node, client, device, metadata, port, other };
    // The permission bit to change an object (PW_PERM_W).
    static constexpr std::uint32_t permissionWrite = 0200;

    // An object appeared in the registry.
    struct GlobalAdded {
        std::uint32_t id = 0;
        Kind kind = Kind::other;
        std::uint64_t serial = 0;
        std::uint32_t permissions = 0;
        PipeWireProps props;
    };
    // An object left the registry (its id may be handed out again later).
    struct GlobalRemoved {
        std::uint32_t id = 0;
    };
    // A bound node's info: its state, its full properties, whether its Props are writable.
    struct NodeInfo {
        std::uint32_t id = 0;
        enum class State { error, creating, suspended, idle, running } state = State::creating;
        std::optional<PipeWireProps> props;
        std::optional<bool> propsWritable;
    };
    // A node's Props parameter (the controls it has; absent ones stay absent).
    struct NodeControls {
        std::uint32_t id = 0;
        std::optional<std::vector<float>> channelVolumes;
        std::optional<bool> mute;
    };
    // A node's negotiated format (0 when it has none, e.g. while suspended).
    struct NodeFormat {
        std::uint32_t id = 0;
        std::uint32_t rate = 0;
    };
    // A bound client's or device's full properties.
    struct ObjectProps {
        std::uint32_t id = 0;
        PipeWireProps props;
    };
    // A property of a metadata object changed: no key clears every key of the subject, no value
    // removes the key.
    struct MetadataProperty {
        std::string metadata; // the metadata object's metadata.name
        std::uint32_t subject = 0;
        std::optional<std::string> key;
        std::optional<std::string> type;
        std::optional<std::string> value;
        std::uint32_t object = 0; // its global id (0: unknown)
    };
    // The server's first complete answer is in: everything before this event described the
    // server as it was when the connection was made.
    struct Connected {};
    // The connection to the server broke; nothing more will come.
    struct Disconnected {
        std::string reason;
    };

    std::variant<GlobalAdded, GlobalRemoved, NodeInfo, NodeControls, NodeFormat, ObjectProps,
                 MetadataProperty, Connected, Disconnected>
        value;
};

} // namespace voxlane
