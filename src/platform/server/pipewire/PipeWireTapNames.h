// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AppIdentifier.h"

#include <string>

namespace voxlane {

// How the nodes of Voxlane's taps are named on the server. The capture side of an aggregate
// device (our virtual sink, or the capture stream of an unmuted tap) is named after the
// aggregate device's uid, the playback side after that name with ".output"; both begin with
// AppIdentifier + ".aggregate.". Sounds that Voxlane plays are named AppIdentifier + ".sound.".
namespace PipeWireTapNames {

inline std::string prefix() {
    return std::string(AppIdentifier) + ".aggregate.";
}

// The capture node's name for an aggregate device uid (the uid itself when it has the prefix).
inline std::string captureNode(const std::string& aggregateUID) {
    return aggregateUID.starts_with(prefix()) ? aggregateUID : prefix() + aggregateUID;
}

inline std::string playbackNode(const std::string& aggregateUID) {
    return captureNode(aggregateUID) + ".output";
}

inline std::string soundNode(const std::string& name) {
    return std::string(AppIdentifier) + ".sound." + name;
}

inline bool isTapNode(const std::string& nodeName) {
    return nodeName.starts_with(prefix());
}

// Any node Voxlane makes (taps and sounds).
inline bool isOurs(const std::string& nodeName) {
    return nodeName.starts_with(std::string(AppIdentifier) + ".");
}

} // namespace PipeWireTapNames
} // namespace voxlane
