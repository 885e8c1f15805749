// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTransport.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using PipeWireTransport::transport;

TEST(PipeWireTransportTest, BusAndApiGiveTheTransport) {
    EXPECT_EQ(transport({{"device.api", "bluez5"}}, {}), Transport::bluetooth);
    EXPECT_EQ(transport({{"api.bluez5.profile", "bap-sink"}}, {{"device.bus", "bluetooth"}}),
              Transport::bluetoothLE);
    EXPECT_EQ(transport({{"device.api", "bluez5"}, {"api.bluez5.codec", "lc3"}}, {}),
              Transport::bluetoothLE);
    // The bus may be known on the device object only.
    EXPECT_EQ(transport({{"device.api", "alsa"}}, {{"device.bus", "usb"}}), Transport::usb);
    EXPECT_EQ(transport({{"device.api", "alsa"}, {"device.profile.name", "analog-stereo"}},
                        {{"device.bus", "pci"}}),
              Transport::builtIn);
    EXPECT_EQ(transport({{"factory.name", "support.null-audio-sink"}}, {}), Transport::software);
    EXPECT_EQ(transport({{"media.class", "Audio/Source/Virtual"}}, {}), Transport::software);
    EXPECT_EQ(transport({}, {}), Transport::unknown);
}

TEST(PipeWireTransportTest, DisplayOutputsOnTheBuiltInCardAreHdmiOrDisplayPort) {
    const PipeWireProps card{{"device.bus", "pci"}, {"device.api", "alsa"}};
    EXPECT_EQ(
        transport({{"device.profile.name", "hdmi-stereo"}, {"node.description", "HDMI Audio"}},
                  card),
        Transport::hdmi);
    EXPECT_EQ(transport({{"node.name", "alsa_output.pci-0000_00_1f.3.hdmi-stereo-extra1"},
                         {"node.description", "Built-in Audio DisplayPort 2"}},
                        card),
              Transport::displayPort);
}

} // namespace
} // namespace voxlane
