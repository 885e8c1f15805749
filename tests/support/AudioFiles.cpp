// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AudioFiles.h"

#include "support/SoundFile.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>
#include <stdexcept>

namespace voxlane::test::AudioFiles {

bool writeTone(const std::string& path, double seconds, float amplitude) {
    SoundFile sound{2, 48000, 0, std::vector<float>(2 * std::size_t(seconds * 48000))};
    for (std::size_t i = 0; i < sound.samples.size(); i += 2) {
        const double t = double(i / 2) / sound.sampleRate;
        sound.samples[i] = sound.samples[i + 1] =
            amplitude * float(std::sin(2 * std::numbers::pi * 440 * t));
    }
    try {
        sound.write(path, SF_FORMAT_PCM_16);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

std::vector<float> read(const std::string& path, double skipSeconds, int* channels) {
    try {
        SoundFile sound = SoundFile::read(path);
        if (channels) *channels = sound.channels;
        const auto skip = std::min(sound.samples.size(),
                                   std::size_t(skipSeconds * sound.sampleRate) * sound.channels);
        sound.samples.erase(sound.samples.begin(), sound.samples.begin() + std::ptrdiff_t(skip));
        return sound.samples;
    } catch (const std::runtime_error&) {
        return {};
    }
}

} // namespace voxlane::test::AudioFiles
