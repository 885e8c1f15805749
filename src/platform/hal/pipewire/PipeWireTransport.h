// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/pipewire/PipeWireEvent.h"

#include <cstdint>

namespace voxlane {

// The transport type code of a PipeWire device node, from the node's properties and those of the
// device object it belongs to (empty when it has none).
namespace PipeWireTransport {

// Bluetooth: 'blue', or 'blea' for LE audio (a BAP profile or the LC3 codec); HDMI and
// DisplayPort outputs: 'hdmi' / 'dprt' (DisplayPort only when named so, since the kernel reports
// both as HDMI); USB: 'usb '; other PCI or internal audio: 'bltn'; software devices (null sinks,
// virtual sources): 'virt'; anything else 0.
std::uint32_t code(const PipeWireProps& node, const PipeWireProps& device);

} // namespace PipeWireTransport

} // namespace voxlane
