// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppRowRules.h"

#include "ui/Translations.h"

namespace voxlane::AppRowRules {

double rowOpacity(const RowState& s) {
    if (silenced(s)) return silencedOpacity;
    return s.compact ? compactOpacity : 1.0;
}

float meterLevel(std::optional<float> level, bool silenced) {
    if (silenced || !level) return 0.0f;
    return *level;
}

std::string presetShortName(EQPreset preset) {
    // A flat equaliser shows nothing: "Off" beside an app's name reads as if the app were off.
    if (preset == EQPreset::off) return {};
    return translate("EQPresets", EQPresets::title(preset).data());
}

std::string loweredHelp() {
    return translate("AppRowRules", "Lowered for your call");
}

std::string limiterHelp() {
    return translate("AppRowRules", "Limiter is catching peaks");
}

std::string eqHelp() {
    return translate("AppRowRules", "Equalizer");
}

std::string soloTitle(bool soloed) {
    return soloed ? translate("AppRowRules", "End solo") : translate("AppRowRules", "Solo");
}

std::string_view muteSymbol(bool muted) {
    return muted ? "audio-volume-muted" : "audio-volume-high";
}

std::string muteTitle(bool muted) {
    return muted ? translate("AppRowRules", "Unmute") : translate("AppRowRules", "Mute");
}

std::string outputMenuTitle() {
    return translate("AppRowRules", "Output");
}

std::string sameAsSystem() {
    return translate("AppRowRules", "Same as system");
}

std::string resetTitle() {
    return translate("AppRowRules", "Reset");
}

std::string faderLabel(std::string_view appName) {
    return arg(translate("AppRowRules", "%1 volume"), appName);
}

Buttons visibleButtons(const RowState& s) {
    Buttons b;
    const bool reached = s.hovering || s.focused;
    b.eq = !s.compact && (reached || s.eqOpen || s.eqInUse);
    b.solo = !s.compact && (reached || s.soloed);
    b.mute = reached || s.muted;
    return b;
}

std::optional<std::string> toggledSolo(const std::optional<std::string>& soloID,
                                       const std::string& appID) {
    if (soloID == appID) return std::nullopt;
    return appID;
}

} // namespace voxlane::AppRowRules
