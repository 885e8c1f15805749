// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RenderOptions.h"

#include <cstdint>
#include <functional>
#include <string>

namespace voxlane {

// Runs one TapState over a whole file, as a tap would run over a stream: the file's samples are
// the tap's only input buffer, the output is stereo. Reads and writes in large chunks and hands
// the chain blocks of `options.block` frames. OUT is written as a temporary file beside it and
// renamed into place only when complete; on any failure the temporary file is removed.
class FileRenderer {
public:
    struct Result {
        bool ok = false;
        std::int64_t frames = 0;   // frames read and written
        float peak = 0.0f;         // the chain's peak level after the last block
        float limiterFloor = 1.0f; // the deepest limiter gain after the last block
        std::string error;         // one line, when !ok
    };

    // Polled between chunks; returning true abandons the render (nothing is left behind).
    using CancelCheck = std::function<bool()>;

    explicit FileRenderer(RenderOptions options) : options_(std::move(options)) {}

    // Frames per read and write: whole blocks, about 16k frames.
    std::int64_t chunkFrames() const;

    // The most stereo float frames a WAV file's 32-bit sizes can describe.
    static constexpr std::int64_t maxWavFrames = (0xffffffffLL - 4096) / 8;
    // The libsndfile format of OUT for an input of `frames` (negative: unknown): a 32-bit float
    // WAV, or RF64 when the output would not fit the WAV header's sizes.
    static int outputFormat(std::int64_t frames);

    Result run(const CancelCheck& cancelled = {}) const;

private:
    RenderOptions options_;
};

} // namespace voxlane
