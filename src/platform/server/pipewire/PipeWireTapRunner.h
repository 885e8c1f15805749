// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AudioServer.h"
#include "platform/server/BufferList.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <spa/utils/hook.h>
#include <string>
#include <vector>

struct pw_core;
struct pw_buffer;
struct pw_stream;

namespace voxlane {

// One running render callback of an aggregate device on PipeWire: the streams that bring the
// tap's audio in and take the procedure's output to the device, and the real-time callback
// that hands each cycle to the render block.
//
//   muting     a capture stream presented as a sink (media.class Audio/Sink) that the tapped
//              streams are moved into, and a playback stream to the device, in one node group.
//              The capture stream's process callback takes the cycle's input buffer and the
//              playback stream's output buffer, calls the render block, queues both and triggers
//              the playback stream (PW_STREAM_FLAG_TRIGGER), which then runs in the same graph
//              cycle. Both callbacks run on the context's data thread, one after the other, so
//              the hand-off needs no queue, copy or lock, and adds no latency of its own: what
//              the applications play in a cycle leaves for the device in that cycle.
//   metering   a capture stream (Stream/Input/Audio, not autoconnected) that the tapped streams
//              are linked to besides their own device; the render block's output goes to a scratch
//              buffer and is dropped (an unmuted tap's output is silence).
//   playing    only the playback stream, scheduled by the graph; the render block gets no tap
//              buffer (an aggregate device without a delivered tap).
//
// The input list is the device's own input streams (never opened: empty buffers) followed by
// the tap's buffer, one interleaved stereo 32-bit float buffer; the output list is the
// playback stream's buffer, interleaved stereo, zeroed before the call.
//
// The real-time path allocates nothing, takes no lock and makes no system call: every buffer
// descriptor is made in `start`. Creating and destroying runs with the loop locked; the
// destructor first makes sure that the callback is not inside the render block and will not enter
// it again, then destroys the streams.
class PipeWireTapRunner {
public:
    enum class Kind { muting, metering, playing };

    struct Config {
        Kind kind = Kind::muting;
        std::string captureNode;  // node.name of the capture side
        std::string playbackNode; // node.name of the playback side
        std::string device;       // node.name of the sink played to
        std::string description = "Voxlane";
        std::uint32_t rate = 48000;
        std::uint32_t deviceInputs = 0; // input streams of the device before the tap's
        std::shared_ptr<const RenderBlock> block;
    };

    // With the loop locked. Null, with a negative errno in *error, when a stream cannot be made.
    static std::unique_ptr<PipeWireTapRunner> start(pw_core* core, Config config, int* error);
    // With the loop locked.
    ~PipeWireTapRunner();
    PipeWireTapRunner(const PipeWireTapRunner&) = delete;
    PipeWireTapRunner& operator=(const PipeWireTapRunner&) = delete;

    // From now on the render block gets no tap buffer (the tap was destroyed). Any thread.
    void detachTap() { tapDelivered_.store(false, std::memory_order_relaxed); }
    const Config& config() const { return config_; }
    // Cycles handed to the render block so far.
    std::uint64_t cycles() const { return cycles_.load(std::memory_order_relaxed); }

private:
    explicit PipeWireTapRunner(Config config);
    // The streams of `start`, made and connected; 0 or a negative errno.
    int makeCapture(pw_core* core);
    int makePlayback(pw_core* core);
    int connectStreams();
    static void onCaptureProcess(void* data);
    static void onPlaybackProcess(void* data);
    void cycle(pw_buffer* in, pw_buffer* out);

    static constexpr std::uint32_t scratchFrames = 16384;

    Config config_;
    pw_stream* capture_ = nullptr;
    pw_stream* playback_ = nullptr;
    spa_hook captureListener_{};
    spa_hook playbackListener_{};
    std::vector<AudioBuffer> inputs_;
    AudioBuffer output_{};
    std::vector<float> scratch_;
    std::atomic<bool> tapDelivered_{true};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> busy_{false};
    std::atomic<std::uint64_t> cycles_{0};
};

} // namespace voxlane
