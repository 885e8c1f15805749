// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TapState.h"

#include "engine/EQ.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace voxlane {
namespace {

constexpr std::int64_t kRingMask = TapState::ringFrames - 1;
constexpr float kDenormalFloor = 1e-20f;

// Apps occasionally hand over NaN, infinity or absurd values; one such sample would otherwise
// overflow the gain or the filters and poison their states for the rest of the tap's life.
// Anything beyond ±1e6 (120 dB over full scale) is clamped there, NaN becomes silence.
constexpr float kInputBound = 1e6f;
inline float sanitize(float x) {
    if (std::fabs(x) <= kInputBound) return x;
    return x > 0 ? kInputBound : (x < 0 ? -kInputBound : 0.0f);
}

// Both channels run through the same sections, so they travel together as one two-lane vector.
using Stereo = float __attribute__((vector_size(8)));

inline Stereo cascade(Stereo x, const float* coef, Stereo* state) {
    for (int k = 0; k < 5; ++k) {
        const float* c = coef + 5 * k;
        Stereo& s1 = state[2 * k];
        Stereo& s2 = state[2 * k + 1];
        const Stereo y = c[0] * x + s1;
        s1 = s2 + c[1] * x - c[3] * y;
        s2 = c[2] * x - c[4] * y;
        x = y;
    }
    return x;
}

// The hard clamp; a NaN (which no input can produce any more) would leave as silence.
inline float clampToCeiling(float y) {
    return y > TapState::ceiling
               ? TapState::ceiling
               : (y >= -TapState::ceiling ? y : (y < 0 ? -TapState::ceiling : 0.0f));
}

inline float flushDenormal(float x) {
    return std::fabs(x) < kDenormalFloor ? 0.0f : x;
}

} // namespace

TapState::TapState(float gain, float duck, double sampleRate)
    : control_(std::make_unique<ControlBlock>()),
      eqCoef_(std::make_unique<std::atomic<float>[]>(2 * coefsPerBank)),
      eqState_(std::make_unique<float[]>(20)), appliedEQ_(5, 0.0f),
      ring_(std::make_unique<float[]>(2 * ringFrames)),
      work_(std::make_unique<float[]>(2 * maxFrames)),
      queueValue_(std::make_unique<float[]>(ringFrames)),
      queueTime_(std::make_unique<std::int64_t[]>(ringFrames)) {
    const float sr = (sampleRate > 0.0) ? static_cast<float>(sampleRate) : 48000.0f;
    sampleRate_ = sr;
    fadeInSamples_ = std::max<std::int64_t>(1, static_cast<std::int64_t>(sr * 0.01f));
    lookahead_ = std::min<std::int64_t>(
        ringFrames - 1, std::max<std::int64_t>(1, static_cast<std::int64_t>(sr * 0.0015f)));
    gainCoef_ = 1.0f - std::exp(-1.0f / (sr * 0.008f));
    duckCoef_ = 1.0f - std::exp(-1.0f / (sr * 0.25f));
    attackCoef_ = 1.0f - std::exp(-5.0f / static_cast<float>(lookahead_));
    releaseCoef_ = 1.0f - std::exp(-1.0f / (sr * 0.12f));

    const float initial[8] = {gain, gain, 0.0f, duck, duck, 1.0f, 0.0f, 0.0f};
    for (int i = 0; i < 8; ++i)
        control_->slots[i].store(initial[i], std::memory_order_relaxed);
    for (int i = 0; i < 2 * coefsPerBank; ++i)
        eqCoef_[i].store(0.0f, std::memory_order_relaxed);
    std::fill_n(queueValue_.get(), ringFrames, 1.0f);
    for (int k = 0; k < 5; ++k)
        activeCoef_[5 * k] = 1.0f; // unity sections until a bank is read
    // make_unique<T[]> value-initialises: eqState, ring, work and queueTime start at zero.
}

TapState::~TapState() = default;

void TapState::setEQ(std::span<const float> gains) {
    if (gains.size() == appliedEQ_.size() &&
        std::equal(gains.begin(), gains.end(), appliedEQ_.begin()))
        return;
    appliedEQ_.assign(gains.begin(), gains.end());

    const bool audible =
        std::any_of(gains.begin(), gains.end(), [](float g) { return !(std::fabs(g) < 0.05f); });
    if (!audible) {
        store(eqActive, 0.0f);
        return;
    }

    const EQ::Sections sections = EQ::biquads(gains, sampleRate_);
    const int bank = load(eqBank) == 0.0f ? 1 : 0;
    std::atomic<float>* dst = eqCoef_.get() + bank * coefsPerBank;

    // Sequence lock: odd while the bank is being written.
    eqCoefSequence_.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (std::size_t k = 0; k < sections.size(); ++k) {
        const Biquad& q = sections[k];
        const float values[5] = {static_cast<float>(q.b0), static_cast<float>(q.b1),
                                 static_cast<float>(q.b2), static_cast<float>(q.a1),
                                 static_cast<float>(q.a2)};
        for (int v = 0; v < 5; ++v)
            dst[5 * k + v].store(values[v], std::memory_order_relaxed);
    }
    // The flip sits inside the locked region so that the audio thread always copies a bank
    // together with the index that selects it.
    store(eqBank, static_cast<float>(bank));
    eqCoefSequence_.fetch_add(1, std::memory_order_release);

    if (load(eqActive) == 0.0f) eqResetPending_.store(true, std::memory_order_relaxed);
    control_->slots[eqActive].store(1.0f, std::memory_order_release);
}

