// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AudioFiles.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>
#include <vector>

namespace voxlane::test::AudioFiles {

bool writeTone(const std::string& path, double seconds, float amplitude) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t frames = sf_count_t(seconds * info.samplerate);
    std::vector<float> block(2 * 4800);
    double phase = 0;
    const double step = 2 * std::numbers::pi * 440.0 / info.samplerate;
    bool ok = true;
    for (sf_count_t done = 0; done < frames && ok;) {
        const sf_count_t n = std::min<sf_count_t>(4800, frames - done);
        for (sf_count_t i = 0; i < n; ++i) {
            const float v = amplitude * float(std::sin(phase));
            block[2 * i] = block[2 * i + 1] = v;
            phase += step;
        }
        ok = sf_writef_float(file, block.data(), n) == n;
        done += n;
    }
    sf_close(file);
    return ok;
}

bool writeSignal(const std::string& path, double seconds,
                 const std::function<float(double)>& sample) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t frames = sf_count_t(seconds * info.samplerate);
    std::vector<float> block(2 * 4800);
    bool ok = true;
    for (sf_count_t done = 0; done < frames && ok;) {
        const sf_count_t n = std::min<sf_count_t>(4800, frames - done);
        for (sf_count_t i = 0; i < n; ++i)
            block[2 * i] = block[2 * i + 1] = sample(double(done + i) / info.samplerate);
        ok = sf_writef_float(file, block.data(), n) == n;
        done += n;
    }
    sf_close(file);
    return ok;
}

std::vector<float> read(const std::string& path, double skipSeconds, int* channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    if (channels) *channels = info.channels;
    const sf_count_t skip = sf_count_t(skipSeconds * info.samplerate);
    std::vector<float> samples;
    if (info.frames > skip && sf_seek(file, skip, SEEK_SET) >= 0) {
        samples.resize(std::size_t(info.frames - skip) * info.channels);
        const sf_count_t n = sf_readf_float(file, samples.data(), info.frames - skip);
        samples.resize(std::size_t(std::max<sf_count_t>(n, 0)) * info.channels);
    }
    sf_close(file);
    return samples;
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
