// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AudioPermission.h"
#include "platform/Translatable.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The texts come in the user's language (the installed translations), else in English.
namespace voxlane::PanelRules {

// Which of the panel's conditional modules show.
struct Modules {
    bool volumeKeys = false; // software volume, the keys not taken yet, audio access granted
    bool access = false;     // audio access missing where it can be (see accessNoticeShown)
    bool call = false;       // a call, with lowering enabled
    bool operator==(const Modules&) const = default;
};
Modules visibleModules(bool softVolumeActive, bool volumeKeysReady, AudioPermission::Status access,
                       bool callActive, bool duckingEnabled, bool accessNoticeShown);

// Whether the audio access notice shows. Inside a sandbox access can really be missing, and the
// notice shows until it is granted. Outside one every program may hear the others: the notice
// shows only after a check failed (denied), and stays while the user's new check runs (checking,
// when it showed before) — never for the silent first check.
bool accessNoticeShown(AudioPermission::Status access, bool sandboxed, bool shownBefore);

// The sound module: the default output's name, or "No output device", or while the audio server
// cannot be reached "Waiting for the audio server…".
std::string outputName(const std::optional<std::string>& defaultOutputName,
                       bool serverConnected = true);
std::string_view masterMuteSymbol(bool muted);
inline constexpr std::string_view deviceMenuSymbol = "speaker-menu";
std::string deviceMenuHelp();
std::string deviceMenuSection();
std::string devicePriorities();

// The volume keys module: who holds the keys and what to do, from the program that holds them
// (`holder` and where its user frees them, when known) and whether this session lets programs
// take the keys at all (`canGrab`: X11 yes, Wayland no).
inline constexpr std::string_view volumeKeysSymbol = "input-keyboard";
std::string volumeKeysTitle(const std::optional<std::string>& defaultOutputName);
std::string volumeKeysSubtitle(const std::optional<std::string>& holder, bool canGrab);
std::string volumeKeysHelp(const std::optional<std::string>& holder,
                           const std::optional<std::string>& whereToFree, bool canGrab);
std::string volumeKeysButton();

// The audio access module. Inside a sandbox it asks for access to the audio server; outside one
// it says that the check heard nothing.
inline constexpr std::string_view accessSymbol = "waveform-warning";
std::string accessTitle(bool sandboxed);
std::string accessSubtitle(AudioPermission::Status access, bool sandboxed);
std::string accessButton(AudioPermission::Status access);
// While the check runs a progress indicator stands in for the button.
inline bool accessBusy(AudioPermission::Status access) {
    return access == AudioPermission::Status::checking;
}

// The call module: "On a call · <app>", what the other apps hear, and the pause button.
std::string callTitle(std::string_view appName);
std::string callSubtitle(bool paused, float duckLevel);
std::string callButton(bool paused);

// The apps module.
std::string appsTitle();
std::string endSolo();
std::string noApps();
// The silent apps' disclosure: "<n> silent apps" ("1 silent app") collapsed, "Show less"
// expanded.
std::string silentToggleTitle(std::size_t count, bool expanded);

// The microphone module. The hot key is spelled the same everywhere it is named; where space is
// tight (the module's subtitle) the same keys go without the plus signs. The keys' names are the
// language's ("Strg" in German).
std::string micHotKey();
std::string micHotKeyShort();
std::string_view micSymbol(bool muted);
std::string micSubtitle(bool muted);
std::string micHelp(bool muted);
std::string micTitle();

// Lowering other apps during calls.
inline constexpr std::string_view duckingSymbol = "phone-waveform";
std::string duckingHelp(bool enabled);
std::string lowerTo();
struct DuckChoice {
    std::string_view label; // translated where shown (duckChoiceLabel)
    float level;
};
inline constexpr std::array<DuckChoice, 5> duckChoices{
    {{"10\u00A0%", 0.1f},
     {"20\u00A0%", 0.2f},
     {"30\u00A0%", 0.3f},
     {"50\u00A0%", 0.5f},
     {VOXLANE_TRANSLATE_NOOP("PanelRules", "Mute"), 0.0f}}};
// The choice that shows the stored level, if any matches it.
std::optional<std::size_t> duckChoiceFor(float duckLevel);
std::string duckChoiceLabel(const DuckChoice& choice);

// The settings menu.
inline constexpr std::string_view settingsSymbol = "ellipsis";
std::string callsSection();
std::string lowerOtherApps();
std::string openAtLogin();
std::string devices();
std::string checkForUpdates();
std::string quit();

} // namespace voxlane::PanelRules
