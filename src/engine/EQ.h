// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Biquad.h"
#include "engine/EQPreset.h"
#include "platform/Translatable.h"

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace voxlane::EQ {

inline constexpr std::size_t bandCount = 5;

// Corner (shelves) or centre (peaking) frequency of each band, in Hz.
inline constexpr std::array<double, bandCount> frequencies{100, 250, 1000, 4000, 10000};
// Where the editor draws each band's handle; the shelves sit further out than their corners.
inline constexpr std::array<double, bandCount> handleFrequencies{45, 250, 1000, 4000, 16000};
// The bands' names under the editor (translated there).
inline constexpr std::array<std::string_view, bandCount> labels{
    VOXLANE_TRANSLATE_NOOP("EQ", "Low"), "250", "1k", "4k", VOXLANE_TRANSLATE_NOOP("EQ", "High")};

using Sections = std::array<Biquad, bandCount>;

// Designs the five sections (low shelf, three peaking bands at Q 0.9, high shelf; shelf slope 1)
// for band gains in dB. Missing gains count as 0 dB; nothing is clamped or skipped.
Sections biquads(std::span<const float> gains, double sampleRate);

// Magnitude of the whole cascade at `frequency`, in dB.
double response(std::span<const float> gains, double frequency, double sampleRate);
// The same for sections designed once, for drawing many points of one curve.
double cascadeResponse(const Sections& sections, double frequency, double sampleRate);

// The first of off, voice, bass, clarity, warmth, night whose gains all lie within 0.05 dB of
// `gains` (comparing the indices both have); none when no preset matches.
std::optional<EQPreset> matchingPreset(std::span<const float> gains);

} // namespace voxlane::EQ
