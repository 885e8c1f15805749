// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTransport.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

// The node's props, then its device object's (where the bus may be known only).
TEST(PipeWireTransportTest, BusApiAndProfileGiveTheTransport) {
    const PipeWireProps card{{"device.bus", "pci"}, {"device.api", "alsa"}};
    const struct {
        PipeWireProps node, device;
        Transport expected;
    } cases[] = {
        {{{"device.api", "bluez5"}}, {}, Transport::bluetooth},
        {{{"api.bluez5.profile", "bap-sink"}},
         {{"device.bus", "bluetooth"}},
         Transport::bluetoothLE},
        {{{"device.api", "alsa"}}, {{"device.bus", "usb"}}, Transport::usb},
        {{{"device.profile.name", "analog-stereo"}}, card, Transport::builtIn},
        {{{"device.profile.name", "hdmi-stereo"}, {"node.description", "HDMI Audio"}},
         card,
         Transport::hdmi},
        {{{"node.name", "alsa_output.pci-0000_00_1f.3.hdmi-stereo-extra1"},
          {"node.description", "Built-in Audio DisplayPort 2"}},
         card,
         Transport::displayPort},
        {{{"factory.name", "support.null-audio-sink"}}, {}, Transport::software},
        {{}, {}, Transport::unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PipeWireTransport::transport(c.node, c.device), c.expected)
            << ::testing::PrintToString(c.node);
}

} // namespace
} // namespace voxlane
