// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/Transport.h"
#include "platform/server/pipewire/PipeWireEvent.h"

#include <cstdint>

namespace voxlane {

// How a PipeWire device node is attached, from the node's properties and those of the
// device object it belongs to (empty when it has none).
namespace PipeWireTransport {

// Bluetooth, or Bluetooth LE for LE audio (a BAP profile or the LC3 codec); HDMI and DisplayPort
// outputs (DisplayPort only when named so, since the kernel reports both as HDMI); USB; other PCI
// or internal audio: built in; null sinks and virtual sources: software; anything else unknown.
Transport transport(const PipeWireProps& node, const PipeWireProps& device);

} // namespace PipeWireTransport

} // namespace voxlane
