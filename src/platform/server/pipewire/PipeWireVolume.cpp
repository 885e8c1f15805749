// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireVolume.h"

#include <algorithm>
#include <cmath>

namespace voxlane::PipeWireVolume {

float scalarFromGain(float gain) {
    if (!(gain > 0.0f)) return 0.0f; // also NaN
    return std::min(1.0f, std::cbrt(gain));
}

float gainFromScalar(float scalar) {
    if (!(scalar > 0.0f)) return 0.0f;
    const float s = std::min(scalar, 1.0f);
    return s * s * s;
}

float mainScalar(const std::vector<float>& channelVolumes) {
    float loudest = 0.0f;
    for (float v : channelVolumes)
        loudest = std::max(loudest, v);
    return scalarFromGain(loudest);
}

std::vector<float> withMainScalar(const std::vector<float>& channelVolumes, float scalar) {
    const float gain = gainFromScalar(scalar);
    float loudest = 0.0f;
    for (float v : channelVolumes)
        loudest = std::max(loudest, v);
    std::vector<float> result(channelVolumes.size(), gain);
    if (loudest > 0.0f) {
        for (std::size_t i = 0; i < channelVolumes.size(); ++i)
            result[i] = std::max(0.0f, channelVolumes[i]) / loudest * gain;
    }
    return result;
}

} // namespace voxlane::PipeWireVolume
