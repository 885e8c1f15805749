// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sndfile.h>
#include <stdexcept>
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
    // The largest magnitude of any sample.
    float peak() const {
        float p = 0.0f;
        for (float s : samples)
            p = std::max(p, std::fabs(s));
        return p;
    }

    // A tone per channel (220 Hz, 3100 Hz, …) half and half with white noise, peaks at most
    // `level`; the same every time.
    static SoundFile tonesAndNoise(int channels, int sampleRate, long long frames, float level) {
        SoundFile sound{channels, sampleRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                        std::vector<float>(static_cast<std::size_t>(frames * channels))};
        std::uint32_t seed = 0x9e3779b9u;
        for (long long i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const double noise = (seed >> 8) / double(1u << 24) * 2.0 - 1.0;
                const double f = c == 0 ? 220.0 : 3100.0 * c;
                const double tone = std::sin(2.0 * M_PI * f * static_cast<double>(i) / sampleRate);
                sound.samples[i * channels + c] = static_cast<float>(level * 0.5 * (tone + noise));
            }
        }
        return sound;
    }

    // Throws std::runtime_error when the file cannot be read.
    static SoundFile read(const std::string& path) {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
        SoundFile sound{info.channels, info.samplerate, info.format,
                        std::vector<float>(static_cast<std::size_t>(info.frames * info.channels))};
        const sf_count_t got = sf_readf_float(file, sound.samples.data(), info.frames);
        sf_close(file);
        if (got != info.frames) throw std::runtime_error("short read of " + path);
        return sound;
    }
    // Writes as WAV with the given subtype (SF_FORMAT_FLOAT, SF_FORMAT_PCM_16, …).
    void write(const std::string& path, int subtype) const {
        SF_INFO info{0, sampleRate, channels, SF_FORMAT_WAV | subtype, 0, 0};
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
        const sf_count_t written = sf_writef_float(file, samples.data(), frames());
        sf_close(file);
        if (written != frames()) throw std::runtime_error("short write of " + path);
    }
};

} // namespace voxlane::test
