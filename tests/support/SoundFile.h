// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane::test {

// A whole sound file in memory, as libsndfile hands it over: interleaved floats.
struct SoundFile {
    int channels = 0;
    int sampleRate = 0;
    int format = 0; // libsndfile's SF_FORMAT_… value
    std::vector<float> samples;

    long long frames() const {
        return channels ? static_cast<long long>(samples.size()) / channels : 0;
    }
    float at(long long frame, int channel) const { return samples[frame * channels + channel]; }
    float peak() const; // largest magnitude of any sample

    // A tone per channel (220 Hz, 3100 Hz, …) half and half with white noise, peaks at most
    // `level`; the same every time.
    static SoundFile tonesAndNoise(int channels, int sampleRate, long long frames, float level);

    // Throws std::runtime_error when the file cannot be read.
    static SoundFile read(const std::string& path);
    // Writes as WAV with the given subtype (SF_FORMAT_FLOAT, SF_FORMAT_PCM_16, …).
    void write(const std::string& path, int subtype) const;
};

} // namespace voxlane::test
