// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PanelRules.h"

#include "ui/Translations.h"

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
    if (!serverConnected) return translate("PanelRules", "Waiting for the audio server\u2026");
    return defaultOutputName ? *defaultOutputName : translate("PanelRules", "No output device");
}

std::string_view masterMuteSymbol(bool muted) {
    return muted ? "audio-volume-muted" : "audio-volume-high";
}

std::string deviceMenuHelp() {
    return translate("PanelRules", "Output device");
}

std::string deviceMenuSection() {
    return translate("PanelRules", "Output");
}

std::string devicePriorities() {
    return translate("PanelRules", "Device Priorities\u2026");
}

std::string volumeKeysTitle(const std::optional<std::string>& defaultOutputName) {
    return arg(translate("PanelRules", "Volume keys for %1"),
               defaultOutputName ? *defaultOutputName : translate("PanelRules", "this display"));
}

// The key holders' names and places come from the desktop session's table, in English.
std::string volumeKeysSubtitle(const std::optional<std::string>& holder, bool canGrab) {
    if (!canGrab) return translate("PanelRules", "The desktop keeps them under Wayland");
    return arg(translate("PanelRules", "Held by %1"),
               holder ? translate("DesktopSession", holder->c_str())
                      : translate("PanelRules", "another program"));
}

std::string volumeKeysHelp(const std::optional<std::string>& holder,
                           const std::optional<std::string>& whereToFree, bool canGrab) {
    if (!canGrab)
        return translate("PanelRules",
                         "In a Wayland session only the desktop receives the volume keys. Use the "
                         "slider here, or an X11 session for the keys.");
    const std::string who = holder ? translate("DesktopSession", holder->c_str())
                                   : translate("PanelRules", "Another program");
    if (!whereToFree)
        return arg(translate("PanelRules",
                             "%1 has the volume keys. Turn its volume shortcuts off, and Voxlane "
                             "takes them within 2\u00a0s."),
                   who);
    return arg(translate("PanelRules",
                         "%1 has the volume keys. Turn its volume shortcuts off (%2), and Voxlane "
                         "takes them within 2\u00a0s."),
               who, translate("DesktopSession", whereToFree->c_str()));
}

std::string volumeKeysButton() {
    return translate("PanelRules", "Enable");
}

std::string accessTitle(bool sandboxed) {
    return sandboxed ? translate("PanelRules", "Audio server access needed")
                     : translate("PanelRules", "Other apps can\u2019t be heard");
}

std::string accessSubtitle(Status access, bool sandboxed) {
    if (sandboxed)
        return access == Status::denied
                   ? translate("PanelRules", "Allow PipeWire in the sandbox\u2019s permissions")
                   : translate("PanelRules", "Required to control apps");
    return translate("PanelRules", "Check that sound plays, then try again");
}

std::string accessButton(Status access) {
    return access == Status::denied ? translate("PanelRules", "Open")
                                    : translate("PanelRules", "Check");
}

std::string callTitle(std::string_view appName) {
    return arg(translate("PanelRules", "On a call \u00B7 %1"), appName);
}

std::string callSubtitle(bool paused, float duckLevel) {
    if (paused) return translate("PanelRules", "Other apps at full volume");
    if (duckLevel == 0) return translate("PanelRules", "Other apps muted");
    // Truncated, as the whole percentage; a hair of float error must not turn 0.29 into 28.
    const double hundredths = static_cast<double>(duckLevel) * 100.0;
    const auto whole = static_cast<long long>(std::trunc(hundredths + 1e-4));
    return arg(translate("PanelRules", "Other apps at %1\u00A0%"), std::to_string(whole));
}

std::string callButton(bool paused) {
    return paused ? translate("PanelRules", "Lower") : translate("PanelRules", "Off");
}

std::string appsTitle() {
    return translate("PanelRules", "Apps");
}

std::string endSolo() {
    return translate("PanelRules", "End solo");
}

std::string noApps() {
    return translate("PanelRules", "No apps are playing sound.");
}

std::string silentToggleTitle(std::size_t count, bool expanded) {
    if (expanded) return translate("PanelRules", "Show less");
    const int n = static_cast<int>(count);
    return translate("PanelRules", "%n silent app(s)", nullptr, n);
}

std::string micHotKey() {
    return translate("PanelRules", "Ctrl+Alt+Super+M");
}

std::string micHotKeyShort() {
    return translate("PanelRules", "Ctrl Alt Super M");
}

std::string_view micSymbol(bool muted) {
    return muted ? "microphone-sensitivity-muted" : "microphone-sensitivity-high";
}

std::string micSubtitle(bool muted) {
    return muted ? translate("PanelRules", "All muted") : micHotKeyShort();
}

std::string micHelp(bool muted) {
    return arg(muted ? translate("PanelRules", "Unmute microphones (%1)")
                     : translate("PanelRules", "Mute all microphones (%1)"),
               micHotKey());
}

std::string micTitle() {
    return translate("PanelRules", "Microphone");
}

std::string duckingHelp(bool enabled) {
    return enabled ? translate("PanelRules", "Lower other apps during calls: on")
                   : translate("PanelRules", "Lower other apps during calls: off");
}

std::string lowerTo() {
    return translate("PanelRules", "Lower to");
}

std::optional<std::size_t> duckChoiceFor(float duckLevel) {
    for (std::size_t i = 0; i < duckChoices.size(); ++i)
        if (std::abs(duckChoices[i].level - duckLevel) < 1e-4f) return i;
    return std::nullopt;
}

std::string duckChoiceLabel(const DuckChoice& choice) {
    return translate("PanelRules", std::string(choice.label).c_str());
}

std::string callsSection() {
    return translate("PanelRules", "Calls");
}

std::string lowerOtherApps() {
    return translate("PanelRules", "Lower other apps");
}

std::string openAtLogin() {
    return translate("PanelRules", "Open at login");
}

std::string devices() {
    return translate("PanelRules", "Devices\u2026");
}

std::string checkForUpdates() {
    return translate("PanelRules", "Check for Updates\u2026");
}

std::string quit() {
    return translate("PanelRules", "Quit");
}

} // namespace voxlane::PanelRules
