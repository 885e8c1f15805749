// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTapRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <thread>

namespace voxlane {

namespace {

constexpr std::uint32_t frameBytes = 2 * sizeof(float); // interleaved stereo

const spa_pod* stereoFormat(spa_pod_builder* builder, std::uint32_t rate) {
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = rate;
    info.channels = 2;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    return spa_format_audio_raw_build(builder, SPA_PARAM_EnumFormat, &info);
}

} // namespace

PipeWireTapRunner::PipeWireTapRunner(Config config) : config_(std::move(config)) {
    inputs_.assign(config_.deviceInputs + 1, AudioBuffer{});
    scratch_.assign(std::size_t(scratchFrames) * 2, 0.0f);
}

std::unique_ptr<PipeWireTapRunner> PipeWireTapRunner::start(pw_core* core, Config config,
                                                            int* error) {
    std::unique_ptr<PipeWireTapRunner> self(new PipeWireTapRunner(std::move(config)));
    if (self->config_.kind == Kind::playing) self->tapDelivered_.store(false);
    int result = 0;
    if (self->config_.kind != Kind::playing) result = self->makeCapture(core);
    if (result == 0 && self->config_.kind != Kind::metering) result = self->makePlayback(core);
    if (result == 0) result = self->connectStreams();
    if (result == 0) return self;
    if (error) *error = result;
    return nullptr; // the destructor takes down what was made
}

int PipeWireTapRunner::makeCapture(pw_core* core) {
    const Config& c = config_;
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_NODE_NAME, c.captureNode.c_str(),
        PW_KEY_NODE_DESCRIPTION, c.description.c_str(), PW_KEY_NODE_VIRTUAL, "true", nullptr);
    if (c.kind == Kind::muting) {
        // A sink the session manager routes streams into, but plumbing, not a device: not
        // "Audio/Sink" itself, which is what the session manager picks the default output
        // from and what PulseAudio clients (the desktop's sound settings) list as sinks.
        pw_properties_set(props, PW_KEY_MEDIA_CLASS, "Audio/Sink/Internal");
        pw_properties_set(props, PW_KEY_PRIORITY_SESSION, "-100000");
        pw_properties_set(props, PW_KEY_PRIORITY_DRIVER, "0");
        pw_properties_set(props, PW_KEY_NODE_GROUP, c.captureNode.c_str());
        // The session manager never links two nodes of one link group: no loop through us.
        pw_properties_set(props, PW_KEY_NODE_LINK_GROUP, c.captureNode.c_str());
    } else {
        pw_properties_set(props, PW_KEY_MEDIA_CLASS, "Stream/Input/Audio");
        pw_properties_set(props, PW_KEY_MEDIA_CATEGORY, "Capture");
        pw_properties_set(props, PW_KEY_NODE_AUTOCONNECT, "false");
        pw_properties_set(props, PW_KEY_NODE_DONT_RECONNECT, "true");
        // Listening in: no call profile for a headset, no recording indicator, and no
        // device kept awake for our sake.
        pw_properties_set(props, PW_KEY_STREAM_MONITOR, "true");
        pw_properties_set(props, PW_KEY_NODE_PASSIVE, "true");
    }
    capture_ = pw_stream_new(core, c.captureNode.c_str(), props);
    if (!capture_) return -errno;
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.process = onCaptureProcess;
        return e;
    }();
    pw_stream_add_listener(capture_, &captureListener_, &events, this);
    return 0;
}

int PipeWireTapRunner::makePlayback(pw_core* core) {
    const Config& c = config_;
    // The capture node's name is the group of both streams.
    const std::string& group = c.captureNode;
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_NODE_NAME,
        c.playbackNode.c_str(), PW_KEY_NODE_DESCRIPTION, c.description.c_str(),
        PW_KEY_TARGET_OBJECT, c.device.c_str(), PW_KEY_NODE_GROUP, group.c_str(),
        PW_KEY_NODE_LINK_GROUP, group.c_str(), nullptr);
    playback_ = pw_stream_new(core, c.playbackNode.c_str(), props);
    if (!playback_) return -errno;
    static const pw_stream_events triggered = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        return e;
    }();
    static const pw_stream_events scheduled = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.process = onPlaybackProcess;
        return e;
    }();
    pw_stream_add_listener(playback_, &playbackListener_,
                           c.kind == Kind::muting ? &triggered : &scheduled, this);
    return 0;
}

