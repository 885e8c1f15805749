// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane::test {

// Sound files for the integration tests.
namespace AudioFiles {

// Writes a 48 kHz stereo 16-bit WAV: a 440 Hz sine of the given peak amplitude.
bool writeTone(const std::string& path, double seconds, float amplitude);
// Interleaved samples of a sound file after its first `skipSeconds`, and its channel count.
std::vector<float> read(const std::string& path, double skipSeconds, int* channels = nullptr);

} // namespace AudioFiles

} // namespace voxlane::test
