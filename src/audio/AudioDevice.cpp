// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioDevice.h"

#include <algorithm>
#include <cctype>

namespace voxlane {

std::string AudioDevice::symbolName() const {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const auto contains = [&](const char* part) { return lower.find(part) != std::string::npos; };
    // Earbuds that say so in their name (Bluetooth names them as their maker does).
    if (contains("airpods")) return "earbuds";
    switch (transport) {
    case Transport::network:
        return "network-speaker";
    case Transport::builtIn:
        return hasOutput ? "computer-laptop" : "audio-input-microphone";
    case Transport::bluetooth:
    case Transport::bluetoothLE:
        return "audio-headphones";
    case Transport::phoneWired:
    case Transport::phoneWireless:
        return "phone";
    case Transport::displayPort:
    case Transport::hdmi:
        return "video-display";
    case Transport::usb:
        return "loudspeaker";
    default:
        return "audio-speakers";
    }
}

} // namespace voxlane
