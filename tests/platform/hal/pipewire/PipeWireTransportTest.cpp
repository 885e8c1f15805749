// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/pipewire/PipeWireTransport.h"

#include "platform/hal/HalConstants.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using PipeWireTransport::code;

TEST(PipeWireTransportTest, BusAndApiGiveTheTransport) {
    EXPECT_EQ(code({{"device.api", "bluez5"}}, {}), kAudioDeviceTransportTypeBluetooth);
    EXPECT_EQ(code({{"api.bluez5.profile", "bap-sink"}}, {{"device.bus", "bluetooth"}}),
              kAudioDeviceTransportTypeBluetoothLE);
    EXPECT_EQ(code({{"device.api", "bluez5"}, {"api.bluez5.codec", "lc3"}}, {}),
              kAudioDeviceTransportTypeBluetoothLE);
    // The bus may be known on the device object only.
    EXPECT_EQ(code({{"device.api", "alsa"}}, {{"device.bus", "usb"}}),
              kAudioDeviceTransportTypeUSB);
    EXPECT_EQ(code({{"device.api", "alsa"}, {"device.profile.name", "analog-stereo"}},
                   {{"device.bus", "pci"}}),
              kAudioDeviceTransportTypeBuiltIn);
    EXPECT_EQ(code({{"factory.name", "support.null-audio-sink"}}, {}),
              kAudioDeviceTransportTypeVirtual);
    EXPECT_EQ(code({{"media.class", "Audio/Source/Virtual"}}, {}),
              kAudioDeviceTransportTypeVirtual);
    EXPECT_EQ(code({}, {}), kAudioDeviceTransportTypeUnknown);
}

TEST(PipeWireTransportTest, DisplayOutputsOnTheBuiltInCardAreHdmiOrDisplayPort) {
    const PipeWireProps card{{"device.bus", "pci"}, {"device.api", "alsa"}};
    EXPECT_EQ(
        code({{"device.profile.name", "hdmi-stereo"}, {"node.description", "HDMI Audio"}}, card),
        kAudioDeviceTransportTypeHDMI);
    EXPECT_EQ(code({{"node.name", "alsa_output.pci-0000_00_1f.3.hdmi-stereo-extra1"},
                    {"node.description", "Built-in Audio DisplayPort 2"}},
                   card),
              kAudioDeviceTransportTypeDisplayPort);
}

} // namespace
} // namespace voxlane
