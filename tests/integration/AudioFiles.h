#pragma once

#include <string>

namespace voxlane::test {

// Sound files for the integration tests.
namespace AudioFiles {

// Writes a 48 kHz stereo 16-bit WAV: a 440 Hz sine of the given peak amplitude.
bool writeTone(const std::string& path, double seconds, float amplitude);
// The largest absolute sample of a sound file after its first `skipSeconds`; -1 when the file
// cannot be read or has nothing after that.
float peak(const std::string& path, double skipSeconds);

} // namespace AudioFiles

} // namespace voxlane::test
