// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EQPreset.h"

#include <optional>
#include <string>
#include <string_view>

// The texts come in the user's language (the installed translations), else in English.
namespace voxlane::AppRowRules {

// What a row needs to know about its app to decide how it looks; read from the engine on every
// redraw.
struct RowState {
    bool muted = false;
    bool soloed = false;     // this app is the soloed one
    bool soloActive = false; // some app is soloed
    bool compact = false;    // a silent app's row
    bool hovering = false;
    bool focused = false; // the keyboard's focus is inside the row
    bool eqOpen = false;  // the editor is open in this row
    bool eqInUse = false; // the app's equaliser is not off
};

// Muted, or another app is soloed.
inline bool silenced(const RowState& s) {
    return s.muted || (s.soloActive && !s.soloed);
}

// Opacity of the whole row (it is also drawn grey when silenced).
double rowOpacity(const RowState& s);
inline constexpr double silencedOpacity = 0.45;
inline constexpr double compactOpacity = 0.75;

// The level the row's meter shows: none or silenced reads 0.
float meterLevel(std::optional<float> level, bool silenced);

// The preset's short name after the app's name; nothing while the equaliser is off.
std::string presetShortName(EQPreset preset);

// Texts and symbols of the row.
std::string loweredHelp();
inline constexpr std::string_view loweredSymbol = "arrow-down";
std::string limiterHelp();
inline constexpr std::string_view eqSymbol = "sliders-vertical";
std::string eqHelp();
inline constexpr std::string_view soloSymbol = "audio-headphones";
std::string soloTitle(bool soloed); // "Solo" / "End solo": button help and menu entry
std::string_view muteSymbol(bool muted);
std::string muteTitle(bool muted); // "Mute" / "Unmute": button help and menu entry
std::string outputMenuTitle();
std::string sameAsSystem();
std::string resetTitle();

// The fader's accessibility label: the app's name and " volume".
std::string faderLabel(std::string_view appName);

// Which ghost buttons a row shows: equalizer and solo only on full rows, each while hovered, while
// the keyboard's focus is in the row, or while its function is active; mute while hovered,
// focused or muted.
struct Buttons {
    bool eq = false;
    bool solo = false;
    bool mute = false;
    bool operator==(const Buttons&) const = default;
};
Buttons visibleButtons(const RowState& s);

// The solo toggle: the new solo id after the button was pressed in `appID`'s row.
std::optional<std::string> toggledSolo(const std::optional<std::string>& soloID,
                                       const std::string& appID);

} // namespace voxlane::AppRowRules
