#include "support/SoundFile.h"

#include <cmath>
#include <sndfile.h>
#include <stdexcept>

namespace voxlane::test {

float SoundFile::peak() const {
    float p = 0.0f;
    for (float s : samples)
        p = std::max(p, std::fabs(s));
    return p;
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