void TapState::loadCoefficients() {
    const std::uint32_t before = eqCoefSequence_.load(std::memory_order_acquire);
    if (before == activeCoefSequence_ || (before & 1u)) return; // unchanged, or being written
    const int bank = load(eqBank) != 0.0f ? 1 : 0;
    std::array<float, coefsPerBank> copy;
    const std::atomic<float>* src = eqCoef_.get() + bank * coefsPerBank;
    for (int i = 0; i < coefsPerBank; ++i)
        copy[i] = src[i].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (eqCoefSequence_.load(std::memory_order_relaxed) != before) return; // torn: keep the old
    activeCoef_ = copy;
    activeCoefSequence_ = before;
}

void TapState::render(const BufferList* input, const BufferList* output, int tapBuffers,
                      bool passThrough) {
    if (!output) return;
    const float* left = nullptr;
    const float* right = nullptr;
    std::int64_t leftStride = 1, rightStride = 1;
    std::int64_t frames = -1;

    const std::int64_t n = (input && input->buffers) ? input->numberBuffers : 0;
    for (std::int64_t b = std::max<std::int64_t>(0, n - tapBuffers); b < n; ++b) {
        const AudioBuffer& buffer = input->buffers[b];
        if (buffer.numberChannels == 0 || buffer.data == nullptr) continue;
        const std::int64_t channels = buffer.numberChannels;
        const std::int64_t capacity = buffer.dataByteSize / (4 * channels);
        frames = frames < 0 ? capacity : std::min(frames, capacity);
        const float* data = static_cast<const float*>(buffer.data);
        if (!left) {
            left = data;
            leftStride = channels;
            if (channels >= 2) {
                right = data + 1;
                rightStride = channels;
            }
        } else if (!right) {
            right = data;
            rightStride = channels;
        }
    }
    if (!left) {
        silence(output);
        return;
    }
    frames = std::min(frames, maxFrames);
    const bool stereo = right != nullptr;
    if (!stereo) {
        right = left;
        rightStride = leftStride;
    }

    if (!passThrough) {
        float peak = 0.0f;
        for (std::int64_t i = 0; i < frames; ++i) {
            // Non-finite samples count as the processing path counts them.
            const float l = std::fabs(sanitize(left[i * leftStride]));
            const float r = std::fabs(sanitize(right[i * rightStride]));
            if (l > peak) peak = l;
            if (r > peak) peak = r;
        }
        silence(output);
        if (peak > load(peakLevel)) store(peakLevel, peak);
        return;
    }
    process(left, leftStride, right, rightStride, frames);
    write(*output, frames, stereo);
}

void TapState::process(const float* left, std::int64_t leftStride, const float* right,
                       std::int64_t rightStride, std::int64_t frames) {
    float* workL = work_.get();
    float* workR = work_.get() + maxFrames;
    filterAndGain(left, leftStride, right, rightStride, frames, workL, workR);
    limit(workL, workR, frames);
}

// The equaliser (when on) and the gliding gain and duck, into the planar staging buffers.
void TapState::filterAndGain(const float* left, std::int64_t leftStride, const float* right,
                             std::int64_t rightStride, std::int64_t frames, float* workL,
                             float* workR) {
    const bool eqOn = control_->slots[eqActive].load(std::memory_order_acquire) != 0.0f;
    if (eqOn) {
        loadCoefficients();
        if (eqResetPending_.load(std::memory_order_relaxed) &&
            eqResetPending_.exchange(false, std::memory_order_relaxed)) {
            std::fill_n(eqState_.get(), 20, 0.0f);
        }
    }
    const float tGain = load(targetGain);
    const float tDuck = load(targetDuck);
    float gain = load(currentGain);
    float duck = load(currentDuck);

    float coef[coefsPerBank];
    std::copy(activeCoef_.begin(), activeCoef_.end(), coef);
    Stereo state[10]; // section k: s1 at 2k, s2 at 2k + 1; lanes left, right
    for (int k = 0; k < 10; ++k)
        state[k] = Stereo{eqState_[k], eqState_[10 + k]};

    for (std::int64_t i = 0; i < frames; ++i) {
        float xL = sanitize(left[i * leftStride]);
        float xR = sanitize(right[i * rightStride]);
        if (eqOn) {
            const Stereo y = cascade(Stereo{xL, xR}, coef, state);
            xL = flushDenormal(y[0]);
            xR = flushDenormal(y[1]);
        }
        gain += gainCoef_ * (tGain - gain);
        duck += duckCoef_ * (tDuck - duck);
        const float m = gain * duck;
        workL[i] = xL * m;
        workR[i] = xR * m;
    }

    if (eqOn) {
        for (int k = 0; k < 10; ++k) {
            eqState_[k] = state[k][0];
            eqState_[10 + k] = state[k][1];
        }
    }
    store(currentGain, gain);
    store(currentDuck, duck);
}

