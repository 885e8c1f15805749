// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTapHost.h"

#include "platform/server/pipewire/PipeWireConnection.h"
#include "platform/server/pipewire/PipeWireTapNames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

namespace voxlane {

namespace {

class LoopLock {
public:
    explicit LoopLock(PipeWireConnection& connection) : loop_(connection.threadLoop()) {
        pw_thread_loop_lock(loop_);
    }
    ~LoopLock() { pw_thread_loop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pw_thread_loop* loop_;
};

constexpr double soundRate = 48000;
// Silence after a sound, so that its end is played before the stream goes.
constexpr std::size_t soundTailFrames = 4800;

} // namespace

// One sound being played: a mono playback stream fed on the loop's thread.
struct PipeWireTapHost::Sound {
    pw_stream* stream = nullptr;
    spa_hook listener{};
    std::shared_ptr<const std::vector<float>> samples;
    float volume = 1.0f;
    std::size_t position = 0;
    bool done = false;
    std::chrono::steady_clock::time_point deadline;

    static void onProcess(void* data) {
        auto* self = static_cast<Sound*>(data);
        pw_buffer* b = pw_stream_dequeue_buffer(self->stream);
        if (!b) return;
        spa_data& d = b->buffer->datas[0];
        if (!d.data) {
            pw_stream_queue_buffer(self->stream, b);
            return;
        }
        auto* out = static_cast<float*>(d.data);
        std::size_t frames = d.maxsize / sizeof(float);
        if (b->requested) frames = std::min<std::size_t>(frames, b->requested);
        const auto& samples = *self->samples;
        for (std::size_t i = 0; i < frames; ++i, ++self->position) {
            out[i] =
                self->position < samples.size() ? samples[self->position] * self->volume : 0.0f;
        }
        if (self->position >= samples.size() + soundTailFrames) self->done = true;
        d.chunk->offset = 0;
        d.chunk->size = std::uint32_t(frames * sizeof(float));
        d.chunk->stride = sizeof(float);
        pw_stream_queue_buffer(self->stream, b);
    }

    ~Sound() {
        if (!stream) return;
        spa_hook_remove(&listener);
        pw_stream_destroy(stream);
    }
};

PipeWireTapHost::PipeWireTapHost(PipeWireConnection& connection) : connection_(connection) {}

PipeWireTapHost::~PipeWireTapHost() = default;

void PipeWireTapHost::observe(const PipeWireEvent& event) {
    graph_.apply(event);
    if (shutDown_) return;
    if (std::holds_alternative<PipeWireEvent::Connected>(event.value)) {
        for (auto subject : PipeWireRouting::staleTargets(graph_))
            connection_.setMetadata("default", subject, "target.object", "", std::nullopt);
        sweepTimer_ =
            pw_loop_add_timer(pw_thread_loop_get_loop(connection_.threadLoop()), onSweep, this);
        attached_ = true;
    }
    reconcile();
}

void PipeWireTapHost::shutdown() {
    {
        LoopLock lock(connection_);
        if (shutDown_) return;
        for (auto& [_, run] : runs_) {
            run.tap.reset();
            releaseLinks(run);
        }
        reconcile(); // every stream goes back
        runs_.clear();
        sweepSounds(true);
        if (sweepTimer_)
            pw_loop_destroy_source(pw_thread_loop_get_loop(connection_.threadLoop()), sweepTimer_);
        sweepTimer_ = nullptr;
        shutDown_ = true;
    }
    // The restored keys must reach the server before the connection closes.
    connection_.roundTrip(1.0);
}

std::uint64_t PipeWireTapHost::start(PipeWireTapRunner::Config config,
                                     std::optional<PipeWireRouting::Tap> tap, int* error) {
    LoopLock lock(connection_);
    if (!attached_ || shutDown_) {
        if (error) *error = -ENOTCONN;
        return 0;
    }
    const std::uint64_t id = nextRun_++;
    Run run;
    run.tap = std::move(tap);
    if (run.tap) run.tap->id = id;
    int failure = 0;
    run.runner = PipeWireTapRunner::start(connection_.core(), std::move(config), &failure);
    if (!run.runner) {
        if (error) *error = failure ? failure : -EIO;
        return 0;
    }
    runs_.emplace(id, std::move(run));
    reconcile();
    return id;
}

void PipeWireTapHost::stop(std::uint64_t id) {
    LoopLock lock(connection_);
    auto it = runs_.find(id);
    if (it == runs_.end()) return;
    unroute(it->second);
    runs_.erase(it);
}

void PipeWireTapHost::detachTap(std::uint64_t id) {
    LoopLock lock(connection_);
    auto it = runs_.find(id);
    if (it == runs_.end()) return;
    unroute(it->second);
    it->second.runner->detachTap();
}

void PipeWireTapHost::unroute(Run& run) {
    // Streams go back to their devices while our sink still takes them; the sink goes after.
    run.tap.reset();
    releaseLinks(run);
    reconcile();
}

std::uint64_t PipeWireTapHost::cycles(std::uint64_t id) const {
    LoopLock lock(connection_);
    auto it = runs_.find(id);
    return it == runs_.end() ? 0 : it->second.runner->cycles();
}

int PipeWireTapHost::playSound(const std::string& name,
                               std::shared_ptr<const std::vector<float>> samples, float volume) {
    if (!samples) return -EINVAL;
    LoopLock lock(connection_);
    if (!attached_ || shutDown_) return -ENOTCONN;
    auto sound = std::make_unique<Sound>();
    sound->samples = std::move(samples);
    sound->volume = volume;
    const double seconds = double(sound->samples->size()) / soundRate;
    sound->deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000) + 3000);
    const std::string node = PipeWireTapNames::soundNode(name + "." + std::to_string(nextSound_++));
    sound->stream =
        pw_stream_new(connection_.core(), node.c_str(),
                      pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
                                        "Playback", PW_KEY_NODE_NAME, node.c_str(),
                                        PW_KEY_MEDIA_NAME, name.c_str(), nullptr));
    if (!sound->stream) return -errno;
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.process = Sound::onProcess;
        return e;
    }();
    pw_stream_add_listener(sound->stream, &sound->listener, &events, sound.get());
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = std::uint32_t(soundRate);
    info.channels = 1;
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    if (int r = pw_stream_connect(
            sound->stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);
        r < 0)
        return r;
    sounds_.push_back(std::move(sound));
    timespec value{0, 100 * 1000 * 1000}, interval{0, 100 * 1000 * 1000};
    pw_loop_update_timer(pw_thread_loop_get_loop(connection_.threadLoop()), sweepTimer_, &value,
                         &interval, false);
    return 0;
}

