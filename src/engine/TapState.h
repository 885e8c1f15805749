// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/BufferList.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace voxlane {

// The real-time state of one tap: equaliser, smoothed gain and ducking factor, look-ahead peak
// limiter, hard safety clamp and a one-time fade-in, or, in metering mode, only a peak meter.
//
// Threads: `render` runs on the audio server's real-time thread, one cycle at a time, and never
// allocates, locks, logs or calls the system. The engine (main thread) talks to a live instance
// only through the control block (`load`/`store`, relaxed 32-bit float slots) and `setEQ`.
// All memory is taken in the constructor.
class TapState final {
public:
    // Slots of the control block shared with the engine.
    enum Slot : int {
        targetGain = 0, // engine → audio: linear gain to glide to (above 1 allowed)
        currentGain,    // audio: smoothed gain at the end of the last block
        peakLevel,      // audio raises to each block's output peak; the meter reads, then halves
        targetDuck,     // engine → audio: ducking factor to glide to
        currentDuck,    // audio: smoothed ducking factor
        limiterFloor,   // audio lowers to the deepest limiter gain; the meter reads, then resets
        eqActive,       // setEQ: 1 runs the cascade, 0 bypasses it
        eqBank,         // setEQ: coefficient bank in use, 0 or 1
    };

    static constexpr std::int64_t maxFrames = 16384; // largest block processed in one call
    static constexpr std::int64_t ringFrames = 1024; // delay line and limiter queue capacity
    static constexpr float ceiling = 0.966f;         // limiter target and clamp bound

    TapState(float gain, float duck, double sampleRate);
    ~TapState();
    TapState(const TapState&) = delete;
    TapState& operator=(const TapState&) = delete;

    float load(Slot slot) const { return control_->slots[slot].load(std::memory_order_relaxed); }
    void store(Slot slot, float value) {
        control_->slots[slot].store(value, std::memory_order_relaxed);
    }

    // Installs band gains in dB (main thread). Equal gains are ignored; gains all within
    // ±0.05 dB bypass the cascade; switching it on from bypass restarts the filters from rest.
    void setEQ(std::span<const float> gains);

    // One IO cycle. The last `tapBuffers` buffers of `input` carry the tap's audio; in
    // processing mode (`passThrough`) they run through the chain into `output`, in metering
    // mode only their peak is measured and `output` is silenced.
    void render(const BufferList* input, const BufferList* output, int tapBuffers,
                bool passThrough);

    double sampleRate() const { return sampleRate_; }
    std::int64_t lookahead() const { return lookahead_; }
    std::int64_t fadeInSamples() const { return fadeInSamples_; }
    std::int64_t safetyClips() const { return safetyClips_; }
    std::int64_t framesProcessed() const { return time_; }
    const std::vector<float>& appliedEQ() const { return appliedEQ_; }

private:
    struct alignas(64) ControlBlock {
        std::array<std::atomic<float>, 8> slots;
    };
    static constexpr int coefsPerBank = 25; // 5 sections × (b0, b1, b2, a1, a2)

    void loadCoefficients();
    void process(const float* left, std::int64_t leftStride, const float* right,
                 std::int64_t rightStride, std::int64_t frames);
    void filterAndGain(const float* left, std::int64_t leftStride, const float* right,
                       std::int64_t rightStride, std::int64_t frames, float* workL, float* workR);
    void limit(float* workL, float* workR, std::int64_t frames);
    void write(const BufferList& output, std::int64_t frames, bool stereo);
    static void silence(const BufferList* output);

    std::unique_ptr<ControlBlock> control_;
    // Two banks of coefficients; setEQ writes only the bank not in use. A sequence counter
    // around each write lets the audio thread detect (and skip) a bank written while it copied.
    std::unique_ptr<std::atomic<float>[]> eqCoef_;
    std::atomic<std::uint32_t> eqCoefSequence_{0};
    // Set by setEQ when it switches the cascade on; the audio thread then clears the filter
    // states before its next filtered block, so they are only ever touched by that thread.
    std::atomic<bool> eqResetPending_{false};
    std::unique_ptr<float[]> eqState_; // 20: left sections at 2k, 2k+1; right at 10+2k, 11+2k
    std::array<float, coefsPerBank> activeCoef_{};  // audio thread's copy of the bank in use
    std::uint32_t activeCoefSequence_ = UINT32_MAX; // sequence the copy was taken at

    double sampleRate_;
    std::vector<float> appliedEQ_;
    std::unique_ptr<float[]> ring_; // 1024 interleaved stereo frames
    std::unique_ptr<float[]> work_; // planar staging: left at 0…16383, right at 16384…
    float envelope_ = 1.0f;
    std::int64_t ringPos_ = 0;
    std::unique_ptr<float[]> queueValue_;
    std::unique_ptr<std::int64_t[]> queueTime_;
    std::int64_t queueHead_ = 0;
    std::int64_t queueCount_ = 0;
    std::int64_t time_ = 0;
    std::int64_t fadeInSamples_;
    std::int64_t safetyClips_ = 0;
    std::int64_t lookahead_;
    float gainCoef_;
    float duckCoef_;
    float attackCoef_;
    float releaseCoef_;
};

} // namespace voxlane
