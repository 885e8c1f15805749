// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/sim/SimServerState.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace voxlane {

// Lays out a render callback's buffers for the device as it is now: the input list (the
// sub-device's input streams, then each tap as one stereo or two mono buffers) and the output
// list (the device's output streams).
void SimServer::State::prepare(Device& d, Render& render) {
    const std::size_t frames = bufferFrames;
    render.inSlots.clear();
    std::size_t offset = 0;
    std::uint32_t streamIndex = 0;
    if (const Device* source = d.aggregate ? device(d.subDevice) : &d) {
        for (auto channels : source->setup.inputStreams) {
            render.inSlots.push_back(
                {streamIndex++, SlotKind::deviceInput, noObject, offset, channels});
            offset += channels * frames;
        }
    }
    for (auto tapID : d.taps) {
        const Tap* t = tap(tapID);
        if (t && t->nonInterleaved) {
            render.inSlots.push_back({streamIndex, SlotKind::tapLeft, tapID, offset, 1});
            offset += frames;
            render.inSlots.push_back({streamIndex, SlotKind::tapRight, tapID, offset, 1});
            offset += frames;
        } else {
            render.inSlots.push_back({streamIndex, SlotKind::tapStereo, tapID, offset, 2});
            offset += 2 * frames;
        }
        ++streamIndex;
    }
    render.inStorage.assign(offset, 0.0f);
    render.inBuffers.assign(render.inSlots.size(), AudioBuffer{});
    render.usage.assign(streamIndex, true);

    render.outChannels = streams(d, Side::output);
    std::size_t outSize = 0;
    for (auto channels : render.outChannels)
        outSize += channels * frames;
    render.outStorage.assign(outSize, 0.0f);
    render.outBuffers.assign(render.outChannels.size(), AudioBuffer{});
}

void SimServer::State::prepareAll() {
    for (auto& [_, d] : devices)
        for (auto& render : d.renders)
            prepare(d, *render);
}

float SimServer::State::sample(const Signal& signal, double phase) const {
    switch (signal.shape) {
    case Signal::Shape::silence:
        return 0.0f;
    case Signal::Shape::sine:
        return signal.amplitude * float(std::sin(phase));
    case Signal::Shape::square:
        return std::sin(phase) >= 0 ? signal.amplitude : -signal.amplitude;
    }
    return 0.0f;
}

bool SimServer::State::captures(const Tap& t, ObjectId process) const {
    // This program's sounds without a process object of their own count as not excluded.
    if (process == noObject) return t.description.isExclusive;
    return t.description.captures(process);
}

bool SimServer::State::mutedAtSource(ObjectId process) const {
    for (const auto& [_, t] : taps) {
        if (!captures(t, process)) continue;
        if (t.description.muteBehavior == TapMute::muted) return true;
        if (t.description.muteBehavior == TapMute::mutedWhenTapped && t.read) return true;
    }
    return false;
}

void SimServer::State::mixInto(std::vector<float>& dst, const float* src, std::size_t frames) {
    for (std::size_t i = 0; i < frames * 2; ++i)
        dst[i] += src[i];
}

void SimServer::State::cycle(std::uint32_t n) {
    startCycle(n);
    renderProcesses(n);
    renderSounds(n);
    for (auto& [_, d] : devices) {
        Device* out = d.aggregate ? device(d.subDevice) : &d;
        for (auto& render : d.renders)
            if (render->running) runRender(*render, n, out);
    }
    playDevices(n);
}

// Marks the taps that running render callbacks read this cycle and clears the mixes.
void SimServer::State::startCycle(std::uint32_t n) {
    for (auto& [_, t] : taps)
        t.read = false;
    for (auto& [_, d] : devices) {
        const bool reading = std::any_of(d.renders.begin(), d.renders.end(),
                                         [](const auto& r) { return r->running; });
        if (!reading) continue;
        for (auto tapID : d.taps)
            if (Tap* t = tap(tapID)) t->read = true;
    }
    for (auto& [_, d] : devices)
        std::fill(d.mix.begin(), d.mix.begin() + 2 * n, 0.0f);
    for (auto& [_, t] : taps)
        std::fill(t.capture.begin(), t.capture.begin() + 2 * n, 0.0f);
}

// Each process renders its signal into the taps that capture it and, unless muted at the
// source, into the device it plays to.
void SimServer::State::renderProcesses(std::uint32_t n) {
    for (auto& [id, p] : processes) {
        const double step = 2 * std::numbers::pi * p.setup.signal.frequency / sampleRate;
        const bool playing = p.setup.playing;
        for (std::uint32_t i = 0; i < n; ++i) {
            const float v = playing ? sample(p.setup.signal, p.phase) : 0.0f;
            p.buffer[2 * i] = v;
            p.buffer[2 * i + 1] = v;
            p.phase += step;
        }
        p.phase = std::fmod(p.phase, 2 * std::numbers::pi);
        p.muted = mutedAtSource(id);
        if (!playing) continue;
        if (captureAllowed) {
            for (auto& [_, t] : taps)
                if (captures(t, id)) mixInto(t.capture, p.buffer.data(), n);
        }
        if (!p.muted) {
            if (Device* d = device(target(p))) mixInto(d->mix, p.buffer.data(), n);
            for (std::uint32_t i = 0; i < 2 * n; ++i)
                p.audiblePeak = std::max(p.audiblePeak, std::abs(p.buffer[i]));
        }
    }
}

