// SPDX-License-Identifier: GPL-3.0-or-later
#include "coreaudio/AudioDevice.h"

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
    case kAudioDeviceTransportTypeAirPlay:
        return "airplayaudio";
    case kAudioDeviceTransportTypeBuiltIn:
        return hasOutput ? "laptopcomputer" : "mic";
    case kAudioDeviceTransportTypeBluetooth:
    case kAudioDeviceTransportTypeBluetoothLE:
        return "headphones";
    case kAudioDeviceTransportTypeContinuityCaptureWired:
    case kAudioDeviceTransportTypeContinuityCaptureWireless:
        return "iphone";
    case kAudioDeviceTransportTypeDisplayPort:
    case kAudioDeviceTransportTypeHDMI:
        return "display";
    case kAudioDeviceTransportTypeUSB:
        return "hifispeaker";
    default:
        return "speaker.wave.2";
    }
}

} // namespace voxlane