// The look-ahead limiter, the safety clamp and the fade-in, in place over the staging buffers.
void TapState::limit(float* workL, float* workR, std::int64_t frames) {
    float* ring = ring_.get();
    float* qValue = queueValue_.get();
    std::int64_t* qTime = queueTime_.get();
    float envelope = envelope_;
    std::int64_t ringPos = ringPos_, qHead = queueHead_, qCount = queueCount_, time = time_;
    const std::int64_t lookahead = lookahead_;
    const float fadeIn = static_cast<float>(fadeInSamples_);
    float blockPeak = 0.0f, blockFloor = 1.0f;

    for (std::int64_t i = 0; i < frames; ++i) {
        const float xL = workL[i];
        const float xR = workR[i];
        const float pk = std::max(std::fabs(xL), std::fabs(xR));
        const float need = pk > ceiling ? ceiling / pk : 1.0f;

        // Sliding minimum of `need` over the frames time − lookahead … time.
        while (qCount >= 1 && qValue[(qHead + qCount - 1) & kRingMask] >= need)
            --qCount;
        const std::int64_t slot = (qHead + qCount) & kRingMask;
        qValue[slot] = need;
        qTime[slot] = time;
        ++qCount;
        while (qTime[qHead] < time - lookahead) {
            qHead = (qHead + 1) & kRingMask;
            --qCount;
        }
        const float target = qValue[qHead];

        envelope += (target - envelope) * (target < envelope ? attackCoef_ : releaseCoef_);
        const float g = std::min(target, envelope);
        blockFloor = std::min(blockFloor, g);

        ring[2 * ringPos] = xL;
        ring[2 * ringPos + 1] = xR;
        const std::int64_t readPos = (ringPos - lookahead + ringFrames) & kRingMask;
        float yL = ring[2 * readPos] * g;
        float yR = ring[2 * readPos + 1] * g;
        ringPos = (ringPos + 1) & kRingMask;

        if (!(std::fabs(yL) <= ceiling && std::fabs(yR) <= ceiling)) {
            ++safetyClips_;
            yL = clampToCeiling(yL);
            yR = clampToCeiling(yR);
        }

        ++time;
        const std::int64_t k = time - lookahead;
        if (k < fadeInSamples_) {
            const float f = k < 1 ? 0.0f : static_cast<float>(k) / fadeIn;
            yL *= f;
            yR *= f;
        }

        workL[i] = yL;
        workR[i] = yR;
        blockPeak = std::max(blockPeak, std::max(std::fabs(yL), std::fabs(yR)));
    }

    envelope_ = envelope;
    ringPos_ = ringPos;
    queueHead_ = qHead;
    queueCount_ = qCount;
    time_ = time;
    if (blockPeak > load(peakLevel)) store(peakLevel, blockPeak);
    if (blockFloor < load(limiterFloor)) store(limiterFloor, blockFloor);
}

void TapState::write(const BufferList& output, std::int64_t frames, bool stereo) {
    if (!output.buffers) return;
    const float* planes[2] = {work_.get(), work_.get() + maxFrames};
    std::int64_t channelNumber = 0;
    for (std::uint32_t b = 0; b < output.numberBuffers; ++b) {
        const AudioBuffer& buffer = output.buffers[b];
        if (buffer.data == nullptr || buffer.numberChannels == 0) continue;
        const std::int64_t c = buffer.numberChannels;
        const std::int64_t capacity = buffer.dataByteSize / (4 * c);
        const std::int64_t n = std::min(frames, capacity);
        float* data = static_cast<float*>(buffer.data);
        for (std::int64_t j = 0; j < c; ++j, ++channelNumber) {
            const float* src = planes[stereo && (channelNumber & 1) ? 1 : 0];
            for (std::int64_t f = 0; f < n; ++f)
                data[f * c + j] = src[f];
        }
        std::fill(data + n * c, data + capacity * c, 0.0f);
    }
}

void TapState::silence(const BufferList* output) {
    if (!output->buffers) return;
    for (std::uint32_t b = 0; b < output->numberBuffers; ++b) {
        const AudioBuffer& buffer = output->buffers[b];
        if (buffer.data) std::memset(buffer.data, 0, buffer.dataByteSize);
    }
}

} // namespace voxlane
