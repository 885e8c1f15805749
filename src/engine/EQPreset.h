// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace voxlane {

// The equaliser presets, in display order.
enum class EQPreset { off, voice, bass, clarity, warmth, night, custom };

namespace EQPresets {

inline constexpr std::array<EQPreset, 7> allCases{
    EQPreset::off,    EQPreset::voice, EQPreset::bass,  EQPreset::clarity,
    EQPreset::warmth, EQPreset::night, EQPreset::custom};

// The stored form, also the preset's identity ("off", "voice", …).
std::string_view rawValue(EQPreset preset);
std::optional<EQPreset> fromRawValue(std::string_view raw);

std::string_view title(EQPreset preset);
std::string_view helpText(EQPreset preset);

// Band gains in dB for bands 0–4; `custom` has five zeros (a custom curve lives in EQSettings).
const std::array<float, 5>& gains(EQPreset preset);

} // namespace EQPresets
} // namespace voxlane
