// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PanelRules.h"

#include <cmath>

namespace voxlane::PanelRules {

using Status = AudioPermission::Status;

Modules visibleModules(bool softVolumeActive, bool volumeKeysReady, Status access, bool callActive,
                       bool duckingEnabled) {
    return {softVolumeActive && !volumeKeysReady && access == Status::granted,
            access != Status::granted, callActive && duckingEnabled};
}

std::string outputName(const std::optional<std::string>& defaultOutputName, bool serverConnected) {
    if (!serverConnected) return "Waiting for the audio server\u2026";
    return defaultOutputName ? *defaultOutputName : "No output device";
}

std::string_view masterMuteSymbol(bool muted) {
    return muted ? "speaker.slash.fill" : "speaker.wave.3.fill";
}

std::string volumeKeysTitle(const std::optional<std::string>& defaultOutputName) {
    return "Volume keys for " + (defaultOutputName ? *defaultOutputName : "this display");
}

std::string_view accessSubtitle(Status access) {
    return access == Status::denied ? "Turn it on in System Settings" : "Required to control apps";
}

std::string_view accessButton(Status access) {
    return access == Status::denied ? "Open" : "Allow";
}

std::string callTitle(std::string_view appName) {
    return "On a call \u00B7 " + std::string(appName);
}

std::string callSubtitle(bool paused, float duckLevel) {
    if (paused) return "Other apps at full volume";
    if (duckLevel == 0) return "Other apps muted";
    // Truncated, as the whole percentage; a hair of float error must not turn 0.29 into 28.
    const double hundredths = static_cast<double>(duckLevel) * 100.0;
    const auto whole = static_cast<long long>(std::trunc(hundredths + 1e-4));
    return "Other apps at " + std::to_string(whole) + "\u00A0%";
}

std::string_view callButton(bool paused) {
    return paused ? "Lower" : "Off";
}

std::string silentToggleTitle(std::size_t count, bool expanded) {
    return expanded ? "Show less" : std::to_string(count) + " silent apps";
}

std::string_view micSymbol(bool muted) {
    return muted ? "mic.slash.fill" : "mic.fill";
}

std::string_view micSubtitle(bool muted) {
    return muted ? "All muted" : "⌃⌥⌘M"; // the tooltip spells the keys out
}

std::string_view micHelp(bool muted) {
    return muted ? "Unmute microphones (Ctrl+Alt+Super+M)"
                 : "Mute all microphones (Ctrl+Alt+Super+M)";
}

std::string_view duckingHelp(bool enabled) {
    return enabled ? "Lower other apps during calls: on" : "Lower other apps during calls: off";
}

std::optional<std::size_t> duckChoiceFor(float duckLevel) {
    for (std::size_t i = 0; i < duckChoices.size(); ++i)
        if (std::abs(duckChoices[i].level - duckLevel) < 1e-4f) return i;
    return std::nullopt;
}

} // namespace voxlane::PanelRules