void PipeWireTapHost::onSweep(void* data, std::uint64_t) {
    static_cast<PipeWireTapHost*>(data)->sweepSounds(false);
}

void PipeWireTapHost::sweepSounds(bool all) {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(sounds_, [&](const auto& s) { return all || s->done || now >= s->deadline; });
    if (sounds_.empty() && sweepTimer_) {
        timespec zero{0, 0};
        pw_loop_update_timer(pw_thread_loop_get_loop(connection_.threadLoop()), sweepTimer_, &zero,
                             &zero, false);
    }
}

void PipeWireTapHost::reconcile() {
    if (!attached_) return;
    std::vector<PipeWireRouting::Tap> taps;
    for (const auto& [_, run] : runs_)
        if (run.tap) taps.push_back(*run.tap);
    const auto wanted = PipeWireRouting::moves(taps, graph_);

    auto current = [&](std::uint32_t node) -> std::optional<PipeWireGraph::MetadataValue> {
        auto m = graph_.metadata.find("default");
        if (m == graph_.metadata.end()) return std::nullopt;
        auto it = m->second.find({node, "target.object"});
        if (it == m->second.end()) return std::nullopt;
        return it->second;
    };

    for (const auto& [node, target] : wanted) {
        auto it = moved_.find(node);
        if (it != moved_.end() && it->second.written == target) continue;
        if (it == moved_.end()) {
            Moved entry;
            const auto before = current(node);
            if (before && !PipeWireTapNames::isTapNode(before->value)) entry.original = before;
            it = moved_.emplace(node, std::move(entry)).first;
        }
        it->second.written = target;
        connection_.setMetadata("default", node, "target.object", "", target);
    }
    for (auto it = moved_.begin(); it != moved_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        // Put back what was there, unless someone else has chosen a target meanwhile.
        const auto now = current(it->first);
        if (!now || PipeWireTapNames::isTapNode(now->value)) {
            const auto& original = it->second.original;
            if (original && graph_.node(it->first))
                connection_.setMetadata("default", it->first, "target.object", original->type,
                                        original->value);
            else
                connection_.setMetadata("default", it->first, "target.object", "", std::nullopt);
        }
        it = moved_.erase(it);
    }
    for (auto& [_, run] : runs_)
        reconcileLinks(run);
}

void PipeWireTapHost::reconcileLinks(Run& run) {
    if (!run.tap || run.tap->moves) {
        releaseLinks(run);
        return;
    }
    const auto wanted = PipeWireRouting::links(*run.tap, graph_);
    for (auto it = run.links.begin(); it != run.links.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        if (it->second) pw_proxy_destroy(it->second);
        it = run.links.erase(it);
    }
    for (const auto& link : wanted) {
        if (run.links.count(link)) continue;
        pw_properties* props = pw_properties_new(nullptr, nullptr);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", link.outputNode);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", link.outputPort);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", link.inputNode);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", link.inputPort);
        pw_properties_set(props, PW_KEY_OBJECT_LINGER, "false");
        auto* proxy = static_cast<pw_proxy*>(
            pw_core_create_object(connection_.core(), "link-factory", PW_TYPE_INTERFACE_Link,
                                  PW_VERSION_LINK, &props->dict, 0));
        pw_properties_free(props);
        run.links.emplace(link, proxy);
    }
}

void PipeWireTapHost::releaseLinks(Run& run) {
    for (auto& [_, proxy] : run.links)
        if (proxy) pw_proxy_destroy(proxy);
    run.links.clear();
}

} // namespace voxlane
