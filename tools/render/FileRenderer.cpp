// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileRenderer.h"

#include "engine/TapState.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace voxlane {
namespace {

constexpr std::int64_t kChunkTarget = 16384;

// libsndfile's messages, on one line and without its "System error : " prefix.
std::string oneLine(std::string text) {
    for (std::string::size_type at; (at = text.find("System error : ")) != std::string::npos;)
        text.erase(at, 15);
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && (text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

// The output while it is being written: a new file beside the destination, with the
// permissions a newly created file would get, removed unless committed.
class PendingOutput {
public:
    explicit PendingOutput(const std::string& destination) : destination_(destination) {
        const std::size_t slash = destination.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : destination.substr(0, slash + 1);
        const std::string base =
            slash == std::string::npos ? destination : destination.substr(slash + 1);
        std::string pattern =
            (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
        fd_ = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error_ =
                "cannot create a file beside " + quoted(destination) + ": " + std::strerror(errno);
            return;
        }
        path_ = pattern;
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }

    ~PendingOutput() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    int fd() const { return fd_; }
    const std::string& error() const { return error_; }

    // Closes the file and moves it over the destination; false (with error()) on failure.
    bool commit() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            error_ = "cannot write " + quoted(destination_) + ": " + std::strerror(errno);
            return false;
        }
        if (std::rename(path_.c_str(), destination_.c_str()) != 0) {
            error_ = "cannot replace " + quoted(destination_) + ": " + std::strerror(errno);
            return false;
        }
        path_.clear();
        return true;
    }

private:
    std::string destination_;
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

FileRenderer::Result failure(std::string error) {
    FileRenderer::Result result;
    result.error = oneLine(std::move(error));
    return result;
}

} // namespace

int FileRenderer::outputFormat(std::int64_t frames) {
    const bool fits = frames >= 0 && frames <= maxWavFrames;
    return (fits ? SF_FORMAT_WAV : SF_FORMAT_RF64) | SF_FORMAT_FLOAT;
}

std::int64_t FileRenderer::chunkFrames() const {
    const std::int64_t block = std::clamp<std::int64_t>(options_.block, 1, TapState::maxFrames);
    return block * std::max<std::int64_t>(1, kChunkTarget / block);
}

FileRenderer::Result FileRenderer::run(const CancelCheck& cancelled) const {
    SF_INFO inInfo{};
    SndfilePtr in(sf_open(options_.input.c_str(), SFM_READ, &inInfo));
    if (!in) return failure("cannot read " + quoted(options_.input) + ": " + sf_strerror(nullptr));
    if (inInfo.channels < 1 || inInfo.channels > 2) {
        return failure(quoted(options_.input) + " has " + std::to_string(inInfo.channels) +
                       " channels; only mono and stereo files can be rendered");
    }
    if (inInfo.samplerate <= 0) return failure(quoted(options_.input) + " has no sample rate");

    // The output replaces only a regular file, and never the input itself.
    struct stat existing {};
    if (::stat(options_.output.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            return failure(quoted(options_.output) + " exists and is not a regular file");
        }
        struct stat source {};
        if (::stat(options_.input.c_str(), &source) == 0 && source.st_dev == existing.st_dev &&
            source.st_ino == existing.st_ino) {
            return failure(quoted(options_.output) + " is the input file");
        }
    }

    PendingOutput pending(options_.output);
    if (pending.fd() < 0) return failure(pending.error());
    SF_INFO outInfo{};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = 2;
    outInfo.format = outputFormat(inInfo.frames);
    const bool wav = (outInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
    SndfilePtr out(sf_open_fd(pending.fd(), SFM_WRITE, &outInfo, SF_FALSE));
    if (!out) {
        return failure("cannot write " + quoted(options_.output) + ": " + sf_strerror(nullptr));
    }

    TapState tap(options_.gain, options_.duck, static_cast<double>(inInfo.samplerate));
    if (const auto gains = options_.eqGains()) tap.setEQ(*gains);

    const std::int64_t channels = inInfo.channels;
    const std::int64_t block = std::clamp<std::int64_t>(options_.block, 1, TapState::maxFrames);
    const std::int64_t chunk = chunkFrames();
    std::vector<float> inSamples(static_cast<std::size_t>(chunk * channels));
    std::vector<float> outSamples(static_cast<std::size_t>(chunk * 2));
    const bool passThrough = !options_.meter;
    std::int64_t total = 0;

    for (;;) {
        if (cancelled && cancelled()) return failure("interrupted");
        // A read returns fewer frames than asked only at the end of the file (or on an error).
        std::int64_t frames = 0;
        while (frames < chunk) {
            const sf_count_t got =
                sf_readf_float(in.get(), inSamples.data() + frames * channels, chunk - frames);
            if (got <= 0) break;
            frames += got;
        }
        if (sf_error(in.get()) != SF_ERR_NO_ERROR) {
            return failure("cannot read " + quoted(options_.input) + ": " + sf_strerror(in.get()));
        }
        if (frames == 0) break;

        for (std::int64_t start = 0; start < frames; start += block) {
            const std::int64_t n = std::min(block, frames - start);
            AudioBuffer inBuffer{static_cast<std::uint32_t>(channels),
                                 static_cast<std::uint32_t>(n * channels * sizeof(float)),
                                 inSamples.data() + start * channels};
            AudioBuffer outBuffer{2, static_cast<std::uint32_t>(n * 2 * sizeof(float)),
                                  outSamples.data() + start * 2};
            const BufferList inList{1, &inBuffer};
            const BufferList outList{1, &outBuffer};
            tap.render(&inList, &outList, 1, passThrough);
        }

        // An input that held more than it announced: a WAV header would wrap its sizes.
        if (wav && total + frames > maxWavFrames) {
            return failure(quoted(options_.output) +
                           " would grow beyond the 4 GiB a WAV file can describe");
        }
        if (sf_writef_float(out.get(), outSamples.data(), frames) != frames) {
            return failure("cannot write " + quoted(options_.output) + ": " +
                           sf_strerror(out.get()));
        }
        total += frames;
        if (frames < chunk) break;
    }

    // Closing writes the final header; its failure means the file is incomplete.
    const int closeError = sf_close(out.release());
    if (closeError != SF_ERR_NO_ERROR) {
        return failure("cannot write " + quoted(options_.output) + ": " +
                       sf_error_number(closeError));
    }
    if (!pending.commit()) return failure(pending.error());

    Result result;
    result.ok = true;
    result.frames = total;
    result.peak = tap.load(TapState::peakLevel);
    result.limiterFloor = tap.load(TapState::limiterFloor);
    return result;
}

} // namespace voxlane
