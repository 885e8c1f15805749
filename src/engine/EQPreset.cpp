// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EQPreset.h"

#include "platform/Translatable.h"

namespace voxlane::EQPresets {
namespace {

struct PresetInfo {
    std::string_view raw;
    std::string_view title;
    std::string_view help;
    std::array<float, 5> gains;
};

// Indexed by the enum's order. The views show the titles and help texts translated.
constexpr std::array<PresetInfo, 7> kPresets{{
    {"off",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Off"),
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Unchanged"),
     {0, 0, 0, 0, 0}},
    {"voice",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Voice"),
     VOXLANE_TRANSLATE_NOOP("EQPresets",
                            "Clearer speech, less rumble \u2013 for calls, podcasts and videos"),
     {-5.0f, -1.5f, 1.5f, 4.0f, 1.0f}},
    {"bass",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Bass"),
     VOXLANE_TRANSLATE_NOOP("EQPresets", "More punch in the low end"),
     {6.0f, 2.5f, 0, 0, 0}},
    {"clarity",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Clarity"),
     VOXLANE_TRANSLATE_NOOP("EQPresets", "More sparkle and detail"),
     {0, -1.0f, 0, 3.0f, 5.0f}},
    {"warmth",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Warmth"),
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Softer, less harsh"),
     {2.5f, 2.0f, 0, -2.0f, -3.5f}},
    {"night",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Night"),
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Less bass, so you don\u2019t disturb anyone"),
     {-7.0f, -2.5f, 1.0f, 1.5f, -1.0f}},
    {"custom",
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Custom"),
     VOXLANE_TRANSLATE_NOOP("EQPresets", "Your own curve"),
     {0, 0, 0, 0, 0}},
}};

const PresetInfo& info(EQPreset preset) {
    return kPresets[static_cast<std::size_t>(preset)];
}

} // namespace

std::string_view rawValue(EQPreset preset) {
    return info(preset).raw;
}

std::optional<EQPreset> fromRawValue(std::string_view raw) {
    for (EQPreset preset : allCases) {
        if (info(preset).raw == raw) return preset;
    }
    return std::nullopt;
}

std::string_view title(EQPreset preset) {
    return info(preset).title;
}
std::string_view helpText(EQPreset preset) {
    return info(preset).help;
}
const std::array<float, 5>& gains(EQPreset preset) {
    return info(preset).gains;
}

} // namespace voxlane::EQPresets
