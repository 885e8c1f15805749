// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SoundFile.h"

#include <cmath>
#include <cstdint>
#include <sndfile.h>
#include <stdexcept>

namespace voxlane::test {

float SoundFile::peak() const {
    float p = 0.0f;
    for (float s : samples)
        p = std::max(p, std::fabs(s));
    return p;
}

SoundFile SoundFile::tonesAndNoise(int channels, int sampleRate, long long frames, float level) {
    SoundFile sound;
    sound.channels = channels;
    sound.sampleRate = sampleRate;
    sound.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    sound.samples.resize(static_cast<std::size_t>(frames * channels));
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

SoundFile SoundFile::read(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    SoundFile sound;
    sound.channels = info.channels;
    sound.sampleRate = info.samplerate;
    sound.format = info.format;
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(file, sound.samples.data(), info.frames);
    sf_close(file);
    if (got != info.frames) throw std::runtime_error("short read of " + path);
    return sound;
}

void SoundFile::write(const std::string& path, int subtype) const {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    const sf_count_t written = sf_writef_float(file, samples.data(), frames());
    sf_close(file);
    if (written != frames()) throw std::runtime_error("short write of " + path);
}

} // namespace voxlane::test
