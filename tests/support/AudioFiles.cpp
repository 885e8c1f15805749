// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AudioFiles.h"

#include "support/SoundFile.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>
#include <stdexcept>

namespace voxlane::test::AudioFiles {
namespace {

// A 48 kHz stereo WAV of the given sample format with `sample(t)` on both channels.
bool write(const std::string& path, double seconds, const std::function<float(double)>& sample,
           int subtype) {
    SoundFile sound{2, 48000, 0, std::vector<float>(2 * std::size_t(seconds * 48000))};
    for (std::size_t i = 0; i < sound.samples.size(); i += 2)
        sound.samples[i] = sound.samples[i + 1] = sample(double(i / 2) / sound.sampleRate);
    try {
        sound.write(path, subtype);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace

bool writeTone(const std::string& path, double seconds, float amplitude) {
    return write(
        path, seconds,
        [amplitude](double t) {
            return amplitude * float(std::sin(2 * std::numbers::pi * 440 * t));
        },
        SF_FORMAT_PCM_16);
}

bool writeSignal(const std::string& path, double seconds,
                 const std::function<float(double)>& sample) {
    return write(path, seconds, sample, SF_FORMAT_FLOAT);
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

double toneAmplitude(const std::vector<float>& interleaved, int channels, double frequency,
                     double rate) {
    if (channels < 1) return 0;
    const std::size_t frames = interleaved.size() / std::size_t(channels);
    if (frames == 0) return 0;
    const double w = 2 * std::numbers::pi * frequency / rate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double s = interleaved[i * std::size_t(channels)] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2 * std::sqrt(std::max(power, 0.0)) / double(frames);
}

} // namespace voxlane::test::AudioFiles
