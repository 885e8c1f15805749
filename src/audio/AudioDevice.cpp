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
    if (contains("airpods max")) return "airpodsmax";
    if (contains("airpods pro")) return "airpodspro";
    if (contains("airpods")) return "airpods";
    switch (transport) {
    case Transport::network:
        return "airplayaudio";
    case Transport::builtIn:
        return hasOutput ? "laptopcomputer" : "mic";
    case Transport::bluetooth:
    case Transport::bluetoothLE:
        return "headphones";
    case Transport::phoneWired:
    case Transport::phoneWireless:
        return "iphone";
    case Transport::displayPort:
    case Transport::hdmi:
        return "display";
    case Transport::usb:
        return "hifispeaker";
    default:
        return "speaker.wave.2";
    }
}

} // namespace voxlane