// This program's sounds, which belong to its own process object.
void SimServer::State::renderSounds(std::uint32_t n) {
    const ObjectId own = ownProcess();
    const bool ownMuted = mutedAtSource(own);
    for (auto& sound : sounds) {
        const auto& samples = *sound.samples;
        for (std::uint32_t i = 0; i < n; ++i) {
            const float v =
                sound.position < samples.size() ? samples[sound.position] * sound.volume : 0.0f;
            if (sound.position < samples.size()) ++sound.position;
            scratch[2 * i] = v;
            scratch[2 * i + 1] = v;
        }
        if (captureAllowed) {
            for (auto& [_, t] : taps)
                if (captures(t, own)) mixInto(t.capture, scratch.data(), n);
        }
        if (!ownMuted)
            if (Device* d = device(sound.device)) mixInto(d->mix, scratch.data(), n);
    }
    std::erase_if(sounds, [](const Sound& s) { return s.position >= s.samples->size(); });
}

// What each device plays: its mix through its volume and mute, into its peak and recording.
void SimServer::State::playDevices(std::uint32_t n) {
    for (auto& [_, d] : devices) {
        const Controls& c = d.setup.output;
        const float gain = d.aggregate ? 1.0f : c.muted ? 0.0f : c.volume;
        for (std::uint32_t i = 0; i < 2 * n; ++i) {
            const float v = d.mix[i] * gain;
            d.peak = std::max(d.peak, std::abs(v));
            d.recorded[d.recordPos] = v;
            d.recordPos = (d.recordPos + 1) % d.recorded.size();
        }
        d.recordCount = std::min(d.recorded.size(), d.recordCount + 2 * n);
    }
}

// Copies this cycle's device inputs (silence) and tap captures into the input buffers; streams
// switched off get no data.
void SimServer::State::fillInputs(Render& render, std::uint32_t n) {
    for (std::size_t b = 0; b < render.inSlots.size(); ++b) {
        const BufferSlot& slot = render.inSlots[b];
        AudioBuffer& buffer = render.inBuffers[b];
        buffer.numberChannels = slot.channels;
        if (!render.usage[slot.stream]) {
            buffer.data = nullptr;
            buffer.dataByteSize = 0;
            continue;
        }
        float* data = render.inStorage.data() + slot.offset;
        buffer.data = data;
        buffer.dataByteSize = slot.channels * n * 4;
        const Tap* t = slot.kind == SlotKind::deviceInput ? nullptr : tap(slot.tap);
        for (std::uint32_t i = 0; i < n; ++i) {
            switch (slot.kind) {
            case SlotKind::deviceInput:
                for (std::uint32_t c = 0; c < slot.channels; ++c)
                    data[i * slot.channels + c] = 0;
                break;
            case SlotKind::tapStereo:
                data[2 * i] = t ? t->capture[2 * i] : 0.0f;
                data[2 * i + 1] = t ? t->capture[2 * i + 1] : 0.0f;
                break;
            case SlotKind::tapLeft:
                data[i] = t ? t->capture[2 * i] : 0.0f;
                break;
            case SlotKind::tapRight:
                data[i] = t ? t->capture[2 * i + 1] : 0.0f;
                break;
            }
        }
    }
}

void SimServer::State::runRender(Render& render, std::uint32_t n, Device* out) {
    fillInputs(render, n);
    std::size_t offset = 0;
    for (std::size_t b = 0; b < render.outChannels.size(); ++b) {
        const std::uint32_t c = render.outChannels[b];
        float* data = render.outStorage.data() + offset;
        std::fill(data, data + c * n, 0.0f);
        render.outBuffers[b] = AudioBuffer{c, c * n * 4, data};
        offset += std::size_t(c) * bufferFrames;
    }
    const BufferList input{std::uint32_t(render.inBuffers.size()), render.inBuffers.data()};
    const BufferList output{std::uint32_t(render.outBuffers.size()), render.outBuffers.data()};
    render.block(input, output);
    if (!out) return;
    // Channels across the output list in order: the first is left, the second right; a
    // single mono channel feeds both.
    std::uint32_t totalChannels = 0;
    for (auto c : render.outChannels)
        totalChannels += c;
    std::uint32_t channel = 0;
    for (std::size_t b = 0; b < render.outChannels.size(); ++b) {
        const std::uint32_t c = render.outChannels[b];
        const float* data = static_cast<const float*>(render.outBuffers[b].data);
        for (std::uint32_t j = 0; j < c; ++j, ++channel) {
            if (channel > 1) continue;
            for (std::uint32_t i = 0; i < n; ++i) {
                const float v = data[i * c + j];
                if (totalChannels == 1) {
                    out->mix[2 * i] += v;
                    out->mix[2 * i + 1] += v;
                } else {
                    out->mix[2 * i + channel] += v;
                }
            }
        }
    }
}

} // namespace voxlane