int PipeWireTapRunner::connectStreams() {
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[1] = {stereoFormat(&builder, config_.rate)};
    const bool muting = config_.kind == Kind::muting;
    if (playback_) {
        auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                     PW_STREAM_FLAG_RT_PROCESS);
        if (muting) flags = pw_stream_flags(flags | PW_STREAM_FLAG_TRIGGER);
        if (int r = pw_stream_connect(playback_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1);
            r < 0)
            return r;
    }
    if (capture_) {
        auto flags = pw_stream_flags(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
        if (muting) flags = pw_stream_flags(flags | PW_STREAM_FLAG_AUTOCONNECT);
        if (int r = pw_stream_connect(capture_, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1);
            r < 0)
            return r;
    }
    return 0;
}

PipeWireTapRunner::~PipeWireTapRunner() {
    // The callback announces itself in `busy_` before it looks at `stopping_`; once we have
    // set `stopping_` and seen `busy_` clear, it is out of the render block for good.
    stopping_.store(true);
    while (busy_.load())
        std::this_thread::yield();
    if (capture_) {
        spa_hook_remove(&captureListener_);
        pw_stream_destroy(capture_);
    }
    if (playback_) {
        spa_hook_remove(&playbackListener_);
        pw_stream_destroy(playback_);
    }
}

void PipeWireTapRunner::onCaptureProcess(void* data) {
    auto* self = static_cast<PipeWireTapRunner*>(data);
    self->busy_.store(true);
    if (!self->stopping_.load()) {
        pw_buffer* in = pw_stream_dequeue_buffer(self->capture_);
        pw_buffer* out = self->playback_ ? pw_stream_dequeue_buffer(self->playback_) : nullptr;
        self->cycle(in, out);
        if (in) pw_stream_queue_buffer(self->capture_, in);
        if (out) pw_stream_queue_buffer(self->playback_, out);
        if (self->playback_) pw_stream_trigger_process(self->playback_);
    }
    self->busy_.store(false);
}

void PipeWireTapRunner::onPlaybackProcess(void* data) {
    auto* self = static_cast<PipeWireTapRunner*>(data);
    self->busy_.store(true);
    if (!self->stopping_.load()) {
        pw_buffer* out = pw_stream_dequeue_buffer(self->playback_);
        self->cycle(nullptr, out);
        if (out) pw_stream_queue_buffer(self->playback_, out);
    }
    self->busy_.store(false);
}

void PipeWireTapRunner::cycle(pw_buffer* in, pw_buffer* out) {
    // The tap's samples.
    const float* tap = nullptr;
    std::uint32_t frames = 0;
    if (in && in->buffer->n_datas > 0) {
        const spa_data& d = in->buffer->datas[0];
        if (d.data && d.chunk) {
            const std::uint32_t offset = std::min(d.chunk->offset, d.maxsize);
            const std::uint32_t size = std::min(d.chunk->size, d.maxsize - offset);
            tap = static_cast<const float*>(SPA_PTROFF(d.data, offset, void));
            frames = size / frameBytes;
        }
    }
    // Where the output goes.
    float* target = scratch_.data();
    std::uint32_t capacity = scratchFrames;
    spa_data* sink = nullptr;
    if (out && out->buffer->n_datas > 0 && out->buffer->datas[0].data) {
        sink = &out->buffer->datas[0];
        target = static_cast<float*>(sink->data);
        capacity = sink->maxsize / frameBytes;
        if (!tap) frames = out->requested ? std::uint32_t(out->requested) : capacity;
    }
    frames = std::min({frames, capacity, scratchFrames});

    if (frames > 0) {
        std::memset(target, 0, std::size_t(frames) * frameBytes);
        const bool delivered = tap && tapDelivered_.load(std::memory_order_relaxed);
        for (std::uint32_t i = 0; i < config_.deviceInputs; ++i)
            inputs_[i] = AudioBuffer{};
        inputs_[config_.deviceInputs] =
            delivered ? AudioBuffer{2, frames * frameBytes, const_cast<float*>(tap)}
                      : AudioBuffer{2, 0, nullptr};
        output_ = AudioBuffer{2, frames * frameBytes, target};
        const BufferList input{std::uint32_t(inputs_.size()), inputs_.data()};
        const BufferList output{1, &output_};
        (*config_.block)(input, output);
        cycles_.fetch_add(1, std::memory_order_relaxed);
    }
    if (sink) {
        sink->chunk->offset = 0;
        sink->chunk->size = frames * frameBytes;
        sink->chunk->stride = frameBytes;
    }
}

} // namespace voxlane
