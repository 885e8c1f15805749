// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace voxlane::test {

// Sound files for the integration tests.
namespace AudioFiles {

// Writes a 48 kHz stereo 16-bit WAV: a 440 Hz sine of the given peak amplitude.
bool writeTone(const std::string& path, double seconds, float amplitude);
// The same for any signal: `sample(t)` on both channels, as floats (full scale stays exact).
bool writeSignal(const std::string& path, double seconds,
                 const std::function<float(double)>& sample);
// Interleaved samples of a sound file after its first `skipSeconds`, and its channel count.
std::vector<float> read(const std::string& path, double skipSeconds, int* channels = nullptr);
// The amplitude of the `frequency` component of one channel (Goertzel over all frames).
double toneAmplitude(const std::vector<float>& interleaved, int channels, double frequency,
                     double rate = 48000);

} // namespace AudioFiles

} // namespace voxlane::test
