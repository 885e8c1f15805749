// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace voxlane {

// PipeWire keeps a node's channel volumes as linear gains on a cubic scale: the number a desktop
// volume slider shows is the cube root of the gain (a slider at 50 % is a gain of 0.125). The
// server's volumes are slider positions, so they are the cube roots of channelVolumes, and
// writing a scalar s sets the gain s³.
namespace PipeWireVolume {

// The slider position (0…1) of a linear channel gain.
float scalarFromGain(float gain);
// The linear channel gain of a slider position (clamped to 0…1).
float gainFromScalar(float scalar);
// The slider position of a node: that of its loudest channel (0 without channels).
float mainScalar(const std::vector<float>& channelVolumes);
// The channel gains after moving the main slider to `scalar`: the loudest channel gets the new
// gain and the others keep their balance to it (all equal when every channel was silent).
std::vector<float> withMainScalar(const std::vector<float>& channelVolumes, float scalar);

} // namespace PipeWireVolume

} // namespace voxlane
