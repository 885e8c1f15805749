// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClickProbe.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/param/audio/format-utils.h>

namespace voxlane::test {

struct ClickProbe::Impl {
    struct Side {
        Impl* impl = nullptr;
        pw_stream* stream = nullptr;
        spa_hook listener{};
        spa_io_position* position = nullptr;
    };

    std::uint32_t period = 24000;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    Side player, recorder;
    std::atomic<std::int64_t> firstClick{-1};
    std::int64_t nextClick = -1;
    std::int64_t lastArrival = -1;
    std::array<std::atomic<std::int64_t>, 256> found{};
    std::atomic<std::uint32_t> written{0};
    std::uint32_t read = 0;

    static void onIo(void* data, std::uint32_t id, void* area, std::uint32_t) {
        auto* side = static_cast<Side*>(data);
        if (id == SPA_IO_Position) side->position = static_cast<spa_io_position*>(area);
    }

    static void onPlay(void* data) {
        auto* side = static_cast<Side*>(data);
        Impl* self = side->impl;
        pw_buffer* b = pw_stream_dequeue_buffer(side->stream);
        if (!b) return;
        spa_data& d = b->buffer->datas[0];
        auto* out = static_cast<float*>(d.data);
        std::uint32_t n = d.maxsize / sizeof(float);
        if (b->requested) n = std::min<std::uint32_t>(n, std::uint32_t(b->requested));
        std::memset(out, 0, n * sizeof(float));
        if (side->position) {
            const auto now = std::int64_t(side->position->clock.position);
            if (self->nextClick < 0) {
                self->nextClick = now + self->period;
                self->firstClick.store(self->nextClick);
            }
            if (self->nextClick >= now && self->nextClick < now + n) {
                out[self->nextClick - now] = 0.9f;
                self->nextClick += self->period;
            } else if (self->nextClick < now) {
                // A cycle was missed: keep the grid.
                while (self->nextClick < now)
                    self->nextClick += self->period;
            }
        }
        d.chunk->offset = 0;
        d.chunk->size = n * sizeof(float);
        d.chunk->stride = sizeof(float);
        pw_stream_queue_buffer(side->stream, b);
    }

    static void onRecord(void* data) {
        auto* side = static_cast<Side*>(data);
        Impl* self = side->impl;
        pw_buffer* b = pw_stream_dequeue_buffer(side->stream);
        if (!b) return;
        const spa_data& d = b->buffer->datas[0];
        const std::int64_t first = self->firstClick.load();
        if (side->position && d.data && first >= 0) {
            const auto* in = static_cast<const float*>(SPA_PTROFF(d.data, d.chunk->offset, void));
            const std::uint32_t frames = d.chunk->size / (2 * sizeof(float));
            const auto now = std::int64_t(side->position->clock.position);
            for (std::uint32_t i = 0; i < frames; ++i) {
                if (std::fabs(in[2 * i]) < 0.3f) continue;
                const std::int64_t arrival = now + i;
                if (self->lastArrival >= 0 && arrival - self->lastArrival < self->period / 2)
                    continue;
                self->lastArrival = arrival;
                const std::int64_t latency =
                    ((arrival - first) % self->period + self->period) % self->period;
                const std::uint32_t slot = self->written.load();
                self->found[slot % self->found.size()].store(latency);
                self->written.store(slot + 1);
            }
        }
        pw_stream_queue_buffer(side->stream, b);
    }

    ~Impl() {
        if (loop) pw_thread_loop_stop(loop);
        for (Side* side : {&player, &recorder})
            if (side->stream) pw_stream_destroy(side->stream);
        if (core) pw_core_disconnect(core);
        if (context) pw_context_destroy(context);
        if (loop) pw_thread_loop_destroy(loop);
    }
};

ClickProbe::ClickProbe(const std::string& sink, const std::string& nodeName, std::uint32_t period)
    : impl_(std::make_unique<Impl>()) {
    pw_init(nullptr, nullptr);
    Impl& i = *impl_;
    i.period = period;
    i.player.impl = i.recorder.impl = &i;
    i.loop = pw_thread_loop_new("click-probe", nullptr);
    i.context = pw_context_new(pw_thread_loop_get_loop(i.loop), nullptr, 0);
    pw_thread_loop_start(i.loop);
    pw_thread_loop_lock(i.loop);
    i.core = pw_context_connect(i.context, nullptr, 0);
    if (i.core) {
        static const pw_stream_events playEvents = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.io_changed = Impl::onIo;
            e.process = Impl::onPlay;
            return e;
        }();
        static const pw_stream_events recordEvents = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.io_changed = Impl::onIo;
            e.process = Impl::onRecord;
            return e;
        }();
        i.player.stream =
            pw_stream_new(i.core, nodeName.c_str(),
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
                                            "Playback", PW_KEY_NODE_NAME, nodeName.c_str(),
                                            PW_KEY_TARGET_OBJECT, sink.c_str(), nullptr));
        const std::string recorderName = nodeName + "-monitor";
        i.recorder.stream = pw_stream_new(
            i.core, recorderName.c_str(),
            pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                              PW_KEY_NODE_NAME, recorderName.c_str(), PW_KEY_TARGET_OBJECT,
                              sink.c_str(), PW_KEY_STREAM_CAPTURE_SINK, "true", nullptr));
        pw_stream_add_listener(i.player.stream, &i.player.listener, &playEvents, &i.player);
        pw_stream_add_listener(i.recorder.stream, &i.recorder.listener, &recordEvents, &i.recorder);
        for (Impl::Side* side : {&i.player, &i.recorder}) {
            spa_audio_info_raw info{};
            info.format = SPA_AUDIO_FORMAT_F32;
            info.rate = 48000;
            const bool play = side == &i.player;
            info.channels = play ? 1 : 2;
            info.position[0] = play ? SPA_AUDIO_CHANNEL_MONO : SPA_AUDIO_CHANNEL_FL;
            info.position[1] = SPA_AUDIO_CHANNEL_FR;
            std::uint8_t buffer[1024];
            spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
            const spa_pod* params[1] = {
                spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
            pw_stream_connect(
                side->stream, play ? PW_DIRECTION_OUTPUT : PW_DIRECTION_INPUT, PW_ID_ANY,
                pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                PW_STREAM_FLAG_RT_PROCESS),
                params, 1);
        }
    }
    pw_thread_loop_unlock(i.loop);
}

ClickProbe::~ClickProbe() = default;

bool ClickProbe::connected() const {
    return impl_->core != nullptr;
}

std::vector<std::int64_t> ClickProbe::takeLatencies() {
    Impl& i = *impl_;
    std::vector<std::int64_t> result;
    const std::uint32_t end = i.written.load();
    for (; i.read < end; ++i.read)
        result.push_back(i.found[i.read % i.found.size()].load());
    return result;
}

} // namespace voxlane::test
