// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PanelRules.h"

#include <cmath>

namespace voxlane::PanelRules {

using Status = AudioPermission::Status;

Modules visibleModules(bool softVolumeActive, bool volumeKeysReady, Status access, bool callActive,
                       bool duckingEnabled, bool accessNoticeShown) {
    return {softVolumeActive && !volumeKeysReady && access == Status::granted,
            accessNoticeShown && access != Status::granted, callActive && duckingEnabled};
}

bool accessNoticeShown(Status access, bool sandboxed, bool shownBefore) {
    if (access == Status::granted) return false;
    if (sandboxed) return true;
    return access == Status::denied || (access == Status::checking && shownBefore);
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

std::string volumeKeysSubtitle(const std::optional<std::string>& holder, bool canGrab) {
    if (!canGrab) return "The desktop keeps them under Wayland";
    return "Held by " + (holder ? *holder : std::string("another program"));
}

std::string volumeKeysHelp(const std::optional<std::string>& holder,
                           const std::optional<std::string>& whereToFree, bool canGrab) {
    if (!canGrab)
        return "In a Wayland session only the desktop receives the volume keys. Use the "
               "slider here, or an X11 session for the keys.";
    std::string text = (holder ? *holder : std::string("Another program")) +
                       " has the volume keys. Turn its volume shortcuts off";
    if (whereToFree) text += " (" + *whereToFree + ")";
    return text + ", and Voxlane takes them within 2\u00a0s.";
}

std::string_view accessTitle(bool sandboxed) {
    return sandboxed ? "Audio server access needed" : "Other apps can\u2019t be heard";
}

std::string_view accessSubtitle(Status access, bool sandboxed) {
    if (sandboxed)
        return access == Status::denied ? "Allow PipeWire in the sandbox\u2019s permissions"
                                        : "Required to control apps";
    return "Check that sound plays, then try again";
}

std::string_view accessButton(Status access) {
    return access == Status::denied ? "Open" : "Check";
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
    if (expanded) return "Show less";
    return std::to_string(count) + (count == 1 ? " silent app" : " silent apps");
}

std::string_view micSymbol(bool muted) {
    return muted ? "mic.slash.fill" : "mic.fill";
}

std::string_view micSubtitle(bool muted) {
    return muted ? "All muted" : micHotKeyShort;
}

std::string micHelp(bool muted) {
    return std::string(muted ? "Unmute microphones (" : "Mute all microphones (") +
           std::string(micHotKey) + ")";
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
