// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace voxlane {

// How a device is attached. The value of a device's transport property.
enum class Transport : std::uint32_t {
    unknown = 0,
    builtIn,     // PCI or other internal audio
    bluetooth,   // classic Bluetooth audio (A2DP, HFP)
    bluetoothLE, // LE audio
    network,     // a stream to a network receiver (RAOP, ROC, RTP, AES67)
    usb,
    hdmi,
    displayPort,
    phoneWired,    // a phone's microphone or camera audio over a cable
    phoneWireless, // … or over the air
    aggregate,     // one of our own combined devices
    software,      // null sinks, loopbacks, virtual sources
};

inline bool isBluetooth(Transport transport) {
    return transport == Transport::bluetooth || transport == Transport::bluetoothLE;
}

} // namespace voxlane
